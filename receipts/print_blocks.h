// How the customer account documents reach the paper: texts sent into the
// open management report or the open linked voucher in blocks the printer
// takes whole. A block never loses text: what does not fit in one call goes
// in the next, cut at a line end where one fits.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "driver/export.h"

namespace Qor01100 {

// The short block of the sale vouchers' header and closing and of the
// purchase copies, and the printer's own limit (kReportBlock).
constexpr std::size_t kShortBlock = 492;
constexpr std::size_t kMaxBlock = 620;

// `text` in pieces of at most `limit` characters, each ending with a line
// feed unless a line is longer than `limit` or the text ends without one.
// One piece (the text itself) when it fits; none for an empty text.
QOR_API std::vector<std::string> LimitedBlocks(const std::string& text, std::size_t limit);

// Into the open management report, each piece through ReportBlock
// (driver/report_text.h); the printer's verdict on a piece is not examined.
void ReportPrint(const std::string& text, std::size_t limit = kMaxBlock);
// Into the open linked voucher (Usa_CompNFis); false at the first piece the
// printer refuses (the rest is not sent).
bool VoucherPrint(const std::string& stEsquemaCor, const std::string& text, std::size_t limit = kMaxBlock);

}  // namespace Qor01100
