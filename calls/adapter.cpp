#include "calls/adapter.h"

#include <cstdio>
#include <cctype>
#include <cstdlib>

#include "calls/codec.h"

namespace qorhost {

namespace {

// Adapters register from static objects in other translation units, so the
// registry is created on first use.
std::map<std::string, Adapter>& Registry() {
  static std::map<std::string, Adapter> registry;
  return registry;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

const char* const kResultKinds[] = {"none", "bool", "int", "real", "text", "datetime", "variant", "strings"};

// An adapter that cannot be right stops the program before anything runs:
// its operation would otherwise be called with wrongly decoded arguments.
constexpr int kAdapterErrorExit = kExitAdapterBroken;

}  // namespace

bool KindSlot(const std::string& kind, Slot& slot) {
  const std::string k = BaseKind(kind);
  if (k == "text") slot = Slot::Text;
  else if (k == "int") slot = Slot::Integer;
  else if (k == "real" || k == "datetime") slot = Slot::Real;
  else if (k == "bool") slot = Slot::Boolean;
  else if (k == "record" || k == "list" || k == "result" || k == "packet") slot = Slot::Variant;
  else if (k == "dataset") slot = Slot::DataSet;
  else if (k == "strings") slot = Slot::Strings;
  else return false;
  return true;
}

void ParseKinds(const std::string& text, std::vector<std::string>& kinds, std::string& resultKind) {
  kinds.clear();
  resultKind.clear();
  std::string params = text;
  const size_t arrow = text.find("->");
  if (arrow != std::string::npos) {
    params = text.substr(0, arrow);
    resultKind = Trim(text.substr(arrow + 2));
  }
  if (Trim(params).empty()) return;
  size_t start = 0;
  while (true) {
    const size_t comma = params.find(',', start);
    kinds.push_back(Trim(params.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
}

void AdapterMismatch(const char* name, size_t expected, size_t given) {
  std::fprintf(stderr, "qorhost: the adapter of %s names %zu parameter kind(s), the operation has %zu parameter(s)\n",
               name, given, expected);
  std::exit(kAdapterErrorExit);
}

void AdapterKindMismatch(const char* name, size_t index, const std::string& kind) {
  Slot s;
  if (!KindSlot(kind, s))
    std::fprintf(stderr, "qorhost: the adapter of %s: parameter %zu has the unknown kind \"%s\"\n", name, index + 1,
                 kind.c_str());
  else
    std::fprintf(stderr, "qorhost: the adapter of %s: parameter %zu is declared \"%s\", which does not fit its C++ type\n",
                 name, index + 1, kind.c_str());
  std::exit(kAdapterErrorExit);
}

void AdapterResultMismatch(const char* name, const std::string& kind, const char* natural) {
  std::fprintf(stderr, "qorhost: the adapter of %s: result kind \"%s\" does not fit a result of kind \"%s\"\n", name,
               kind.c_str(), natural);
  std::exit(kAdapterErrorExit);
}

void RegisterAdapter(Adapter a) {
  for (size_t i = 0; i < a.kinds.size(); ++i) {
    Slot s;
    if (!KindSlot(a.kinds[i], s)) AdapterKindMismatch(a.name.c_str(), i, a.kinds[i]);
  }
  bool knownResult = false;
  for (const char* r : kResultKinds) knownResult = knownResult || a.resultKind == r;
  if (!knownResult) AdapterResultMismatch(a.name.c_str(), a.resultKind, "none, bool, int, real, text, datetime, variant or strings");
  if (!a.invoke) {
    std::fprintf(stderr, "qorhost: the adapter of %s has no call\n", a.name.c_str());
    std::exit(kAdapterErrorExit);
  }
  auto [it, inserted] = Registry().emplace(a.name, a);
  if (!inserted) {
    std::fprintf(stderr, "qorhost: %s has two adapters\n", a.name.c_str());
    std::exit(kAdapterErrorExit);
  }
}

std::vector<std::string> ParameterNames(const std::string& declarations) {
  std::string text = Trim(declarations);
  if (text.size() >= 2 && text.front() == '(' && text.back() == ')') text = text.substr(1, text.size() - 2);
  // The declarations, split at the commas outside <...> and (...).
  std::vector<std::string> pieces(1);
  int depth = 0;
  for (char c : text) {
    if (c == '<' || c == '(') ++depth;
    if (c == '>' || c == ')') --depth;
    if (c == ',' && depth == 0) pieces.emplace_back();
    else pieces.back() += c;
  }
  std::vector<std::string> names;
  for (std::string piece : pieces) {
    piece = Trim(piece.substr(0, piece.find('=')));  // no default value
    size_t end = piece.size();
    size_t begin = end;
    while (begin > 0 && (std::isalnum(static_cast<unsigned char>(piece[begin - 1])) || piece[begin - 1] == '_')) --begin;
    if (begin < end) names.push_back(piece.substr(begin, end - begin));
  }
  return names;
}

std::string ParameterLabel(const Adapter& a, size_t index) {
  const std::string& kind = index < a.kinds.size() ? a.kinds[index] : std::string();
  return index < a.names.size() ? a.names[index] + ": " + kind : kind;
}

std::string ParameterList(const Adapter& a) {
  std::string list;
  for (size_t i = 0; i < a.kinds.size(); ++i) list += (i ? ", " : "") + ParameterLabel(a, i);
  return list;
}

const Adapter* FindAdapter(const std::string& name) {
  auto it = Registry().find(name);
  return it == Registry().end() ? nullptr : &it->second;
}

const std::map<std::string, Adapter>& Adapters() { return Registry(); }

}  // namespace qorhost
