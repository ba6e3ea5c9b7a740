// Text blocks of a management report (see report_text.h).
#include "driver/report_text.h"

#include <vector>

#include "driver/command.h"
#include "driver/document_guard.h"
#include "driver/text_blocks.h"
#include "vendor/elgin.h"

namespace Qor01100 {

bool ReportBlock(const std::string& text, std::size_t limit) {
  bool taken = true;
  // An empty text is one empty call, as the documents that send one expect.
  const std::vector<std::string> pieces = text.empty() ? std::vector<std::string>{""} : LimitedBlocks(text, limit);
  for (const std::string& piece : pieces) {
    document::Used();
    if (CallOnly(Call("Elgin_RelatorioGerencial", Elgin_RelatorioGerencial, piece)) != 1) {
      document::TextRefused();
      taken = false;
    }
  }
  return taken;
}

void ReportOpening(const std::string& trace) {
  document::Used();
  CallOnly(Call(trace, Elgin_AbreRelatorioGerencial));
}

}  // namespace Qor01100
