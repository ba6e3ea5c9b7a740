#include "driver/report_block.h"

#include "driver/command.h"
#include "vendor/elgin.h"

namespace Qor01100 {

void PrintReportBlock(const std::string& text) {
  CallOnly(Call("", Elgin_RelatorioGerencial, text.substr(0, kMaxBlock)));
}

}  // namespace Qor01100
