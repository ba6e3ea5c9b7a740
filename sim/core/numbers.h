// Reading the amount texts that the printer commands receive, and the civil
// calendar the printer keeps (no time zones: the printer's clock is a wall
// clock).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ecfsim {

// Reads an amount text into units of 10^-scale.
//   "12,34", "12.34" (either separator, at most one, no thousands separators),
//   blanks around allowed, no sign;
//   at most `scale` digits after the separator;
//   a text without a separator has `implied` implied decimals (0: whole units).
// nullopt on anything else (empty, letters, a sign, too many digits).
std::optional<int64_t> ParseAmount(std::string_view text, int scale, int implied);
// Every separator ignored, the digits read with two implied decimals
// ("1,234" -> 1234 hundredths, "12,34" -> 1234 hundredths).
std::optional<int64_t> ParseDigitString(std::string_view text);
// A whole number of at most maxDigits digits (blanks around allowed).
std::optional<int64_t> ParseInt(std::string_view text, int maxDigits);

// a * b / div rounded half up (round = true) or truncated, for non-negative values.
int64_t MulDiv(int64_t a, int64_t b, int64_t div, bool round);

struct Civil {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// Seconds since 1970-01-01 00:00:00 of the wall clock (no zone).
int64_t ToSeconds(const Civil& c);
Civil FromSeconds(int64_t s);
int64_t DayNumber(int year, int month, int day);  // days since 1970-01-01
bool ValidDate(int year, int month, int day);

// "YYYY-MM-DDThh:mm:ss" (seconds optional).
std::optional<Civil> ParseIso(std::string_view s);
std::string Iso(const Civil& c);  // "YYYY-MM-DDThh:mm:ss"

// A date written DDMMYY, DDMMYYYY, DD/MM/YY or DD/MM/YYYY (two-digit years
// are 20YY). Returns the day number.
std::optional<int64_t> ParseDate(std::string_view s);
// YYYYMMDD <-> day number.
std::string DateKey(int64_t dayNumber);
std::optional<int64_t> DateKeyDay(std::string_view key);

std::string Ddmmyy(const Civil& c);      // "050326"
std::string Hhmmss(const Civil& c);      // "100000"
std::string Ddmmyyyy(const Civil& c);    // "05032026"
std::string Printed(const Civil& c);     // "05/03/2026 10:00:00"
std::string PrintedDate(int64_t dayNumber);  // "05/03/2026"

}  // namespace ecfsim
