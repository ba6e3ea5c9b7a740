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
// One line in the debug log, as ImpFisDebug writes it, for the module's own
// lines: it never raises. A log that cannot be opened or written (a full
// disk, a folder in its place, no permission) is noted in stMensagemTaa
// once, when it stops working, and not again until a line reaches it; the
// caller goes on either way. True when the line was written. (ImpFisDebug,
// the host's call, raises the run-time's I/O error instead.)
QOR_API bool DebugLog(const std::string& line);
// A failure the host is told of without a dialog: an "ERRO!!! " line in the
// debug log and the text, after a blank, in stMensagemTaa.
QOR_API void ReportFailure(const std::string& text);
// Text of a key of the first / second message table.
QOR_API std::string Msg(const std::string& key);
QOR_API std::string Msg2(const std::string& key);
// The standard trace "Name" + CR LF + "Retorno da Impressora : " + answer.
QOR_API std::string Trace(const std::string& name, const std::string& answer);
}  // namespace Qor01100
