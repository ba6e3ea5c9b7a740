// The fault gate over the whole example day (examples/full-day.json: start,
// sales, cancellations, non-fiscal documents, supply and withdrawal, reports,
// restaurant documents, readings, the Z reduction). The day runs under
// qorhost once cleanly, with its own checks, and then once per faulted call:
// the N-th printer call of the day receives one failure class, and after
// each run the checks of day_checks.h compare what the module told the host
// with what the printer recorded.
//
// Which calls are faulted (the full product is too slow for every build).
// Every call of a command that registers something (day_run.h:
// kRegistering) receives every class, except the lines of management
// reports, which all take one path: each class faults every third of them,
// each class starting one line further. A lost answer or a command not
// executed differs from a communication failure only on the registering
// commands, so those two classes fault only those calls. The other calls
// (queries, status readings) take the same paths for codes 0 and -1 and a
// thrown error: each of those three classes faults every sixth of them,
// each class starting one call further, so together they fault half of
// them. Under the sanitizers (slower runs) the strides are 12 for report
// lines and 24 for the other calls. QOR_DAYGATE_ALL=1 faults every call
// with every class (as above: lost answers and commands not executed on
// the registering calls). The day's own scripted failures are not faulted
// again. Each class is one test: ctest runs them side by side.
//
// The class "the module's own file operation fails" (OwnFileGate below)
// faults the day's file operations of the module instead of its printer
// calls (the debug log, the configuration files, the host's records, the
// fiscal files), as a full disk would: the N-th one once, or the N-th and
// every later one; every sixth (every 24th under the sanitizers, each pass
// starting one further), every one with QOR_DAYGATE_ALL=1. The same checks
// hold: nothing registered twice, nothing reported true that the printer
// did not do, and the day runs to its end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <iterator>
#include <map>
#include <random>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/faults/day_checks.h"
#include "tests/support/module_fixture.h"
#include "tests/support/portable.h"

#if defined(__SANITIZE_ADDRESS__)
#define QOR_DAYGATE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QOR_DAYGATE_SANITIZED 1
#endif
#endif

namespace daygate {
namespace {

struct FaultClass {
  const char* name;
  const char* kind;
  int code;
  bool registeringOnly;
  int offset;  // which of every `stride` other calls this class takes
};

void PrintTo(const FaultClass& f, std::ostream* os) { *os << f.name; }

const FaultClass kClasses[] = {
    {"CommFailure", "fail", 0, false, 0},
    {"ExecError", "fail", -1, false, 1},
    {"LibraryThrows", "raise", 0, false, 2},
    {"LostAnswer", "lost_answer", 0, true, 0},
    {"NotExecuted", "not_executed", 0, true, 0},
};

// Findings the gate reports where an operation's result is defined not to
// follow the printer's answer (kept: hosts rely on these results), each
// matched by the faulted call (entry point, step and class as the run's label
// says) and the finding's text, which names the operation after its step
// number (" FechaCupom: " matches every step of that operation, so the
// list holds whatever the order of the example day). Anything else is a
// violation.
struct Known {
  const char* faulted;  // part of the run's label; "" any faulted call
  const char* finding;  // part of the finding
};

const Known kKnownOpen[] = {
    // The printed lines of a management report or linked voucher, and the
    // closing of some of them, are sent without examining their answer (the
    // report's opening and closing carry the printer's messages). The sale
    // registry and the personal-credit receipts answer true whenever they ran
    // to the end: a line the printer did not print (or a report that could
    // not open, e.g. behind a coupon left open) still ends in true. Nothing
    // fiscal is registered by them. The exchange voucher, the open-tables
    // list and the table bill answer false when a block of their text was
    // not taken; what remains of them here is an empty opening call that
    // failed while the first block opened the report and all the text was
    // printed, or a line the printer answered 1 for without printing it (a
    // command not executed), which a report line's answer cannot tell.
    {"", " RegistroVenda: reported true, the printer carried out Elgin_RelatorioGerencial only"},
    {"", " RegistroVenda: reported true, the printer carried out Elgin_FechaRelatorioGerencial only"},
    {"", " ImprimeMesasAbertas: reported true, the printer carried out Elgin_RelatorioGerencial only"},
    {"", " ImprimeMesasAbertas: reported true, the printer carried out Elgin_FechaRelatorioGerencial only"},
    {"", " Cupom_Troca: reported true, the printer carried out Elgin_RelatorioGerencial only"},
    {"", " Abertura_Mesa: reported true, the printer carried out Elgin_UsaComprovanteNaoFiscalVinculado only"},
    {"", " Abertura_Mesa: reported true, the printer carried out Elgin_FechaRelatorioGerencial only"},
    {"", " Compr_CredPessoal: reported true, the printer carried out Elgin_RelatorioGerencial only"},
    {"", " Cancela_Cred_Pessoal: reported true, the printer carried out Elgin_RelatorioGerencial only"},
    {"", " Cancela_Cred_Pessoal: reported true, the printer carried out Elgin_FechaRelatorioGerencial only"},
    // The change voucher registered at the end of a closing does not change
    // the closing's result: refused, or skipped because the voucher's
    // totalizer was not loaded, the coupon still closes true.
    {"", " FechaCupom: reported true, the printer carried out Elgin_RecebimentoNaoFiscal only"},
};

// The entry of kKnownOpen that a finding is, or -1.
int KnownEntry(const std::string& label, const std::string& finding) {
  for (size_t i = 0; i < std::size(kKnownOpen); ++i)
    if (label.find(kKnownOpen[i].faulted) != std::string::npos && finding.find(kKnownOpen[i].finding) != std::string::npos)
      return static_cast<int>(i);
  return -1;
}

int Stride() {
  if (const char* all = std::getenv("QOR_DAYGATE_ALL"); all && std::string(all) == "1") return 1;
#ifdef QOR_DAYGATE_SANITIZED
  return 24;
#else
  return 6;
#endif
}

// QOR_DAYGATE_SAMPLE=N: at most N faulted runs per class, spread evenly over
// the calls the strides pick (for slow hosts, e.g. the Windows build under
// an emulator); 0 or unset: all of them.
size_t SampleLimit() {
  const char* s = std::getenv("QOR_DAYGATE_SAMPLE");
  return s ? static_cast<size_t>(std::strtoul(s, nullptr, 10)) : 0;
}

// Whether the n-th call of the clean day is faulted with this class (see the top).
bool Sampled(const DayRun& clean, size_t n, const FaultClass& fc, int stride) {
  const Call& target = clean.calls[n - 1];
  if (!target.injected.empty()) return false;  // the day's own scripted failure lands there
  // The k-th call of this entry point in the day.
  size_t k = 0;
  for (size_t i = 0; i < n; ++i) k += clean.calls[i].fn == target.fn ? 1 : 0;
  if (stride == 1) return IsRegistering(target.fn) || !fc.registeringOnly;
  // A management report's lines all take one path: every (stride / 2)-th.
  if (target.fn == "Elgin_RelatorioGerencial") return k % static_cast<size_t>(stride / 2) == static_cast<size_t>(fc.offset);
  if (IsRegistering(target.fn)) return true;
  return !fc.registeringOnly && n % static_cast<size_t>(stride) == static_cast<size_t>(fc.offset);
}

fs::path WorkFolder(const char* name) {
  std::error_code ec;
  const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
  static std::mt19937_64 rng(std::random_device{}());
  return base / ("qor-daygate-" + std::string(name) + "-" + std::to_string(rtl::ProcessId()) + "-" + std::to_string(rng()));
}

class FullDayGate : public ::testing::TestWithParam<FaultClass> {
 protected:
  void SetUp() override { work_ = WorkFolder(GetParam().name); }
  void TearDown() override { qortest::RemoveTestFolder(work_); }
  fs::path work_;
};

// The clean day: every step gives what the example expects.
void CheckClean(const DayRun& clean) {
  std::vector<std::string> problems;
  CheckProcess(clean, problems);
  ASSERT_TRUE(problems.empty()) << "the clean day: " << problems.front();
  ASSERT_GT(clean.calls.size(), 300u);
  ASSERT_EQ(KeptCoupons(clean).size(), ClosingsKept(clean).size());
  for (const Call& c : clean.calls) ASSERT_TRUE(c.injected.empty() || c.injected == "fail") << c.fn;
}

TEST_P(FullDayGate, EveryCallOfTheDay) {
  const FaultClass& fc = GetParam();
  const fs::path bin = qortest::ProgramDir();
  DayRunner runner(bin, work_);
  const DayRun clean = runner.Run(std::nullopt, std::chrono::seconds(120));
  CheckClean(clean);
  if (HasFatalFailure()) return;

  const int stride = Stride();
#ifdef QOR_DAYGATE_SANITIZED
  const auto limit = std::chrono::seconds(180);
#else
  const auto limit = std::chrono::seconds(60);
#endif
  std::vector<std::string> violations;
  std::map<int, int> known;  // entry of kKnownOpen -> findings
  int runs = 0, falses = 0, errors = 0;
  std::vector<size_t> targets;
  for (size_t n = 1; n <= clean.calls.size(); ++n)
    if (Sampled(clean, n, fc, stride)) targets.push_back(n);
  if (const size_t most = SampleLimit(); most > 0 && targets.size() > most) {
    std::vector<size_t> few;
    for (size_t i = 0; i < most; ++i) few.push_back(targets[i * targets.size() / most]);
    targets = few;
  }
  for (const size_t n : targets) {
    const Call& target = clean.calls[n - 1];
    const DayRun run = runner.Run(Fault{static_cast<long>(n), fc.kind, fc.code}, limit);
    ++runs;
    std::vector<std::string> found = CheckDay(clean, run);
    const Call* hit = run.CallAt(n);
    if (!hit || hit->fn != target.fn || hit->injected != fc.kind)
      found.push_back("the fault did not land on call " + std::to_string(n));
    for (size_t j = 0; j < run.steps.size(); ++j) {
      falses += run.steps[j].ran && run.steps[j].result == false && clean.steps[j].True() ? 1 : 0;
      errors += run.steps[j].threw ? 1 : 0;
    }
    const size_t k = clean.StepOfCall(n);
    const std::string label = "N=" + std::to_string(n) + " (" + target.fn + " in " + StepName(clean, k) + ", " +
                              fc.name + "): ";
    for (auto& f : found) {
      const int entry = KnownEntry(label, f);
      if (entry < 0)
        violations.push_back(label + f);
      else
        ++known[entry];
    }
  }

  int knownCount = 0;
  for (auto& [entry, count] : known) knownCount += count;
  const std::string sampling = SampleLimit() > 0 ? "at most " + std::to_string(SampleLimit()) + " calls, spread over the day"
                               : stride == 1 ? "every call of its kind"
                               : "report lines one in " + std::to_string(stride / 2) + ", " +
                                     (fc.registeringOnly ? "no other calls" : "other calls one in " + std::to_string(stride));
  std::cout << "[ day gate ] " << fc.name << ": " << clean.calls.size() << " calls in the clean day, " << runs
            << " faulted runs (" << sampling << "), " << falses << " steps reported false (true in the clean day), "
            << errors << " errors reached the host, " << violations.size() << " violations, " << knownCount
            << " known open\n";
  for (auto& [entry, count] : known)
    std::cout << "[ day gate ]   known open x" << count << ": " << kKnownOpen[entry].finding << " (faulted: "
              << (*kKnownOpen[entry].faulted ? kKnownOpen[entry].faulted : "any call") << ")\n";
  std::string list;
  for (size_t i = 0; i < violations.size() && i < 60; ++i) list += "  " + violations[i] + "\n";
  EXPECT_TRUE(violations.empty()) << violations.size() << " violations:\n" << list;
}

// "Sessions/": a whole-session fault loop, run on its own by the test
// command and not again in the binary's shuffled run.
INSTANTIATE_TEST_SUITE_P(Sessions, FullDayGate, ::testing::ValuesIn(kClasses),
                         [](const ::testing::TestParamInfo<FaultClass>& i) { return std::string(i.param.name); });

struct FileClass {
  const char* name;
  bool fromThenOn;
  int offset;  // which of every `stride` file operations this pass takes
};

void PrintTo(const FileClass& f, std::ostream* os) { *os << f.name; }

const FileClass kFileClasses[] = {{"OwnFileFailsOnce", false, 0}, {"OwnFileFailsFromThenOn", true, 1}};

class OwnFileGate : public ::testing::TestWithParam<FileClass> {
 protected:
  void SetUp() override { work_ = WorkFolder(GetParam().name); }
  void TearDown() override { qortest::RemoveTestFolder(work_); }
  fs::path work_;
};

TEST_P(OwnFileGate, EveryFileOperationOfTheDay) {
  const FileClass& fc = GetParam();
  const fs::path bin = qortest::ProgramDir();
  DayRunner runner(bin, work_);
  const DayRun clean = runner.Run(std::nullopt, std::chrono::seconds(120));
  CheckClean(clean);
  if (HasFatalFailure()) return;
  const long total = clean.FileOps();
  ASSERT_GT(total, 100) << "the day's file operations are counted";

  const int stride = Stride();
#ifdef QOR_DAYGATE_SANITIZED
  const auto limit = std::chrono::seconds(180);
#else
  const auto limit = std::chrono::seconds(60);
#endif
  std::vector<std::string> violations;
  std::map<std::string, int> failedOps;  // what failed (kind and file name) -> runs
  std::map<std::string, int> escapes;    // operation and error that reached the host -> runs
  int runs = 0, falses = 0, errors = 0, knownCount = 0;
  std::vector<long> targets;
  for (long n = 1; n <= total; ++n)
    if (stride == 1 || n % stride == fc.offset) targets.push_back(n);
  if (const size_t most = SampleLimit(); most > 0 && targets.size() > most) {
    std::vector<long> few;
    for (size_t i = 0; i < most; ++i) few.push_back(targets[i * targets.size() / most]);
    targets = few;
  }
  for (const long n : targets) {
    const DayRun run = runner.Run(Fault{n, "file", 0, fc.fromThenOn}, limit);
    ++runs;
    std::vector<std::string> found = CheckDay(clean, run);
    std::string landed;
    for (const StepRun& s : run.steps) landed += s.fileFault;
    if (landed.empty()) found.push_back("the fault did not land on file operation " + std::to_string(n));
    const size_t sp = landed.find(' ');
    const std::string file =
        sp == std::string::npos ? landed : landed.substr(0, sp + 1) + rtl::ExtractFileName(landed.substr(sp + 1));
    ++failedOps[file];
    for (size_t j = 0; j < run.steps.size(); ++j) {
      falses += run.steps[j].ran && run.steps[j].result == false && clean.steps[j].True() ? 1 : 0;
      errors += run.steps[j].threw ? 1 : 0;
      if (run.steps[j].threw) ++escapes[run.steps[j].op + " <- " + run.steps[j].error.substr(0, 160)];
    }
    const std::string label = "N=" + std::to_string(n) + " (" + file + " in " +
                              StepName(clean, clean.StepOfFileOp(n)) + ", " + fc.name + "): ";
    for (auto& f : found) {
      if (KnownEntry(label, f) >= 0)
        ++knownCount;
      else
        violations.push_back(label + f);
    }
  }

  std::cout << "[ day gate ] " << fc.name << ": " << total << " file operations of the module in the clean day, "
            << runs << " faulted runs ("
            << (SampleLimit() > 0 ? "at most " + std::to_string(SampleLimit()) + ", spread over the day"
                : stride == 1     ? "every one"
                                  : "one in " + std::to_string(stride))
            << "), "
            << falses << " steps reported false (true in the clean day), " << errors
            << " errors reached the host, " << violations.size() << " violations, " << knownCount
            << " known open\n";
  for (auto& [what, count] : failedOps) std::cout << "[ day gate ]   failed " << what << " x" << count << "\n";
  for (auto& [what, count] : escapes) std::cout << "[ day gate ]   error reaches the host: " << what << " x" << count << "\n";
  std::string list;
  for (size_t i = 0; i < violations.size() && i < 60; ++i) list += "  " + violations[i] + "\n";
  EXPECT_TRUE(violations.empty()) << violations.size() << " violations:\n" << list;
}

INSTANTIATE_TEST_SUITE_P(Sessions, OwnFileGate, ::testing::ValuesIn(kFileClasses),
                         [](const ::testing::TestParamInfo<FileClass>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace daygate
