// The balance of a family member after a sale, as the coupon footer and the
// personal-credit voucher print it.
#pragma once
#include <string>

#include "driver/export.h"
#include "platform/dataset.h"

namespace Qor01100 {

// `balance` (the member's balance in the host's balance table) less the
// family's balance in `families` (found by CDFAMILISALD without regard to
// case), less the VRMOVEXTCONS of its "D" loan in `loans`; when there
// is no "D" loan but the family was found, plus that of its "C" loan. A
// closed or missing dataset finds nothing. Moves the two datasets' cursors.
QOR_API double FamilyBalance(double balance, const std::string& family, rtl::ClientDataSet* families,
                             rtl::ClientDataSet* loans);
// One printed line of it: the name in 25 columns, the balance fixed with two
// decimals right-aligned in 22, a line feed.
QOR_API std::string FamilyBalanceLine(const std::string& name, double value);

}  // namespace Qor01100
