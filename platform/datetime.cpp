// Date-times: days since 30/12/1899 with the time of day as the fraction.
//
// Decoding follows the run-time library: the value is rounded to whole
// milliseconds (half to even); the date part is that count divided by a
// day's milliseconds truncating toward zero, and the time of day is the
// absolute remainder. So -1.25 is 29/12/1899 06:00 and -0.75 is
// 30/12/1899 18:00. Combining a date before 1899 with a time (StrToDateTime,
// FromUnixSeconds) subtracts the time, as the run-time library does.
//
// Parsing (StrToDate/StrToTime/StrToDateTime) follows the run-time library's
// scanner, with these choices:
// - only the blank (32) is skipped around numbers and separators;
// - the whole text must be consumed, also by StrToDateTime (the run-time
//   library let trailing text after a time pass; this layer raises);
// - a 1- or 2-digit year is windowed: years below (current year - 50) go to
//   the next century (the current year comes from the Env clock);
// - milliseconds after the seconds use the locale's decimal separator and
//   are read as a number of milliseconds ("09:05:07,5" is 5 ms), as the
//   run-time library reads them; AM/PM (the locale's strings or "AM"/"PM",
//   any case) before or after the time select the 12-hour clock.
#include "platform/datetime.h"

#include <cmath>
#include <cstdio>

#include "platform/env.h"
#include "platform/errors.h"
#include "platform/locale.h"
#include "platform/os.h"
#include "platform/text.h"

namespace rtl {

namespace {

constexpr int64_t kMSecsPerDay = 86400000;
// days_from_civil(1899, 12, 30) relative to 1970-01-01.
constexpr int64_t kEpochToUnixDays = 25569;

// Howard Hinnant's algorithms (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// The run-time library's DateTimeToTimeStamp: whole days (toward zero) and
// milliseconds of the day (absolute).
void Split(TDateTime dt, int64_t& days, int64_t& msOfDay) {
  double ms = std::nearbyint(dt * static_cast<double>(kMSecsPerDay));
  if (!std::isfinite(ms) || std::fabs(ms) > 9.0e17) {
    days = 0;
    msOfDay = 0;
    return;
  }
  int64_t t = static_cast<int64_t>(ms);
  days = t / kMSecsPerDay;
  msOfDay = (t < 0 ? -t : t) % kMSecsPerDay;
}

TDateTime Combine(TDateTime date, TDateTime time) { return date < 0 ? date - time : date + time; }

[[noreturn]] void Invalid(const char* what, std::string_view s) {
  throw EConvertError("'" + std::string(s) + "' is not a valid " + what);
}

// ---------------------------------------------------------------- formatting

class DateTimeFormatter {
 public:
  DateTimeFormatter(TDateTime dt, const FormatSettings& fs) : dt_(dt), fs_(fs) {
    DecodeDateTime(dt, d_, t_);
  }
  std::string Run(std::string_view fmt) {
    Append(fmt.empty() ? std::string_view("C") : fmt, 0);
    return out_;
  }

 private:
  void Number(int v, int minDigits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*d", minDigits, v);
    out_ += buf;
  }

  static bool StartsI(std::string_view s, size_t at, std::string_view what) {
    if (at + what.size() > s.size()) return false;
    return SameText(s.substr(at, what.size()), what);
  }

  // One pass over a format text. Nested formats (ddddd, c, t, ...) get a
  // pass of their own, so the 12-hour clock chosen in one does not leak into
  // another.
  struct Pass {
    std::string_view f;
    int level;
    size_t i = 0;
    char starter = ' ';  // the letter as written, before case folding
    bool use12 = false;

    // Consumes the repeats of the current letter; answers how many letters
    // the token has.
    int Repeat() {
      int n = 1;
      while (i < f.size() && f[i] == starter) {
        ++n;
        ++i;
      }
      return n;
    }
  };

  void Append(std::string_view f, int level) {
    if (level >= 2) return;  // the run-time library nests at most twice
    Pass p{f, level};
    char lastToken = ' ';
    while (p.i < f.size()) {
      p.starter = f[p.i++];
      char token = p.starter;
      if (token >= 'a' && token <= 'z') token = static_cast<char>(token - 32);
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && lastToken == 'H') token = 'N';
        lastToken = token;
      }
      AppendToken(p, token);
    }
  }

  void AppendToken(Pass& p, char token) {
    switch (token) {
      case 'Y': AppendYear(p.Repeat()); break;
      case 'M': AppendMonth(p.Repeat()); break;
      case 'D': AppendDay(p.Repeat(), p.level); break;
      case 'H': AppendHour(p); break;
      case 'N': AppendCapped(t_.minute, p.Repeat(), 2); break;
      case 'S': AppendCapped(t_.second, p.Repeat(), 2); break;
      case 'T': {
        const int n = p.Repeat();
        Append(n == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, p.level + 1);
        break;
      }
      case 'Z': AppendCapped(t_.msec, p.Repeat(), 3); break;
      case 'A': AppendAmPmOrDayName(p); break;
      case 'C':
        p.Repeat();
        AppendDateAndTime(p.level);
        break;
      case '/':
        if (fs_.DateSeparator != '\0') out_ += fs_.DateSeparator;
        break;
      case ':':
        if (fs_.TimeSeparator != '\0') out_ += fs_.TimeSeparator;
        break;
      case '\'':
      case '"': AppendQuoted(p); break;
      default: out_ += p.starter; break;
    }
  }

  // A number written with as many digits as the token has letters, up to max.
  void AppendCapped(int v, int letters, int max) { Number(v, letters > max ? max : letters); }

  void AppendYear(int n) {
    if (n <= 2) Number(d_.year % 100, 2);
    else Number(d_.year, 4);
  }

  void AppendMonth(int n) {
    if (n <= 2) Number(d_.month, n);
    else if (d_.month >= 1 && d_.month <= 12)
      out_ += n == 3 ? fs_.ShortMonthNames[d_.month - 1] : fs_.LongMonthNames[d_.month - 1];
  }

  void AppendDay(int n, int level) {
    if (n <= 2) Number(d_.day, n);
    else if (n == 3) out_ += fs_.ShortDayNames[DayOfWeek(dt_) - 1];
    else if (n == 4) out_ += fs_.LongDayNames[DayOfWeek(dt_) - 1];
    else if (n == 5) Append(fs_.ShortDateFormat, level + 1);
    else Append(fs_.LongDateFormat, level + 1);
  }

  // The 12-hour clock applies when an am/pm token follows before the next
  // hour token (quoted text is skipped).
  static bool AmPmFollows(std::string_view f, size_t from) {
    bool quoted = false;
    for (size_t p = from; p < f.size(); ++p) {
      char c = f[p];
      if (c == '\'' || c == '"') quoted = !quoted;
      if (quoted) continue;
      if (c == 'A' || c == 'a')
        return StartsI(f, p, "AM/PM") || StartsI(f, p, "A/P") || StartsI(f, p, "AMPM");
      if (c == 'H' || c == 'h') return false;
    }
    return false;
  }

  void AppendHour(Pass& p) {
    const int n = p.Repeat();
    if (AmPmFollows(p.f, p.i)) p.use12 = true;
    int h = t_.hour;
    if (p.use12) {
      if (h == 0) h = 12;
      else if (h > 12) h -= 12;
    }
    Number(h, n > 2 ? 2 : n);
  }

  // "am/pm", "a/p" and "ampm" write the half of the day; "aaa" and "aaaa"
  // the day's name; any other 'a' is itself.
  void AppendAmPmOrDayName(Pass& p) {
    const std::string_view f = p.f;
    const size_t at = p.i - 1;
    if (StartsI(f, at, "AM/PM")) {
      out_.append(f.substr(t_.hour >= 12 ? at + 3 : at, 2));
      p.i += 4;
      p.use12 = true;
    } else if (StartsI(f, at, "A/P")) {
      out_.append(f.substr(t_.hour >= 12 ? at + 2 : at, 1));
      p.i += 2;
      p.use12 = true;
    } else if (StartsI(f, at, "AMPM")) {
      out_ += t_.hour < 12 ? fs_.TimeAMString : fs_.TimePMString;
      p.i += 3;
      p.use12 = true;
    } else if (StartsI(f, at, "AAAA")) {
      out_ += fs_.LongDayNames[DayOfWeek(dt_) - 1];
      p.i += 3;
    } else if (StartsI(f, at, "AAA")) {
      out_ += fs_.ShortDayNames[DayOfWeek(dt_) - 1];
      p.i += 2;
    } else {
      out_ += p.starter;
    }
  }

  // "c": the short date, and the long time unless the time is midnight.
  void AppendDateAndTime(int level) {
    Append(fs_.ShortDateFormat, level + 1);
    if (t_.hour != 0 || t_.minute != 0 || t_.second != 0) {
      out_ += ' ';
      Append(fs_.LongTimeFormat, level + 1);
    }
  }

  // Text between quotes is copied as it stands; an unclosed quote runs to the end.
  void AppendQuoted(Pass& p) {
    const size_t start = p.i;
    while (p.i < p.f.size() && p.f[p.i] != p.starter) ++p.i;
    out_.append(p.f.substr(start, p.i - start));
    if (p.i < p.f.size()) ++p.i;
  }

  TDateTime dt_;
  const FormatSettings& fs_;
  DateParts d_;
  TimeParts t_;
  std::string out_;
};

// ------------------------------------------------------------------ parsing

enum class DateOrder { MDY, DMY, YMD };

DateOrder GetDateOrder(std::string_view fmt) {
  for (char c : fmt) {
    switch (c & 0xDF) {
      case 'E':
      case 'Y': return DateOrder::YMD;
      case 'M': return DateOrder::MDY;
      case 'D': return DateOrder::DMY;
      default: break;
    }
  }
  return DateOrder::MDY;
}

class Scanner {
 public:
  explicit Scanner(std::string_view s) : s_(s) {}
  bool AtEnd() const { return pos_ >= s_.size(); }
  size_t pos() const { return pos_; }
  void set_pos(size_t p) { pos_ = p; }

  void Blanks() {
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
  }
  bool Number(int& n, int& digits) {
    Blanks();
    size_t i = pos_;
    int v = 0;
    while (i < s_.size() && s_[i] >= '0' && s_[i] <= '9' && v < 1000) {
      v = v * 10 + (s_[i] - '0');
      ++i;
    }
    if (i == pos_) return false;
    digits = static_cast<int>(i - pos_);
    pos_ = i;
    n = v;
    return true;
  }
  bool Char(char c) {
    Blanks();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool String(std::string_view sym) {
    if (sym.empty()) return false;
    Blanks();
    if (pos_ + sym.size() <= s_.size() && AnsiSameText(s_.substr(pos_, sym.size()), sym)) {
      pos_ += sym.size();
      return true;
    }
    return false;
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
};

int CurrentYear() { return DecodeDate(Now()).year; }

bool ScanDate(Scanner& sc, const FormatSettings& fs, TDateTime& out) {
  DateOrder order = GetDateOrder(fs.ShortDateFormat);
  int n1, n2, n3, l1, l2, l3;
  if (!(sc.Number(n1, l1) && sc.Char(fs.DateSeparator) && sc.Number(n2, l2))) return false;
  int y, m, d;
  if (sc.Char(fs.DateSeparator)) {
    if (!sc.Number(n3, l3)) return false;
    int yearLen;
    switch (order) {
      case DateOrder::MDY: y = n3; yearLen = l3; m = n1; d = n2; break;
      case DateOrder::DMY: y = n3; yearLen = l3; m = n2; d = n1; break;
      default: y = n1; yearLen = l1; m = n2; d = n3; break;
    }
    if (yearLen <= 2) {
      int window = fs.TwoDigitYearCenturyWindow;
      int base = CurrentYear() - window;
      y += base / 100 * 100;
      if (window > 0 && y < base) y += 100;
    }
  } else {
    y = CurrentYear();
    if (order == DateOrder::MDY) { d = n2; m = n1; }
    else { d = n1; m = n2; }
  }
  sc.Char('.');
  sc.Blanks();
  return TryEncodeDate(y, m, d, out);
}

bool ScanTime(Scanner& sc, const FormatSettings& fs, TDateTime& out) {
  int baseHour = -1;
  if (sc.String(fs.TimeAMString) || sc.String("AM")) baseHour = 0;
  else if (sc.String(fs.TimePMString) || sc.String("PM")) baseHour = 12;
  if (baseHour >= 0) sc.Blanks();
  int hour, minute = 0, second = 0, msec = 0, junk;
  if (!sc.Number(hour, junk)) return false;
  if (sc.Char(fs.TimeSeparator)) {
    if (!sc.Number(minute, junk)) return false;
    if (sc.Char(fs.TimeSeparator)) {
      if (!sc.Number(second, junk)) return false;
      if (sc.Char(fs.DecimalSeparator))
        if (!sc.Number(msec, junk)) return false;
    }
  }
  if (baseHour < 0) {
    if (sc.String(fs.TimeAMString) || sc.String("AM")) baseHour = 0;
    else if (sc.String(fs.TimePMString) || sc.String("PM")) baseHour = 12;
  }
  if (baseHour >= 0) {
    if (hour == 0 || hour > 12) return false;
    if (hour == 12) hour = 0;
    hour += baseHour;
  }
  sc.Blanks();
  return TryEncodeTime(hour, minute, second, msec, out);
}

}  // namespace

// ------------------------------------------------------------ encode/decode

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  out = static_cast<double>(DaysFromCivil(year, month, day) + kEpochToUnixDays);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out) {
  if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 || msec < 0 ||
      msec >= 1000)
    return false;
  out = static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + msec) /
        static_cast<double>(kMSecsPerDay);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime r;
  if (!TryEncodeDate(year, month, day, r))
    throw EConvertError("Invalid argument to date encode: " + std::to_string(year) + "-" +
                        std::to_string(month) + "-" + std::to_string(day));
  return r;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime r;
  if (!TryEncodeTime(hour, minute, second, msec, r))
    throw EConvertError("Invalid argument to time encode: " + std::to_string(hour) + ":" +
                        std::to_string(minute) + ":" + std::to_string(second) + "." + std::to_string(msec));
  return r;
}

DateParts DecodeDate(TDateTime dt) {
  int64_t days, ms;
  Split(dt, days, ms);
  DateParts p;
  int64_t z = days - kEpochToUnixDays;
  // Outside years 1..9999 the run-time library gives zeros.
  if (z < DaysFromCivil(1, 1, 1) || z > DaysFromCivil(9999, 12, 31)) return p;
  CivilFromDays(z, p.year, p.month, p.day);
  return p;
}

TimeParts DecodeTime(TDateTime dt) {
  int64_t days, ms;
  Split(dt, days, ms);
  TimeParts t;
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.msec = static_cast<int>(ms % 1000);
  return t;
}

void DecodeDateTime(TDateTime dt, DateParts& d, TimeParts& t) {
  d = DecodeDate(dt);
  t = DecodeTime(dt);
}

int DayOfWeek(TDateTime dt) {
  int64_t days, ms;
  Split(dt, days, ms);
  int64_t stamp = days + 693594;  // days since 1/1/0001 (a Monday is 1)
  int64_t r = stamp % 7;
  if (r < 0) r += 7;
  return static_cast<int>(r) + 1;
}

TDateTime Now() { return CurrentEnv()->Now(); }

TDateTime Date() {
  TDateTime n = Now();
  return std::trunc(n);
}

TDateTime Time() {
  TDateTime n = Now();
  return n - std::trunc(n);
}

// --------------------------------------------------------------- formatting

std::string FormatDateTime(std::string_view fmt, TDateTime dt) {
  return DateTimeFormatter(dt, Settings()).Run(fmt);
}

std::string DateToStr(TDateTime dt) { return FormatDateTime("ddddd", dt); }
std::string TimeToStr(TDateTime dt) { return FormatDateTime("tt", dt); }
std::string DateTimeToStr(TDateTime dt) { return FormatDateTime("c", dt); }

// ------------------------------------------------------------------ parsing

bool TryStrToDate(std::string_view s, TDateTime& out) {
  Scanner sc(s);
  TDateTime d;
  if (!ScanDate(sc, Settings(), d) || !sc.AtEnd()) return false;
  out = d;
  return true;
}

bool TryStrToTime(std::string_view s, TDateTime& out) {
  Scanner sc(s);
  TDateTime t;
  if (!ScanTime(sc, Settings(), t) || !sc.AtEnd()) return false;
  out = t;
  return true;
}

bool TryStrToDateTime(std::string_view s, TDateTime& out) {
  const FormatSettings& fs = Settings();
  Scanner sc(s);
  TDateTime d, t = 0;
  if (ScanDate(sc, fs, d)) {
    if (sc.AtEnd() || (ScanTime(sc, fs, t) && sc.AtEnd())) {
      out = Combine(d, t);
      return true;
    }
  }
  return TryStrToTime(s, out);
}

TDateTime StrToDate(std::string_view s) {
  TDateTime r;
  if (!TryStrToDate(s, r)) Invalid("date", s);
  return r;
}

TDateTime StrToTime(std::string_view s) {
  TDateTime r;
  if (!TryStrToTime(s, r)) Invalid("time", s);
  return r;
}

TDateTime StrToDateTime(std::string_view s) {
  TDateTime r;
  if (!TryStrToDateTime(s, r)) Invalid("date and time", s);
  return r;
}

// ---------------------------------------------------------------------- ISO

std::string ToIso(TDateTime dt) {
  DateParts d;
  TimeParts t;
  DecodeDateTime(dt, d, t);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", d.year, d.month, d.day, t.hour,
                t.minute, t.second, t.msec);
  return buf;
}

// "YYYY-MM-DD", optionally followed by "T" (or a blank) and "hh:mm",
// "hh:mm:ss" or "hh:mm:ss.f" with 1 to 3 fraction digits (".5" is 500 ms).
bool TryParseIso(std::string_view s, TDateTime& out) {
  auto digits = [&](size_t at, size_t n, int& v) {
    if (at + n > s.size()) return false;
    v = 0;
    for (size_t i = at; i < at + n; ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      v = v * 10 + (s[i] - '0');
    }
    return true;
  };
  int y, mo, d;
  if (!digits(0, 4, y) || s.size() < 10 || s[4] != '-' || !digits(5, 2, mo) || s[7] != '-' ||
      !digits(8, 2, d))
    return false;
  TDateTime date;
  if (!TryEncodeDate(y, mo, d, date)) return false;
  if (s.size() == 10) {
    out = date;
    return true;
  }
  if (s[10] != 'T' && s[10] != ' ') return false;
  int h, mi, sec = 0, ms = 0;
  if (!digits(11, 2, h) || s.size() < 16 || s[13] != ':' || !digits(14, 2, mi)) return false;
  size_t p = 16;
  if (p < s.size()) {
    if (s[p] != ':' || !digits(p + 1, 2, sec)) return false;
    p += 3;
    if (p < s.size()) {
      if (s[p] != '.' && s[p] != ',') return false;
      ++p;
      size_t n = s.size() - p;
      if (n < 1 || n > 3 || !digits(p, n, ms)) return false;
      for (size_t k = n; k < 3; ++k) ms *= 10;
    }
  }
  TDateTime time;
  if (!TryEncodeTime(h, mi, sec, ms, time)) return false;
  out = Combine(date, time);
  return true;
}

// ----------------------------------------------------------- Unix seconds

TDateTime FromUnixSeconds(int64_t secs, int msec) {
  os::CalendarTime c = os::LocalFromUnix(secs);
  TDateTime d, t;
  if (!TryEncodeDate(c.year, c.month, c.day, d)) return 0;
  if (msec < 0 || msec > 999) msec = 0;
  if (!TryEncodeTime(c.hour, c.minute, c.second, msec, t)) t = 0;
  return Combine(d, t);
}

int64_t ToUnixSeconds(TDateTime dt) {
  DateParts d;
  TimeParts t;
  DecodeDateTime(dt, d, t);
  os::CalendarTime c;
  c.year = d.year;
  c.month = d.month;
  c.day = d.day;
  c.hour = t.hour;
  c.minute = t.minute;
  c.second = t.second;
  return os::UnixFromLocal(c);
}

}  // namespace rtl
