// Text blocks of a management report: each goes straight to the printer
// (no status query per block: the report's opening and closing carry the
// printer's messages), in pieces of at most what one call takes, cut at a
// line end where one fits, so no character is dropped. A line opens a report
// when none is open. The printer took a piece when it answered 1; every
// piece is sent whatever happened to an earlier one, and a piece it did not
// take is told to the operation's DocumentGuard (driver/document_guard.h).
#pragma once
#include <cstddef>
#include <string>

#include "driver/export.h"

namespace Qor01100 {

// The most text one printing call takes (management report or linked voucher).
constexpr std::size_t kReportBlock = 620;

// Sends `text` into the open management report in pieces of at most `limit`
// characters (LimitedBlocks, driver/text_blocks.h); an empty text is one
// empty call. True when the printer took every piece.
QOR_API bool ReportBlock(const std::string& text, std::size_t limit = kReportBlock);

// Opens a management report with Elgin_AbreRelatorioGerencial, its answer
// not examined (a report that did not open shows in its lines and its
// close); `trace` goes to stImpDebug.
QOR_API void ReportOpening(const std::string& trace);

}  // namespace Qor01100
