// Texts sent into the open management report or linked voucher.
#include "receipts/print_blocks.h"

#include <algorithm>

#include "driver/report_text.h"
#include "nonfiscal/operations.h"

namespace Qor01100 {

static_assert(kMaxBlock == kReportBlock, "one limit of the printer");

std::vector<std::string> LimitedBlocks(const std::string& text, std::size_t limit) {
  std::vector<std::string> blocks;
  if (limit == 0) limit = text.size();
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t len = std::min(limit, text.size() - pos);
    if (pos + len < text.size()) {
      const std::size_t lf = text.rfind('\n', pos + len - 1);
      if (lf != std::string::npos && lf >= pos) len = lf - pos + 1;
    }
    blocks.push_back(text.substr(pos, len));
    pos += len;
  }
  return blocks;
}

void ReportPrint(const std::string& text, std::size_t limit) {
  for (const std::string& block : LimitedBlocks(text, limit)) ReportBlock(block);
}

bool VoucherPrint(const std::string& stEsquemaCor, const std::string& text, std::size_t limit) {
  for (const std::string& block : LimitedBlocks(text, limit))
    if (!Usa_CompNFis(stEsquemaCor, block)) return false;
  return true;
}

}  // namespace Qor01100
