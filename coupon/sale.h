#pragma once
#include <string>

#include "coupon/operations.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// The operations themselves are declared in coupon/operations.def.





namespace Qor01100 {
// Amount texts for the printer, formatted from the amount's decimal value:
// the value is first rounded half away from zero at the mask's number of
// decimals on its shortest decimal form, so a binary representation just
// below a half (1.115 stored as 1.11499...) never loses a cent.
std::string FormatAmount(const char* mask, double value);
// The same for the fixed two-decimal form without thousand separators
// (12345.5 -> "12345,50").
std::string FixedAmount(double value);
// Whether the host's mode ("S" or "T") is an electronic-funds-transfer sale.
inline bool IsTefMode(const std::string& id) { return id == "S" || id == "T"; }
}  // namespace Qor01100
