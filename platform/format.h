// Number formatting and conversion with the run-time library's rules.
//
// Rounding: a value is first written with 18 significant digits (the exact
// binary value rounded to 18 digits), then cut at the requested decimal,
// rounding half away from zero on that decimal form. So 1.115 (stored as
// 1.11499999999999999...) gives "1,11" with two decimals. A result that
// rounds to zero never carries a minus sign.
#pragma once
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

class Variant;

enum class FloatFormat { General, Exponent, Fixed, Number, Currency };

// Masks: 0 # . , ; "quoted" 'quoted' E+ E- (see the run-time notes).
std::string FormatFloat(std::string_view mask, double value);
// 15 significant digits, shortest general form: 10.5 -> "10,5", 1e15 -> "1E15".
std::string FloatToStr(double value);
std::string FloatToStrF(double value, FloatFormat format, int precision, int digits);
std::string CurrToStr(double value);

// Locale decimal separator; blanks around allowed; optional sign and exponent.
// No thousand separators. Raises EConvertError.
double StrToFloat(std::string_view s);
bool TryStrToFloat(std::string_view s, double& out);
double StrToFloatDef(std::string_view s, double def);

// Format(fmt, args): %s %d %u %x %f %n %m %g %e %% with optional
// index, '-', width and .precision, as in the run-time library.
// A mismatched argument raises EConvertError; a missing one EFormatError.
std::string Format(std::string_view fmt, const std::vector<Variant>& args);

}  // namespace rtl
