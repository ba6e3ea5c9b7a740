// Format(fmt, args) as the run-time library's Format, with variants as arguments.
//
// Specifier: "%" [index ":"] ["-"] [width] ["." precision] type, where
// index, width and precision may be "*" (taken from the next argument).
// Choices:
// - %d %u %x take an integer or boolean-free integer variant only (a double
//   raises, as in the run-time library); precision is the minimum number of
//   digits ("%.3d" of -5 is "-005"); %u and %x write a negative value that
//   fits 32 bits as 32-bit two's complement.
// - %f %n %m %e %g take a double, an integer or a date-time variant.
//   %f %n %m: precision = decimals (default 2; %m the locale's
//   CurrencyDecimals), with 18 significant digits; %e: precision =
//   significant digits (default 15), 3 exponent digits; %g: precision =
//   significant digits (default 15), general form.
// - %s takes any variant that converts to text (AsString: numbers with the
//   locale, unassigned as ""); precision = maximum characters.
// - A missing argument raises EFormatError ("No argument for format '%d'"),
//   an unknown specifier or a mismatched argument raises EConvertError
//   ("Format '%d' invalid or incompatible with argument").
#include <cstdint>
#include <string>

#include "platform/errors.h"
#include "platform/format.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "platform/variant.h"

namespace rtl {

namespace {

[[noreturn]] void Incompatible(std::string_view spec) {
  throw EConvertError("Format '" + std::string(spec) + "' invalid or incompatible with argument");
}

std::string UnsignedText(uint64_t u, int base) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string r;
  do {
    r.insert(r.begin(), kDigits[u % static_cast<uint64_t>(base)]);
    u /= static_cast<uint64_t>(base);
  } while (u != 0);
  return r;
}

uint64_t AsUnsigned(int64_t v) {
  return (v < 0 && v >= INT32_MIN) ? static_cast<uint64_t>(static_cast<uint32_t>(v)) : static_cast<uint64_t>(v);
}

// One run of Format: walks the format text, reading one specifier at a time
// and taking its arguments in order (or from the index it names).
class Formatter {
 public:
  Formatter(std::string_view fmt, const std::vector<Variant>& args) : fmt_(fmt), args_(args) {}

  std::string Run() {
    while (i_ < fmt_.size()) {
      const char c = fmt_[i_];
      if (c != '%') {
        out_.push_back(c);
        ++i_;
        continue;
      }
      specStart_ = i_;
      ++i_;
      if (i_ < fmt_.size() && fmt_[i_] == '%') {
        out_.push_back('%');
        ++i_;
        continue;
      }
      AppendSpecifier();
    }
    return out_;
  }

 private:
  // The specifier read so far, with the character under the cursor.
  std::string_view Spec() const {
    return fmt_.substr(specStart_, (i_ < fmt_.size() ? i_ + 1 : i_) - specStart_);
  }

  const Variant& NextArg() {
    if (argIndex_ >= args_.size()) throw EFormatError("No argument for format '" + std::string(Spec()) + "'");
    return args_[argIndex_++];
  }

  // A number or '*'; -1 when absent.
  int Number() {
    if (i_ < fmt_.size() && fmt_[i_] == '*') {
      ++i_;
      const Variant& a = NextArg();
      if (a.type() != VarType::Integer) Incompatible(Spec());
      return static_cast<int>(a.AsInteger());
    }
    if (i_ >= fmt_.size() || fmt_[i_] < '0' || fmt_[i_] > '9') return -1;
    int n = 0;
    while (i_ < fmt_.size() && fmt_[i_] >= '0' && fmt_[i_] <= '9') {
      if (n < 100000) n = n * 10 + (fmt_[i_] - '0');
      ++i_;
    }
    return n;
  }

  // index ":" (digits only) moves the argument position.
  void ReadArgIndex() {
    size_t j = i_;
    int n = 0;
    while (j < fmt_.size() && fmt_[j] >= '0' && fmt_[j] <= '9') {
      if (n < 100000) n = n * 10 + (fmt_[j] - '0');
      ++j;
    }
    if (j > i_ && j < fmt_.size() && fmt_[j] == ':') {
      argIndex_ = static_cast<size_t>(n);
      i_ = j + 1;
    }
  }

  // From after the '%' to after the type letter.
  void AppendSpecifier() {
    ReadArgIndex();
    bool left = false;
    if (i_ < fmt_.size() && fmt_[i_] == '-') {
      left = true;
      ++i_;
    }
    const int width = Number();
    int precision = -1;
    if (i_ < fmt_.size() && fmt_[i_] == '.') {
      ++i_;
      precision = Number();
      if (precision < 0) precision = 0;
    }
    if (i_ >= fmt_.size()) Incompatible(fmt_.substr(specStart_));
    const char type = fmt_[i_];
    const char lower = (type >= 'A' && type <= 'Z') ? static_cast<char>(type + 32) : type;
    std::string text = ArgumentText(lower, precision);
    ++i_;
    if (width > 0 && static_cast<int>(text.size()) < width) {
      std::string pad(static_cast<size_t>(width) - text.size(), ' ');
      text = left ? text + pad : pad + text;
    }
    out_ += text;
  }

  std::string ArgumentText(char type, int precision) {
    switch (type) {
      case 'd':
      case 'u':
      case 'x': return IntegerText(type, precision);
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': return FloatText(type, precision);
      case 's': return StringText(precision);
      default: Incompatible(Spec());
    }
  }

  std::string IntegerText(char type, int precision) {
    const Variant& a = NextArg();
    if (a.type() != VarType::Integer) Incompatible(Spec());
    const int64_t v = a.AsInt64();
    std::string digits;
    bool neg = false;
    if (type == 'd') {
      neg = v < 0;
      digits = UnsignedText(neg ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v), 10);
    } else {
      digits = UnsignedText(AsUnsigned(v), type == 'u' ? 10 : 16);
    }
    if (precision > 0 && static_cast<int>(digits.size()) < precision)
      digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
    return neg ? "-" + digits : digits;
  }

  std::string FloatText(char type, int precision) {
    const Variant& a = NextArg();
    if (a.type() != VarType::Double && a.type() != VarType::Integer && a.type() != VarType::DateTime)
      Incompatible(Spec());
    const double v = a.AsDouble();
    switch (type) {
      case 'e': return FloatToStrF(v, FloatFormat::Exponent, precision < 0 ? 15 : precision, 3);
      case 'f': return FloatToStrF(v, FloatFormat::Fixed, 18, precision < 0 ? 2 : precision);
      case 'g': return FloatToStrF(v, FloatFormat::General, precision < 0 ? 15 : precision, 3);
      case 'n': return FloatToStrF(v, FloatFormat::Number, 18, precision < 0 ? 2 : precision);
      default:
        return FloatToStrF(v, FloatFormat::Currency, 18, precision < 0 ? Settings().CurrencyDecimals : precision);
    }
  }

  std::string StringText(int precision) {
    const Variant& a = NextArg();
    if (a.IsArray() || a.IsPacket()) Incompatible(Spec());
    std::string text = a.AsString();
    if (precision >= 0 && static_cast<int>(text.size()) > precision) text.resize(static_cast<size_t>(precision));
    return text;
  }

  std::string_view fmt_;
  const std::vector<Variant>& args_;
  size_t argIndex_ = 0;
  size_t i_ = 0;
  size_t specStart_ = 0;
  std::string out_;
};

}  // namespace

std::string Format(std::string_view fmt, const std::vector<Variant>& args) { return Formatter(fmt, args).Run(); }

}  // namespace rtl
