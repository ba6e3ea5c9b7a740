// The session runner: plays a session script against the loaded module the
// way a point-of-sale host does, one step at a time (each call made by the
// Caller that every door shares, calls/caller.h), and writes one JSON object
// per step, or with --brief one line per step and a summary.
//
// Script and output formats are described in host/README.md; the decisions
// that the format leaves open are:
//   - steps are numbered from 1;
//   - a step is an object with exactly one action ("op", "answers",
//     "clock", "set", "sim", "locale", "files", "read" or "file_fault") plus "expect" and
//     "comment" ("args" only with "op"); any other member is a mistake and
//     is reported;
//   - "files" puts files into the host folder before the module looks for
//     them ({"Kalvora.cds": "data/Kalvora.cds"} copies a file given relative
//     to the session file; {"ELGIN.INI": {"text": "..."}} writes a text in
//     code page 1252); "read" shows a file of the host folder as text
//     ({"step", "read", "exists", "text"}); both take only relative paths
//     that stay inside the host folder, sources stay inside the session
//     file's folder, and no path goes through a symbolic link below either
//     (refused where it is met, at the open); a file with a second name (a
//     hard link) is not read; "files" writes each file whole, beside its
//     name and renamed over it, and a name holding a NUL is refused;
//   - the first bad step (unknown operation, wrong arguments, unreadable
//     file, ...) stops the session: it prints {"step": n, "invalid": why},
//     the message names the step on stderr, and the exit status is 2; the
//     steps before it have run and keep their effects;
//   - "expect" compares members of the step's output object: "state" and
//     "error" by the keys given, "args" by the elements given (a null
//     element is not checked), "dialogs" element by element with the keys
//     given (the count must match), everything else by deep equality;
//     numbers compare equal within 1e-9 relative;
//   - notices answer false and take no queued answer; a question with the
//     queue empty asks the person at the terminal when there is one, and
//     otherwise answers false and is marked "unanswered": true.
#pragma once
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "calls/caller.h"
#include "platform/env.h"

namespace qorhost {

// Exit statuses of qorhost.
constexpr int kExitOk = 0;
constexpr int kExitMismatch = 1;    // a step's "expect" did not hold
constexpr int kExitBadSession = 2;  // unusable command line or session script
constexpr int kExitLoad = kExitAdapterBroken;  // the module could not be loaded, or an adapter is broken

struct HostOptions {
  std::string stateDir;   // simulated printer's state folder ("" = its default)
  std::string journal;    // simulated printer's call journal ("" = none)
  bool tape = false;      // print the session's paper tape after the steps
  bool brief = false;     // one line per step for people, and a summary, instead of the JSON lines
  std::filesystem::path sessionDir;     // relative "file" paths start here
  std::string sessionName = "session";  // names the script in messages
};

class SessionRunner {
 public:
  // `env` is the host's environment (program path set by the caller); the
  // runner installs it for the run and moves its clock.
  SessionRunner(SymbolResolver module, SimControl sim, rtl::ConfigurableEnv& env, HostOptions options,
                std::ostream& out, std::ostream& err);
  void SetAsker(Asker asker) { caller_.SetAsker(std::move(asker)); }
  // Runs the whole script; returns the exit status.
  int Run(const Json& session);

 private:
  void Prepare(const Json& session);
  Json RunStep(int n, const Json& step);
  Json RunSim(const Json& sim);
  Json RunFiles(int n, const Json& files);
  Json RunRead(int n, const Json& name);
  Json RunFileFault(int n, const Json& j);
  // The module's file operations of an "op" step (since `before`), once a
  // "file_fault" step asked for them (host/file_faults.cpp).
  void ReportFileOps(Json& out, long before);
  std::string HostRelative(const Json& name) const;  // a host-folder file's path below it
  void SetClock(const Json& iso);
  void ApplyLocale(const Json& locale);
  Json CheckExpect(const Json& expect, const Json& actual) const;
  void Print(int n, const Json& step, const Json& out);
  int64_t TapeSize() const;
  std::string TapeFrom(int64_t offset) const;
  void Finish();

  SimControl sim_;
  rtl::ConfigurableEnv& env_;
  HostOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  DecodeContext ctx_;
  Caller caller_;
  std::string messagesBefore_;  // stMensagemTaa before the step (--brief)
  int printed_ = 0;             // steps shown (--brief)
  int failures_ = 0;            // steps that answered false, raised an error or missed their expect (--brief)
  int64_t tapeStart_ = 0;
  std::string tapeKept_;  // tape printed before a reset of the simulated printer
  int mismatches_ = 0;
  bool countingFiles_ = false;      // a "file_fault" step has run
  bool fileFaultReported_ = false;  // the line where the fault landed is written
};

}  // namespace qorhost
