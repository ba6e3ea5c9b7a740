// One block of a management report's text, as the documents that print
// many blocks send it.
#pragma once
#include <cstddef>
#include <string>

#include "driver/export.h"

namespace Qor01100 {

// The most the printer takes in one block of a report or voucher.
constexpr std::size_t kMaxBlock = 620;

// Sends the first kMaxBlock characters of `text` to the open management
// report (the printer opens one when none is open). Its answer is not
// examined: the report's closing decides for the whole document.
QOR_API void PrintReportBlock(const std::string& text);

}  // namespace Qor01100
