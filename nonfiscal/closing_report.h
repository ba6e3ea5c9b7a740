// The closing reports of a shift and of the day, printed into a
// management report that is already open (internal to nonfiscal/).
#pragma once
#include <string>

#include "platform/dataset.h"

namespace Qor01100::closing {

// Amounts as the closing documents print them: fixed point, two decimals, no thousands separator.
std::string Amount(double v);
// A line of 48 hyphens and its line feed.
std::string Dashes();
// The sum of a field over every record of a host dataset (0 without one).
double SumOf(rtl::ClientDataSet* ds, const char* field);

// What the closing report needs: its title, the sales and credit purchases
// to balance, and the movement records to walk (none: no movement lines).
struct Report {
  std::string title;
  double sales = 0;
  double credit = 0;
  rtl::ClientDataSet* movements = nullptr;
};

// Sends the report's blocks: sales and credit, one line per withdrawal,
// the counter-vouchers, supply and withdrawals, and the surplus ("SOBRA")
// or shortage ("FALTA") of the balance.
void Print(const Report& r);

}  // namespace Qor01100::closing
