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

#include "driver/state.h"
#include "hostlib/cripto.h"
#include "hostlib/dialogs.h"
#include "platform/dataset.h"
#include "platform/env.h"
#include "platform/format.h"
#include "platform/library.h"
#include "platform/stringlist.h"
#include "platform/text.h"
#include "platform/variant.h"
#include "tests/support/module_fixture.h"
#include "tests/support/sale_records.h"
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
// the printer did nothing and its status says so. OwnFile: not a printer
// call but the module's own n-th file operation fails, as a full disk would
// (through the run-time's file seam, rtl::ConfigurableEnv).
enum class Fault { Fail, Raise, LostAnswer, NotExecuted, OwnFile };

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
        case Fault::OwnFile: break;
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

using qortest::AbreCupomRecord;
using qortest::FechaCupomList;
using qortest::Item;
using qortest::kItems;
using qortest::kKalvora;
using qortest::kSerial;
using qortest::Movimentos;
using qortest::StartRecord;
using qortest::TiposPacote;
using qortest::TiposRece;
using qortest::TotGeralRecord;
using qortest::VendaItemRecord;

}  // namespace faults
