// One call of the loaded module, made the same way by every door of this
// project: qorhost's session runner, the resident service (`qorhost serve`,
// service/) and the C entry (capi/).
//
// A call is one of
//   {"op": NAME, "args": [...]}   an operation: its arguments decoded by the
//                                 operation's adapter (adapter.h, codec.h),
//                                 then the call; the answer holds "op", the
//                                 "result" (or the "error" that escaped the
//                                 operation), the by-reference "args" after
//                                 the call, the shared "state" and the
//                                 "dialogs" shown;
//   {"sim": {...}}                a control call of the simulated printer
//                                 (sim_steps.cpp);
//   {"set": {...}}                shared-state variables written.
// A bad call (unknown operation, wrong argument kinds, ...) raises
// SessionError before anything is called: it changes nothing.
//
// Operator questions take the queued answers first (QueueAnswers); with the
// queue empty the asker is asked when there is one (a person at a terminal),
// otherwise the question takes the unanswered default (no, unless set) and
// its dialog is marked "unanswered": true. Notices take no answer.
#pragma once
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "calls/adapter.h"
#include "calls/codec.h"
#include "hostlib/dialogs.h"
#include "sim/ecfsim_table.h"

class TdtmElgin01100;

namespace qorhost {

// The decorated export Qor01100::DataModule(), which creates the data module
// on first use (resolved by name: the doors do not link the module).
inline constexpr const char* kDataModuleSymbol = "_ZN8Qor0110010DataModuleEv";

// The simulated printer's control interface, resolved from the loaded
// vendor library; every pointer is null for a library without it.
struct SimControl : ecfsim::ControlTable {
  // Resolves the ecfsim_* functions through `symbol` (null library: none).
  static SimControl Resolve(const std::function<void*(const char*)>& symbol);
  bool Available() const { return reset != nullptr; }
};

// Resolves a plain export name of the module; null when absent.
using SymbolResolver = std::function<void*(const std::string&)>;
// Asks the person at the terminal a yes/no question; nullopt when nobody answered.
using Asker = std::function<std::optional<bool>(const hostlib::DialogRequest&)>;

// An operation with its arguments decoded, ready to be called.
struct PreparedOp {
  std::string name;
  const Adapter* adapter = nullptr;
  void* fn = nullptr;
  std::vector<Arg> values;
};

class Caller {
 public:
  Caller(SymbolResolver module, SimControl sim, DecodeContext ctx = {});

  // Decodes an "op" call's arguments; SessionError when the call is bad.
  PreparedOp Prepare(const Json& call);
  // Calls a prepared operation and answers {"op", "result" | "error", "args", "state", "dialogs"}.
  Json Invoke(PreparedOp& op);
  Json RunOp(const Json& call);
  // {"sim": {...}} -> {"sim": {...}}: the simulated printer did it.
  Json RunSim(const Json& sim);
  // {"set": {...}} -> {"set", "state"}: every variable is checked before any is written.
  Json RunSet(const Json& set);

  // Queues yes/no answers for the next questions (SessionError unless an array of booleans).
  void QueueAnswers(const Json& answers);
  size_t QueuedAnswers() const { return answers_.size(); }
  void DropAnswers() { answers_.clear(); }
  void SetAsker(Asker asker) { asker_ = std::move(asker); }
  // The answer of a question that no queued answer takes and no asker answers.
  void SetUnansweredDefault(bool answer) { unansweredDefault_ = answer; }

  // The module's shared state as a host sees it.
  Json StateSnapshot();
  void* ModuleSymbol(const std::string& name);
  TdtmElgin01100* DataModule();
  const SimControl& Sim() const { return sim_; }

  // While it lives, the module's dialogs come to this caller.
  class DialogScope {
   public:
    explicit DialogScope(Caller& caller);
    ~DialogScope();
    DialogScope(const DialogScope&) = delete;
    DialogScope& operator=(const DialogScope&) = delete;

   private:
    hostlib::DialogHandler previous_;
  };

 private:
  bool OnDialog(const hostlib::DialogRequest& r);

  SymbolResolver module_;
  SimControl sim_;
  DecodeContext ctx_;
  std::map<std::string, void*> symbols_;
  std::deque<bool> answers_;
  Asker asker_;
  bool unansweredDefault_ = false;
  Json dialogs_ = Json::array();
};

}  // namespace qorhost
