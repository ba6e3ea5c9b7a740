// The exported face of the simulated printer: the 95 entry points of the
// vendor library (from vendor/elgin_entries.def, so that the module and the
// printer agree on every parameter list), and the control interface
// (sim/ecfsim.h): fault injection, forced answers, the call journal.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/call_fault.h"
#include "sim/core/text.h"
#include "sim/ecfsim.h"
#include "sim/printer.h"
#include "vendor/calling_convention.h"
#include "vendor/elgin_facts.h"

using nlohmann::json;

namespace ecfsim {

namespace {

enum Fn : int {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) k_##name,
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
  kFnCount
};

static_assert(kFnCount == elgin::kEntryCount);

struct FnInfo {
  const char* name;
  Printer::Handler handler;
};

const FnInfo kFns[kFnCount] = {
#define ELGIN_ENTRY(name, ...) {#name, &Printer::name},
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
};

// What the entry list says of each entry point.
const elgin::EntryFacts& Facts(int f) { return elgin::kEntries[f]; }

// Entry points that do not talk to the printer (file conversions and the port itself).
bool PortFree(int f) { return !Facts(f).TouchesPort(); }

// Entry points that never change the printer's memory.
bool ReadOnly(int f) { return !Facts(f).ChangesPrinter(); }

// Whether parameter i of a call of f is an answer the printer writes.
bool IsOutput(int f, int i, char kind) { return kind == 'O' || (kind == 'T' && Facts(f).Answers(i)); }

int FindFn(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < kFnCount; ++i)
    if (std::strcmp(kFns[i].name, name) == 0) return i;
  return -1;
}

// A pending injection: `times` calls left (negative: until cleared).
// NOLINTNEXTLINE(bugprone-exception-escape): a false finding on the implicit members of plain fields.
struct Injection {
  int times = 0;
  int code = 0;
  json outs;
  bool Take() {
    if (times == 0) return false;
    if (times > 0) --times;
    return true;
  }
};

// NOLINTNEXTLINE(bugprone-exception-escape): a false finding on the implicit members of plain fields.
struct Control {
  std::mutex mu;
  Injection fail[kFnCount], answer[kFnCount], raise[kFnCount], lostAnswer[kFnCount], notExecuted[kFnCount];
  Injection status;
  CallFault byPosition;  // takes precedence over the injections by entry point
  std::string lastError;  // why the last control call failed
  int ack = 6, st1 = 0, st2 = 0;
  FILE* journal = nullptr;
  std::string journalPath;
  bool journalInit = false;
};

Control& Ctl() {
  static Control* c = new Control();
  return *c;
}

void OpenJournal(Control& c, const std::string& path) {
  if (c.journal) std::fclose(c.journal);
  c.journal = nullptr;
  c.journalPath = path;
  if (!path.empty()) c.journal = std::fopen(path.c_str(), "ab");
}

void InitJournal(Control& c) {
  if (c.journalInit) return;
  c.journalInit = true;
  if (const char* e = std::getenv("ECFSIM_JOURNAL"); e && *e) OpenJournal(c, e);
}

json ArgsJson(const Call& call) {
  json a = json::array();
  for (int i = 0; i < call.count; ++i) {
    const Arg& x = call.args[i];
    switch (x.kind) {
      case 'T': a.push_back(x.text ? json(Cp1252ToUtf8(std::string(x.text, x.len))) : json(nullptr)); break;
      case 'I': a.push_back(x.value); break;
      case 'B': a.push_back(x.flag); break;
      default: a.push_back(x.out ? json(*x.out) : json(nullptr)); break;
    }
  }
  return a;
}

json OutsJson(const Call& call) {
  json o = json::array();
  for (int i = 0; i < call.count; ++i) {
    const Arg& x = call.args[i];
    if (!IsOutput(call.fn, i, x.kind)) continue;
    if (x.kind == 'O') o.push_back(x.out ? json(*x.out) : json(nullptr));
    else o.push_back(x.text ? json(Cp1252ToUtf8(std::string(x.text, x.len))) : json(nullptr));
  }
  return o;
}

// Writes forced outputs (texts are UTF-8 in the JSON, 1252 in the buffers).
void WriteOuts(const Call& call, const json& outs) {
  size_t k = 0;
  for (int i = 0; i < call.count && k < outs.size(); ++i) {
    const Arg& x = call.args[i];
    if (!IsOutput(call.fn, i, x.kind)) continue;
    const json& v = outs[k++];
    if (v.is_null()) continue;
    if (x.kind == 'O' && v.is_number_integer()) call.PutInt(i, v.get<int>());
    else if (x.kind == 'T' && v.is_string()) call.Put(i, Utf8ToCp1252(v.get<std::string>()));
  }
}

// `acted`: what the printer itself answered when the caller got something else.
void Journal(Control& c, const Call& call, const json& args, int ret, const char* injected, const char* raised,
             const int* acted = nullptr) {
  if (!c.journal) return;
  try {
    json line = {{"fn", call.name}, {"args", args}, {"ret", ret}, {"out", OutsJson(call)}};
    if (injected) line["injected"] = injected;
    if (raised) line["raised"] = raised;
    if (acted) line["acted"] = *acted;
    std::string s = line.dump(-1, ' ', false, json::error_handler_t::replace);
    s += '\n';
    std::fwrite(s.data(), 1, s.size(), c.journal);
    std::fflush(c.journal);
  } catch (...) {
    // The journal never disturbs the printer.
  }
}

// The outputs of a call as they were at entry, to put back when the answer
// is lost on its way to the caller.
class SavedOutputs {
 public:
  explicit SavedOutputs(const Call& call) : call_(call) {
    for (int i = 0; i < call.count; ++i) {
      const Arg& x = call.args[i];
      if (!IsOutput(call.fn, i, x.kind)) continue;
      if (x.kind == 'O') ints_.push_back({i, x.out ? *x.out : 0});
      else if (x.text) texts_.push_back({i, std::string(x.text, x.len)});
    }
  }
  void Restore() const {
    for (auto& [i, v] : ints_) call_.PutInt(i, v);
    for (auto& [i, t] : texts_) call_.Put(i, t);
  }

 private:
  const Call& call_;
  std::vector<std::pair<int, int>> ints_;
  std::vector<std::pair<int, std::string>> texts_;
};

}  // namespace

struct ArgPack {
  Arg args[9];
  int count = 0;
};

template <typename... A>
ArgPack Pack(A... a) {
  ArgPack p;
  ((p.args[p.count++] = MakeArg(a)), ...);
  return p;
}

int Invoke(int f, const ArgPack& p) {
  Control& c = Ctl();
  std::lock_guard<std::mutex> lock(c.mu);
  InitJournal(c);
  Call call;
  call.fn = f;
  call.name = kFns[f].name;
  call.count = p.count;
  for (int i = 0; i < p.count; ++i) call.args[i] = p.args[i];
  json args = c.journal ? ArgsJson(call) : json();

  // A fault armed by position answers this call alone; the injections by
  // entry point then wait for the next call of theirs.
  const CallFault::Kind forced = c.byPosition.Take();
  auto due = [&](Injection& i, CallFault::Kind k) { return forced == CallFault::kNone ? i.Take() : forced == k; };
  if (due(c.raise[f], CallFault::kRaise)) {
    std::string msg = std::string("simulated fault in ") + call.name;
    Journal(c, call, args, 0, "raise", msg.c_str());
    throw std::runtime_error(msg);
  }
  if (due(c.fail[f], CallFault::kFail)) {
    const int code = forced == CallFault::kFail ? c.byPosition.Code() : c.fail[f].code;
    Journal(c, call, args, code, "fail", nullptr);
    return code;
  }
  if (forced == CallFault::kNone && c.answer[f].Take()) {
    WriteOuts(call, c.answer[f].outs);
    Journal(c, call, args, c.answer[f].code, "answer", nullptr);
    return c.answer[f].code;
  }
  if (forced == CallFault::kNone && f == k_Elgin_VerificaEstadoImpressora && c.status.Take()) {
    call.PutInt(0, c.ack);
    call.PutInt(1, c.st1);
    call.PutInt(2, c.st2);
    Journal(c, call, args, kOk, "status", nullptr);
    return kOk;
  }
  if (due(c.notExecuted[f], CallFault::kNotExecuted)) {
    // Acknowledged but not acted upon: the next status query says so.
    Printer::Get().MarkNotExecuted();
    Journal(c, call, args, kOk, "not_executed", nullptr);
    return kOk;
  }
  if (due(c.lostAnswer[f], CallFault::kLostAnswer)) {
    // The printer acts; the answer never reaches the caller.
    SavedOutputs saved(call);
    int acted = Printer::Get().Run(call, kFns[f].handler, PortFree(f), ReadOnly(f));
    saved.Restore();
    Journal(c, call, args, kCommFailure, "lost_answer", nullptr, &acted);
    return kCommFailure;
  }
  int ret = Printer::Get().Run(call, kFns[f].handler, PortFree(f), ReadOnly(f));
  Journal(c, call, args, ret, nullptr, nullptr);
  return ret;
}

}  // namespace ecfsim

// ---------------------------------------------------------------- exports

extern "C" {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) \
  QOR_VENDOR_EXPORT int QOR_STDCALL name params { return ::ecfsim::Invoke(::ecfsim::k_##name, ::ecfsim::Pack args); }
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
}

namespace {

using ecfsim::Ctl;
using ecfsim::Printer;

// At a clean end of the process the memory is closed, its log checkpointed
// into the database file.
struct CloseAtExit {
  ~CloseAtExit() {
    std::lock_guard<std::mutex> lock(Ctl().mu);
    try {
      Printer::Get().CloseMemory();
    } catch (...) {
    }
  }
} closeAtExit;

// Runs a control function: 0 on success, -1 when it throws.
// The reason of a failure is kept for ecfsim_last_error.
template <typename F>
int Guard(F f) {
  std::lock_guard<std::mutex> lock(Ctl().mu);
  std::string& why = Ctl().lastError;
  why.clear();
  try {
    int r = f();
    if (r < 0 && why.empty()) why = r == -2 ? "bad input" : "refused";
    return r;
  } catch (const std::invalid_argument& e) {
    why = e.what();
    return -2;
  } catch (const std::exception& e) {
    why = e.what();
    return -1;
  } catch (...) {
    why = "unknown failure";
    return -1;
  }
}

int CopyOut(const std::string& s, char* buf, int len) {
  if (!buf || len <= 0 || s.size() + 1 > static_cast<size_t>(len)) return -2;
  std::memcpy(buf, s.c_str(), s.size() + 1);
  return 0;
}

int Inject(ecfsim::Injection* table, const char* fn, int code, int times) {
  int f = ecfsim::FindFn(fn);
  if (f < 0) throw std::invalid_argument(std::string("unknown entry point ") + (fn ? fn : "(null)"));
  table[f].times = times;
  table[f].code = code;
  return 0;
}

}  // namespace

extern "C" {

int ecfsim_set_state_dir(const char* dir) {
  return Guard([&] {
    Printer::Get().SetStateDir(dir ? dir : "");
    return 0;
  });
}

int ecfsim_state_dir(char* buf, int len) {
  return Guard([&] { return CopyOut(Printer::Get().StateDir(), buf, len); });
}

int ecfsim_reset(void) {
  return Guard([&] {
    ecfsim::Control& c = Ctl();
    for (int i = 0; i < ecfsim::kFnCount; ++i)
      c.fail[i] = c.answer[i] = c.raise[i] = c.lostAnswer[i] = c.notExecuted[i] = ecfsim::Injection{};
    c.status = ecfsim::Injection{};
    c.byPosition = ecfsim::CallFault{};
    Printer::Get().Reset();
    return 0;
  });
}

int ecfsim_set_power(int on) {
  return Guard([&] {
    Printer::Get().SetPower(on != 0);
    return 0;
  });
}

int ecfsim_set_paper(int state) {
  return Guard([&] {
    if (state < 0 || state > 2) return -2;
    Printer::Get().SetPaper(state);
    return 0;
  });
}

int ecfsim_set_cover(int open) {
  return Guard([&] {
    Printer::Get().SetCover(open != 0);
    return 0;
  });
}

int ecfsim_set_drawer(int open) {
  return Guard([&] {
    Printer::Get().SetDrawer(open != 0);
    return 0;
  });
}

int ecfsim_force_status(int ack, int st1, int st2, int times) {
  return Guard([&] {
    if (ack < 0 || ack > 255 || st1 < 0 || st1 > 255 || st2 < 0 || st2 > 255) return -2;
    ecfsim::Control& c = Ctl();
    c.status.times = times;
    c.ack = ack;
    c.st1 = st1;
    c.st2 = st2;
    return 0;
  });
}

int ecfsim_fail(const char* fn, int code, int times) {
  return Guard([&] { return Inject(Ctl().fail, fn, code, times); });
}

int ecfsim_answer(const char* fn, int ret, const char* outs_json, int times) {
  return Guard([&] {
    json outs = outs_json && *outs_json ? json::parse(outs_json, nullptr, false) : json::array();
    if (!outs.is_array()) return -2;
    for (auto& v : outs)
      if (!v.is_string() && !v.is_number_integer() && !v.is_null()) return -2;
    int r = Inject(Ctl().answer, fn, ret, times);
    if (r == 0) Ctl().answer[ecfsim::FindFn(fn)].outs = outs;
    return r;
  });
}

int ecfsim_raise(const char* fn, int times) {
  return Guard([&] { return Inject(Ctl().raise, fn, 0, times); });
}

int ecfsim_lost_answer(const char* fn, int times) {
  return Guard([&] { return Inject(Ctl().lostAnswer, fn, 0, times); });
}

int ecfsim_not_executed(const char* fn, int times) {
  return Guard([&] { return Inject(Ctl().notExecuted, fn, 0, times); });
}

int ecfsim_fault_call(long n, const char* kind, int code) {
  return Guard([&] {
    const ecfsim::CallFault::Kind k = ecfsim::CallFault::KindNamed(kind);
    if (n < 0 || (n > 0 && k == ecfsim::CallFault::kNone)) return -2;
    Ctl().byPosition.Arm(n, k, code);
    return 0;
  });
}

int ecfsim_journal_note(const char* text) {
  return Guard([&] {
    ecfsim::Control& c = Ctl();
    ecfsim::InitJournal(c);
    if (!c.journal) return 0;
    std::string s = json{{"note", text ? text : ""}}.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
    std::fwrite(s.data(), 1, s.size(), c.journal);
    std::fflush(c.journal);
    return 0;
  });
}

int ecfsim_set_clock_offset(long long seconds) {
  return Guard([&] {
    Printer::Get().SetClockOffset(seconds);
    return 0;
  });
}

int ecfsim_set_clock(const char* iso) {
  return Guard([&] {
    if (!iso || !*iso) {
      Printer::Get().FreezeClock(std::nullopt);
      return 0;
    }
    auto at = ecfsim::ParseIso(iso);
    if (!at) return -2;
    Printer::Get().FreezeClock(*at);
    return 0;
  });
}

int ecfsim_set_journal(const char* path) {
  return Guard([&] {
    ecfsim::Control& c = Ctl();
    c.journalInit = true;
    ecfsim::OpenJournal(c, path ? path : "");
    return (path && *path && !c.journal) ? -1 : 0;
  });
}

int ecfsim_tape_path(char* buf, int len) {
  return Guard([&] { return CopyOut(Printer::Get().TapePath(), buf, len); });
}

int ecfsim_program(const char* text) {
  return Guard([&] {
    json j = text ? json::parse(text, nullptr, false) : json();
    if (j.is_discarded() || !j.is_object()) throw std::invalid_argument("programming: a JSON object is expected");
    Printer::Get().Program(j);
    return 0;
  });
}

int ecfsim_memory_image(const char* path, const char* serial) {
  return Guard([&] {
    if (!path || !*path) return -2;
    int r = Printer::Get().WriteMemoryImage(path, serial ? serial : "");
    return r;
  });
}

int ecfsim_state_json(char* buf, int len) {
  return Guard([&] {
    std::string s = Printer::Get().Snapshot().dump(-1, ' ', false, json::error_handler_t::replace);
    if (buf && len > 0 && s.size() + 1 <= static_cast<size_t>(len)) std::memcpy(buf, s.c_str(), s.size() + 1);
    return static_cast<int>(s.size());
  });
}

int ecfsim_last_error(char* buf, int len) {
  // Not through Guard: it would clear what it is asked for.
  std::lock_guard<std::mutex> lock(Ctl().mu);
  const std::string& s = Ctl().lastError;
  if (buf && len > 0 && s.size() + 1 <= static_cast<size_t>(len)) std::memcpy(buf, s.c_str(), s.size() + 1);
  return static_cast<int>(s.size());
}

}  // extern "C"
