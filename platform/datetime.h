// Date-times as days since 30 December 1899; the fraction is the time of day.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace rtl {

using TDateTime = double;

struct DateParts { int year = 0, month = 0, day = 0; };
struct TimeParts { int hour = 0, minute = 0, second = 0, msec = 0; };

// Raise EConvertError on an invalid date or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out);
DateParts DecodeDate(TDateTime dt);
TimeParts DecodeTime(TDateTime dt);
void DecodeDateTime(TDateTime dt, DateParts& d, TimeParts& t);
int DayOfWeek(TDateTime dt);  // 1 = Sunday .. 7 = Saturday
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// The current date-time through the clock seam (Env).
TDateTime Now();
TDateTime Date();   // today, no time
TDateTime Time();   // time only

// Formatting and parsing with the locale settings.
std::string FormatDateTime(std::string_view fmt, TDateTime dt);
std::string DateToStr(TDateTime dt);      // ShortDateFormat
std::string TimeToStr(TDateTime dt);      // LongTimeFormat
std::string DateTimeToStr(TDateTime dt);  // date, and the time when not midnight

// Parsing follows the short date format's order of day, month and year.
// Raise EConvertError on text that is not a valid date/time.
TDateTime StrToDate(std::string_view s);
TDateTime StrToTime(std::string_view s);
TDateTime StrToDateTime(std::string_view s);
bool TryStrToDate(std::string_view s, TDateTime& out);
bool TryStrToTime(std::string_view s, TDateTime& out);
bool TryStrToDateTime(std::string_view s, TDateTime& out);

// ISO forms used by hosts and files: "YYYY-MM-DD", "YYYY-MM-DDThh:mm:ss[.zzz]".
std::string ToIso(TDateTime dt);  // "YYYY-MM-DDThh:mm:ss.zzz"
bool TryParseIso(std::string_view s, TDateTime& out);

// A date-time converted to and from the calendar time of the computer (local time).
TDateTime FromUnixSeconds(int64_t secs, int msec = 0);  // local calendar
int64_t ToUnixSeconds(TDateTime dt);

}  // namespace rtl
