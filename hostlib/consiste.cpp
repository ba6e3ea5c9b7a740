// String and number helpers.
#include "hostlib/consiste.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/env.h"
#include "platform/text.h"

namespace hostlib {

std::string Replicate(std::string_view s, int n) {
  std::string out;
  if (n <= 0 || s.empty()) return out;
  out.reserve(s.size() * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out.append(s);
  return out;
}

std::string TamFixo(std::string_view s, int n) {
  if (n <= 0) return "";
  size_t w = static_cast<size_t>(n);
  if (s.size() >= w) return std::string(s.substr(0, w));
  return std::string(s) + std::string(w - s.size(), ' ');
}

std::string TamFixoR(std::string_view s, int n) {
  if (n <= 0) return "";
  size_t w = static_cast<size_t>(n);
  if (s.size() >= w) return std::string(s.substr(0, w));
  return std::string(w - s.size(), ' ') + std::string(s);
}

std::string Centraliza(std::string_view s, int w) {
  if (w <= 0) return "";
  size_t width = static_cast<size_t>(w);
  if (s.size() >= width) return std::string(s.substr(0, width));
  size_t left = (width - s.size()) / 2;
  size_t right = width - s.size() - left;
  return std::string(left, ' ') + std::string(s) + std::string(right, ' ');
}

// Counters and document numbers: exactly n characters. A text longer than n
// keeps its last n characters (the low-order digits, as a printer counter
// that wraps); a leading sign stays in front of the zeros ("-5" in 4 is
// "-005").
std::string AjustaZero(std::string_view s, int n) {
  if (n <= 0) return "";
  size_t w = static_cast<size_t>(n);
  if (s.size() >= w) return std::string(s.substr(s.size() - w));
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    return std::string(1, s[0]) + std::string(w - s.size(), '0') + std::string(s.substr(1));
  }
  return std::string(w - s.size(), '0') + std::string(s);
}

// The fill character of Ajusta is "0": its callers fit coupon numbers,
// reduction counters and totalizer indices, which the printer and the fiscal
// files write with leading zeros ("000124"), never with blanks.
std::string Ajusta(std::string_view s, int n) { return AjustaZero(s, n); }

// Pads on the left up to n characters and never cuts: its callers align
// amounts, and an amount wider than its column must stay whole.
std::string PadL(std::string_view s, int n) {
  if (n <= 0 || s.size() >= static_cast<size_t>(n)) return std::string(s);
  return std::string(static_cast<size_t>(n) - s.size(), ' ') + std::string(s);
}

// Blanks are the run-time's: codes 0 to 32.
std::string RTrim(std::string_view s) { return rtl::TrimRight(s); }

bool EmptyString(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) > ' ') return false;
  }
  return true;
}

namespace {

// x cut or rounded at `decimals` decimals on its decimal form: the double is
// first written with 15 significant digits (what the value "is" for a
// person: 1.15, not 1.149999999999999911), then the digits are cut there,
// and the result is read back as the nearest double.
double DecimalCut(double x, int decimals, bool round) {
  if (!std::isfinite(x)) return x;
  if (x == 0) return 0.0;
  if (decimals > 15) decimals = 15;
  if (decimals < -15) decimals = -15;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", x);  // "-d.dddddddddddddde+XX"
  const char* p = buf;
  bool negative = false;
  if (*p == '-') { negative = true; ++p; }
  std::string digits;  // the 15 significant digits
  for (; *p && *p != 'e'; ++p) {
    if (*p >= '0' && *p <= '9') digits.push_back(*p);
  }
  int exp10 = (*p == 'e') ? std::atoi(p + 1) : 0;  // weight of the first digit: 10^exp10
  // Number of significant digits that lie at or above the 10^-decimals place.
  int keep = exp10 + 1 + decimals;
  if (keep >= static_cast<int>(digits.size())) return x;  // nothing to cut
  int64_t kept = 0;
  for (int i = 0; i < keep; ++i) kept = kept * 10 + (digits[static_cast<size_t>(i)] - '0');
  if (round && keep >= 0 && digits[static_cast<size_t>(keep)] >= '5') ++kept;  // half away from zero
  if (kept == 0) return 0.0;                      // never a negative zero
  std::snprintf(buf, sizeof buf, "%s%lld%s%d", negative ? "-" : "", static_cast<long long>(kept),
                "e", -decimals);
  return std::strtod(buf, nullptr);
}

}  // namespace

double RoundDec(double x, int decimals) { return DecimalCut(x, decimals, true); }
double Trunc2(double x) { return DecimalCut(x, 2, false); }
double Trunc3(double x) { return DecimalCut(x, 3, false); }

void Delay(int ms) {
  if (ms > 0) rtl::CurrentEnv()->Sleep(ms);
}

}  // namespace hostlib
