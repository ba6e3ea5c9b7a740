// Amount texts of the printed documents and of the printer's commands.
//
// Every one is formatted from the amount's decimal value: the value is first
// rounded half away from zero at the text's number of decimals on its
// shortest decimal form, so a binary representation just below a half
// (1.115 stored as 1.11499...) never loses a cent.
#pragma once
#include <string>

#include "driver/export.h"

namespace Qor01100 {

// With a FormatFloat mask ("0.00", "#0.000", "0.00#", ...).
QOR_API std::string FormatAmount(const char* mask, double value);
// The fixed two-decimal form without thousand separators (12345.5 -> "12345,50").
QOR_API std::string FixedAmount(double value);
// The locale's currency form with two decimals (1234.5 -> "R$ 1.234,50").
QOR_API std::string CurrencyAmount(double value);
// The amount of the non-fiscal receipt and linked-voucher commands: 14
// digits with two implied decimals (12.5 -> "00000000001250"), the mask
// "000000000000.00" without its decimal separator.
QOR_API std::string DigitAmount(double value);

}  // namespace Qor01100
