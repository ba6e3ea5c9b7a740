// qorhost --brief: the session's steps for people, one line each, and a
// closing summary, instead of the JSON lines.
//
//     3  VendaItem         true    ret 1   | Cupom aberto. (a new message)
//     7  FechaCupom        false   ret -24 | Forma de pagamento não programada.
//     9  sim {"paper":"low"}
//    12 steps, 1 failure
//
// A line shows the step's number, what it did (the operation, or the action
// and its value), the result and the vendor return code (operations), and
// after "|" what is new: the text stMensagemTaa gained, the dialogs shown
// (a question with its answer), an error escaping the operation, an expect
// that did not hold, or why the step was refused. A failure is a step that
// answered false, raised an error, missed its expect or was refused.
#pragma once
#include <string>

#include "calls/codec.h"

namespace qorhost {

bool IsFailure(const Json& out);
// One step's line; `messagesBefore`/`messagesAfter`: stMensagemTaa around the step.
std::string BriefLine(int n, const Json& step, const Json& out, const std::string& messagesBefore,
                      const std::string& messagesAfter);
std::string BriefSummary(int steps, int failures);

}  // namespace qorhost
