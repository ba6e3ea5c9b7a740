// One run of the example day (examples/full-day.json) under qorhost, in a
// process of its own, and what it leaves: the host's answer for each step,
// the printer's call journal cut into the day's steps, the printer's state.
//
// The script run is the example with a journal note before each of its
// steps ({"sim": {"note": "step K"}}, K the example's own step number) and,
// for a faulted run, one {"sim": {"fault_call": N, ...}} first: the N-th
// printer call of the day receives the fault; or, for the class "the
// module's own file operation fails", {"file_fault": {"at": N, ...}}: the
// N-th file operation the module makes in the day fails as a full disk
// would. Every run counts the module's file operations step by step. A
// faulted run drops the example's `expect` checks (after a fault they cannot
// all hold).
#pragma once
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/library.h"
#include "sim/ecfsim_table.h"
#include "tests/support/module_fixture.h"
#include "tests/support/portable.h"
#include "vendor/elgin_facts.h"

extern char** environ;

namespace daygate {

namespace fs = std::filesystem;
using nlohmann::json;

// The commands that register something on the printer, cancellations
// included: the entry list's Registers and Voids.
inline const std::set<std::string> kRegistering = [] {
  std::set<std::string> names;
  for (const elgin::EntryFacts& e : elgin::kEntries)
    if (e.Registering()) names.emplace(e.name);
  return names;
}();

// Of those, the ones that void what was registered before them (Voids).
inline const std::set<std::string> kVoiding = [] {
  std::set<std::string> names;
  for (const elgin::EntryFacts& e : elgin::kEntries)
    if (e.effect == elgin::Effect::Voids) names.emplace(e.name);
  return names;
}();

inline bool IsRegistering(const std::string& fn) { return kRegistering.count(fn) > 0; }

struct Call {
  std::string fn;
  json args;
  int ret = 0;
  std::string injected;

  // Whether the printer carried the command out: it answered 1 by itself, or
  // it acted and the answer was lost on the way back.
  bool Executed() const { return injected == "lost_answer" || (injected.empty() && ret == 1); }
};

// NOLINTNEXTLINE(bugprone-exception-escape): a false finding on the implicit members of plain fields.
struct StepRun {
  std::string op;     // "" for steps that are not operations
  bool ran = false;   // qorhost printed its line
  json result;        // the operation's result (null for a procedure)
  bool threw = false;  // an exception reached the host
  std::string error;   // its type and message
  std::vector<Call> calls;

  long fileOps = 0;       // the module's file operations in the step
  std::string fileFault;  // the file operation that failed in the step ("" none)

  bool True() const { return ran && !threw && result == true; }
  int Executed(const std::string& fn) const {
    int n = 0;
    for (const Call& c : calls) n += c.fn == fn && c.Executed() ? 1 : 0;
    return n;
  }
};

// NOLINTNEXTLINE(bugprone-exception-escape): a false finding on the implicit members of plain fields.
struct DayRun {
  bool timedOut = false;
  int signal = 0;  // the signal that ended qorhost, 0 none
  int exitCode = -1;
  std::string errors;  // qorhost's standard error, cut
  std::vector<StepRun> steps;  // steps[K - 1]: the example's step K
  std::vector<Call> calls;     // every printer call of the day, in order
  json state;                  // the printer's state at the end

  const Call* CallAt(size_t n) const { return n >= 1 && n <= calls.size() ? &calls[n - 1] : nullptr; }

  long FileOps() const {
    long n = 0;
    for (const StepRun& s : steps) n += s.fileOps;
    return n;
  }
  // The step (0-based) that made the n-th file operation of the day.
  size_t StepOfFileOp(long n) const {
    long seen = 0;
    for (size_t k = 0; k < steps.size(); ++k) {
      seen += steps[k].fileOps;
      if (n <= seen) return k;
    }
    return steps.size() - 1;
  }

  // The step (0-based) that made the n-th call of the day.
  size_t StepOfCall(size_t n) const {
    size_t seen = 0;
    for (size_t k = 0; k < steps.size(); ++k) {
      seen += steps[k].calls.size();
      if (n <= seen) return k;
    }
    return steps.size() - 1;
  }
};

// The fault given to the N-th call of the day, or to its N-th file operation.
struct Fault {
  long n = 0;
  std::string kind;  // fail, raise, lost_answer, not_executed; "file": the module's own file operation
  int code = 0;
  bool fromThenOn = false;  // "file": that operation and every later one
};

class DayRunner {
 public:
  DayRunner(fs::path bin, fs::path work) : bin_(std::move(bin)), work_(std::move(work)) {
    std::ifstream in(fs::path(QOR_SOURCE_DIR) / "examples" / "full-day.json");
    day_ = json::parse(in);
    fs::create_directories(work_);
  }

  size_t StepCount() const { return day_["steps"].size(); }

  // Runs the day once: the clean day with its checks, or faulted without.
  DayRun Run(const std::optional<Fault>& fault, std::chrono::seconds limit) {
    // Each run has a folder of its own: on Windows a file of the run before
    // may still be on its way out (deletion pending), and a new file of the
    // same name is then refused with a sharing violation.
    if (!lastRun_.empty()) qortest::RemoveTestFolder(lastRun_);
    const fs::path dir = work_ / ("run" + std::to_string(runs_++));
    lastRun_ = dir;
    fs::create_directories(dir);
    std::ofstream(dir / "day.json") << Script(fault).dump();
    DayRun run;
    Spawn(dir, limit, run);
    ReadOutput(dir / "out.jsonl", run);
    ReadJournal(dir / "journal.jsonl", run);
    if (!run.timedOut && run.signal == 0) run.state = ReadState(dir / "ecf");
    return run;
  }

 private:
  json Script(const std::optional<Fault>& fault) const {
    json script = day_;
    json steps = json::array();
    json files = {{"at", 0}};
    if (fault && fault->kind == "file") {
      files["at"] = fault->n;
      if (fault->fromThenOn) files["times"] = -1;
    } else if (fault) {
      json f = {{"fault_call", fault->n}, {"kind", fault->kind}};
      if (fault->kind == "fail") f["code"] = fault->code;
      steps.push_back({{"sim", f}});
    }
    steps.push_back({{"file_fault", files}});
    int k = 0;
    for (json s : day_["steps"]) {
      steps.push_back({{"sim", {{"note", "step " + std::to_string(++k)}}}});
      if (fault) s.erase("expect");
      steps.push_back(std::move(s));
    }
    script["steps"] = std::move(steps);
    return script;
  }

#ifdef _WIN32
  // qorhost in a process of its own, through the command interpreter (a
  // run is not ended at the limit here: the command waits for it).
  void Spawn(const fs::path& dir, std::chrono::seconds, DayRun& run) const {
    using qortest::Quote;
    const std::string cmd = Quote((bin_ / "qorhost.exe").string()) + " --state " + Quote((dir / "ecf").string()) +
                            " --host-dir " + Quote((dir / "host").string()) + " --journal " +
                            Quote((dir / "journal.jsonl").string()) + " " + Quote((dir / "day.json").string()) +
                            " < NUL > " + Quote((dir / "out.jsonl").string()) + " 2> " + Quote((dir / "err.txt").string());
    run.exitCode = qortest::RunCommand(cmd);
    std::ifstream err(dir / "err.txt");
    std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
    run.errors += text.substr(0, 2000);
  }
#else
  // qorhost in a process of its own, ended when it outlives the limit.
  void Spawn(const fs::path& dir, std::chrono::seconds limit, DayRun& run) const {
    const std::string exe = (bin_ / "qorhost").string();
    std::vector<std::string> args = {exe, "--state", (dir / "ecf").string(), "--host-dir", (dir / "host").string(),
                                     "--journal", (dir / "journal.jsonl").string(), (dir / "day.json").string()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, (dir / "out.jsonl").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, (dir / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) {
      run.errors = "qorhost could not be started: " + std::string(strerror(rc));
      return;
    }
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > until) {
        run.timedOut = true;
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    if (!run.timedOut && WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    if (!run.timedOut && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    std::ifstream err(dir / "err.txt");
    std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
    run.errors += text.substr(0, 2000);
  }
#endif

  // Each step's line follows the line of its note.
  void ReadOutput(const fs::path& file, DayRun& run) const {
    run.steps.assign(StepCount(), StepRun{});
    for (size_t k = 0; k < StepCount(); ++k) run.steps[k].op = day_["steps"][k].value("op", "");
    std::ifstream in(file);
    size_t k = 0;
    for (std::string line; std::getline(in, line);) {
      const json j = json::parse(line, nullptr, false);
      if (j.is_discarded() || !j.is_object()) continue;
      if (j.contains("sim") && j["sim"].contains("note")) {
        k = std::stoul(j["sim"]["note"].get<std::string>().substr(5));
        continue;
      }
      if (k < 1 || k > StepCount()) continue;
      StepRun& s = run.steps[k - 1];
      s.ran = true;
      s.result = j.contains("result") ? j["result"] : json();
      s.threw = j.contains("error");
      if (s.threw) s.error = j["error"].value("type", "") + ": " + j["error"].value("message", "");
      s.fileOps = j.value("file_ops", 0L);
      if (j.contains("file_fault") && j["file_fault"].is_string()) s.fileFault = j["file_fault"].get<std::string>();
      k = 0;
    }
  }

  void ReadJournal(const fs::path& file, DayRun& run) const {
    std::ifstream in(file);
    size_t step = 0;
    for (std::string line; std::getline(in, line);) {
      const json j = json::parse(line, nullptr, false);
      if (j.is_discarded()) continue;
      if (j.contains("note")) {
        const std::string note = j["note"].get<std::string>();
        if (note.rfind("step ", 0) == 0) step = std::stoul(note.substr(5));
        continue;
      }
      Call c{j.value("fn", ""), j.value("args", json::array()), j.value("ret", 0), j.value("injected", "")};
      run.calls.push_back(c);
      if (step >= 1 && step <= run.steps.size()) run.steps[step - 1].calls.push_back(std::move(c));
    }
  }

  // The printer's state, read through the simulated printer's own control
  // interface from the state folder the run left.
  json ReadState(const fs::path& ecf) {
    if (!sim_.state_json) {
      void* lib = rtl::LoadLibraryByName("Elgin.dll");
      if (!lib || !sim_.Bind([&](const char* n) { return rtl::GetLibrarySymbol(lib, n); }).empty()) return json();
    }
    if (sim_.set_state_dir(ecf.string().c_str()) != 0) return json();
    const int n = sim_.state_json(nullptr, 0);
    std::string buf(static_cast<size_t>(n) + 1, '\0');
    if (sim_.state_json(buf.data(), n + 1) != n) return json();
    json state = json::parse(buf.substr(0, static_cast<size_t>(n)), nullptr, false);
    sim_.set_state_dir((work_ / "idle").string().c_str());  // lets the run's folder go
    return state.is_discarded() ? json() : state;
  }

 private:
  fs::path bin_, work_;
  fs::path lastRun_;
  int runs_ = 0;
  json day_;
  ecfsim::ControlTable sim_;
};

}  // namespace daygate
