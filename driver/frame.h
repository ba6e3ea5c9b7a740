// The frame every operation shares: the debug log, printer amounts, the
// parameter-reset helper and the status analysis.
#pragma once
#include <string>

#include "driver/export.h"
#include "driver/state.h"

// Printer amount (digits with two implied decimals) -> number.
QOR_OPERATION(double, GetValue, (const std::string& S))
// Appends one line to this month's debug log in the host program's folder.
QOR_OPERATION(void, ImpFisDebug, (const std::string& Msg))
QOR_ROUTINE(void, LimpaParametros, ())
QOR_ROUTINE(const char*, StrToPChar, (const std::string& S))
// Decodes a vendor return code and the printer's status bytes (see analisa_retorno.cpp).
QOR_ROUTINE(bool, AnalisaRetorno, (int inRetorno, bool boMsg, bool boFechaCupom, bool boAbreCupom))

namespace Qor01100 {
// The data module, created on first use.
QOR_API TdtmElgin01100& DataModule();
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
