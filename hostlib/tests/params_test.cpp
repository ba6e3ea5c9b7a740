// Parameter records (RecebeParams) and the date-time difference text (SubtDataHoraKvx).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "hostlib/params.h"
#include "platform/datetime.h"
#include "platform/format.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "platform/variant.h"

namespace {

using hostlib::EParamNotFound;
using hostlib::RecebeParams;
using hostlib::SubtDataHoraKvx;
using rtl::Variant;

std::string Cp(const std::string& utf8) { return rtl::Utf8ToCp1252(utf8); }

Variant Pair(Variant k, Variant v) { return Variant(std::vector<Variant>{std::move(k), std::move(v)}); }

class Params : public ::testing::Test {
 protected:
  Variant record_ = Variant(std::vector<Variant>{
      Pair("CDFILIAL", "0001"),
      Pair("cdcaixa", "01"),
      Pair("BOUTILTAA", true),
      Pair("IDTIPOIMP", 3),
      Pair("LISTA", Variant(std::vector<Variant>{1, 2})),
      Pair("Esquema", "001"),
      Pair("ESQUEMA", "002"),
      Pair("CDFILIAL", "9999"),
  });
};

TEST_F(Params, FindsValuesByKey) {
  EXPECT_EQ(RecebeParams(record_, "CDFILIAL"), Variant("0001"));  // first of two wins
  EXPECT_EQ(RecebeParams(record_, "BOUTILTAA"), Variant(true));
  EXPECT_EQ(RecebeParams(record_, "IDTIPOIMP"), Variant(3));
  EXPECT_EQ(RecebeParams(record_, "LISTA"), Variant(std::vector<Variant>{1, 2}));
}

TEST_F(Params, CaseInsensitiveOnlyWhenNoExactKey) {
  EXPECT_EQ(RecebeParams(record_, "CDCAIXA"), Variant("01"));
  EXPECT_EQ(RecebeParams(record_, "cdfilial"), Variant("0001"));
  // "Esquema" comes first, but "ESQUEMA" is an exact match.
  EXPECT_EQ(RecebeParams(record_, "ESQUEMA"), Variant("002"));
  EXPECT_EQ(RecebeParams(record_, "Esquema"), Variant("001"));
  EXPECT_EQ(RecebeParams(record_, "esquema"), Variant("001"));
}

TEST_F(Params, MissingKeyRaisesNamingTheKey) {
  try {
    RecebeParams(record_, "NRSERIEIMP");
    FAIL() << "no error";
  } catch (const EParamNotFound& e) {
    EXPECT_EQ(std::string(e.what()), Cp("Parâmetro NRSERIEIMP não encontrado."));
    EXPECT_STREQ(e.className(), "EParamNotFound");
  }
  EXPECT_THROW(RecebeParams(Variant(std::vector<Variant>{}), "CDFILIAL"), EParamNotFound);
  EXPECT_THROW(RecebeParams(record_, ""), EParamNotFound);
  // A prefix is not the key.
  EXPECT_THROW(RecebeParams(record_, "CDFIL"), EParamNotFound);
}

TEST(ParamsMalformed, RecordsThatAreNotListsOfPairsRaise) {
  struct Case {
    const char* what;
    Variant record;
  };
  const Case cases[] = {
      {"unassigned", Variant()},
      {"null", Variant::Null()},
      {"text", Variant("CDFILIAL")},
      {"number", Variant(1)},
      {"flat list", Variant(std::vector<Variant>{"CDFILIAL", "0001"})},
      {"pair of one", Variant(std::vector<Variant>{Variant(std::vector<Variant>{"CDFILIAL"})})},
      {"pair of three", Variant(std::vector<Variant>{Variant(std::vector<Variant>{"CDFILIAL", "0001", "x"})})},
      {"key not a text", Variant(std::vector<Variant>{Pair(1, "0001")})},
      // The fault comes after the pair that holds the key: still refused.
      {"bad item after the key", Variant(std::vector<Variant>{Pair("CDFILIAL", "0001"), Variant(5)})},
  };
  for (const Case& c : cases) {
    try {
      RecebeParams(c.record, "CDFILIAL");
      ADD_FAILURE() << c.what << ": no error";
    } catch (const EParamNotFound& e) {
      EXPECT_NE(std::string(e.what()).find("CDFILIAL"), std::string::npos) << c.what << ": " << e.what();
    }
  }
}

// ---- SubtDataHoraKvx ----

rtl::TDateTime Base() { return rtl::EncodeDate(2026, 7, 15) + rtl::EncodeTime(10, 0, 0, 0); }
constexpr double kMin = 1.0 / 1440;
constexpr double kSec = 1.0 / 86400;

TEST(SubtDataHora, Table) {
  const rtl::TDateTime kBase = Base();
  struct Case {
    const char* what;
    rtl::TDateTime a, b;
    const char* expected;
  };
  const Case cases[] = {
      {"equal", kBase, kBase, "00:00"},
      {"14 minutes ahead", kBase + 14 * kMin, kBase, "00:14"},
      {"16 minutes behind", kBase, kBase + 16 * kMin, "-00:16"},
      {"one hour", kBase + 60 * kMin, kBase, "01:00"},
      {"seconds are dropped", kBase + 15 * kMin + 59 * kSec, kBase, "00:15"},
      {"under a minute has no sign", kBase, kBase + 30 * kSec, "00:00"},
      {"23:59:59", kBase + 1 - kSec, kBase, "23:59"},
      {"across midnight", rtl::EncodeDate(2026, 7, 16) + rtl::EncodeTime(0, 5, 0, 0),
       rtl::EncodeDate(2026, 7, 15) + rtl::EncodeTime(23, 55, 0, 0), "00:10"},
      // Built separately, the two times differ from 15 minutes by binary error.
      {"binary error", rtl::EncodeTime(10, 15, 0, 0), rtl::EncodeTime(10, 0, 0, 0), "00:15"},
      {"one day is capped", kBase + 1, kBase, "23:59"},
      {"26 hours is capped", kBase + 26 * 60 * kMin + 5 * kMin, kBase, "23:59"},
      {"a year behind is capped", kBase - 365, kBase, "-23:59"},
      // Before 30/12/1899 the time of day is a positive fraction after a
      // negative day: -1.25 is 29/12/1899 06:00, 18 hours before 0.0.
      {"before the epoch", -1.25, 0.0, "-18:00"},
      {"not a number", std::numeric_limits<double>::quiet_NaN(), kBase, "23:59"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SubtDataHoraKvx(c.a, c.b), c.expected) << c.what;
  }
}

TEST(SubtDataHora, UsesTheLocaleTimeSeparator) {
  rtl::ScopedSettings saved;
  rtl::Settings().TimeSeparator = '.';
  const rtl::TDateTime base = Base();
  EXPECT_EQ(SubtDataHoraKvx(base, base + 75 * kMin), "-01.15");
  rtl::TDateTime t = 0;
  EXPECT_TRUE(rtl::TryStrToTime("01.15", t));
}

// The clock check converts the text (without its sign) with StrToTime and
// compares "hhnn" with 15: every difference beyond 15 minutes must convert
// and fail that test, however large.
TEST(SubtDataHora, AnyLargeDifferenceFailsTheClockCheck) {
  const rtl::TDateTime kBase = Base();
  struct Case {
    double offsetDays;
    bool withinTolerance;
  };
  const Case cases[] = {
      {14 * kMin, true},     {-14 * kMin, true},     {15 * kMin, true},
      {16 * kMin, false},    {-16 * kMin, false},    {60 * kMin, false},
      {-60 * kMin, false},   {26 * 60 * kMin, false}, {-26 * 60 * kMin, false},
      {30, false},           {-3650, false},
  };
  for (const Case& c : cases) {
    std::string text = SubtDataHoraKvx(kBase + c.offsetDays, kBase);
    std::string unsigned_ = text[0] == '-' ? rtl::Copy(text, 2, 5) : text;
    rtl::TDateTime t = 0;
    ASSERT_TRUE(rtl::TryStrToTime(unsigned_, t)) << text;
    int hhnn = rtl::StrToInt(rtl::FormatDateTime("hhnn", t));
    EXPECT_EQ(hhnn <= 15, c.withinTolerance) << text;
  }
}

}  // namespace
