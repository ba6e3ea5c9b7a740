#include "sim/core/numbers.h"

#include <cstdio>

#include "sim/core/text.h"

namespace ecfsim {

namespace {

int64_t Pow10(int n) {
  int64_t v = 1;
  while (n-- > 0) v *= 10;
  return v;
}

}  // namespace

std::optional<int64_t> ParseAmount(std::string_view text, int scale, int implied) {
  std::string t = Trim(text);
  if (t.empty() || implied > scale) return std::nullopt;
  std::string intPart, frac;
  bool sep = false;
  for (char c : t) {
    if (c >= '0' && c <= '9') (sep ? frac : intPart) += c;
    else if ((c == ',' || c == '.') && !sep) sep = true;
    else return std::nullopt;
  }
  if (intPart.empty() && frac.empty()) return std::nullopt;
  if (intPart.size() > 15 || frac.size() > static_cast<size_t>(scale)) return std::nullopt;
  if (!sep) {
    if (intPart.size() > 15) return std::nullopt;
    return std::stoll(intPart) * Pow10(scale - implied);
  }
  int64_t whole = intPart.empty() ? 0 : std::stoll(intPart);
  int64_t f = frac.empty() ? 0 : std::stoll(frac) * Pow10(scale - static_cast<int>(frac.size()));
  return whole * Pow10(scale) + f;
}

std::optional<int64_t> ParseDigitString(std::string_view text) {
  std::string t = Trim(text), digits;
  for (char c : t) {
    if (c >= '0' && c <= '9') digits += c;
    else if (c != ',' && c != '.') return std::nullopt;
  }
  if (digits.empty() || digits.size() > 15) return std::nullopt;
  return std::stoll(digits);
}

std::optional<int64_t> ParseInt(std::string_view text, int maxDigits) {
  std::string t = Trim(text);
  if (!IsDigits(t) || t.size() > static_cast<size_t>(maxDigits) || t.size() > 18) return std::nullopt;
  return std::stoll(t);
}

namespace {
// The 128-bit product of two 64-bit numbers, as its high and low halves.
void Mul128(uint64_t a, uint64_t b, uint64_t& hi, uint64_t& lo) {
  const uint64_t aL = a & 0xFFFFFFFFu, aH = a >> 32, bL = b & 0xFFFFFFFFu, bH = b >> 32;
  const uint64_t ll = aL * bL, lh = aL * bH, hl = aH * bL, hh = aH * bH;
  const uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
  lo = (mid << 32) | (ll & 0xFFFFFFFFu);
  hi = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
}

// hi:lo divided by d (d > 0), a bit at a time: the quotient's low 64 bits
// and the remainder.
void Div128(uint64_t hi, uint64_t lo, uint64_t d, uint64_t& q, uint64_t& r) {
  q = 0;
  r = 0;
  for (int i = 127; i >= 0; --i) {
    const bool top = (r >> 63) != 0;
    r = (r << 1) | ((i >= 64 ? hi >> (i - 64) : lo >> i) & 1);
    q <<= 1;
    if (top || r >= d) {
      r -= d;
      q |= 1;
    }
  }
}
}  // namespace

int64_t MulDiv(int64_t a, int64_t b, int64_t div, bool round) {
  // On the magnitudes, with the sign put back (the quotient truncated toward
  // zero, as the division of the signed product does; only a positive
  // quotient's remainder rounds it up).
  const bool negative = (a < 0) != (b < 0) && a != 0 && b != 0;
  const bool negDiv = div < 0;
  auto mag = [](int64_t v) { return v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v); };
  uint64_t hi, lo, q, r;
  Mul128(mag(a), mag(b), hi, lo);
  Div128(hi, lo, mag(div), q, r);
  const bool positive = negative == negDiv;
  if (round && positive && r >= mag(div) - r) ++q;
  return positive ? static_cast<int64_t>(q) : static_cast<int64_t>(uint64_t{0} - q);
}

int64_t DayNumber(int y, int m, int d) {
  // Days from civil (proleptic Gregorian).
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

namespace {
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}
}  // namespace

bool ValidDate(int y, int m, int d) {
  if (y < 1900 || y > 2999 || m < 1 || m > 12 || d < 1) return false;
  static const int dim[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int max = dim[m - 1];
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) max = 29;
  return d <= max;
}

int64_t ToSeconds(const Civil& c) {
  return DayNumber(c.year, c.month, c.day) * 86400 + int64_t{c.hour} * 3600 + int64_t{c.minute} * 60 + c.second;
}

Civil FromSeconds(int64_t s) {
  int64_t days = s >= 0 ? s / 86400 : -((-s + 86399) / 86400);
  int64_t rest = s - days * 86400;
  Civil c;
  CivilFromDays(days, c.year, c.month, c.day);
  c.hour = static_cast<int>(rest / 3600);
  c.minute = static_cast<int>(rest / 60 % 60);
  c.second = static_cast<int>(rest % 60);
  return c;
}

std::optional<Civil> ParseIso(std::string_view s) {
  Civil c;
  int n = 0;
  std::string t(s);
  if (std::sscanf(t.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &c.year, &c.month, &c.day, &c.hour, &c.minute, &c.second,
                  &n) == 6 && static_cast<size_t>(n) == t.size()) {
  } else if (std::sscanf(t.c_str(), "%4d-%2d-%2dT%2d:%2d%n", &c.year, &c.month, &c.day, &c.hour, &c.minute, &n) == 5 &&
             static_cast<size_t>(n) == t.size()) {
    c.second = 0;
  } else {
    return std::nullopt;
  }
  if (!ValidDate(c.year, c.month, c.day) || c.hour > 23 || c.minute > 59 || c.second > 59 || c.hour < 0 ||
      c.minute < 0 || c.second < 0)
    return std::nullopt;
  return c;
}

std::string Iso(const Civil& c) {
  char b[32];
  std::snprintf(b, sizeof b, "%04d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
  return b;
}

std::optional<int64_t> ParseDate(std::string_view s) {
  std::string t = Trim(s), digits;
  if (t.size() == 8 && t[2] == '/' && t[5] == '/') digits = t.substr(0, 2) + t.substr(3, 2) + t.substr(6, 2);
  else if (t.size() == 10 && t[2] == '/' && t[5] == '/') digits = t.substr(0, 2) + t.substr(3, 2) + t.substr(6, 4);
  else digits = t;
  if (!IsDigits(digits) || (digits.size() != 6 && digits.size() != 8)) return std::nullopt;
  int d = std::stoi(digits.substr(0, 2)), m = std::stoi(digits.substr(2, 2));
  int y = std::stoi(digits.substr(4));
  if (digits.size() == 6) y += 2000;
  if (!ValidDate(y, m, d)) return std::nullopt;
  return DayNumber(y, m, d);
}

std::string DateKey(int64_t dn) {
  Civil c = FromSeconds(dn * 86400);
  char b[16];
  std::snprintf(b, sizeof b, "%04d%02d%02d", c.year, c.month, c.day);
  return b;
}

std::optional<int64_t> DateKeyDay(std::string_view key) {
  if (key.size() != 8 || !IsDigits(key)) return std::nullopt;
  std::string k(key);
  int y = std::stoi(k.substr(0, 4)), m = std::stoi(k.substr(4, 2)), d = std::stoi(k.substr(6, 2));
  if (!ValidDate(y, m, d)) return std::nullopt;
  return DayNumber(y, m, d);
}

std::string Ddmmyy(const Civil& c) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d%02d%02d", c.day, c.month, c.year % 100);
  return b;
}

std::string Hhmmss(const Civil& c) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d%02d%02d", c.hour, c.minute, c.second);
  return b;
}

std::string Ddmmyyyy(const Civil& c) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d%02d%04d", c.day, c.month, c.year);
  return b;
}

std::string Printed(const Civil& c) {
  char b[32];
  std::snprintf(b, sizeof b, "%02d/%02d/%04d %02d:%02d:%02d", c.day, c.month, c.year, c.hour, c.minute, c.second);
  return b;
}

std::string PrintedDate(int64_t dn) { return Printed(FromSeconds(dn * 86400)).substr(0, 10); }

}  // namespace ecfsim
