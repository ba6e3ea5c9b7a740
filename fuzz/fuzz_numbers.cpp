// Number and date texts and masks: conversions either give a value or
// raise the run-time's error; formatting never fails on a finite value; a
// number written with FloatToStr reads back with StrToFloat.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/format.h"
#include "platform/locale.h"

namespace {

// Separator pairs a host may use (never the same, never a digit).
const char kSeparators[][2] = {{',', '.'}, {'.', ','}, {',', ' '}, {'.', '\''}};

void FormatValue(FuzzedDataProvider& in, double v) {
  const std::string mask = in.ConsumeRandomLengthString(40);
  rtl::FormatFloat(mask, v);
  rtl::FloatToStrF(v, static_cast<rtl::FloatFormat>(in.ConsumeIntegralInRange(0, 4)), in.ConsumeIntegralInRange(0, 20),
                   in.ConsumeIntegralInRange(0, 20));
  // Fifteen digits round the largest doubles beyond the range, as the
  // run-time library does; amounts are nowhere near.
  if (std::fabs(v) > 1e300) return;
  const std::string s = rtl::FloatToStr(v);
  double back = 0;
  if (!rtl::TryStrToFloat(s, back)) {  // what we write, we read
    std::fprintf(stderr, "FloatToStr(%.17g) gave \"%s\", which StrToFloat refuses (decimal '%c')\n", v, s.c_str(),
                 rtl::Settings().DecimalSeparator);
    __builtin_trap();
  }
}

void Dates(FuzzedDataProvider& in) {
  const std::string text = in.ConsumeRandomLengthString(40);
  rtl::TDateTime dt = 0;
  rtl::TryStrToDate(text, dt);
  rtl::TryStrToTime(text, dt);
  rtl::TryStrToDateTime(text, dt);
  rtl::TryParseIso(text, dt);
  try {
    rtl::StrToDateTime(text);
  } catch (const rtl::Exception&) {
  }
  const double when = in.ConsumeFloatingPointInRange(-693593.0, 2958465.0);  // years 1 to 9999
  rtl::FormatDateTime(in.ConsumeRandomLengthString(40), when);
  rtl::DateTimeToStr(when);
  rtl::ToIso(when);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  rtl::ScopedSettings keep;
  const auto& sep = kSeparators[in.ConsumeIntegralInRange<size_t>(0, 3)];
  rtl::Settings().DecimalSeparator = sep[0];
  rtl::Settings().ThousandSeparator = sep[1];
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: {
      const std::string text = in.ConsumeRandomLengthString(60);
      double v = 0;
      if (rtl::TryStrToFloat(text, v) && std::isfinite(v)) FormatValue(in, v);
      try {
        rtl::StrToFloat(text);
      } catch (const rtl::Exception&) {
      }
      break;
    }
    case 1: {
      const double v = in.ConsumeFloatingPoint<double>();
      if (std::isfinite(v)) FormatValue(in, v);
      break;
    }
    default:
      Dates(in);
  }
  return 0;
}
