// FormatFloat, FloatToStr, FloatToStrF, CurrToStr and StrToFloat with the
// run-time library's rules.
//
// Every routine goes through one decimal form of the value (ToDecimal): the
// exact binary value written with 18 significant digits, then cut once at
// min(precision, integer digits + decimals) digits, rounding half away from
// zero on that 18-digit form. FormatFloat('0.00', 1.115) = "1,11" because
// 1.115 is 1.11499999999999999 in 18 digits.
//
// FormatFloat choices where the notes leave room:
// - the section is chosen on the unrounded value (positive;negative;zero);
//   an empty negative or zero section falls back to the first one; with a
//   negative section the section's own text stands for the sign (no '-');
// - with the first section a negative value gets '-' in front of the whole
//   result, unless it rounds to zero;
// - integer digits beyond the mask's placeholders all go at the first
//   placeholder ('00-00' of 12345 is "123-45");
// - the decimal separator is written just before the first fraction digit
//   that is written ('0.##' of 1 is "1");
// - an empty mask, infinities, NaN and values with more than 18 integer
//   digits are written in the general format (FloatToStr).
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "platform/errors.h"
#include "platform/format.h"
#include "platform/locale.h"

namespace rtl {

namespace {

// value = 0.d1d2d3... * 10^exponent; digits has no trailing zeros; empty
// digits means the value rounded to zero (exponent 0 then).
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
  bool special = false;  // NaN or infinity: text holds "NAN", "INF", "-INF"
  std::string text;
};

Decimal ToDecimal(double value, int precision, int decimals) {
  Decimal r;
  if (std::isnan(value)) {
    r.special = true;
    r.text = "NAN";
    return r;
  }
  if (std::isinf(value)) {
    r.special = true;
    r.negative = value < 0;
    r.text = value < 0 ? "-INF" : "INF";
    return r;
  }
  r.negative = std::signbit(value);
  if (value == 0) return r;
  if (precision > 18) precision = 18;
  if (precision < 1) precision = 1;
  // 18 significant digits of the exact binary value (glibc prints exactly).
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17e", std::fabs(value));
  std::string d;
  d.reserve(18);
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') d.push_back(*p);
  int exp10 = std::atoi(p + 1);
  r.exponent = exp10 + 1;
  // Cut once at min(precision, integer digits + decimals).
  long long keep = static_cast<long long>(r.exponent) + decimals;
  if (keep > precision) keep = precision;
  if (keep < 0) {
    r.digits.clear();
    r.exponent = 0;
    return r;
  }
  if (keep < static_cast<long long>(d.size())) {
    bool up = d[static_cast<size_t>(keep)] >= '5';
    d.resize(static_cast<size_t>(keep));
    if (up) {
      int i = static_cast<int>(d.size()) - 1;
      while (i >= 0 && d[static_cast<size_t>(i)] == '9') {
        d[static_cast<size_t>(i)] = '0';
        --i;
      }
      if (i >= 0) {
        d[static_cast<size_t>(i)]++;
      } else {
        d.insert(d.begin(), '1');
        r.exponent++;
        d.pop_back();  // keep the digit count (a trailing zero anyway)
        if (d.empty()) d = "1";
      }
    }
  }
  while (!d.empty() && d.back() == '0') d.pop_back();
  if (d.empty()) r.exponent = 0;
  r.digits = d;
  return r;
}

bool IsZero(const Decimal& d) { return !d.special && d.digits.empty(); }

char DigitAt(const Decimal& d, int i) {  // i-th significant digit (0-based), '0' past the end
  return i >= 0 && i < static_cast<int>(d.digits.size()) ? d.digits[static_cast<size_t>(i)] : '0';
}

// Integer part of a decimal as text ("0" when none), optionally with thousand separators.
std::string IntegerPart(const Decimal& d, char thousandSep) {
  std::string r;
  int n = d.exponent > 0 ? d.exponent : 0;
  if (n == 0) return "0";
  for (int i = 0; i < n; ++i) {
    r.push_back(DigitAt(d, i));
    int left = n - 1 - i;
    if (thousandSep && left > 0 && left % 3 == 0) r.push_back(thousandSep);
  }
  return r;
}

// Exactly `decimals` fraction digits.
std::string FractionPart(const Decimal& d, int decimals) {
  std::string r;
  for (int k = 0; k < decimals; ++k) r.push_back(DigitAt(d, d.exponent + k));
  return r;
}

std::string ExponentText(int e, bool alwaysSign, int minDigits) {
  std::string r;
  if (e < 0) r.push_back('-');
  else if (alwaysSign) r.push_back('+');
  std::string digits = std::to_string(e < 0 ? -static_cast<long long>(e) : e);
  if (static_cast<int>(digits.size()) < minDigits) digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), '0');
  return r + digits;
}

// General format: shortest fixed or scientific form with `precision` digits.
std::string General(double value, int precision, int expDigits, const FormatSettings& fs) {
  Decimal d = ToDecimal(value, precision, 9999);
  if (d.special) return d.text;
  if (IsZero(d)) return "0";
  std::string r = d.negative ? "-" : "";
  int n = static_cast<int>(d.digits.size());
  if (d.exponent > precision || d.exponent < -3) {
    r.push_back(d.digits[0]);
    if (n > 1) {
      r.push_back(fs.DecimalSeparator);
      r.append(d.digits, 1, std::string::npos);
    }
    r.push_back('E');
    r += ExponentText(d.exponent - 1, false, expDigits > 4 ? 4 : expDigits);
    return r;
  }
  if (d.exponent <= 0) {
    r += "0";
    r.push_back(fs.DecimalSeparator);
    r.append(static_cast<size_t>(-d.exponent), '0');
    r += d.digits;
    return r;
  }
  r += IntegerPart(d, 0);
  if (n > d.exponent) {
    r.push_back(fs.DecimalSeparator);
    r.append(d.digits, static_cast<size_t>(d.exponent), std::string::npos);
  }
  return r;
}

std::string CurrencyPattern(const std::string& amount, bool negative, const FormatSettings& fs) {
  const std::string& c = fs.CurrencyString;
  if (!negative) {
    switch (fs.CurrencyFormat) {
      case 0: return c + amount;
      case 1: return amount + c;
      case 3: return amount + " " + c;
      default: return c + " " + amount;
    }
  }
  switch (fs.NegCurrFormat) {
    case 0: return "(" + c + amount + ")";
    case 1: return "-" + c + amount;
    case 2: return c + "-" + amount;
    case 3: return c + amount + "-";
    case 4: return "(" + amount + c + ")";
    case 5: return "-" + amount + c;
    case 6: return amount + "-" + c;
    case 7: return amount + c + "-";
    case 8: return "-" + amount + " " + c;
    case 10: return amount + " " + c + "-";
    case 11: return c + " " + amount + "-";
    case 12: return c + " -" + amount;
    case 13: return amount + "- " + c;
    case 14: return "(" + c + " " + amount + ")";
    case 15: return "(" + amount + " " + c + ")";
    default: return "-" + c + " " + amount;  // 9
  }
}

// ---------------------------------------------------------------- FormatFloat

struct Section {
  std::string_view text;
  bool thousandSep = false;
  bool scientific = false;
  int digitCount = 0;      // placeholders (# and 0)
  int decimalIndex = -1;   // placeholders before the decimal point
  int firstZero = 32767;   // index of the first '0' placeholder
  int lastZero = 0;        // 1 + index of the last '0' placeholder
  int forcedInt = 0;       // integer digits always written
  int forcedFrac = 0;      // fraction digits always written
};

std::string_view FindSection(std::string_view mask, int index) {
  int section = 0;
  size_t i = 0, start = 0;
  while (i < mask.size()) {
    char c = mask[i];
    if (c == '"' || c == '\'') {
      ++i;
      while (i < mask.size() && mask[i] != c) ++i;
      if (i < mask.size()) ++i;
      continue;
    }
    if (c == ';') {
      if (section == index) return mask.substr(start, i - start);
      ++section;
      start = i + 1;
    }
    ++i;
  }
  if (section == index) return mask.substr(start);
  return std::string_view();
}

Section ScanSection(std::string_view text) {
  Section s;
  s.text = text;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    switch (c) {
      case ',': s.thousandSep = true; ++i; break;
      case '.':
        if (s.decimalIndex == -1) s.decimalIndex = s.digitCount;
        ++i;
        break;
      case '"':
      case '\'':
        ++i;
        while (i < text.size() && text[i] != c) ++i;
        if (i < text.size()) ++i;
        break;
      case 'e':
      case 'E':
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
          s.scientific = true;
          ++i;
          while (i < text.size() && text[i] == '0') ++i;
        }
        break;
      case '#': s.digitCount++; ++i; break;
      case '0':
        if (s.digitCount < s.firstZero) s.firstZero = s.digitCount;
        s.digitCount++;
        s.lastZero = s.digitCount;
        ++i;
        break;
      default: ++i; break;
    }
  }
  if (s.decimalIndex == -1) s.decimalIndex = s.digitCount;
  s.forcedInt = s.decimalIndex - s.firstZero;
  if (s.forcedInt < 0) s.forcedInt = 0;
  s.forcedFrac = s.lastZero - s.decimalIndex;
  if (s.forcedFrac < 0) s.forcedFrac = 0;
  return s;
}

// The digits a section writes: the integer digits (with leading zeros up to
// the forced count) and the fraction digits available; in scientific form
// also the exponent.
struct SectionDigits {
  std::string intDigits, fracDigits;
  int expValue = 0;
};

SectionDigits DigitsForSection(const Section& sec, const Decimal& d) {
  SectionDigits r;
  if (sec.scientific) {
    int n = sec.decimalIndex;
    for (int i = 0; i < n; ++i) r.intDigits.push_back(DigitAt(d, i));
    for (int i = n; i < static_cast<int>(d.digits.size()); ++i) r.fracDigits.push_back(d.digits[static_cast<size_t>(i)]);
    r.expValue = IsZero(d) ? 0 : d.exponent - n;
    return r;
  }
  int n = d.exponent > 0 ? d.exponent : 0;
  for (int i = 0; i < n; ++i) r.intDigits.push_back(DigitAt(d, i));
  if (static_cast<int>(r.intDigits.size()) < sec.forcedInt)
    r.intDigits.insert(0, static_cast<size_t>(sec.forcedInt) - r.intDigits.size(), '0');
  // Leading zeros of a value below 1 are fraction digits too.
  if (d.exponent < 0) r.fracDigits.append(static_cast<size_t>(-d.exponent), '0');
  if (static_cast<int>(d.digits.size()) > n) r.fracDigits.append(d.digits, static_cast<size_t>(n), std::string::npos);
  if (IsZero(d)) r.fracDigits.clear();
  return r;
}

// Writes one section's text with the digits put in its placeholders.
class SectionWriter {
 public:
  SectionWriter(const Section& sec, SectionDigits digits, const FormatSettings& fs)
      : sec_(sec),
        fs_(fs),
        dg_(std::move(digits)),
        intCount_(static_cast<int>(dg_.intDigits.size())),
        skip_(sec.decimalIndex - intCount_) {}

  std::string Run(bool writeMinus) {
    if (writeMinus) out_.push_back('-');
    const std::string_view t = sec_.text;
    size_t i = 0;
    while (i < t.size()) {
      const char c = t[i];
      switch (c) {
        case '#':
        case '0':
          WritePlaceholder();
          ++i;
          break;
        case ',':
        case '.': ++i; break;
        case '"':
        case '\'': i = CopyQuoted(t, i); break;
        case 'e':
        case 'E': i = WriteExponent(t, i); break;
        default:
          out_.push_back(c);
          ++i;
          break;
      }
    }
    return out_;
  }

 private:
  // Placeholder j (0-based) among the integer ones writes integer digit
  // j - skip; the first placeholder also writes the excess digits.
  void WritePlaceholder() {
    if (placeholder_ == 0 && skip_ < 0) WriteExcess();
    if (placeholder_ < sec_.decimalIndex) {
      int k = placeholder_ - skip_;  // index into the integer digits
      if (k >= 0 && k < intCount_) WriteIntDigit(k);
    } else {
      WriteFractionDigit();
    }
    ++placeholder_;
  }

  void WriteIntDigit(int k) {
    out_.push_back(dg_.intDigits[static_cast<size_t>(k)]);
    int left = intCount_ - 1 - k;  // digits still to come
    if (sec_.thousandSep && left > 0 && left % 3 == 0) out_.push_back(fs_.ThousandSeparator);
  }

  // Digits beyond the integer placeholders (all at the first placeholder).
  void WriteExcess() {
    for (int k = 0; k < -skip_ && k < intCount_; ++k) WriteIntDigit(k);
  }

  // The decimal separator comes with the first fraction digit written.
  void WriteFractionDigit() {
    char digit = 0;
    if (fracIndex_ < static_cast<int>(dg_.fracDigits.size())) digit = dg_.fracDigits[static_cast<size_t>(fracIndex_)];
    else if (fracIndex_ < sec_.forcedFrac) digit = '0';
    if (digit) {
      if (!decimalWritten_) {
        out_.push_back(fs_.DecimalSeparator);
        decimalWritten_ = true;
      }
      out_.push_back(digit);
    }
    ++fracIndex_;
  }

  // Quoted text is copied as it stands; answers the position after it.
  size_t CopyQuoted(std::string_view t, size_t i) {
    const char quote = t[i];
    size_t start = ++i;
    while (i < t.size() && t[i] != quote) ++i;
    out_.append(t.substr(start, i - start));
    if (i < t.size()) ++i;
    return i;
  }

  // "E+00" / "E-00": the letter, then the exponent in scientific form; a
  // lone 'e' is itself. Answers the position after it.
  size_t WriteExponent(std::string_view t, size_t i) {
    const char c = t[i];
    if (i + 1 >= t.size() || (t[i + 1] != '+' && t[i + 1] != '-')) {
      out_.push_back(c);
      return i + 1;
    }
    bool always = t[i + 1] == '+';
    out_.push_back(c);
    i += 2;
    int zeros = 0;
    while (i < t.size() && t[i] == '0') {
      ++zeros;
      ++i;
    }
    if (sec_.scientific) out_ += ExponentText(dg_.expValue, always, zeros > 4 ? 4 : zeros);
    return i;
  }

  const Section& sec_;
  const FormatSettings& fs_;
  const SectionDigits dg_;
  const int intCount_;
  const int skip_;  // integer placeholders minus integer digits; negative for excess digits
  std::string out_;
  int placeholder_ = 0;  // index of the next placeholder
  int fracIndex_ = 0;    // fraction placeholders seen
  bool decimalWritten_ = false;
};

std::string ApplySection(const Section& sec, const Decimal& d, bool writeMinus, const FormatSettings& fs) {
  return SectionWriter(sec, DigitsForSection(sec, d), fs).Run(writeMinus);
}

}  // namespace

std::string FormatFloat(std::string_view mask, double value) {
  const FormatSettings& fs = Settings();
  if (mask.empty() || !std::isfinite(value)) return General(value, 15, 0, fs);
  int index = value > 0 ? 0 : value < 0 ? 1 : 2;
  std::string_view text = FindSection(mask, index);
  bool ownSign = index == 1;
  if (index != 0 && text.empty()) {
    text = FindSection(mask, 0);
    ownSign = false;
  }
  Section sec = ScanSection(text);
  Decimal d;
  if (sec.scientific) {
    d = ToDecimal(value, sec.digitCount > 0 ? sec.digitCount : 1, 9999);
  } else {
    d = ToDecimal(value, 18, sec.digitCount - sec.decimalIndex);
    if (d.exponent > 18) return General(value, 15, 0, fs);
  }
  bool minus = value < 0 && !ownSign && !IsZero(d);
  return ApplySection(sec, d, minus, fs);
}

std::string FloatToStr(double value) { return General(value, 15, 0, Settings()); }

std::string FloatToStrF(double value, FloatFormat format, int precision, int digits) {
  const FormatSettings& fs = Settings();
  if (precision < 2) precision = 2;
  if (precision > 18) precision = 18;
  if (digits < 0) digits = 0;
  switch (format) {
    case FloatFormat::General:
      return General(value, precision, digits, fs);
    case FloatFormat::Exponent: {
      Decimal d = ToDecimal(value, precision, 9999);
      if (d.special) return d.text;
      std::string r = d.negative && !IsZero(d) ? "-" : "";
      r.push_back(DigitAt(d, 0));
      if (precision > 1) {
        r.push_back(fs.DecimalSeparator);
        for (int i = 1; i < precision; ++i) r.push_back(DigitAt(d, i));
      }
      r.push_back('E');
      r += ExponentText(IsZero(d) ? 0 : d.exponent - 1, true, digits > 4 ? 4 : digits);
      return r;
    }
    case FloatFormat::Fixed:
    case FloatFormat::Number:
    case FloatFormat::Currency: {
      if (digits > 18) digits = 18;
      Decimal d = ToDecimal(value, precision, digits);
      if (d.special) return d.text;
      if (d.exponent > precision) return General(value, precision, 0, fs);
      char sep = format == FloatFormat::Fixed ? '\0' : fs.ThousandSeparator;
      std::string amount = IntegerPart(d, sep);
      if (digits > 0) {
        amount.push_back(fs.DecimalSeparator);
        amount += FractionPart(d, digits);
      }
      bool negative = d.negative && !IsZero(d);
      if (format == FloatFormat::Currency) return CurrencyPattern(amount, negative, fs);
      return negative ? "-" + amount : amount;
    }
  }
  return General(value, precision, digits, fs);
}

// The run-time's Currency holds 4 decimals: the value is rounded to 4
// decimals and written in the general form without currency string.
std::string CurrToStr(double value) {
  const FormatSettings& fs = Settings();
  Decimal d = ToDecimal(value, 18, 4);
  if (d.special) return d.text;
  if (IsZero(d)) return "0";
  std::string r = d.negative ? "-" : "";
  r += IntegerPart(d, 0);
  int frac = static_cast<int>(d.digits.size()) - (d.exponent > 0 ? d.exponent : 0);
  if (frac > 0) {
    r.push_back(fs.DecimalSeparator);
    if (d.exponent < 0) r.append(static_cast<size_t>(-d.exponent), '0');
    r.append(d.digits, static_cast<size_t>(d.exponent > 0 ? d.exponent : 0), std::string::npos);
  }
  return r;
}

// ---------------------------------------------------------------- StrToFloat

bool TryStrToFloat(std::string_view s, double& out) {
  const char dec = Settings().DecimalSeparator;
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  std::string c;  // the number rewritten in the C form for strtod
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) c.push_back(s[i++]);
  int digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    c.push_back(s[i++]);
    ++digits;
  }
  if (i < s.size() && s[i] == dec) {
    c.push_back('.');
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      c.push_back(s[i++]);
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    c.push_back('e');
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) c.push_back(s[i++]);
    int expDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      c.push_back(s[i++]);
      ++expDigits;
    }
    if (expDigits == 0) return false;
  }
  while (i < s.size() && s[i] == ' ') ++i;
  if (i != s.size()) return false;
  // from_chars reads the C form whatever the C library's locale.
  const char* first = c.data();
  const char* last = c.data() + c.size();
  if (*first == '+') ++first;
  double v = 0;
  auto res = std::from_chars(first, last, v);
  if (res.ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is not a value.
    if (c.find("e-") == std::string::npos) return false;
    v = c[0] == '-' ? -0.0 : 0.0;
  } else if (res.ec != std::errc() || res.ptr != last) {
    return false;
  }
  if (std::isinf(v)) return false;
  out = v;
  return true;
}

double StrToFloat(std::string_view s) {
  double v;
  if (!TryStrToFloat(s, v)) throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
  return v;
}

double StrToFloatDef(std::string_view s, double def) {
  double v;
  return TryStrToFloat(s, v) ? v : def;
}

}  // namespace rtl
