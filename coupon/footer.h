#pragma once
#include <string>

#include "coupon/operations.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// The operations themselves are declared in coupon/operations.def.




namespace Qor01100 {
// Footer inputs that the coupon closing prepares from its arguments.
// The tax line: "Val Aprox Tributos R$ " + the approximate tax amount and
// its share of the net total.
std::string TaxLine(double doVrImposto, double doTotalLiquido);
// The table or tab reference line ("" when there is no table).
std::string TableLine(const std::string& stMesa);
}  // namespace Qor01100
