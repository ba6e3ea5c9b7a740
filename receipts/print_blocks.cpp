// Texts sent into the open linked voucher.
#include "receipts/print_blocks.h"

#include "nonfiscal/operations.h"

namespace Qor01100 {

bool VoucherPrint(const std::string& stEsquemaCor, const std::string& text, std::size_t limit) {
  for (const std::string& block : LimitedBlocks(text, limit))
    if (!Usa_CompNFis(stEsquemaCor, block)) return false;
  return true;
}

}  // namespace Qor01100
