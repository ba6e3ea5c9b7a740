#pragma once
#include <string>

#include "coupon/operations.h"
#include "driver/amounts.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// The operations themselves are declared in coupon/operations.def.





namespace Qor01100 {
// Whether the host's mode ("S" or "T") is an electronic-funds-transfer sale.
inline bool IsTefMode(const std::string& id) { return id == "S" || id == "T"; }
}  // namespace Qor01100
