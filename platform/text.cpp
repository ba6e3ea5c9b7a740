// String routines of the run-time library over code page 1252 text.
//
// Choices (see also README.md):
// - StrToInt/StrToInt64 accept leading blanks (' ' only, as the run-time's
//   Val), an optional '+' or '-', then decimal digits (leading zeros
//   allowed). Nothing may follow the digits: "12 " raises. Unlike Val, the
//   hexadecimal forms "$1F" / "0x1F" are not numbers here (text.h promises
//   decimal digits; a field holding "x10" must not read as 16). A value out
//   of the type's range raises EConvertError.
// - IntToHex: a negative value that fits 32 bits is written as 32-bit two's
//   complement ("FFFFFFFF" for -1, as IntToHex(Integer) does), other
//   negatives as 64-bit.
#include "platform/text.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/errors.h"

namespace rtl {

namespace {

int64_t Len(std::string_view s) { return static_cast<int64_t>(s.size()); }

// Code page 1252 0x80..0x9F to Unicode; the five undefined bytes map to U+0081 ...
const uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

unsigned char AnsiUpper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;  // š
    case 0x9C: return 0x8C;  // œ
    case 0x9E: return 0x8E;  // ž
    case 0xFF: return 0x9F;  // ÿ
    default: break;
  }
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  return c;
}

unsigned char AnsiLower(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: break;
  }
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  return c;
}

[[noreturn]] void InvalidInteger(std::string_view s) {
  throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
}

// Blanks, optional sign, decimal digits; min/max give the type's range.
bool ParseInteger(std::string_view s, int64_t minV, int64_t maxV, int64_t& out) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
  }
  if (i >= s.size()) return false;
  // Accumulate the magnitude as unsigned and check the range.
  uint64_t limit = neg ? static_cast<uint64_t>(-(minV + 1)) + 1 : static_cast<uint64_t>(maxV);
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c < '0' || c > '9') return false;
    uint64_t d = static_cast<uint64_t>(c - '0');
    if (v > (limit - d) / 10) return false;  // v * 10 + d > limit
    v = v * 10 + d;
  }
  out = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

}  // namespace

std::string Copy(std::string_view s, int64_t index, int64_t count) {
  if (index < 1) index = 1;
  if (index > Len(s) || count <= 0) return std::string();
  int64_t avail = Len(s) - (index - 1);
  if (count > avail) count = avail;
  return std::string(s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count)));
}

int Pos(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  size_t p = s.find(sub);
  return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

void Delete(std::string& s, int64_t index, int64_t count) {
  if (index < 1 || index > Len(s) || count <= 0) return;
  int64_t avail = Len(s) - (index - 1);
  if (count > avail) count = avail;
  s.erase(static_cast<size_t>(index - 1), static_cast<size_t>(count));
}

void Insert(std::string_view sub, std::string& s, int64_t index) {
  if (index < 1) index = 1;
  if (index > Len(s) + 1) index = Len(s) + 1;
  s.insert(static_cast<size_t>(index - 1), sub);
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string TrimLeft(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(0, e));
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

std::string AnsiUpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(AnsiUpper(static_cast<unsigned char>(c)));
  return r;
}

std::string AnsiLowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(AnsiLower(static_cast<unsigned char>(c)));
  return r;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AnsiUpper(static_cast<unsigned char>(a[i])) != AnsiUpper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string StringReplace(std::string_view s, std::string_view from, std::string_view to, bool all,
                          bool ignoreCase) {
  if (from.empty()) return std::string(s);
  std::string hay, needle;
  std::string_view h = s, n = from;
  if (ignoreCase) {
    hay = AnsiUpperCase(s);
    needle = AnsiUpperCase(from);
    h = hay;
    n = needle;
  }
  std::string r;
  r.reserve(s.size());
  size_t pos = 0;
  while (pos <= s.size()) {
    size_t f = h.find(n, pos);
    if (f == std::string_view::npos) break;
    r.append(s.substr(pos, f - pos));
    r.append(to);
    pos = f + from.size();
    if (!all) break;
  }
  if (pos < s.size()) r.append(s.substr(pos));
  return r;
}

std::string StringOfChar(char c, int64_t n) {
  if (n <= 0) return std::string();
  return std::string(static_cast<size_t>(n), c);
}

std::string IntToStr(int64_t v) { return std::to_string(v); }

int32_t StrToInt(std::string_view s) {
  int64_t v;
  if (!ParseInteger(s, INT32_MIN, INT32_MAX, v)) InvalidInteger(s);
  return static_cast<int32_t>(v);
}

int64_t StrToInt64(std::string_view s) {
  int64_t v;
  if (!ParseInteger(s, INT64_MIN, INT64_MAX, v)) InvalidInteger(s);
  return v;
}

int32_t StrToIntDef(std::string_view s, int32_t def) {
  int64_t v;
  if (!ParseInteger(s, INT32_MIN, INT32_MAX, v)) return def;
  return static_cast<int32_t>(v);
}

bool TryStrToInt(std::string_view s, int32_t& out) {
  int64_t v;
  if (!ParseInteger(s, INT32_MIN, INT32_MAX, v)) return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool TryStrToInt64(std::string_view s, int64_t& out) { return ParseInteger(s, INT64_MIN, INT64_MAX, out); }

std::string IntToHex(int64_t v, int digits) {
  uint64_t u = (v < 0 && v >= INT32_MIN) ? static_cast<uint64_t>(static_cast<uint32_t>(v))
                                         : static_cast<uint64_t>(v);
  static const char kHex[] = "0123456789ABCDEF";
  std::string r;
  do {
    r.push_back(kHex[u & 15]);
    u >>= 4;
  } while (u != 0);
  while (static_cast<int>(r.size()) < digits) r.push_back('0');
  std::reverse(r.begin(), r.end());
  return r;
}

std::string Cp1252ToUtf8(std::string_view s) {
  std::string r;
  r.reserve(s.size() + s.size() / 4);
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    uint32_t u = c;
    if (c < 0x80) {
      r.push_back(ch);
      continue;
    }
    if (c < 0xA0) u = kCp1252High[c - 0x80];
    if (u < 0x800) {
      r.push_back(static_cast<char>(0xC0 | (u >> 6)));
      r.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      r.push_back(static_cast<char>(0xE0 | (u >> 12)));
      r.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      r.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return r;
}

namespace {
char UnicodeTo1252(uint32_t u) {
  if (u < 0x80) return static_cast<char>(u);
  if (u >= 0xA0 && u <= 0xFF) return static_cast<char>(u);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] == u) return static_cast<char>(0x80 + i);
  return '?';
}
}  // namespace

// Malformed UTF-8 (a stray continuation byte, a truncated or overlong
// sequence) gives one '?' per offending byte.
std::string Utf8ToCp1252(std::string_view s) {
  std::string r;
  r.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      r.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    int n;
    uint32_t u, minU;
    if ((c & 0xE0) == 0xC0) { n = 1; u = c & 0x1F; minU = 0x80; }
    else if ((c & 0xF0) == 0xE0) { n = 2; u = c & 0x0F; minU = 0x800; }
    else if ((c & 0xF8) == 0xF0) { n = 3; u = c & 0x07; minU = 0x10000; }
    else { r.push_back('?'); ++i; continue; }
    bool ok = true;
    for (int k = 1; k <= n; ++k) {
      if (i + static_cast<size_t>(k) >= s.size()) { ok = false; break; }
      unsigned char cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      if ((cc & 0xC0) != 0x80) { ok = false; break; }
      u = (u << 6) | (cc & 0x3F);
    }
    if (!ok || u < minU || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) {
      r.push_back('?');
      ++i;
      continue;
    }
    r.push_back(UnicodeTo1252(u));
    i += static_cast<size_t>(n) + 1;
  }
  return r;
}

}  // namespace rtl
