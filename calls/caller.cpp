#include "calls/caller.h"

#include "calls/positions.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "platform/errors.h"

namespace qorhost {

namespace {

enum class VarKind { Int, Bool, Text };
struct StateVar {
  const char* name;
  VarKind kind;
};
// The module's exported shared state, in its declaration order (library
// handles and the data module pointer are not values a host reads).
const StateVar kStateVars[] = {
#define QOR_STATE(type, name, init, kind) QOR_STATE_IF_VALUE_##kind({#name, VarKind::kind},)
#include "driver/state.def"
#undef QOR_STATE
};

bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n;
    if (c < 0x80) n = 0;
    else if ((c >> 5) == 6) n = 1;
    else if ((c >> 4) == 14) n = 2;
    else if ((c >> 3) == 30) n = 3;
    else return false;
    if (i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += n + 1;
  }
  return true;
}

// Exceptions of the run-time layer carry 1252 text; others may carry anything.
std::string ExceptionText(const std::string& s, bool cp1252) {
  return cp1252 || !IsValidUtf8(s) ? ToUtf8(s) : s;
}

}  // namespace

SimControl SimControl::Resolve(const std::function<void*(const char*)>& symbol) {
  SimControl s;
  if (symbol) s.Bind(symbol);
  return s;
}

Caller::Caller(SymbolResolver module, SimControl sim, DecodeContext ctx)
    : module_(std::move(module)), sim_(sim), ctx_(std::move(ctx)) {}

void* Caller::ModuleSymbol(const std::string& name) {
  auto it = symbols_.find(name);
  if (it != symbols_.end()) return it->second;
  void* p = module_ ? module_(name) : nullptr;
  symbols_.emplace(name, p);
  return p;
}

PreparedOp Caller::Prepare(const Json& call) {
  if (!call.contains("op") || !call["op"].is_string())
    throw SessionError("\"op\" names an operation, got " + Describe(call.value("op", Json())));
  PreparedOp op;
  op.name = call["op"].get<std::string>();
  op.adapter = FindAdapter(op.name);
  op.fn = ModuleSymbol(op.name);
  const std::string& name = op.name;
  if (!op.adapter && !op.fn) throw SessionError("unknown operation \"" + name + "\"");
  if (!op.adapter) throw SessionError("there is no adapter for \"" + name + "\" yet (the module exports it)");
  if (!op.fn && op.adapter->planned)
    throw SessionError("\"" + name + "\" is not available: this module does not build it yet");
  if (!op.fn) throw SessionError("the module does not export \"" + name + "\"");

  const Adapter& adapter = *op.adapter;
  const Json args = call.contains("args") ? call["args"] : Json::array();
  if (!args.is_array()) throw SessionError("\"args\" is an array with one value per parameter");
  if (args.size() != adapter.kinds.size())
    throw SessionError(name + " takes " + std::to_string(adapter.kinds.size()) + " argument(s)" +
                       (adapter.kinds.empty() ? "" : " (" + ParameterList(adapter) + ")") + ", the call gives " +
                       std::to_string(args.size()));
  op.values.resize(adapter.kinds.size());
  for (size_t i = 0; i < op.values.size(); ++i) {
    const std::string what = "argument " + std::to_string(i + 1) + " (" + ParameterLabel(adapter, i) + ")";
    try {
      const auto* positions = NamedPositions(name, i);
      if (positions && args[i].is_object())
        DecodeArg(adapter.kinds[i], ExpandPositions(*positions, args[i]), op.values[i], ctx_);
      else
        DecodeArg(adapter.kinds[i], args[i], op.values[i], ctx_);
    } catch (const SessionError& e) {
      throw SessionError(what + ": " + e.what());
    } catch (const rtl::Exception& e) {
      throw SessionError(what + ": " + ToUtf8(e.message()));
    }
  }
  return op;
}

Json Caller::Invoke(PreparedOp& op) {
  dialogs_ = Json::array();
  Json out = {{"op", op.name}};
  try {
    rtl::Variant r = op.adapter->invoke(op.fn, op.values);
    out["result"] = EncodeResult(op.adapter->resultKind, r);
  } catch (const rtl::Exception& e) {
    out["error"] = {{"type", e.className()}, {"message", ExceptionText(e.message(), true)}};
  } catch (const std::exception& e) {
    out["error"] = {{"type", "std::exception"}, {"message", ExceptionText(e.what(), false)}};
  } catch (...) {
    out["error"] = {{"type", "unknown"}, {"message", ""}};
  }
  Json reported = Json::array();
  for (size_t i = 0; i < op.values.size(); ++i) reported.push_back(EncodeArg(op.adapter->kinds[i], op.values[i]));
  out["args"] = std::move(reported);
  out["state"] = StateSnapshot();
  out["dialogs"] = dialogs_;
  dialogs_ = Json::array();
  hostlib::TakeDialogLog();  // the host library's own record; ours is in the answer
  return out;
}

Json Caller::RunOp(const Json& call) {
  PreparedOp op = Prepare(call);
  return Invoke(op);
}

TdtmElgin01100* Caller::DataModule() {
  auto* instance = static_cast<TdtmElgin01100**>(ModuleSymbol("dtmElgin01100"));
  if (!instance) throw SessionError("the module does not export dtmElgin01100");
  if (*instance) return *instance;
  auto create = reinterpret_cast<TdtmElgin01100& (*)()>(ModuleSymbol(kDataModuleSymbol));
  if (!create) throw SessionError("the module does not export Qor01100::DataModule()");
  return &create();
}

Json Caller::RunSet(const Json& set) {
  if (!set.is_object() || set.empty())
    throw SessionError("\"set\" is an object of shared-state variables and their values");
  // Check everything first so that a bad entry changes nothing.
  struct Pending {
    const StateVar* var = nullptr;  // null: the data module's stSerieAtu
    void* where = nullptr;
    Arg value;
  };
  std::vector<Pending> pending;
  for (const auto& [k, v] : set.items()) {
    Pending p;
    const char* kind = "text";
    if (k != "stSerieAtu") {
      for (const auto& s : kStateVars)
        if (k == s.name) p.var = &s;
      if (!p.var) {
        std::string names = "stSerieAtu";
        for (const auto& s : kStateVars) names += std::string(", ") + s.name;
        throw SessionError(std::string("\"").append(k).append("\" is not a shared-state variable (they are ").append(names).append(")"));
      }
      p.where = ModuleSymbol(k);
      if (!p.where) throw SessionError("the module does not export \"" + k + "\"");
      kind = p.var->kind == VarKind::Int ? "int" : p.var->kind == VarKind::Bool ? "bool" : "text";
    }
    try {
      DecodeArg(kind, v, p.value, ctx_);
    } catch (const SessionError& e) {
      throw SessionError("set \"" + k + "\": " + e.what());
    }
    pending.push_back(std::move(p));
  }
  for (auto& p : pending) {
    if (!p.var) {
      DataModule()->stSerieAtu = p.value.text;
      continue;
    }
    switch (p.var->kind) {
      case VarKind::Int: *static_cast<int32_t*>(p.where) = p.value.integer; break;
      case VarKind::Bool: *static_cast<bool*>(p.where) = p.value.boolean; break;
      case VarKind::Text: *static_cast<std::string*>(p.where) = p.value.text; break;
    }
  }
  return Json{{"set", set}, {"state", StateSnapshot()}};
}

void Caller::QueueAnswers(const Json& a) {
  if (!a.is_array()) throw SessionError("\"answers\" is an array of true/false");
  for (const auto& v : a)
    if (!v.is_boolean()) throw SessionError("\"answers\" holds only true/false, got " + v.dump());
  for (const auto& v : a) answers_.push_back(v.get<bool>());
}

Json Caller::StateSnapshot() {
  Json st = Json::object();
  for (const auto& v : kStateVars) {
    void* p = ModuleSymbol(v.name);
    if (!p) continue;
    switch (v.kind) {
      case VarKind::Int: st[v.name] = *static_cast<int32_t*>(p); break;
      case VarKind::Bool: st[v.name] = *static_cast<bool*>(p); break;
      case VarKind::Text: st[v.name] = ToUtf8(*static_cast<std::string*>(p)); break;
    }
  }
  return st;
}

bool Caller::OnDialog(const hostlib::DialogRequest& r) {
  Json d = {{"text", ToUtf8(r.text)}, {"question", r.question}, {"kind", r.kind}, {"scheme", ToUtf8(r.scheme)}};
  bool answer = false;
  bool unanswered = false;
  bool asked = false;
  if (r.question) {
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    } else if (asker_) {
      if (auto a = asker_(r)) {
        answer = *a;
        asked = true;
      } else {
        unanswered = true;
      }
    } else {
      unanswered = true;
    }
    if (unanswered) answer = unansweredDefault_;
  }
  d["answer"] = answer;
  if (unanswered) d["unanswered"] = true;
  if (asked) d["asked"] = true;
  dialogs_.push_back(std::move(d));
  return answer;
}

Caller::DialogScope::DialogScope(Caller& caller)
    : previous_(hostlib::SetDialogHandler([&caller](const hostlib::DialogRequest& r) { return caller.OnDialog(r); })) {}

Caller::DialogScope::~DialogScope() { hostlib::SetDialogHandler(previous_); }

}  // namespace qorhost
