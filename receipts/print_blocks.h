// How the customer account documents reach the paper: texts sent into the
// open management report (ReportBlock, driver/report_text.h) or the open
// linked voucher in blocks the printer takes whole. A block never loses
// text: what does not fit in one call goes in the next, cut at a line end
// where one fits (LimitedBlocks, driver/text_blocks.h).
#pragma once
#include <cstddef>
#include <string>

#include "driver/report_text.h"
#include "driver/text_blocks.h"

namespace Qor01100 {

// The short block of the sale vouchers' header and closing and of the
// purchase copies, and the printer's own limit (kReportBlock).
constexpr std::size_t kShortBlock = 492;
constexpr std::size_t kMaxBlock = kReportBlock;

// Into the open linked voucher (Usa_CompNFis); false at the first piece the
// printer refuses (the rest is not sent).
bool VoucherPrint(const std::string& stEsquemaCor, const std::string& text, std::size_t limit = kMaxBlock);

}  // namespace Qor01100
