// Date-times: encode/decode (also before 1899), FormatDateTime tokens,
// parsing with the short date format's order and the two-digit year window.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "platform/datetime.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "platform/locale.h"
#include "tests/support/portable.h"

using namespace rtl;

namespace {

// A date and a time combined as the run-time library does (subtracting the
// time before 30/12/1899).
TDateTime DT(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  TDateTime date = EncodeDate(y, mo, d), time = EncodeTime(h, mi, s, ms);
  return date < 0 ? date - time : date + time;
}

// A frozen clock in June 2026 (the pivot year of the window is then 1976).
class DateTimeTest : public ::testing::Test {
 protected:
  DateTimeTest() : scoped_(&env_) {
    ResetSettings();
    env_.clockFrozen = true;
    env_.frozenNow = DT(2026, 6, 15, 10, 30, 0);
  }
  ScopedSettings keep_;
  ConfigurableEnv env_;
  ScopedEnv scoped_;
};

TEST_F(DateTimeTest, EncodeDateTable) {
  const struct {
    int y, m, d;
    double expected;
  } cases[] = {
      {1899, 12, 30, 0},      {1899, 12, 31, 1},      {1900, 1, 1, 2},       {1900, 3, 1, 61},
      {2024, 3, 1, 45352},    {2000, 2, 29, 36585},   {1899, 12, 29, -1},    {1800, 1, 1, -36522},
      {1, 1, 1, -693593},     {9999, 12, 31, 2958465}, {2026, 1, 1, 46023},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.expected) << c.y << "-" << c.m << "-" << c.d;
    DateParts p = DecodeDate(c.expected);
    EXPECT_EQ(p.year, c.y);
    EXPECT_EQ(p.month, c.m);
    EXPECT_EQ(p.day, c.d);
  }
}

TEST_F(DateTimeTest, EncodeRejects) {
  TDateTime out = 123;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, out));
  EXPECT_FALSE(TryEncodeDate(2024, 13, 1, out));
  EXPECT_FALSE(TryEncodeDate(2024, 0, 1, out));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, out));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, out));
  EXPECT_FALSE(TryEncodeDate(2024, 4, 31, out));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, out));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, out));
  EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, out));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, out));
  EXPECT_FALSE(TryEncodeTime(-1, 0, 0, 0, out));
  EXPECT_EQ(out, 123);
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, out));
}

TEST_F(DateTimeTest, EncodeTimeAndDecode) {
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  TimeParts t = DecodeTime(DT(2024, 3, 1, 9, 5, 7, 123));
  EXPECT_EQ(t.hour, 9);
  EXPECT_EQ(t.minute, 5);
  EXPECT_EQ(t.second, 7);
  EXPECT_EQ(t.msec, 123);
  t = DecodeTime(DT(2024, 3, 1, 23, 59, 59, 999));
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.msec, 999);
  // Every millisecond of a day survives encode/decode (sampled).
  for (int ms = 0; ms < 86400000; ms += 86399) {
    TDateTime v = 45352 + EncodeTime(ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    TimeParts p = DecodeTime(v);
    ASSERT_EQ(((p.hour * 60 + p.minute) * 60 + p.second) * 1000 + p.msec, ms);
  }
}

TEST_F(DateTimeTest, NegativeValuesBefore1899) {
  DateParts d;
  TimeParts t;
  DecodeDateTime(-1.25, d, t);  // date part truncates toward zero, time is the absolute fraction
  EXPECT_EQ(d.year, 1899);
  EXPECT_EQ(d.month, 12);
  EXPECT_EQ(d.day, 29);
  EXPECT_EQ(t.hour, 6);
  DecodeDateTime(-0.75, d, t);
  EXPECT_EQ(d.day, 30);
  EXPECT_EQ(t.hour, 18);
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", -1.25), "29/12/1899 06:00");
  EXPECT_EQ(StrToDateTime("29/12/1899 06:00"), -1.25);
  EXPECT_EQ(DayOfWeek(-1.25), 6);  // 29/12/1899 was a Friday
}

TEST_F(DateTimeTest, DecodeRoundsToMilliseconds) {
  TimeParts t = DecodeTime(EncodeTime(9, 5, 7, 0) - 1e-10);  // a hair below: rounds back up
  EXPECT_EQ(t.second, 7);
  EXPECT_EQ(t.msec, 0);
  DateParts d = DecodeDate(45352.9999999999);  // rounds to the next midnight
  EXPECT_EQ(d.day, 2);
}

TEST_F(DateTimeTest, DayOfWeekAndCalendar) {
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 1)), 6);   // Friday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 3)), 1);   // Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);  // Saturday
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2023, 2), 28);
  EXPECT_EQ(DaysInMonth(2023, 4), 30);
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
}

TEST_F(DateTimeTest, NowDateTimeThroughEnv) {
  EXPECT_EQ(Now(), DT(2026, 6, 15, 10, 30, 0));
  EXPECT_EQ(Date(), EncodeDate(2026, 6, 15));
  EXPECT_DOUBLE_EQ(Time(), EncodeTime(10, 30, 0, 0));
}

TEST_F(DateTimeTest, FormatDateTimeTable) {
  const TDateTime t = DT(2024, 3, 1, 9, 5, 7, 123);
  const struct {
    const char* fmt;
    const char* expected;
  } cases[] = {
      {"ddmmyyyyhhmss", "0103202409507"},
      {"hh mm", "09 05"},
      {"hh:mm", "09:05"},
      {"hh'h'mm", "09h05"},
      {"mm/dd", "03/01"},
      {"dd/mm/yyyy", "01/03/2024"},
      {"d/m/yy", "1/3/24"},
      {"y", "24"},
      {"yyy", "2024"},
      {"ddd", "sex"},
      {"dddd", "sexta-feira"},
      {"mmm", "mar"},
      {"mmmm", "mar\xE7o"},
      {"ddddd", "01/03/2024"},
      {"dddddd", "sexta-feira, 1 de mar\xE7o de 2024"},
      {"hh:nn:ss.zzz", "09:05:07.123"},
      {"z", "123"},
      {"h:n:s", "9:5:7"},
      {"nn", "05"},
      {"c", "01/03/2024 09:05:07"},
      {"", "01/03/2024 09:05:07"},
      {"t", "09:05"},
      {"tt", "09:05:07"},
      {"hh:nn am/pm", "09:05 am"},
      {"hh:nn AM/PM", "09:05 AM"},
      {"h a/p", "9 a"},
      {"hh ampm", "09 AM"},
      {"aaaa", "sexta-feira"},
      {"aaa", "sex"},
      {"yyyy-mm-dd\"T\"hh:nn:ss", "2024-03-01T09:05:07"},
      {"'hoje' dd", "hoje 01"},
      {"\"unterminated", "unterminated"},
      {"dd/mm/yyyy hh:nn:ss", "01/03/2024 09:05:07"},
      {"yyyymmdd", "20240301"},
      {"DD/MM/YYYY HH:NN:SS", "01/03/2024 09:05:07"},
      {"[x]", "[x]"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.fmt, t), c.expected) << c.fmt;
}

TEST_F(DateTimeTest, FormatDateTime12HourClock) {
  EXPECT_EQ(FormatDateTime("h:nn am/pm", DT(2024, 3, 1, 0, 30)), "12:30 am");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", DT(2024, 3, 1, 12, 30)), "12:30 pm");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", DT(2024, 3, 1, 21, 5)), "9:05 pm");
  EXPECT_EQ(FormatDateTime("hh ampm", DT(2024, 3, 1, 21, 5)), "09 PM");
  EXPECT_EQ(FormatDateTime("hh", DT(2024, 3, 1, 21, 5)), "21");
  EXPECT_EQ(FormatDateTime("h a/p", DT(2024, 3, 1, 21, 5)), "9 p");
  // Only a real am/pm token switches the clock: quoted text and a lone 'a' do not.
  EXPECT_EQ(FormatDateTime("hh 'am' am/pm", DT(2024, 3, 1, 21, 5)), "09 am pm");
  EXPECT_EQ(FormatDateTime("hh a", DT(2024, 3, 1, 21, 5)), "21 a");
  // The next hour token ends the look-ahead; the clock chosen stays for the rest.
  EXPECT_EQ(FormatDateTime("hh hh am/pm", DT(2024, 3, 1, 21, 5)), "21 09 pm");
  EXPECT_EQ(FormatDateTime("am/pm hh", DT(2024, 3, 1, 21, 5)), "pm 09");
}

TEST_F(DateTimeTest, FormatDateTimeNestsFormatsAtMostTwice) {
  const TDateTime t = DT(2024, 3, 1, 9, 5, 7);
  Settings().ShortDateFormat = "c";  // would recurse for ever
  EXPECT_EQ(FormatDateTime("ddddd", t), " ");
  EXPECT_EQ(FormatDateTime("[ddddd]", DT(2024, 3, 1)), "[]");
  // The 12-hour clock of a nested format does not reach the outer text.
  Settings().ShortDateFormat = "dd/mm/yyyy";
  Settings().LongTimeFormat = "h am/pm";
  EXPECT_EQ(FormatDateTime("tt hh", DT(2024, 3, 1, 21, 5)), "9 pm 21");
}

TEST_F(DateTimeTest, FormatDateTimeSeparatorsFromLocale) {
  Settings().DateSeparator = '-';
  Settings().TimeSeparator = '.';
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", DT(2024, 3, 1, 9, 5)), "01-03-2024 09.05");
  EXPECT_EQ(FormatDateTime("dd'/'mm", DT(2024, 3, 1)), "01/03");
}

TEST_F(DateTimeTest, DateTimeToStrFamily) {
  EXPECT_EQ(DateTimeToStr(DT(2024, 3, 1, 9, 5, 7)), "01/03/2024 09:05:07");
  EXPECT_EQ(DateTimeToStr(DT(2024, 3, 1)), "01/03/2024");
  EXPECT_EQ(DateTimeToStr(DT(2024, 3, 1, 0, 0, 0, 500)), "01/03/2024");  // milliseconds alone are midnight
  EXPECT_EQ(DateToStr(DT(2024, 3, 1, 9, 5, 7)), "01/03/2024");
  EXPECT_EQ(TimeToStr(DT(2024, 3, 1, 9, 5, 7)), "09:05:07");
  EXPECT_EQ(DateTimeToStr(0), "30/12/1899");
}

TEST_F(DateTimeTest, StrToDateAccepts) {
  const struct {
    const char* s;
    TDateTime expected;
  } cases[] = {
      {"01/03/2024", EncodeDate(2024, 3, 1)},
      {"1/3/2024", EncodeDate(2024, 3, 1)},
      {"  01/03/2024  ", EncodeDate(2024, 3, 1)},
      {"01 / 03 / 2024", EncodeDate(2024, 3, 1)},
      {"01/03/75", EncodeDate(2075, 3, 1)},
      {"01/03/76", EncodeDate(1976, 3, 1)},
      {"01/03/00", EncodeDate(2000, 3, 1)},
      {"01/03/5", EncodeDate(2005, 3, 1)},
      {"01/03", EncodeDate(2026, 3, 1)},
      {"29/02/2024", EncodeDate(2024, 2, 29)},
      {"01/03/0024", EncodeDate(24, 3, 1)},
      {"01/03/2024.", EncodeDate(2024, 3, 1)},  // the run-time's scanner allows one trailing '.'
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToDate(c.s), c.expected) << c.s;
    EXPECT_EQ(StrToDateTime(c.s), c.expected) << c.s;
  }
}

TEST_F(DateTimeTest, StrToDateRejects) {
  const char* bad[] = {"31/02/2024", "2024-03-01", "",           "01/03/2024x", "01-03-2024", "1/13/2024",
                       "00/01/2024", "01/03/2024 10:00", "\t01/03/2024", "01/", "/03/2024", "01//2024",
                       "01/03/", "abc", "29/02/2023", "01/03/20245", "01/03/2024/"};
  for (const char* s : bad) {
    EXPECT_THROW(StrToDate(s), EConvertError) << "'" << s << "'";
    TDateTime out = 7;
    EXPECT_FALSE(TryStrToDate(s, out)) << s;
    EXPECT_EQ(out, 7);
  }
  try {
    StrToDate("31/02/2024");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'31/02/2024' is not a valid date");
  }
}

TEST_F(DateTimeTest, StrToDateOrderFollowsShortDateFormat) {
  Settings().ShortDateFormat = "mm/dd/yyyy";
  EXPECT_EQ(StrToDate("03/01/2024"), EncodeDate(2024, 3, 1));
  EXPECT_EQ(StrToDate("03/01"), EncodeDate(2026, 3, 1));
  Settings().ShortDateFormat = "yyyy-mm-dd";
  Settings().DateSeparator = '-';
  EXPECT_EQ(StrToDate("2024-03-01"), EncodeDate(2024, 3, 1));
  EXPECT_EQ(StrToDate("24-03-01"), EncodeDate(2024, 3, 1));
  EXPECT_THROW(StrToDate("01/03/2024"), EConvertError);
}

TEST_F(DateTimeTest, TwoDigitYearWindowMovesWithTheClock) {
  env_.frozenNow = DT(2030, 1, 1);  // pivot 1980
  EXPECT_EQ(StrToDate("01/03/79"), EncodeDate(2079, 3, 1));
  EXPECT_EQ(StrToDate("01/03/80"), EncodeDate(1980, 3, 1));
}

TEST_F(DateTimeTest, StrToTimeTable) {
  const struct {
    const char* s;
    TDateTime expected;
  } cases[] = {
      {"9", EncodeTime(9, 0, 0, 0)},
      {"09:05", EncodeTime(9, 5, 0, 0)},
      {"09:05:07", EncodeTime(9, 5, 7, 0)},
      {"9:5:7", EncodeTime(9, 5, 7, 0)},
      {" 09:05:07 ", EncodeTime(9, 5, 7, 0)},
      {"09:05:07,123", EncodeTime(9, 5, 7, 123)},
      {"23:59:59", EncodeTime(23, 59, 59, 0)},
      {"0:00", 0},
      {"09:05 PM", EncodeTime(21, 5, 0, 0)},
      {"09:05 pm", EncodeTime(21, 5, 0, 0)},
      {"12:00 AM", 0},
      {"12:30 PM", EncodeTime(12, 30, 0, 0)},
      {"PM 1:00", EncodeTime(13, 0, 0, 0)},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(StrToTime(c.s), c.expected) << c.s;
}

TEST_F(DateTimeTest, StrToTimeRejects) {
  const char* bad[] = {"24:00:00", "", "09:60", "09:05:60", "9:", "09:05x", "13:00 PM", "0:30 AM", "abc",
                       "09-05", "09:05:07,1000", "09:05:07:01"};
  for (const char* s : bad) {
    EXPECT_THROW(StrToTime(s), EConvertError) << "'" << s << "'";
    TDateTime out;
    EXPECT_FALSE(TryStrToTime(s, out)) << s;
  }
  try {
    StrToTime("24:00:00");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'24:00:00' is not a valid time");
  }
}

TEST_F(DateTimeTest, StrToDateTimeTable) {
  EXPECT_EQ(StrToDateTime("01/03/2024 09:05:07"), DT(2024, 3, 1, 9, 5, 7));
  EXPECT_EQ(StrToDateTime("01/03/2024 9:05"), DT(2024, 3, 1, 9, 5));
  EXPECT_EQ(StrToDateTime("01/03/2024"), DT(2024, 3, 1));
  EXPECT_DOUBLE_EQ(StrToDateTime("09:05"), EncodeTime(9, 5, 0, 0));
  EXPECT_EQ(StrToDateTime("01/03 09:05"), DT(2026, 3, 1, 9, 5));
  const char* bad[] = {"01/03/2024 25:00", "01/03/2024 09:05:07x", "", "2024-03-01 09:05", "01/03/2024x",
                       "31/02/2024 10:00"};
  for (const char* s : bad) EXPECT_THROW(StrToDateTime(s), EConvertError) << "'" << s << "'";
  try {
    StrToDateTime("x");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x' is not a valid date and time");
  }
}

TEST_F(DateTimeTest, ParsesWhatDateTimeToStrWrites) {
  const TDateTime values[] = {DT(2024, 3, 1, 9, 5, 7), DT(2024, 3, 1), DT(1999, 12, 31, 23, 59, 59),
                              DT(2026, 6, 15, 0, 0, 1), DT(1850, 7, 4, 12, 0, 0)};
  for (TDateTime v : values) {
    EXPECT_EQ(StrToDateTime(DateTimeToStr(v)), v) << DateTimeToStr(v);
    EXPECT_EQ(StrToDate(DateToStr(v)), std::trunc(v));
  }
  Settings().LongTimeFormat = "hh:nn:ss AM/PM";
  EXPECT_EQ(DateTimeToStr(DT(2024, 3, 1, 21, 5, 7)), "01/03/2024 09:05:07 PM");
  EXPECT_EQ(StrToDateTime("01/03/2024 09:05:07 PM"), DT(2024, 3, 1, 21, 5, 7));
}

TEST_F(DateTimeTest, Iso) {
  EXPECT_EQ(ToIso(DT(2024, 3, 1, 9, 5, 7, 123)), "2024-03-01T09:05:07.123");
  EXPECT_EQ(ToIso(DT(2024, 3, 1)), "2024-03-01T00:00:00.000");
  const struct {
    const char* s;
    TDateTime expected;
  } ok[] = {
      {"2024-03-01", DT(2024, 3, 1)},
      {"2024-03-01T09:05:07.123", DT(2024, 3, 1, 9, 5, 7, 123)},
      {"2024-03-01T09:05:07", DT(2024, 3, 1, 9, 5, 7)},
      {"2024-03-01 09:05:07", DT(2024, 3, 1, 9, 5, 7)},
      {"2024-03-01T09:05", DT(2024, 3, 1, 9, 5)},
      {"2024-03-01T09:05:07.5", DT(2024, 3, 1, 9, 5, 7, 500)},
  };
  for (const auto& c : ok) {
    TDateTime v = -1;
    EXPECT_TRUE(TryParseIso(c.s, v)) << c.s;
    EXPECT_EQ(v, c.expected) << c.s;
  }
  const char* bad[] = {"", "2024-3-1", "2024-02-30", "2024-03-01T", "2024-03-01T24:00", "2024-03-01x",
                       "2024-03-01T09:05:07.", "2024-03-01T09:05:07.1234", "01/03/2024"};
  for (const char* s : bad) {
    TDateTime v;
    EXPECT_FALSE(TryParseIso(s, v)) << s;
  }
  TDateTime back;
  ASSERT_TRUE(TryParseIso(ToIso(DT(1999, 12, 31, 23, 59, 59, 999)), back));
  EXPECT_EQ(back, DT(1999, 12, 31, 23, 59, 59, 999));
}

// The C run-time reads TZ again.
void SetZone() {
#ifdef _WIN32
  ::_tzset();
#else
  ::tzset();
#endif
}

TEST_F(DateTimeTest, UnixSecondsInLocalTime) {
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  qortest::SetEnvVar("TZ", "UTC");
  SetZone();
  EXPECT_EQ(FromUnixSeconds(0), DT(1970, 1, 1));
  EXPECT_EQ(FromUnixSeconds(1709283907, 123), DT(2024, 3, 1, 9, 5, 7, 123));
  EXPECT_EQ(ToUnixSeconds(DT(2024, 3, 1, 9, 5, 7)), 1709283907);
  // UTC-3 (no daylight saving since 2019); the C run-time of Windows knows
  // zones by offset only.
#ifdef _WIN32
  qortest::SetEnvVar("TZ", "BRT3");
#else
  qortest::SetEnvVar("TZ", "America/Sao_Paulo");
#endif
  SetZone();
  EXPECT_EQ(FromUnixSeconds(1709283907), DT(2024, 3, 1, 6, 5, 7));
  EXPECT_EQ(ToUnixSeconds(DT(2024, 3, 1, 6, 5, 7)), 1709283907);
  if (old) qortest::SetEnvVar("TZ", saved);
  else qortest::UnsetEnvVar("TZ");
  SetZone();
  EXPECT_EQ(ToUnixSeconds(FromUnixSeconds(1709283907)), 1709283907);
}

}  // namespace
