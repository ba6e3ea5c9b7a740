// FormatFloat, FloatToStr, FloatToStrF, CurrToStr, StrToFloat and Format:
// every example of the run-time notes plus the choices of format_float.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/errors.h"
#include "platform/format.h"
#include "platform/locale.h"
#include "platform/variant.h"

using namespace rtl;

namespace {

struct FloatCase {
  const char* mask;
  double value;
  const char* expected;
};

class FormatTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  ScopedSettings keep_;
};

TEST_F(FormatTest, FormatFloatTable) {
  const FloatCase cases[] = {
      // the run-time library's documented cases
      {".00", 0.5, ",50"},
      {".00", 0, ",00"},
      {"00.00", 9.5, "09,50"},
      {"0.00#", 2.125, "2,125"},
      {"0.00#", 1.5, "1,50"},
      {"#,##0.00", 1234.5, "1.234,50"},
      {"0.00", -0.005, "-0,01"},
      {"000000000000.00", -123.456, "-000000000123,46"},
      {"000000000000.00", 0.01, "000000000000,01"},
      {"#0.000", 0.35, "0,350"},
      {"0", 2.5, "3"},
      {"0", -2.5, "-3"},
      {"#.##", 0, ""},
      {"#,##0.00;(#,##0.00)", -1234, "(1.234,00)"},
      // rounding rule
      {"0.00", 1.115, "1,11"},
      {"0.00", -0.004, "0,00"},
      {"0.00", 1.125, "1,13"},
      {"0.00", 2.675, "2,67"},
      {"0.00", 0.995, "0,99"},   // 0.99499999999999999556
      {"0.00", 9.995, "9,99"},   // 9.99499999999999922
      {"0.00", 9.9951, "10,00"},
      {"0.00", 99.999, "100,00"},
      {"0", 0.5, "1"},
      {"0", 0.49, "0"},
      {"0", -0.4, "0"},
      {"0", 1e-20, "0"},
      // the module's masks
      {"0.00", 10.5, "10,50"},
      {"0.00", 0, "0,00"},
      {"0.00", 1234567.891, "1234567,89"},
      {"#0.00", 0.07, "0,07"},
      {"#0.00", 12.3, "12,30"},
      {"#0.000", 1.0005, "1,000"},  // 1.00049999999999994493
      {"#0.000", 3.14159, "3,142"},
      {"0.00#", 1.2345, "1,234"},  // 1.23449999999999993072
      {"00.00", 123.456, "123,46"},
      {".00", 12.5, "12,50"},
      {".00", -0.5, "-,50"},
      {"#,##0.00", 0, "0,00"},
      {"#,##0.00", 999.995, "1.000,00"},  // 999.99500000000000455
      {"#,##0.00", 1234567.891, "1.234.567,89"},
      {"#,##0.00", -1234567.891, "-1.234.567,89"},
      {"#,##0.00", 100, "100,00"},
      {"#,##0.00", 1000, "1.000,00"},
      {"#,##0.00", 123456, "123.456,00"},
      {"000000000000.00", 1234567890.12, "001234567890,12"},
      {"000000000000.00", 0, "000000000000,00"},
      // thousand separators and padding
      {"#,##0", 1234567, "1.234.567"},
      {",0", 1234567, "1.234.567"},
      {"000,000", 1234, "001.234"},
      {"#,###", 0, ""},
      {"#,###", 12, "12"},
      // optional digits
      {"0.##", 1, "1"},
      {"0.##", 1.5, "1,5"},
      {"0.##", 1.555, "1,55"},  // 1.55499999999999993783
      {"#.##", 0.5, ",5"},
      {"#", 0, ""},
      {"#", 7, "7"},
      {"##0", 5, "5"},
      {"00", 123, "123"},
      {"00-00", 12345, "123-45"},
      // literals and sections
      {"\"R$ \"0.00", 5, "R$ 5,00"},
      {"'x'0.00'y'", 5, "x5,00y"},
      {"\"R$ \"0.00", -5, "-R$ 5,00"},
      {"0.00;(0.00);zero", 0, "zero"},
      {"0.00;(0.00);zero", 1, "1,00"},
      {"0.00;(0.00);zero", -1, "(1,00)"},
      {"0.00;;zero", -1, "-1,00"},
      {"0.00;(0.00)", 0, "0,00"},
      {"0.00;(0.00);", 0, "0,00"},
      {"0.00;(0.00)", -0.001, "(0,00)"},
      {"0.00;\"a;b\"0", -1, "a;b1"},
      // scientific
      {"0.00E+00", 1234.5, "1,23E+03"},
      {"0.00E-00", 1234.5, "1,23E03"},
      {"0.00E+00", 0.00012345, "1,23E-04"},
      {"0.00E+00", 0, "0,00E+00"},
      {"0.0E+0", -1234.5, "-1,2E+3"},
      {"00.0E+00", 1234.5, "12,3E+02"},
      {"0E+00000", 12345, "1E+0004"},  // at most four exponent digits
      // a lone 'e' and an unclosed quote are text
      {"0e", 5, "5e"},
      {"0'abc", 5, "5abc"},
      // more than 18 integer digits: general format
      {"0.00", 1e20, "1E20"},
      {"0", 123456789012345678.0, "123456789012345680"},
      // empty mask: general format
      {"", 10.5, "10,5"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatFloat(c.mask, c.value), c.expected) << "mask '" << c.mask << "' value " << c.value;
}

TEST_F(FormatTest, FormatFloatSpecialValues) {
  EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FormatFloat("0.00", -std::numeric_limits<double>::infinity()), "-INF");
  EXPECT_EQ(FormatFloat("0.00", -0.0), "0,00");
}

TEST_F(FormatTest, FormatFloatFollowsLocale) {
  Settings().DecimalSeparator = '.';
  Settings().ThousandSeparator = ',';
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5), "1,234.50");
  EXPECT_EQ(FloatToStr(10.5), "10.5");
}

TEST_F(FormatTest, FloatToStrTable) {
  const std::pair<double, const char*> cases[] = {
      {0, "0"},
      {10.5, "10,5"},
      {0.1 + 0.2, "0,3"},
      {1.0 / 3, "0,333333333333333"},
      {2.0 / 3, "0,666666666666667"},
      {1e14, "100000000000000"},
      {1e15, "1E15"},
      {123456789012345.0, "123456789012345"},
      {1234567890123456.0, "1,23456789012346E15"},
      {-10.5, "-10,5"},
      {0.0001, "0,0001"},
      {0.00001, "1E-5"},
      {1.5e-7, "1,5E-7"},
      {100, "100"},
      {1.005, "1,005"},
      {1.115, "1,115"},
      {-0.0, "0"},
      {3.14159265358979, "3,14159265358979"},
      {1e100, "1E100"},
      {-1e-100, "-1E-100"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToStr(c.first), c.second) << c.first;
}

TEST_F(FormatTest, FloatToStrFFixedAndNumber) {
  EXPECT_EQ(FloatToStrF(1234567.891, FloatFormat::Fixed, 15, 2), "1234567,89");
  EXPECT_EQ(FloatToStrF(1.005, FloatFormat::Fixed, 15, 2), "1,00");
  EXPECT_EQ(FloatToStrF(1.115, FloatFormat::Fixed, 15, 2), "1,11");
  EXPECT_EQ(FloatToStrF(0, FloatFormat::Fixed, 15, 2), "0,00");
  EXPECT_EQ(FloatToStrF(-0.001, FloatFormat::Fixed, 15, 2), "0,00");
  EXPECT_EQ(FloatToStrF(-1.5, FloatFormat::Fixed, 15, 0), "-2");
  EXPECT_EQ(FloatToStrF(0.5, FloatFormat::Fixed, 15, 3), "0,500");
  EXPECT_EQ(FloatToStrF(1e16, FloatFormat::Fixed, 15, 2), "1E16");  // integer digits exceed the precision
  EXPECT_EQ(FloatToStrF(123456, FloatFormat::Fixed, 4, 2), "1,235E5");
}

TEST_F(FormatTest, FloatToStrFNumber) {
  EXPECT_EQ(FloatToStrF(1234567.891, FloatFormat::Number, 15, 2), "1.234.567,89");
  EXPECT_EQ(FloatToStrF(-1234.5, FloatFormat::Number, 15, 1), "-1.234,5");
  EXPECT_EQ(FloatToStrF(999, FloatFormat::Number, 15, 0), "999");
}

TEST_F(FormatTest, FloatToStrFCurrencyBrazilian) {
  EXPECT_EQ(FloatToStrF(1234567.891, FloatFormat::Currency, 15, 2), "R$ 1.234.567,89");
  EXPECT_EQ(FloatToStrF(-1234567.891, FloatFormat::Currency, 15, 2), "-R$ 1.234.567,89");
  EXPECT_EQ(FloatToStrF(-0.001, FloatFormat::Currency, 15, 2), "R$ 0,00");
  EXPECT_EQ(FloatToStrF(0, FloatFormat::Currency, 15, 2), "R$ 0,00");
}

TEST_F(FormatTest, CurrencyFormatCodes) {
  const char* pos[] = {"$1,00", "1,00$", "$ 1,00", "1,00 $"};
  const char* neg[] = {"($1,00)", "-$1,00", "$-1,00", "$1,00-", "(1,00$)", "-1,00$", "1,00-$", "1,00$-",
                       "-1,00 $", "-$ 1,00", "1,00 $-", "$ 1,00-", "$ -1,00", "1,00- $", "($ 1,00)", "(1,00 $)"};
  Settings().CurrencyString = "$";
  for (int i = 0; i < 4; ++i) {
    Settings().CurrencyFormat = i;
    EXPECT_EQ(FloatToStrF(1, FloatFormat::Currency, 15, 2), pos[i]) << i;
  }
  for (int i = 0; i < 16; ++i) {
    Settings().NegCurrFormat = i;
    EXPECT_EQ(FloatToStrF(-1, FloatFormat::Currency, 15, 2), neg[i]) << i;
  }
}

TEST_F(FormatTest, FloatToStrFGeneralAndExponent) {
  EXPECT_EQ(FloatToStrF(1234.5678, FloatFormat::General, 6, 0), "1234,57");
  EXPECT_EQ(FloatToStrF(1234567.0, FloatFormat::General, 4, 0), "1,235E6");
  EXPECT_EQ(FloatToStrF(1234567.0, FloatFormat::General, 4, 2), "1,235E06");
  EXPECT_EQ(FloatToStrF(1234.5, FloatFormat::Exponent, 4, 2), "1,235E+03");
  EXPECT_EQ(FloatToStrF(-0.00012345, FloatFormat::Exponent, 3, 1), "-1,23E-4");
  EXPECT_EQ(FloatToStrF(0, FloatFormat::Exponent, 3, 2), "0,00E+00");
}

TEST_F(FormatTest, CurrToStr) {
  EXPECT_EQ(CurrToStr(1234.5), "1234,5");
  EXPECT_EQ(CurrToStr(0), "0");
  EXPECT_EQ(CurrToStr(-2.12345), "-2,1235");  // 4 decimals
  EXPECT_EQ(CurrToStr(0.00005), "0,0001");
  EXPECT_EQ(CurrToStr(10), "10");
}

TEST_F(FormatTest, StrToFloatAccepts) {
  const std::pair<const char*, double> cases[] = {
      {"0", 0},          {"10,5", 10.5},   {"-10,5", -10.5}, {"+3", 3},        {" 1,25 ", 1.25},
      {"1,", 1},         {",5", 0.5},      {"1E3", 1000},    {"1,5e-2", 0.015}, {"1E+2", 100},
      {"000123", 123},   {"-0", 0},        {"1234567,891", 1234567.891},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(StrToFloat(c.first), c.second) << c.first;
}

TEST_F(FormatTest, StrToFloatRejects) {
  const char* bad[] = {"", " ", "1.234,56", "1.5", "abc", "1,5x", "1E", "E5", ",", "-", "1 2", "1e999",
                       "INF", "NAN", "1,5,6", "\t1"};
  for (const char* s : bad) {
    EXPECT_THROW(StrToFloat(s), EConvertError) << "'" << s << "'";
    double v = 42;
    EXPECT_FALSE(TryStrToFloat(s, v)) << s;
    EXPECT_EQ(StrToFloatDef(s, 7), 7) << s;
  }
  try {
    StrToFloat("1.234,56");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'1.234,56' is not a valid floating point value");
  }
}

TEST_F(FormatTest, StrToFloatFollowsLocale) {
  Settings().DecimalSeparator = '.';
  EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
  EXPECT_THROW(StrToFloat("1,5"), EConvertError);
}

TEST_F(FormatTest, FloatRoundTripThroughText) {
  const double values[] = {0.1, 1234.56, 1e-10, 123456789.125, 0.3};
  for (double v : values) EXPECT_DOUBLE_EQ(StrToFloat(FloatToStr(v)), v) << v;
}

// ---------------------------------------------------------------- Format

TEST_F(FormatTest, FormatTable) {
  struct Case {
    const char* fmt;
    std::vector<Variant> args;
    const char* expected;
  };
  const Case cases[] = {
      {"%s", {Variant("abc")}, "abc"},
      {"%d", {Variant(42)}, "42"},
      {"%d", {Variant(int64_t(-9000000000))}, "-9000000000"},
      {"%.2f", {Variant(1.115)}, "1,11"},
      {"%.2f", {Variant(1234567.891)}, "1234567,89"},
      {"%f", {Variant(2.5)}, "2,50"},
      {"%.0f", {Variant(2.5)}, "3"},
      {"%.3f", {Variant(5)}, "5,000"},
      {"%n", {Variant(1234567.891)}, "1.234.567,89"},
      {"%.1n", {Variant(-1234.56)}, "-1.234,6"},
      {"%m", {Variant(1234.5)}, "R$ 1.234,50"},
      {"%m", {Variant(-1234.5)}, "-R$ 1.234,50"},
      {"%e", {Variant(1234.5)}, "1,23450000000000E+003"},
      {"%.3e", {Variant(1234.5)}, "1,23E+003"},
      {"%g", {Variant(10.5)}, "10,5"},
      {"%g", {Variant(1e20)}, "1E020"},
      {"%5d|", {Variant(42)}, "   42|"},
      {"%-5d|", {Variant(42)}, "42   |"},
      {"%.5d", {Variant(42)}, "00042"},
      {"%.3d", {Variant(-5)}, "-005"},
      {"%8.3d", {Variant(-5)}, "    -005"},
      {"%x", {Variant(255)}, "FF"},
      {"%.4x", {Variant(255)}, "00FF"},
      {"%x", {Variant(-1)}, "FFFFFFFF"},
      {"%u", {Variant(-1)}, "4294967295"},
      {"%u", {Variant(7)}, "7"},
      {"%.2s", {Variant("abcdef")}, "ab"},
      {"%6s|", {Variant("ab")}, "    ab|"},
      {"%-6s|", {Variant("ab")}, "ab    |"},
      {"%s", {Variant(10.5)}, "10,5"},
      {"%s", {Variant(7)}, "7"},
      {"%s", {Variant(true)}, "True"},
      {"%s", {Variant()}, ""},
      {"100%%", {}, "100%"},
      {"%s-%s", {Variant("a"), Variant("b")}, "a-b"},
      {"%1:s-%0:s", {Variant("a"), Variant("b")}, "b-a"},
      {"%0:s %s", {Variant("a"), Variant("b")}, "a b"},
      {"%*d", {Variant(4), Variant(7)}, "   7"},
      {"%.*f", {Variant(1), Variant(2.25)}, "2,3"},  // 2.25 exactly: half away from zero
      {"Item %03d", {Variant(7)}, "Item   7"},  // a '0' flag is a width of 3: blanks (run-time rule)
      {"%D", {Variant(7)}, "7"},
      {"%.f", {Variant(2.5)}, "3"},  // a missing precision after '.' is 0
      {"%-*d|", {Variant(3), Variant(7)}, "7  |"},
      {"%.*s", {Variant(2), Variant("abc")}, "ab"},
      {"%f", {Variant::FromDateTime(1.5)}, "1,50"},
      {"%1:s %s %0:s", {Variant("a"), Variant("b"), Variant("c")}, "b c a"},
      {"no args", {}, "no args"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.fmt, c.args), c.expected) << c.fmt;
}

TEST_F(FormatTest, FormatErrors) {
  EXPECT_THROW(Format("%d", {}), EFormatError);
  EXPECT_THROW(Format("%s %s", {Variant("a")}), EFormatError);
  EXPECT_THROW(Format("%d", {Variant(1.5)}), EConvertError);
  EXPECT_THROW(Format("%d", {Variant("12")}), EConvertError);
  EXPECT_THROW(Format("%f", {Variant("1,5")}), EConvertError);
  EXPECT_THROW(Format("%q", {Variant(1)}), EConvertError);
  EXPECT_THROW(Format("%", {Variant(1)}), EConvertError);
  EXPECT_THROW(Format("%s", {Variant::Null()}), EConvertError);
  EXPECT_THROW(Format("%s", {Variant::CreateArray(2)}), EConvertError);
  try {
    Format("%d", {Variant("x")});
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Format '%d' invalid or incompatible with argument");
  }
  EXPECT_THROW(Format("%*d", {Variant("4"), Variant(7)}), EConvertError);
  try {
    Format("abc %-5", {Variant(1)});
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Format '%-5' invalid or incompatible with argument");
  }
  try {
    Format("%s", {});
    FAIL();
  } catch (const EFormatError& e) {
    EXPECT_STREQ(e.what(), "No argument for format '%s'");
  }
}

}  // namespace
