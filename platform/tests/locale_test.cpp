// Locale settings: Brazilian defaults (names in 1252), switching and restoring.
#include <gtest/gtest.h>

#include "platform/datetime.h"
#include "platform/format.h"
#include "platform/locale.h"

using namespace rtl;

namespace {

TEST(Locale, BrazilianDefaults) {
  ResetSettings();
  const FormatSettings& s = Settings();
  EXPECT_EQ(s.DecimalSeparator, ',');
  EXPECT_EQ(s.ThousandSeparator, '.');
  EXPECT_EQ(s.DateSeparator, '/');
  EXPECT_EQ(s.TimeSeparator, ':');
  EXPECT_EQ(s.ShortDateFormat, "dd/mm/yyyy");
  EXPECT_EQ(s.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(s.CurrencyString, "R$");
  EXPECT_EQ(s.CurrencyFormat, 2);
  EXPECT_EQ(s.NegCurrFormat, 9);
  EXPECT_EQ(s.CurrencyDecimals, 2);
  // Names are code page 1252 at run time.
  EXPECT_EQ(s.LongMonthNames[2], "mar\xE7o");
  EXPECT_EQ(s.ShortDayNames[6], "s\xE1" "b");
  EXPECT_EQ(s.LongDayNames[6], "s\xE1" "bado");
  EXPECT_EQ(s.LongDayNames[2], "ter\xE7" "a-feira");
  EXPECT_EQ(s.LongMonthNames[0], "janeiro");
}

TEST(Locale, ScopedSettingsRestore) {
  ResetSettings();
  {
    ScopedSettings keep;
    Settings().DecimalSeparator = '.';
    Settings().ShortDateFormat = "mm/dd/yyyy";
    EXPECT_EQ(FloatToStr(1.5), "1.5");
    EXPECT_EQ(DateToStr(EncodeDate(2024, 3, 1)), "03/01/2024");
  }
  EXPECT_EQ(FloatToStr(1.5), "1,5");
  EXPECT_EQ(DateToStr(EncodeDate(2024, 3, 1)), "01/03/2024");
  Settings().CurrencyString = "US$";
  ResetSettings();
  EXPECT_EQ(Settings().CurrencyString, "R$");
}

}  // namespace
