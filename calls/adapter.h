// The adapters: one per exported operation, saying how a call's JSON
// arguments (a session step's, a service request's) become the operation's
// C++ parameters.
//
// The module's adapters come from the operation lists (calls/operations.cpp):
// each list line names the operation, its C++ signature and its kinds, e.g.
//   "text,dataset" (CarregaAliquota), "text->datetime" (DataMoviFiscal).
// The C++ parameter and result types come from the operation's declaration
// in module/operations.h (only its type: the hosts never link the module, they
// resolve the plain name in the loaded library at run time); the parameter
// names from the list line's declarations. The kinds
// string names each parameter's JSON encoding, in order:
//   text, text&          string
//   int, int&            integer
//   real, real&          number
//   bool, bool&          true/false
//   datetime, datetime&  "YYYY-MM-DD" or "YYYY-MM-DDThh:mm:ss" (a TDateTime double)
//   record, record&      parameter record: object or array of [key, value]
//   list                 positional list: array of values
//   result               result array: a number n (n unassigned elements) or an array
//   packet, packet&      data packet: {"fields","rows"} or {"file": "x.xml"}
//   dataset              host-owned client dataset: same encodings as packet
//   strings              string list: array of strings
// "&" marks a by-reference parameter: its value after the call is reported.
// "result", "dataset" and "strings" are always passed by reference (the
// operation fills them), so their contents after the call are reported too.
// After "->" an optional result kind overrides the one the C++ type gives
// (e.g. "datetime" for a TDateTime result, which is a double).
// Each kind must fit its C++ parameter type (text -> std::string, int ->
// int32_t, real and datetime -> double, bool -> bool, record/list/result/
// packet -> rtl::Variant, dataset -> rtl::ClientDataSet*, strings ->
// rtl::StringList); a kind that does not, an unknown kind or a wrong count
// stops the program at start-up with a message naming the operation.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/dataset.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

namespace qorhost {

// Storage for one argument, whatever its kind.
struct Arg {
  std::string text;  // code page 1252
  int32_t integer = 0;
  double real = 0;   // also date-times
  bool boolean = false;
  rtl::Variant variant;  // record, list, result array, data packet
  std::shared_ptr<rtl::ClientDataSet> dataset;
  rtl::StringList strings;
};

// Which member of Arg a C++ parameter type is passed from; the adapter's
// kind for that parameter must decode into the same member.
enum class Slot { Text, Integer, Real, Boolean, Variant, DataSet, Strings };

template <class T>
struct Pass;
#define QORHOST_PASS(T, member, s)                 \
  template <>                                      \
  struct Pass<T> {                                 \
    static constexpr Slot slot = Slot::s;          \
    static T get(Arg& a) { return a.member; }      \
  };
QORHOST_PASS(const std::string&, text, Text)
QORHOST_PASS(std::string, text, Text)
QORHOST_PASS(std::string&, text, Text)
QORHOST_PASS(int32_t, integer, Integer)
QORHOST_PASS(int32_t&, integer, Integer)
QORHOST_PASS(double, real, Real)
QORHOST_PASS(double&, real, Real)
QORHOST_PASS(bool, boolean, Boolean)
QORHOST_PASS(bool&, boolean, Boolean)
QORHOST_PASS(const rtl::Variant&, variant, Variant)
QORHOST_PASS(rtl::Variant&, variant, Variant)
QORHOST_PASS(rtl::Variant, variant, Variant)
QORHOST_PASS(rtl::StringList&, strings, Strings)
QORHOST_PASS(const rtl::StringList&, strings, Strings)
#undef QORHOST_PASS
template <>
struct Pass<rtl::ClientDataSet*> {
  static constexpr Slot slot = Slot::DataSet;
  static rtl::ClientDataSet* get(Arg& a) { return a.dataset.get(); }
};
template <>
struct Pass<rtl::ClientDataSet&> {
  static constexpr Slot slot = Slot::DataSet;
  static rtl::ClientDataSet& get(Arg& a) { return *a.dataset; }
};
template <>
struct Pass<rtl::StringList*> {
  static constexpr Slot slot = Slot::Strings;
  static rtl::StringList* get(Arg& a) { return &a.strings; }
};

// What an operation answered, before the adapter's result kind is applied.
inline rtl::Variant ToResult(bool v) { return rtl::Variant(v); }
inline rtl::Variant ToResult(int32_t v) { return rtl::Variant(v); }
inline rtl::Variant ToResult(double v) { return rtl::Variant(v); }
inline rtl::Variant ToResult(const std::string& v) { return rtl::Variant(v); }
inline rtl::Variant ToResult(const char* v) { return rtl::Variant(std::string(v ? v : "")); }
inline rtl::Variant ToResult(const rtl::Variant& v) { return v; }
inline rtl::Variant ToResult(const rtl::StringList& v) {
  std::vector<rtl::Variant> items;
  for (const auto& s : v.Lines()) items.emplace_back(s);
  return rtl::Variant(std::move(items));
}

struct Adapter {
  std::string name;
  std::vector<std::string> kinds;  // one per parameter
  std::vector<std::string> names;  // one per parameter when the declarations were given, else none
  std::string resultKind;          // "none", "bool", "int", "real", "text", "datetime", "variant", "strings"
  std::function<rtl::Variant(void* fn, std::vector<Arg>& args)> invoke;
  bool planned = false;  // listed, not built yet: the module does not export it
};

// Exit status of a program whose adapter is broken (it stops at start-up).
constexpr int kExitAdapterBroken = 3;

// Registers an adapter; a kinds string that does not match the parameter
// count stops the program at start-up with a message naming the operation.
void RegisterAdapter(Adapter a);
const Adapter* FindAdapter(const std::string& name);
const std::map<std::string, Adapter>& Adapters();
// Splits "text,int&->datetime" into kinds and result kind ("" when absent).
void ParseKinds(const std::string& spec, std::vector<std::string>& kinds, std::string& resultKind);
[[noreturn]] void AdapterMismatch(const char* name, size_t expected, size_t given);
// The parameter names of a declaration list "(const std::string& stA, rtl::Variant& Params)":
// the last identifier of each declaration ({"stA", "Params"}).
std::vector<std::string> ParameterNames(const std::string& declarations);
// "stA: text" (or "text" when the adapter has no names) for parameter `index` (0-based).
std::string ParameterLabel(const Adapter& a, size_t index);
// Every parameter's label, separated by ", ".
std::string ParameterList(const Adapter& a);
// The Arg member a kind decodes into; false for an unknown kind name.
bool KindSlot(const std::string& kind, Slot& slot);
// Stops the program at start-up: parameter `index` (0-based) has a kind
// that does not fit its C++ type, or the result kind does not fit the result.
[[noreturn]] void AdapterKindMismatch(const char* name, size_t index, const std::string& kind);
[[noreturn]] void AdapterResultMismatch(const char* name, const std::string& kind, const char* natural);

template <class R> constexpr const char* DefaultResultKind() {
  if constexpr (std::is_void_v<R>) return "none";
  else if constexpr (std::is_same_v<R, bool>) return "bool";
  else if constexpr (std::is_integral_v<R>) return "int";
  else if constexpr (std::is_floating_point_v<R>) return "real";
  else if constexpr (std::is_same_v<R, rtl::StringList>) return "strings";
  else if constexpr (std::is_same_v<R, rtl::Variant>) return "variant";
  else return "text";
}

template <class Sig>
struct Registrar;

template <class R, class... P>
struct Registrar<R(P...)> {
  // `declarations`: the parameter list as written, for the parameter names (may be null).
  Registrar(const char* name, const char* spec, bool planned = false, const char* declarations = nullptr) {
    Adapter a;
    a.name = name;
    a.planned = planned;
    std::string rk;
    ParseKinds(spec, a.kinds, rk);
    if (a.kinds.size() != sizeof...(P)) AdapterMismatch(name, sizeof...(P), a.kinds.size());
    if (declarations) a.names = ParameterNames(declarations);
    if constexpr (sizeof...(P) > 0) {
      const Slot slots[] = {Pass<P>::slot...};
      for (size_t i = 0; i < a.kinds.size(); ++i) {
        Slot s;
        if (!KindSlot(a.kinds[i], s) || s != slots[i]) AdapterKindMismatch(name, i, a.kinds[i]);
      }
    }
    const std::string natural = DefaultResultKind<R>();
    // A double result may be declared a date-time; otherwise the kind is the type's own.
    if (!rk.empty() && rk != natural && !(rk == "datetime" && natural == "real"))
      AdapterResultMismatch(name, rk, natural.c_str());
    a.resultKind = rk.empty() ? natural : rk;
    a.invoke = [](void* fn, std::vector<Arg>& args) -> rtl::Variant {
      return Call(reinterpret_cast<R (*)(P...)>(fn), args, std::index_sequence_for<P...>{});
    };
    RegisterAdapter(std::move(a));
  }

 private:
  template <size_t... I>
  static rtl::Variant Call(R (*f)(P...), std::vector<Arg>& args, std::index_sequence<I...>) {
    if constexpr (std::is_void_v<R>) {
      f(Pass<P>::get(args[I])...);
      return rtl::Variant();
    } else {
      return ToResult(f(Pass<P>::get(args[I])...));
    }
  }
};

}  // namespace qorhost

// An adapter for a free function `op` of the global namespace.
#define QORHOST_ADAPTER(op, spec) \
  static ::qorhost::Registrar<decltype(::op)> qorhost_adapter_##op(#op, spec)
// An adapter named `name` whose types are those of the function `fn`.
#define QORHOST_ADAPTER_OF(fn, name, spec) \
  static ::qorhost::Registrar<decltype(fn)> qorhost_adapter_##name(#name, spec)
// The same for an operation that is listed but not built yet.
#define QORHOST_PLANNED_OF(fn, name, spec) \
  static ::qorhost::Registrar<decltype(fn)> qorhost_adapter_##name(#name, spec, true)
// An operation of the module's lists, with its parameter declarations for the names.
#define QORHOST_OPERATION_OF(fn, name, spec, declarations, planned) \
  static ::qorhost::Registrar<decltype(fn)> qorhost_adapter_##name(#name, spec, planned, declarations)
