// Fault loops over a whole point-of-sale session: the Nth call that the
// module makes into the printer's library is made to fail (or to throw),
// once or from then on, for N = 1, 2, 3, ... up to the length of a clean
// session, and after every run the driver and the printer are checked.
//
// How the Nth call is reached. The simulated printer's control interface
// injects a failure into "the next k calls" of an entry point; it has no way
// to say "the k-th call from now". The harness therefore counts the module's
// calls itself: the run-time layer's Env resolves the module's entry points,
// so an Env that wraps GetProcAddress hands the module a counting trampoline
// per entry point. When the trampoline sees the k-th call of the chosen
// entry point (k taken from the clean session's journal) it arms
// ecfsim_fail / ecfsim_raise for that call (times 1) or for it and every
// later call (times -1), and then forwards the call to the printer.
#pragma once
#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "module/Qor01100.h"
#include "platform/library.h"
#include "hostlib/cripto.h"
#include "hostlib/dialogs.h"
#include "platform/dataset.h"
#include "platform/env.h"
#include "platform/format.h"
#include "platform/stringlist.h"
#include "platform/text.h"
#include "platform/variant.h"
#include "tests/support/module_fixture.h"
#include "vendor/elgin_facts.h"

namespace faults {

using nlohmann::json;
using rtl::Variant;

// ---------------------------------------------------------------- entry points

// The entry points in bind order (the positions of elgin::kEntries).
enum Fn : int {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) k_##name,
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
  kFnCount
};

inline constexpr const char* kFnNames[] = {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) #name,
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
};

inline int FnIndex(const std::string& name) {
  for (int i = 0; i < kFnCount; ++i)
    if (name == kFnNames[i]) return i;
  return -1;
}

// Fail: the code given, nothing done. Raise: the library throws. LostAnswer:
// the printer acts, the library answers 0. NotExecuted: the library answers 1,
// the printer did nothing and its status says so.
enum class Fault { Fail, Raise, LostAnswer, NotExecuted };

// The fault given to the k-th call of one entry point.
struct Injection {
  int fn = -1;
  int occurrence = 0;  // 1-based
  Fault fault = Fault::Fail;
  int code = 0;
  bool persistent = false;  // that call and every later call of the entry point
  int times = 1;            // else: that call and the next times-1 calls of the entry point
};

// Thrown into the module when a run goes on far beyond the clean session
// (calls or questions): a loop that would not end.
struct RunawayLoop {
  std::string what;
};

// Counts the module's calls into the printer and arms the injection.
class Interposer {
 public:
  static Interposer& Get() {
    static Interposer ip;
    return ip;
  }

  void Reset(qortest::Sim* s) {
    sim = s;
    sequence.clear();
    returns.clear();
    perFn.fill(0);
    armed.reset();
    firedAt = 0;
    callCap = 0;
  }

  void Before(int f) {
    sequence.push_back(f);
    returns.push_back(0);  // a call that throws answers nothing
    const int n = ++perFn[static_cast<size_t>(f)];
    if (callCap > 0 && static_cast<long>(sequence.size()) > callCap)
      throw RunawayLoop{"more than " + std::to_string(callCap) + " printer calls"};
    if (armed && firedAt == 0 && f == armed->fn && n == armed->occurrence) {
      firedAt = static_cast<long>(sequence.size());
      const int times = armed->persistent ? -1 : armed->times;
      switch (armed->fault) {
        case Fault::Fail: sim->fail(kFnNames[f], armed->code, times); break;
        case Fault::Raise: sim->raise(kFnNames[f], times); break;
        case Fault::LostAnswer: sim->lost_answer(kFnNames[f], times); break;
        case Fault::NotExecuted: sim->not_executed(kFnNames[f], times); break;
      }
    }
  }

  // The code the call just made returned.
  void After(int code) { returns.back() = code; }

  // Lifts a persistent injection (the printer works again).
  void Disarm() {
    if (armed && sim) {
      sim->fail(kFnNames[armed->fn], 0, 0);
      sim->raise(kFnNames[armed->fn], 0);
      sim->lost_answer(kFnNames[armed->fn], 0);
      sim->not_executed(kFnNames[armed->fn], 0);
    }
    armed.reset();
  }

  std::array<void*, kFnCount> real{};
  std::vector<int> sequence;  // the entry point of every call, in order
  std::vector<int> returns;   // the code each of them returned
  std::array<int, kFnCount> perFn{};
  std::optional<Injection> armed;
  long firedAt = 0;  // 1-based number of the call that received the fault; 0 none yet
  long callCap = 0;  // 0: no cap
  qortest::Sim* sim = nullptr;
};

#define ELGIN_ENTRY(name, types, params, args, kinds, ...)                             \
  inline int Tramp_##name params {                                                \
    Interposer::Get().Before(k_##name);                                           \
    const int r = reinterpret_cast<int(*) types>(Interposer::Get().real[k_##name]) args; \
    Interposer::Get().After(r);                                                   \
    return r;                                                                     \
  }
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY

inline void* const kTrampolines[] = {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) reinterpret_cast<void*>(&Tramp_##name),
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
};

// Hands the module a trampoline for every entry point of the printer's library.
class InterposingEnv : public rtl::EnvWrapper {
 public:
  using rtl::EnvWrapper::EnvWrapper;
  void* GetProcAddress(void* lib, const std::string& name) override {
    void* p = rtl::EnvWrapper::GetProcAddress(lib, name);
    const int f = FnIndex(name);
    if (p == nullptr || f < 0) return p;
    Interposer::Get().real[static_cast<size_t>(f)] = p;
    return kTrampolines[f];
  }
};

// ---------------------------------------------------------------- module state

// The module's shared variables (the tests link the module's code).
inline std::string& stMensagemTaa() { return Qor01100::stMensagemTaa; }
inline bool& boImpFiscalOK() { return Qor01100::boImpFiscalOK; }

// ---------------------------------------------------------------- the session

inline const char* const kSerial = "ECFSIM00000000000001";

// The fiscal application's configuration: this printer, active, grand-total
// check on, stored total not initialised yet (the hidden form of 10,10).
inline const char* const kKalvora =
    "<?xml version=\"1.0\" standalone=\"yes\"?>\n<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\"/><FIELD attrname=\"CDCAIXA\" fieldtype=\"string\" "
    "WIDTH=\"3\"/><FIELD attrname=\"NRSERIEECF\" fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"IDSITECFIMPF\" "
    "fieldtype=\"string\" WIDTH=\"1\"/><FIELD attrname=\"CAMPO01\" fieldtype=\"string\" WIDTH=\"1\"/><FIELD "
    "attrname=\"CAMPO02\" fieldtype=\"string\" WIDTH=\"40\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW "
    "CDFILIAL=\"0001\" CDCAIXA=\"01\" NRSERIEECF=\"ECFSIM00000000000001\" IDSITECFIMPF=\"A\" CAMPO01=\"S\" "
    "CAMPO02=\"FJPOKMAKJG\"/></ROWDATA></DATAPACKET>\n";

inline Variant StartRecord() {
  return Variant::Record({{"CDFILIAL", "0001"},
                          {"CDCAIXA", "01"},
                          {"NRSERIEIMP", kSerial},
                          {"ESQUEMA", "001"},
                          {"CDPORTAIMPFIS", "COM1"},
                          {"IDTIPOIMPFIS", "1"},
                          {"BOUTILTAA", false},
                          {"NRSERIE", kSerial},
                          {"ESQUEMACOR", "001"}});
}

inline Variant TotGeralRecord() {
  return Variant::Record({{"CDFILIAL", "0001"},
                          {"CDCAIXA", "01"},
                          {"NRSERIEIMP", kSerial},
                          {"ESQUEMACOR", "001"},
                          {"IDVALIDA", "S"}});
}

inline void AddFields(rtl::ClientDataSet& ds, const std::vector<std::pair<const char*, int>>& fields) {
  for (auto& [name, size] : fields)
    ds.AddFieldDef(name, size > 0 ? rtl::FieldType::String : rtl::FieldType::Float, size);
}

inline void SetText(rtl::ClientDataSet& ds, const char* field, const char* value) {
  if (value) ds.FieldByName(field).SetAsString(value);
}

// The host's payment types of the first sale of examples/sale.json: cash
// is known to the printer, the two cards are programmed.
inline void TiposRece(rtl::ClientDataSet& ds) {
  AddFields(ds, {{"CDFILIAL", 4},
                 {"CDTIPORECE", 3},
                 {"NMTIPORECE", 40},
                 {"IDTIPORECE", 1},
                 {"IDTPBUTTON", 1},
                 {"IDMOSTRARECE", 1},
                 {"DSIMPFISCAL", 50},
                 {"CDFPIMPFIS", 10},
                 {"IDEMIVALE", 1}});
  ds.CreateDataSet();
  const std::array<std::array<const char*, 7>, 3> rows = {{
      {"0001", "001", "DINHEIRO", "1", "5", "S", "DINHEIRO"},
      {"0001", "002", "CARTAO CREDITO", "4", "5", "S", "Cartao Credito"},
      {"0001", "003", "CARTAO DEBITO", "4", "5", "S", "Cartao Debito"},
  }};
  const char* names[] = {"CDFILIAL", "CDTIPORECE", "NMTIPORECE", "IDTIPORECE", "IDTPBUTTON", "IDMOSTRARECE",
                         "DSIMPFISCAL"};
  for (auto& r : rows) {
    ds.Append();
    for (size_t i = 0; i < r.size(); ++i) SetText(ds, names[i], r[i]);
    ds.Post();
  }
}

inline Variant AbreCupomRecord(bool tef) {
  return Variant::Record({{"ESQUEMACOR", "001"},
                          {"INCLUICPF", "12345678909"},
                          {"INCLUINOME", "JOSE DA SILVA"},
                          {"INCLUIENDERECO", "RUA DAS FLORES, 10"},
                          {"CUPNR", ""},
                          {"CONTCUPOM", ""},
                          {"TIPOTICKET", "1"},
                          {"IVACOMP", ""},
                          {"IVAPROP", ""},
                          {"TIPODOC", ""},
                          {"NRDOC", ""},
                          {"MESA", ""},
                          {"IDUTILTEF", tef ? "T" : "N"},
                          {"INTTEFERRO", 0},
                          {"UTILTEF", tef}});
}

struct Item {
  const char* code;
  const char* name;
  double qty, price, discount, surcharge;
};

// The items of the first sale of examples/sale.json: a discount on the
// first, a surcharge on the second, nothing on the third.
inline const Item kItems[] = {
    {"7891000100103", "ARROZ TIPO 1 5KG", 2, 10.99, 1.98, 0},
    {"7891000200200", "CAFE TORRADO 500G", 1, 15.0, 0, 1.0},
    {"7891000300307", "LEITE INTEGRAL 1L", 1, 4.0, 0, 0},
};

inline Variant VendaItemRecord(const Item& it, bool tef) {
  return Variant::Record({{"ESQUEMACOR", "001"},
                          {"CDARVPROD", it.code},
                          {"NMPROD", it.name},
                          {"CDALIQ", "00"},
                          {"QTDE", it.qty},
                          {"VALOR", it.price},
                          {"DESCONT", it.discount},
                          {"ACRESCIMO", it.surcharge},
                          {"UNIDADE", "UN"},
                          {"TIPOTICKET", "1"},
                          {"VRPERCALIQ", "18"},
                          {"IDUTILTEF", tef ? "T" : "N"},
                          {"UTILTEF", tef},
                          {"INTTEFERRO", 0}});
}

// The movement packet of the first sale: 20,00 in cash and 20,00 on the
// credit card, paid in the order of the host's payment-type index.
inline Variant Movimentos() {
  rtl::ClientDataSet ds;
  using rtl::FieldType;
  const std::vector<std::tuple<const char*, FieldType, int>> fields = {
      {"CDFILIAL", FieldType::String, 4},       {"IDTIPOMOVIVE", FieldType::String, 1},
      {"DTHRINCMOV", FieldType::DateTime, 0},   {"CDTIPORECE", FieldType::String, 3},
      {"NMTIPORECE", FieldType::String, 40},    {"IDTIPORECE", FieldType::String, 1},
      {"VRMOVIVEND", FieldType::Float, 0},      {"VRMOVIVEOUT", FieldType::Float, 0},
      {"VRCOTINDOUT", FieldType::Float, 0},     {"CDTIPOTROCO", FieldType::String, 3},
      {"NRORDTROCO", FieldType::String, 3},     {"CDCLIENTE", FieldType::String, 15},
      {"CDCONSUMIDOR", FieldType::String, 15},  {"DTMOVIMCAIXA", FieldType::DateTime, 0},
      {"DSIMPFISCAL", FieldType::String, 50},   {"CDFPIMPFIS", FieldType::String, 10},
      {"NRCARTBANCO", FieldType::String, 20},   {"CDNSUHOSTTEF", FieldType::String, 20},
      {"CDBANCARTCR", FieldType::String, 10},   {"CDTIPORECEORIG", FieldType::String, 3}};
  for (auto& [name, type, size] : fields) ds.AddFieldDef(name, type, size);
  ds.AddIndexDef("idxIDTIPORECE", "IDTIPORECE;NRORDTROCO", "IDTIPORECE");
  ds.CreateDataSet();
  struct Row {
    int minute;
    const char *cd, *nm, *id;
    const char* ordem;
  };
  for (const Row& r : {Row{5, "001", "Dinheiro", "1", "1"}, Row{6, "002", "Cartao Credito", "4", "2"}}) {
    ds.Append();
    ds.FieldByName("CDFILIAL").SetAsString("0001");
    ds.FieldByName("IDTIPOMOVIVE").SetAsString("E");
    ds.FieldByName("DTHRINCMOV").SetAsDateTime(rtl::EncodeDate(2026, 3, 5) + rtl::EncodeTime(10, r.minute, 0, 0));
    ds.FieldByName("CDTIPORECE").SetAsString(r.cd);
    ds.FieldByName("NMTIPORECE").SetAsString(r.nm);
    ds.FieldByName("IDTIPORECE").SetAsString(r.id);
    ds.FieldByName("VRMOVIVEND").SetAsFloat(20.0);
    ds.FieldByName("VRMOVIVEOUT").SetAsFloat(0);
    ds.FieldByName("VRCOTINDOUT").SetAsFloat(0);
    ds.FieldByName("NRORDTROCO").SetAsString(r.ordem);
    ds.FieldByName("DTMOVIMCAIXA").SetAsDateTime(rtl::EncodeDate(2026, 3, 5));
    ds.FieldByName("DSIMPFISCAL").SetAsString(r.nm);
    ds.FieldByName("CDFPIMPFIS").SetAsString("S");
    ds.Post();
  }
  return ds.Data();
}

inline Variant TiposPacote() {
  rtl::ClientDataSet ds;
  AddFields(ds, {{"CDTIPORECE", 3}, {"NMTIPORECE", 40}, {"IDTIPORECE", 1}});
  ds.CreateDataSet();
  for (auto& r : {std::array<const char*, 3>{"001", "Dinheiro", "1"}, {"002", "Cartao Credito", "4"},
                  {"003", "Cartao Debito", "4"}}) {
    ds.Append();
    ds.FieldByName("CDTIPORECE").SetAsString(r[0]);
    ds.FieldByName("NMTIPORECE").SetAsString(r[1]);
    ds.FieldByName("IDTIPORECE").SetAsString(r[2]);
    ds.Post();
  }
  return ds.Data();
}

// The closing list of the first sale of examples/sale.json: a subtotal
// discount of 5,999 (5,99 sent), 20,00 on the card and 20,00 in cash, change
// 5,99 registered as a change voucher. In the electronic-funds-transfer
// variant positions 9 and 11 say so.
inline Variant FechaCupomList(bool tef) {
  std::vector<Variant> el(61, Variant(""));
  el[1] = "Obrigado pela preferencia!";
  el[2] = "001";
  el[3] = 0;
  el[4] = true;
  el[5] = true;
  el[6] = 5.999;
  el[7] = 5.99;
  el[8] = 0;
  el[9] = tef ? "T" : "N";
  el[10] = "Trocas somente com este cupom.";
  el[11] = tef;
  el[13] = Movimentos();
  el[14] = TiposPacote();
  el[22] = "7";
  el[23] = "MARIA";
  for (size_t i : {32, 33, 34, 49, 60}) el[i] = Variant::Null();
  el[37] = 0;
  el[38] = 0;
  el[40] = "N";
  el[41] = "001";
  el[42] = "VENDA-000001";
  el[43] = "SP";
  el[44] = "11.222.333/0001-81";
  el[50] = 0;
  el[51] = 6.8;
  el[52] = 0;
  el[53] = 0;
  el[54] = 0;
  return Variant(el);
}

}  // namespace faults
