// Amount texts of the printed documents and of the printer's commands.
#include "driver/amounts.h"

#include <cstring>

#include "hostlib/consiste.h"
#include "platform/format.h"
#include "platform/locale.h"

namespace Qor01100 {

namespace {

int DecimalsOf(const char* mask) {
  const char* dot = std::strchr(mask, '.');
  if (!dot) return 0;
  int n = 0;
  for (const char* c = dot + 1; *c && *c != ';'; ++c)
    if (*c == '0' || *c == '#') ++n;
  return n;
}

}  // namespace

std::string FormatAmount(const char* mask, double value) {
  return rtl::FormatFloat(mask, hostlib::RoundDec(value, DecimalsOf(mask)));
}

std::string FixedAmount(double value) {
  return rtl::FloatToStrF(hostlib::RoundDec(value, 2), rtl::FloatFormat::Fixed, 15, 2);
}

std::string CurrencyAmount(double value) {
  return rtl::FloatToStrF(hostlib::RoundDec(value, 2), rtl::FloatFormat::Currency, 15, 2);
}

std::string DigitAmount(double value) {
  std::string s = FormatAmount("000000000000.00", value);
  // The separator is the 13th character for every amount below a trillion;
  // removing the separator itself keeps larger amounts whole as well.
  const std::size_t sep = s.rfind(rtl::Settings().DecimalSeparator);
  if (sep != std::string::npos) s.erase(sep, 1);
  return s;
}

}  // namespace Qor01100
