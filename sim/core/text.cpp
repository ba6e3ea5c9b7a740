#include "sim/core/text.h"

#include <algorithm>

namespace ecfsim {

namespace {

// Code points of bytes 0x80..0x9F in code page 1252; the five undefined
// bytes map to the C1 control of the same value.
const char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void PutUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char ToCp1252(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == cp) return static_cast<char>(0x80 + i);
  return '?';
}

unsigned char UpperByte(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;  // à..þ except ÷
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 16;  // š œ ž
  if (c == 0xFF) return 0x9F;                              // ÿ
  return c;
}

int CheckDigit(std::string_view digits, const int* weights, size_t n) {
  int sum = 0;
  for (size_t i = 0; i < n; ++i) sum += (digits[i] - '0') * weights[i];
  int r = sum % 11;
  return r < 2 ? 0 : 11 - r;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 8);
  for (unsigned char c : s) {
    if (c < 0x80) out += static_cast<char>(c);
    else if (c < 0xA0) PutUtf8(out, kHigh[c - 0x80]);
    else PutUtf8(out, c);
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = s[i];
    uint32_t cp;
    size_t len;
    if (c < 0x80) { cp = c; len = 1; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
    else { out += '?'; ++i; continue; }
    if (i + len > s.size()) { out += '?'; break; }
    bool ok = true;
    for (size_t k = 1; k < len; ++k) {
      unsigned char d = s[i + k];
      if ((d & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (d & 0x3F);
    }
    if (!ok) { out += '?'; ++i; continue; }
    out += ToCp1252(cp);
    i += len;
  }
  return out;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(UpperByte(static_cast<unsigned char>(c)));
  return out;
}

bool SameName(std::string_view a, std::string_view b) { return Upper(Trim(a)) == Upper(Trim(b)); }

bool IsDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Fit(std::string_view s, size_t w) {
  std::string out(s.substr(0, std::min(s.size(), w)));
  out.resize(w, ' ');
  return out;
}

std::string FitR(std::string_view s, size_t w) {
  if (s.size() >= w) return std::string(s.substr(s.size() - w));
  return std::string(w - s.size(), ' ') + std::string(s);
}

std::string Center(std::string_view s, size_t w) {
  if (s.size() >= w) return std::string(s.substr(0, w));
  size_t left = (w - s.size()) / 2;
  return Fit(std::string(left, ' ') + std::string(s), w);
}

std::string Spread(std::string_view left, std::string_view right, size_t w) {
  if (right.size() >= w) return std::string(right.substr(0, w));
  size_t room = w - right.size();
  size_t keep = std::min(left.size(), room > 1 ? room - 1 : 0);
  return Fit(left.substr(0, keep), room) + std::string(right);
}

std::string Zeros(int64_t v, int w) {
  if (w <= 0) return std::string();
  if (v < 0) v = 0;
  std::string d = std::to_string(v);
  if (d.size() > static_cast<size_t>(w)) return d.substr(d.size() - w);
  return std::string(w - d.size(), '0') + d;
}

std::string Money(int64_t cents) {
  bool neg = cents < 0;
  uint64_t v = neg ? static_cast<uint64_t>(-(cents + 1)) + 1 : static_cast<uint64_t>(cents);
  std::string units = std::to_string(v / 100);
  std::string grouped;
  int n = 0;
  for (size_t i = units.size(); i-- > 0;) {
    grouped.insert(grouped.begin(), units[i]);
    if (++n % 3 == 0 && i > 0) grouped.insert(grouped.begin(), '.');
  }
  std::string frac = Zeros(static_cast<int64_t>(v % 100), 2);
  return (neg ? "-" : "") + grouped + "," + frac;
}

std::string Percent(int hundredths) { return std::to_string(hundredths / 100) + "," + Zeros(hundredths % 100, 2); }

std::string Milli(int64_t milli) {
  if (milli < 0) milli = 0;
  return std::to_string(milli / 1000) + "," + Zeros(milli % 1000, 3);
}

std::vector<std::string> PrintLines(std::string_view text, size_t w) {
  std::vector<std::string> lines;
  std::string cur;
  bool pending = false;  // a line has content or was started
  auto flush = [&]() {
    while (cur.size() > w) {
      lines.push_back(cur.substr(0, w));
      cur.erase(0, w);
    }
    lines.push_back(cur);
    cur.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = text[i];
    if (c == '\n') {
      flush();
      pending = false;
    } else if (c == 27) {
      ++i;  // ESC and its argument (emphasis on/off and the like)
    } else if (c < 32 || c == 127) {
      // CR and other control characters do not print
    } else {
      cur += static_cast<char>(c);
      pending = true;
    }
  }
  if (pending || !cur.empty()) flush();
  return lines;
}

std::string DocumentDigits(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c >= '0' && c <= '9') out += c;
    else if (c == '.' || c == '-' || c == '/' || c == ' ') continue;
    else return std::string();
  }
  return out;
}

bool ValidCpf(std::string_view d) {
  if (d.size() != 11 || !IsDigits(d)) return false;
  if (std::all_of(d.begin(), d.end(), [&](char c) { return c == d[0]; })) return false;
  int sum = 0;
  for (int i = 0; i < 9; ++i) sum += (d[i] - '0') * (10 - i);
  int d1 = (sum * 10) % 11 % 10;
  sum = 0;
  for (int i = 0; i < 10; ++i) sum += (d[i] - '0') * (11 - i);
  int d2 = (sum * 10) % 11 % 10;
  return d1 == d[9] - '0' && d2 == d[10] - '0';
}

bool ValidCnpj(std::string_view d) {
  if (d.size() != 14 || !IsDigits(d)) return false;
  if (std::all_of(d.begin(), d.end(), [&](char c) { return c == d[0]; })) return false;
  static const int w1[12] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  static const int w2[13] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  return CheckDigit(d, w1, 12) == d[12] - '0' && CheckDigit(d, w2, 13) == d[13] - '0';
}

}  // namespace ecfsim
