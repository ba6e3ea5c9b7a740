// Text blocks of a management report that is already open: each goes
// straight to the printer, cut to the width its document allows; the
// printer's answer to a block is not examined (the report's opening and
// closing are).
#pragma once
#include <string>

#include "driver/command.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {

// Most documents cut each block to its first 620 characters.
constexpr int kReportBlock = 620;

inline void ReportBlock(const std::string& text, int cut = kReportBlock) {
  CallOnly(Call("Elgin_RelatorioGerencial", Elgin_RelatorioGerencial, rtl::Copy(text, 1, cut)));
}

}  // namespace Qor01100
