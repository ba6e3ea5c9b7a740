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

}  // namespace

std::string Format(std::string_view fmt, const std::vector<Variant>& args) {
  const FormatSettings& fs = Settings();
  std::string out;
  size_t argIndex = 0;
  size_t i = 0;
  while (i < fmt.size()) {
    char c = fmt[i];
    if (c != '%') {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t specStart = i;
    ++i;
    if (i < fmt.size() && fmt[i] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }
    auto spec = [&]() { return fmt.substr(specStart, (i < fmt.size() ? i + 1 : i) - specStart); };
    auto nextArg = [&]() -> const Variant& {
      if (argIndex >= args.size()) throw EFormatError("No argument for format '" + std::string(spec()) + "'");
      return args[argIndex++];
    };
    // A number or '*'; -1 when absent.
    auto number = [&]() -> int {
      if (i < fmt.size() && fmt[i] == '*') {
        ++i;
        const Variant& a = nextArg();
        if (a.type() != VarType::Integer) Incompatible(spec());
        return static_cast<int>(a.AsInteger());
      }
      if (i >= fmt.size() || fmt[i] < '0' || fmt[i] > '9') return -1;
      int n = 0;
      while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
        if (n < 100000) n = n * 10 + (fmt[i] - '0');
        ++i;
      }
      return n;
    };
    bool left = false;
    int width = -1, precision = -1;
    // index ":" (digits only)
    {
      size_t j = i;
      int n = 0;
      while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') {
        if (n < 100000) n = n * 10 + (fmt[j] - '0');
        ++j;
      }
      if (j > i && j < fmt.size() && fmt[j] == ':') {
        argIndex = static_cast<size_t>(n);
        i = j + 1;
      }
    }
    if (i < fmt.size() && fmt[i] == '-') {
      left = true;
      ++i;
    }
    width = number();
    if (i < fmt.size() && fmt[i] == '.') {
      ++i;
      precision = number();
      if (precision < 0) precision = 0;
    }
    if (i >= fmt.size()) Incompatible(fmt.substr(specStart));
    char type = fmt[i];
    char lower = (type >= 'A' && type <= 'Z') ? static_cast<char>(type + 32) : type;
    std::string text;
    switch (lower) {
      case 'd':
      case 'u':
      case 'x': {
        const Variant& a = nextArg();
        if (a.type() != VarType::Integer) Incompatible(spec());
        int64_t v = a.AsInt64();
        std::string digits;
        bool neg = false;
        if (lower == 'd') {
          neg = v < 0;
          digits = UnsignedText(neg ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v), 10);
        } else {
          digits = UnsignedText(AsUnsigned(v), lower == 'u' ? 10 : 16);
        }
        if (precision > 0 && static_cast<int>(digits.size()) < precision)
          digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
        text = neg ? "-" + digits : digits;
        break;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': {
        const Variant& a = nextArg();
        if (a.type() != VarType::Double && a.type() != VarType::Integer && a.type() != VarType::DateTime)
          Incompatible(spec());
        double v = a.AsDouble();
        switch (lower) {
          case 'e': text = FloatToStrF(v, FloatFormat::Exponent, precision < 0 ? 15 : precision, 3); break;
          case 'f': text = FloatToStrF(v, FloatFormat::Fixed, 18, precision < 0 ? 2 : precision); break;
          case 'g': text = FloatToStrF(v, FloatFormat::General, precision < 0 ? 15 : precision, 3); break;
          case 'n': text = FloatToStrF(v, FloatFormat::Number, 18, precision < 0 ? 2 : precision); break;
          default:
            text = FloatToStrF(v, FloatFormat::Currency, 18, precision < 0 ? fs.CurrencyDecimals : precision);
            break;
        }
        break;
      }
      case 's': {
        const Variant& a = nextArg();
        if (a.IsArray() || a.IsPacket()) Incompatible(spec());
        text = a.AsString();
        if (precision >= 0 && static_cast<int>(text.size()) > precision) text.resize(static_cast<size_t>(precision));
        break;
      }
      default:
        Incompatible(spec());
    }
    ++i;
    if (width > 0 && static_cast<int>(text.size()) < width) {
      std::string pad(static_cast<size_t>(width) - text.size(), ' ');
      text = left ? text + pad : pad + text;
    }
    out += text;
  }
  return out;
}

}  // namespace rtl
