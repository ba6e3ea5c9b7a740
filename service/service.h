// The resident driver: the module loaded once and called by any number of
// clients through one of the doors (standard input and output, HTTP, the C
// entry), one request at a time.
//
// A request is a JSON object with one action:
//   {"op": NAME, "args": [...], "answers": [true, ...]}   one operation
//   {"steps": [{"op", "args", "answers"}, ...]}            operations run one
//       after the other with no other request in between (a whole sale); all
//       are checked before the first runs, and the run stops after a step
//       that answers false or raises an error
//   {"sim": {...}}                                         the simulated printer
//   {"status": true}                                       the status below
// plus an optional "id" (a text of 1 to 200 characters, or a whole number)
// and "comment". "args" are encoded as in a session step (calls/codec.h).
//
// What the service promises:
//   - one printer, one queue: requests are carried out one at a time, in the
//     order they arrived, whichever door or thread they came from;
//   - a repeated id gets the answer of the first run (marked "replayed":
//     true) and the module is not called again, also after a restart (the
//     record is kept in the state folder, service/answer_store.h); an id used
//     again for a different request, or whose first run never finished, is
//     refused with the reason;
//   - operator questions take the request's "answers" in order, then the
//     configured default (no unless set); every dialog is in the answer;
//   - a bad request (unreadable or too long, nested too deep, unknown
//     operation or member, arguments of the wrong kind) is answered
//     {"invalid": reason} and changes nothing.
// Every answer carries "seq", the number of the request in this run, and the
// request's "id" when it had one.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "calls/caller.h"
#include "service/answer_store.h"

namespace qorservice {

using qorhost::Json;

struct ServiceOptions {
  std::string storePath;              // the record of request ids ("" = requests with an id are refused)
  bool unansweredDefault = false;     // the answer of a question without a queued one
  size_t maxRequestBytes = 1u << 20;  // longer requests are refused unread
  size_t recentCount = 100;           // how many requests GET /recent and the page show
  std::string journal;                // the simulated printer's call journal ("" = none)
  std::string hostDir;                // the module's host folder (its debug log)
};

class Service {
 public:
  // The caller is used by one request at a time (the queue's), never concurrently.
  Service(qorhost::Caller& caller, ServiceOptions options);

  // One request given as text (a line of standard input, an HTTP body, the
  // C entry's argument): parsed and checked, then carried out in turn.
  Json HandleText(std::string_view text);
  // One request already parsed.
  Json Handle(const Json& request);
  // The status, taken in turn like a request.
  Json Status();
  // The recent requests and their answers in short, oldest first.
  Json Recent() const;
  // Requests waiting for the printer (not counting the one being carried out).
  size_t Waiting() const;

  const ServiceOptions& Options() const { return options_; }
  const qorhost::SimControl& Sim() const { return caller_.Sim(); }
  // Why requests with an id are refused ("" when the record of ids works).
  const std::string& StoreProblem() const { return storeError_; }
  // A Json value as UTF-8 text (invalid bytes replaced, never thrown).
  static std::string Dump(const Json& j);

 private:
  Json Invalid(const Json* request, const std::string& why);
  std::optional<std::string> Check(const Json& request) const;
  // Runs the job when its turn comes; a numbered job takes the next request number.
  Json InTurn(const std::function<Json(int64_t seq)>& job, bool numbered = true);
  std::optional<Json> Recall(const Json& request, const std::string& id);
  Json Execute(const Json& request, int64_t seq);
  Json Run(const Json& request, int64_t seq);
  Json RunOp(const Json& call, int64_t seq);
  Json RunSteps(const Json& request, int64_t seq);
  Json ReadStatus();
  void Note(const Json& request, int64_t seq);
  void Remember(const Json& request, const Json& answer);

  qorhost::Caller& caller_;
  ServiceOptions options_;
  std::unique_ptr<AnswerStore> store_;
  std::string storeError_;

  // The queue: tickets served in the order they were taken.
  mutable std::mutex mutex_;
  std::condition_variable turn_;
  int64_t nextTicket_ = 0;
  int64_t serving_ = 0;
  int64_t seq_ = 0;
  std::deque<Json> recent_;
  Json last_;  // the last operation and its result
};

}  // namespace qorservice
