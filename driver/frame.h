// The frame every operation shares: the debug log, printer amounts, the
// parameter-reset helper and the status analysis.
#pragma once
#include <string>

#include "driver/operations.h"
#include "driver/state.h"


namespace Qor01100 {
// Every shared state variable back to its initial value (tests and hosts that restart a session).
QOR_API void ResetStateForTesting();
// The host program's folder with "\" appended, in short form.
QOR_API std::string HostDirectory();
// Text of a key of the first / second message table.
QOR_API std::string Msg(const std::string& key);
QOR_API std::string Msg2(const std::string& key);
// The standard trace "Name" + CR LF + "Retorno da Impressora : " + answer.
QOR_API std::string Trace(const std::string& name, const std::string& answer);
}  // namespace Qor01100
