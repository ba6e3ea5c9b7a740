#include "service/service.h"

#include "platform/datetime.h"
#include "platform/errors.h"

namespace qorservice {

using qorhost::SessionError;

namespace {

const char* const kActions[] = {"op", "steps", "sim", "status"};
const char* const kMembers[] = {"id", "comment", "op", "args", "answers", "steps", "sim", "status"};
constexpr size_t kMaxIdLength = 200;
constexpr size_t kMaxSteps = 10000;

std::string Now() { return rtl::ToIso(rtl::Now()); }

// The request's id as it is kept: a text as given, a whole number as its digits.
std::optional<std::string> IdOf(const Json& request) {
  if (!request.contains("id")) return std::nullopt;
  const Json& id = request["id"];
  return id.is_string() ? id.get<std::string>() : id.dump();
}

std::optional<std::string> CheckAnswers(const Json& call) {
  if (!call.contains("answers")) return std::nullopt;
  const Json& a = call["answers"];
  if (!a.is_array()) return std::string("\"answers\" is an array of true/false");
  for (const auto& v : a)
    if (!v.is_boolean()) return "\"answers\" holds only true/false, got " + Service::Dump(v);
  return std::nullopt;
}

std::optional<std::string> CheckStep(const Json& step, size_t n) {
  const std::string where = "step " + std::to_string(n) + ": ";
  if (!step.is_object()) return where + "a step is an object {\"op\", \"args\", \"answers\"}, got " + qorhost::Describe(step);
  for (const auto& [k, v] : step.items())
    if (k != "op" && k != "args" && k != "answers" && k != "comment")
      return std::string(where).append("unknown member \"").append(k).append("\" (a step has op, args, answers and comment)");
  if (!step.contains("op") || !step["op"].is_string()) return where + "\"op\" names an operation";
  if (auto why = CheckAnswers(step)) return where + *why;
  return std::nullopt;
}

}  // namespace

Service::Service(qorhost::Caller& caller, ServiceOptions options) : caller_(caller), options_(std::move(options)) {
  caller_.SetUnansweredDefault(options_.unansweredDefault);
  if (options_.storePath.empty()) {
    storeError_ = "no state folder was given for it";
    return;
  }
  try {
    store_ = std::make_unique<AnswerStore>(options_.storePath);
  } catch (const StoreError& e) {
    storeError_ = e.what();  // requests without an id still run
  }
}

std::string Service::Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json Service::Invalid(const Json* request, const std::string& why) {
  Json out = Json::object();
  if (request && request->is_object() && request->contains("id")) out["id"] = (*request)["id"];
  out["invalid"] = why;
  return out;
}

std::optional<std::string> Service::Check(const Json& r) const {
  if (!r.is_object()) return "a request is a JSON object such as {\"op\": \"ImpressoraOk\", \"args\": [...]}";
  for (const auto& [k, v] : r.items()) {
    bool known = false;
    for (const char* m : kMembers) known = known || k == m;
    if (!known) return "unknown member \"" + k + "\" (a request has id, op, args, answers, steps, sim, status, comment)";
  }
  std::string action;
  for (const char* a : kActions) {
    if (!r.contains(a)) continue;
    if (!action.empty()) return "a request does one thing; this one has both \"" + action + "\" and \"" + a + "\"";
    action = a;
  }
  if (action.empty()) return std::string("a request needs one of op, steps, sim, status");
  if ((r.contains("args") || r.contains("answers")) && action != "op")
    return "\"args\" and \"answers\" go with \"op\" (in \"steps\", each step has its own)";
  if (r.contains("id")) {
    const Json& id = r["id"];
    const bool text = id.is_string() && !id.get<std::string>().empty() && id.get<std::string>().size() <= kMaxIdLength;
    if (!text && !id.is_number_integer())
      return "\"id\" is a text of 1 to " + std::to_string(kMaxIdLength) + " characters or a whole number, got " + Dump(id);
    if (action == "status") return std::string("a status request takes no id: it changes nothing");
  }
  if (action == "op") {
    if (!r["op"].is_string()) return "\"op\" names an operation, got " + qorhost::Describe(r["op"]);
    return CheckAnswers(r);
  }
  if (action == "status" && r["status"] != true) return std::string("\"status\" takes true");
  if (action == "steps") {
    const Json& steps = r["steps"];
    if (!steps.is_array() || steps.empty() || steps.size() > kMaxSteps)
      return "\"steps\" is an array of 1 to " + std::to_string(kMaxSteps) + " operation steps";
    for (size_t i = 0; i < steps.size(); ++i)
      if (auto why = CheckStep(steps[i], i + 1)) return why;
  }
  return std::nullopt;
}

Json Service::HandleText(std::string_view text) {
  if (text.size() > options_.maxRequestBytes) {
    Json out = Invalid(nullptr, "the request is longer than the " + std::to_string(options_.maxRequestBytes) +
                                    " bytes read at most");
    Remember(Json(), out);
    return out;
  }
  Json request;
  try {
    request = qorhost::ParseSession(std::string(text));
  } catch (const SessionError& e) {
    Json out = Invalid(nullptr, std::string("the request is not readable: ") + e.what());
    Remember(Json(), out);
    return out;
  }
  return Handle(request);
}

Json Service::Handle(const Json& request) {
  if (auto why = Check(request)) {
    Json out = Invalid(&request, *why);
    Remember(request, out);
    return out;
  }
  if (request.contains("status")) return Json{{"status", Status()}};
  return InTurn([&](int64_t seq) { return Execute(request, seq); });
}

Json Service::Status() {
  return InTurn(
      [&](int64_t) {
        if (caller_.Sim().journal_note && !options_.journal.empty()) caller_.Sim().journal_note("status request");
        return ReadStatus();
      },
      false);
}

Json Service::InTurn(const std::function<Json(int64_t)>& job, bool numbered) {
  std::unique_lock<std::mutex> lock(mutex_);
  const int64_t ticket = nextTicket_++;
  turn_.wait(lock, [&] { return serving_ == ticket; });
  const int64_t seq = numbered ? ++seq_ : seq_;
  lock.unlock();
  struct Next {
    Service& s;
    ~Next() {
      {
        std::lock_guard<std::mutex> g(s.mutex_);
        ++s.serving_;
      }
      s.turn_.notify_all();
    }
  } next{*this};
  return job(seq);
}

size_t Service::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const int64_t waiting = nextTicket_ - serving_ - 1;  // the one being served is not waiting
  return waiting > 0 ? static_cast<size_t>(waiting) : 0;
}

// The answer kept for the request's id, or the reason it cannot run; nullopt
// when the id is new (it is then taken, before anything runs).
std::optional<Json> Service::Recall(const Json& request, const std::string& id) {
  if (!store_)
    return Invalid(&request, "requests with an id cannot be taken: the record of ids cannot be used (" + storeError_ +
                                 "); nothing was run");
  // The request without its id, its members in name order: a retry that
  // writes them in another order is the same request.
  Json copy = request;
  copy.erase("id");
  const std::string fingerprint =
      nlohmann::json::parse(Dump(copy)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  try {
    const auto kept = store_->Find(id);
    if (!kept) {
      store_->Begin(id, fingerprint, Now());
      return std::nullopt;
    }
    if (kept->request != fingerprint)
      return Invalid(&request, "the id " + Dump(request["id"]) + " was already used for a different request; nothing was run");
    if (!kept->answer)
      return Invalid(&request, "the request with the id " + Dump(request["id"]) +
                                   " was being carried out when the service stopped, and its answer was not kept: what "
                                   "it did is on the printer's record (status, tape); it is not run again");
    Json answer = qorhost::ParseSession(*kept->answer);
    answer["replayed"] = true;
    return answer;
  } catch (const std::exception& e) {
    return Invalid(&request, std::string(e.what()) + "; nothing was run");
  }
}

Json Service::Execute(const Json& request, int64_t seq) {
  const std::optional<std::string> id = IdOf(request);
  if (id) {
    if (std::optional<Json> kept = Recall(request, *id)) {
      Remember(request, *kept);
      return *kept;
    }
  }
  Json result;
  std::optional<std::string> why;
  try {
    qorhost::Caller::DialogScope dialogs(caller_);
    result = Run(request, seq);
  } catch (const SessionError& e) {
    why = e.what();
  } catch (const rtl::Exception& e) {
    why = e.className() + std::string(": ") + qorhost::ToUtf8(e.message());
  } catch (const std::exception& e) {
    why = e.what();
  } catch (...) {
    why = "the request failed in the service";
  }
  caller_.DropAnswers();
  if (why) {
    if (id) try {
        store_->Forget(*id);
      } catch (const std::exception&) {
        // The id stays taken: a retry is refused, never run twice.
      }
    Json out = Invalid(&request, *why);
    Remember(request, out);
    return out;
  }
  Json answer = Json::object();
  if (id) answer["id"] = request["id"];
  answer["seq"] = seq;
  for (auto& [k, v] : result.items()) answer[k] = std::move(v);
  if (id) try {
      store_->Finish(*id, Dump(answer), Now());
    } catch (const std::exception& e) {
      answer["warning"] = std::string(e.what()) +
                          ": the answer is not kept, and a retry with this id will be refused rather than run again";
    }
  Remember(request, answer);
  return answer;
}

Json Service::Run(const Json& request, int64_t seq) {
  if (request.contains("op")) return RunOp(request, seq);
  if (request.contains("steps")) return RunSteps(request, seq);
  return caller_.RunSim(request["sim"]);
}

Json Service::RunOp(const Json& call, int64_t seq) {
  qorhost::PreparedOp op = caller_.Prepare(call);
  Note(call, seq);
  caller_.DropAnswers();
  if (call.contains("answers")) caller_.QueueAnswers(call["answers"]);
  Json out = caller_.Invoke(op);
  if (caller_.QueuedAnswers() > 0) out["unused_answers"] = caller_.QueuedAnswers();
  caller_.DropAnswers();
  return out;
}

Json Service::RunSteps(const Json& request, int64_t seq) {
  const Json& steps = request["steps"];
  // Every step is checked before the first one runs: a bad one changes nothing.
  std::vector<qorhost::PreparedOp> ops;
  for (size_t i = 0; i < steps.size(); ++i) {
    try {
      ops.push_back(caller_.Prepare(steps[i]));
    } catch (const SessionError& e) {
      throw SessionError("step " + std::to_string(i + 1) + " (" + steps[i]["op"].get<std::string>() + "): " + e.what());
    }
  }
  Note(request, seq);
  Json answers = Json::array();
  Json out = Json::object();
  for (size_t i = 0; i < ops.size(); ++i) {
    caller_.DropAnswers();
    if (steps[i].contains("answers")) caller_.QueueAnswers(steps[i]["answers"]);
    Json a = caller_.Invoke(ops[i]);
    if (caller_.QueuedAnswers() > 0) a["unused_answers"] = caller_.QueuedAnswers();
    const bool stop = a.contains("error") || a["result"] == false;
    answers.push_back(std::move(a));
    if (stop && i + 1 < ops.size()) {
      out["stopped"] = "step " + std::to_string(i + 1) + " (" + ops[i].name + ") " +
                       (answers.back().contains("error") ? "raised an error" : "answered false") + "; the " +
                       std::to_string(ops.size() - i - 1) + " step(s) after it were not run";
      break;
    }
  }
  caller_.DropAnswers();
  Json result = {{"steps", std::move(answers)}};
  if (out.contains("stopped")) result["stopped"] = out["stopped"];
  return result;
}

void Service::Note(const Json& request, int64_t seq) {
  const auto& sim = caller_.Sim();
  if (!sim.journal_note || options_.journal.empty()) return;
  std::string what = request.contains("op")      ? request["op"].get<std::string>()
                     : request.contains("steps") ? std::to_string(request["steps"].size()) + " steps"
                                                 : "sim";
  std::string text = "request " + std::to_string(seq) + ": " + what;
  if (request.contains("id")) text += " (id " + Dump(request["id"]) + ")";
  sim.journal_note(text.c_str());
}

}  // namespace qorservice
