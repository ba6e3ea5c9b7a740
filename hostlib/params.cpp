// Parameter records and the date-time difference text.
#include "hostlib/params.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/locale.h"
#include "platform/text.h"

namespace hostlib {

namespace {

// Messages are written here in UTF-8 and handed out in code page 1252, like
// every other text of the module.
[[noreturn]] void RaiseParam(const std::string& utf8Before, const std::string& key, const std::string& utf8After) {
  throw EParamNotFound(rtl::Utf8ToCp1252(utf8Before) + key + rtl::Utf8ToCp1252(utf8After));
}

// The key of one pair as text; a key that is not text (or converts to none)
// makes the record malformed.
bool PairKey(const rtl::Variant& pair, std::string& out) {
  const rtl::Variant& k = pair[0];
  if (k.type() != rtl::VarType::String) return false;
  out = k.AsString();
  return true;
}

}  // namespace

rtl::Variant RecebeParams(const rtl::Variant& params, const std::string& key) {
  // Every pair is checked before the lookup, so a malformed record is
  // reported whatever key is asked for and wherever the fault lies.
  if (!params.IsArray()) {
    RaiseParam("Registro de parâmetros inválido ao ler o parâmetro ", key,
               ": esperava-se uma lista de pares [chave, valor].");
  }
  const std::vector<rtl::Variant>& items = params.Items();
  std::vector<std::string> keys;
  keys.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    const rtl::Variant& pair = items[i];
    std::string k;
    if (!pair.IsArray() || pair.ArrayLength() != 2 || !PairKey(pair, k)) {
      RaiseParam("Registro de parâmetros inválido ao ler o parâmetro ", key,
                 ": o item " + std::to_string(i) + " não é um par [chave, valor].");
    }
    keys.push_back(std::move(k));
  }
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == key) return items[i][1];
  }
  for (size_t i = 0; i < keys.size(); ++i) {
    if (rtl::AnsiSameText(keys[i], key)) return items[i][1];
  }
  RaiseParam("Parâmetro ", key, " não encontrado.");
}

namespace {

// A date-time as a position on one continuous time line, in milliseconds.
// Before 30/12/1899 the run-time's date-times keep the time of day as a
// positive fraction after a negative day number (-1.25 is 29/12/1899 06:00),
// so a plain subtraction would be wrong there.
int64_t LinearMs(rtl::TDateTime dt) {
  double days = std::trunc(dt);
  double frac = std::fabs(dt - days);
  return static_cast<int64_t>(days) * 86400000LL + std::llround(frac * 86400000.0);
}

}  // namespace

// The difference is taken to the millisecond (so the binary error of the two
// date-times cannot drop a minute), then cut to whole minutes: seconds never
// round up, as on a clock face. A difference that shows as 00:00 carries no
// sign.
//
// A difference of 24 hours or more is written "23:59" (with its sign). The
// text must stay a valid time of day, because the clock check converts it
// with StrToTime: a text such as "26:05" would not convert, the conversion
// error would end the check with its result still true, and a printer clock
// a day off would pass. "23:59" converts, and is more than any tolerance a
// caller can check in minutes, so the check fails as it must.
std::string SubtDataHoraKvx(rtl::TDateTime a, rtl::TDateTime b) {
  if (!std::isfinite(a) || !std::isfinite(b)) return "23:59";
  int64_t diff = LinearMs(a) - LinearMs(b);
  bool negative = diff < 0;
  int64_t minutes = (negative ? -diff : diff) / 60000;
  if (minutes >= int64_t{24} * 60) minutes = 24 * 60 - 1;
  // The separator is the locale's, so that the locale's conversion reads it back.
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s%02d%c%02d", negative && minutes > 0 ? "-" : "",
                static_cast<int>(minutes / 60), rtl::Settings().TimeSeparator,
                static_cast<int>(minutes % 60));
  return buf;
}

}  // namespace hostlib
