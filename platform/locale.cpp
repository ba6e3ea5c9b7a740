// The process-wide locale settings. The names in locale.h are written as
// UTF-8 in the source; the settings hold them in code page 1252, the
// encoding of every text at run time.
#include "platform/locale.h"

#include "platform/text.h"

namespace rtl {

namespace {

FormatSettings BrazilianDefaults() {
  FormatSettings s;
  for (auto& n : s.ShortMonthNames) n = Utf8ToCp1252(n);
  for (auto& n : s.LongMonthNames) n = Utf8ToCp1252(n);
  for (auto& n : s.ShortDayNames) n = Utf8ToCp1252(n);
  for (auto& n : s.LongDayNames) n = Utf8ToCp1252(n);
  s.LongDateFormat = Utf8ToCp1252(s.LongDateFormat);
  return s;
}

}  // namespace

FormatSettings& Settings() {
  static FormatSettings settings = BrazilianDefaults();
  return settings;
}

void ResetSettings() { Settings() = BrazilianDefaults(); }

}  // namespace rtl
