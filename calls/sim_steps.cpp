// The "sim" calls (a session's steps, the service's requests): each drives
// one control function of the simulated printer (the table below; the
// functions are in sim/ecfsim_controls.def).
#include <string>

#include "calls/caller.h"

namespace qorhost {

namespace {

std::string DumpUtf8(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

// The step being run: its object and the action it names.
struct SimStep {
  const Json& j;
  std::string action;
  const DecodeContext& ctx;

  const Json& Value() const { return j[action]; }

  int32_t Integer(const char* key, int32_t def) const {
    if (!j.contains(key)) return def;
    Arg a;
    try {
      DecodeArg("int", j[key], a, ctx);
    } catch (const SessionError& e) {
      throw SessionError(std::string("sim \"") + key + "\": " + e.what());
    }
    return a.integer;
  }

  int32_t Times() const {
    const int32_t times = Integer("times", 1);
    if (times < 1) throw SessionError("sim \"times\" must be at least 1");
    return times;
  }

  // The entry-point name the action takes.
  std::string Entry() const {
    if (!Value().is_string() || Value().get<std::string>().empty())
      throw SessionError("sim \"" + action + "\" names a printer entry point, got " + Value().dump());
    return Value().get<std::string>();
  }

  // One of the given texts; returns its position.
  int OneOf(std::initializer_list<const char*> words, const char* what) const {
    int i = 0;
    for (const char* w : words) {
      if (Value().is_string() && Value().get<std::string>() == w) return i;
      ++i;
    }
    throw SessionError(std::string("sim \"") + action + "\" is " + what);
  }
};

using SimRun = int (*)(const SimControl&, const SimStep&);

struct SimAction {
  const char* name;
  const char* extra[3];  // members allowed beside the action
  SimRun run;            // null: the runner does it itself
};

int Power(const SimControl& s, const SimStep& st) {
  if (!st.Value().is_boolean()) throw SessionError("sim \"power\" takes true or false");
  return s.set_power(st.Value().get<bool>() ? 1 : 0);
}

int Paper(const SimControl& s, const SimStep& st) {
  return s.set_paper(st.OneOf({"ok", "low", "out"}, "\"ok\", \"low\" or \"out\""));
}

int Cover(const SimControl& s, const SimStep& st) {
  return s.set_cover(st.OneOf({"closed", "open"}, "\"open\" or \"closed\""));
}

int Status(const SimControl& s, const SimStep& st) {
  const Json& v = st.Value();
  if (!v.is_array() || v.size() != 3) throw SessionError("sim \"status\" is [ACK, ST1, ST2]");
  int bytes[3];
  for (int i = 0; i < 3; ++i) {
    if (!v[i].is_number_integer() || v[i].get<int64_t>() < 0 || v[i].get<int64_t>() > 255)
      throw SessionError("sim \"status\" bytes are integers from 0 to 255, got " + v[i].dump());
    bytes[i] = v[i].get<int>();
  }
  return s.force_status(bytes[0], bytes[1], bytes[2], st.Times());
}

int Fail(const SimControl& s, const SimStep& st) {
  if (!st.j.contains("code")) throw SessionError("sim \"fail\" needs the \"code\" the entry point returns");
  return s.fail(st.Entry().c_str(), st.Integer("code", 0), st.Times());
}

int Answer(const SimControl& s, const SimStep& st) {
  if (!st.j.contains("ret")) throw SessionError("sim \"answer\" needs the \"ret\" the entry point returns");
  const std::string fn = st.Entry();
  Json outs = st.j.contains("out") ? st.j["out"] : Json::array();
  if (!outs.is_array()) throw SessionError("sim \"out\" is an array of texts or integers");
  for (const auto& o : outs)
    if (!o.is_string() && !o.is_number_integer())
      throw SessionError("sim \"out\" holds texts or integers, got " + o.dump());
  return s.answer(fn.c_str(), st.Integer("ret", 0), DumpUtf8(outs).c_str(), st.Times());
}

int Raise(const SimControl& s, const SimStep& st) { return s.raise(st.Entry().c_str(), st.Times()); }
int LostAnswer(const SimControl& s, const SimStep& st) { return s.lost_answer(st.Entry().c_str(), st.Times()); }
int NotExecuted(const SimControl& s, const SimStep& st) { return s.not_executed(st.Entry().c_str(), st.Times()); }

int ClockOffset(const SimControl& s, const SimStep& st) {
  const Json& v = st.Value();
  // A printer clock more than a century away from the computer's is a mistake in the
  // script (a wrapped unsigned value reads as a huge positive number here).
  constexpr int64_t kCentury = 100LL * 366 * 24 * 3600;
  if (!v.is_number_integer() || (v.is_number_unsigned() && v.get<uint64_t>() > uint64_t(kCentury)) ||
      v.get<int64_t>() > kCentury || v.get<int64_t>() < -kCentury)
    throw SessionError("sim \"clock_offset_s\" is a whole number of seconds within 100 years, got " + v.dump());
  return s.set_clock_offset(v.get<long long>());
}

int Program(const SimControl& s, const SimStep& st) {
  if (!st.Value().is_object() || st.Value().empty())
    throw SessionError("sim \"program\" is an object such as {\"payment_methods\": [{\"slot\": 2, \"name\": \"Cartao\"}]}");
  return s.program(DumpUtf8(st.Value()).c_str());
}

// {"fault_call": N, "kind": "fail", "code": 0}: the N-th printer call from
// this step on receives the fault.
int FaultCall(const SimControl& s, const SimStep& st) {
  if (!s.fault_call) throw SessionError("this simulated printer cannot fault a call by its position");
  const int32_t n = st.Integer(st.action.c_str(), 0);
  if (n < 1) throw SessionError("sim \"fault_call\" is the position of a later call, 1 or more");
  if (!st.j.contains("kind") || !st.j["kind"].is_string())
    throw SessionError("sim \"fault_call\" needs a \"kind\": \"fail\", \"raise\", \"lost_answer\" or \"not_executed\"");
  const std::string kind = st.j["kind"].get<std::string>();
  if (kind == "fail" && !st.j.contains("code")) throw SessionError("sim \"fault_call\" of kind \"fail\" needs the \"code\"");
  return s.fault_call(n, kind.c_str(), st.Integer("code", 0));
}

int Note(const SimControl& s, const SimStep& st) {
  if (!s.journal_note) throw SessionError("this simulated printer keeps no notes in its journal");
  if (!st.Value().is_string()) throw SessionError("sim \"note\" is a text written to the call journal");
  return s.journal_note(st.Value().get<std::string>().c_str());
}

const SimAction kSimActions[] = {
    {"reset", {}, nullptr},
    {"power", {}, Power},
    {"paper", {}, Paper},
    {"cover", {}, Cover},
    {"status", {"times"}, Status},
    {"fail", {"code", "times"}, Fail},
    {"answer", {"ret", "out", "times"}, Answer},
    {"raise", {"times"}, Raise},
    {"lost_answer", {"times"}, LostAnswer},
    {"not_executed", {"times"}, NotExecuted},
    {"clock_offset_s", {}, ClockOffset},
    {"program", {}, Program},
    {"fault_call", {"kind", "code"}, FaultCall},
    {"note", {}, Note},
};

std::string ActionNames() {
  std::string names;
  for (const auto& a : kSimActions) names += (names.empty() ? "" : ", ") + std::string(a.name);
  return names;
}

const SimAction& FindAction(const Json& j) {
  const SimAction* found = nullptr;
  for (const auto& a : kSimActions) {
    if (!j.contains(a.name)) continue;
    if (found)
      throw SessionError(std::string("a sim step does one thing; this one has \"") + found->name + "\" and \"" +
                         a.name + "\"");
    found = &a;
  }
  if (!found) throw SessionError("a sim step needs one of " + ActionNames());
  for (const auto& [k, v] : j.items()) {
    bool ok = k == found->name;
    for (const char* e : found->extra) ok = ok || (e && k == e);
    if (!ok) throw SessionError("unknown member \"" + k + "\" in a sim \"" + found->name + "\" step");
  }
  return *found;
}

}  // namespace

Json Caller::RunSim(const Json& j) {
  if (!sim_.Available())
    throw SessionError("\"sim\" steps need the simulated printer; the printer library has no simulator control interface");
  if (!j.is_object()) throw SessionError("\"sim\" is an object such as {\"paper\": \"low\"}");
  const SimAction& action = FindAction(j);
  SimStep step{j, action.name, ctx_};
  int ret = 0;
  if (action.run) {
    ret = action.run(sim_, step);
  } else {  // reset
    if (step.Value() != true) throw SessionError("sim \"reset\" takes true");
    ret = sim_.reset();
  }
  if (ret < 0) {
    std::string why = sim_.LastError();
    throw SessionError("the simulated printer refused " + DumpUtf8(j) + " (code " + std::to_string(ret) +
                       (why.empty() ? "; is the entry-point name right?)" : ": " + why + ")"));
  }
  return Json{{"sim", j}};
}

}  // namespace qorhost
