// Stand-in of the converter library "ATO17.dll": turns a memory image read
// by "Leitura.dll" into the official text file (see sim/core/atocotepe.h).
//
// DLLATO17GeraArquivo(image, output, start, end, kind, user, source):
//   kind 'D': start and end are dates (DDMMYY, DDMMYYYY, DD/MM/YY or
//   DD/MM/YYYY; both empty: the whole memory); 'C': COO numbers;
//   user: empty or the owner's number ("01"); source: "MF" fiscal memory,
//   "MFD" detail memory, "TDM" both.
// Returns 0 when the file was written; -1 the image cannot be read; -2 bad
// parameters; -3 the output cannot be written; -4 the input is not a memory
// image.
#include <fstream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/files.h"
#include "sim/core/atocotepe.h"
#include "sim/core/files.h"
#include "sim/core/numbers.h"
#include "sim/core/text.h"
#include "vendor/calling_convention.h"

extern "C" QOR_VENDOR_EXPORT int QOR_STDCALL DLLATO17GeraArquivo(char* in, char* out, char* start, char* end, char kind, char* user,
                                   char* source) {
  using ecfsim::Trim;
  if (!in || !out || Trim(in).empty() || Trim(out).empty()) return -2;
  ecfsim::AtoSelection sel;
  if (!ecfsim::AtoSource(source ? source : "", sel)) return -2;
  std::string a = start ? Trim(start) : std::string(), b = end ? Trim(end) : std::string();
  if (kind == 'D' || kind == 'd') {
    sel.byDate = true;
    if (a.empty() && b.empty()) {
      sel.from = 0;
      sel.to = 4000000;
    } else {
      auto x = ecfsim::ParseDate(a), y = ecfsim::ParseDate(b);
      if (!x || !y || *x > *y) return -2;
      sel.from = *x;
      sel.to = *y;
    }
  } else if (kind == 'C' || kind == 'c') {
    sel.byDate = false;
    auto x = ecfsim::ParseInt(a, 9), y = ecfsim::ParseInt(b, 9);
    if (!x || !y || *x > *y) return -2;
    sel.from = *x;
    sel.to = *y;
  } else {
    return -2;
  }
  std::ifstream f(rtl::NativePath(Trim(in)), std::ios::binary);
  if (!f) return -1;
  std::stringstream ss;
  ss << f.rdbuf();
  nlohmann::json image = nlohmann::json::parse(ss.str(), nullptr, false);
  if (image.is_discarded() || !image.is_object() || image.value("format", std::string()) != "ecfsim-memory-image")
    return -4;
  std::string u = user ? Trim(user) : std::string();
  if (!u.empty()) {
    std::string owner = image.value("identity", nlohmann::json::object()).value("user_number", std::string("1"));
    auto un = ecfsim::ParseInt(u, 2), on = ecfsim::ParseInt(owner, 2);
    if (!un || !on || *un != *on) return -2;
  }
  std::string text = ecfsim::AtoCotepeFile(image, sel);
  return ecfsim::WriteWholeFile(rtl::NativePath(Trim(out)), text) ? 0 : -3;
}
