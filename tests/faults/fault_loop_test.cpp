// Fault loops: for N = 1, 2, 3, ... the Nth call of the session into the
// printer's library fails (code 0, communication failure, or -1, execution
// error) or throws, once or from then on; or, on the commands that register
// something, the printer acts and the answer is lost, or it answers 1
// without acting; or the Nth file operation of the module itself fails
// (debug log, configuration files, host records), once or from then on, as
// a full disk would; until N passes the end of the session. After each run: the checks of fault_session.h, a loadable
// configuration file, and a second session on the same module and printer
// that must sell the same coupon as the clean one.
#include <iostream>

#include "platform/files.h"
#include "tests/faults/fault_session.h"

namespace faults {
namespace {

struct Pass {
  const char* name;
  Scenario sc;
  Fault fault;
  int code;
  bool persistent;
  // The calls faulted: those of the steps from..to of the clean session
  // (null: the whole session). A scenario that differs from the plain sale
  // in some steps only is faulted there; the plain sale covers the rest.
  const char* from = nullptr;
  const char* to = nullptr;
  // Only the calls of commands that register something on the printer. A
  // lost answer or a command not executed differs from a communication
  // failure only there: on a reading either is a failed reading, which the
  // communication-failure passes already put on every call.
  bool commandsOnly = false;
};

void PrintTo(const Pass& p, std::ostream* os) { *os << p.name; }

class FaultLoopTest : public FaultSession, public ::testing::WithParamInterface<Pass> {
 protected:
  // After the fault: the host starts again on the same module and printer
  // and sells the same coupon; nothing may stand in its way.
  void CheckRecovery(const Scenario& sc, const Session& clean, std::vector<std::string>& found) {
    Interposer::Get().Disarm();
    Interposer::Get().Reset(&sim);
    env.fileFaultAt = 0;  // the disk has room again
    Interposer::Get().callCap = static_cast<long>(clean.calls.size()) * 4 + 200;
    op_ = Operator{};
    detailed_ = false;
    Session again = RunSession(sc, true);
    detailed_ = true;
    for (const Step& s : again.steps)
      if (s.outcome != Outcome::True && s.outcome != Outcome::Done)
        found.push_back("after the fault, " + s.key + " gives " + OutcomeName(s.outcome) + " " + s.error + " " +
                        s.taaAfter);
    if (again.questions > 0) found.push_back("after the fault, the operator is asked a question");
    const Step* cf = again.Find("FechaCupom#1");
    if (cf && cf->outcome == Outcome::True && SaleFigures(again) != SaleFigures(clean))
      found.push_back("after the fault, the sale closes as " + SaleFigures(again).dump() + " instead of " +
                      SaleFigures(clean).dump());
    if (!again.end["document"].is_null()) found.push_back("after the fault, a document stays open");
  }
};

TEST_P(FaultLoopTest, EveryCallOfTheSession) {
  const Pass& p = GetParam();
  FreshSession(p.sc, false);
  ASSERT_FALSE(HasFatalFailure());
  const Session clean = RunSession(p.sc);
  for (const Step& s : clean.steps)
    ASSERT_TRUE(s.outcome == Outcome::True || s.outcome == Outcome::Done)
        << "clean session: " << s.key << " " << OutcomeName(s.outcome) << " " << s.error << s.taaAfter;
  ASSERT_TRUE(clean.end["document"].is_null());
  ASSERT_EQ(clean.questions, 0);
  ASSERT_NE(clean.Find("FechaCupom#1"), nullptr);
  // The calls to fault are taken from the printer's journal of the clean
  // session; the file operations from the module's count of its own.
  const std::vector<int> journal = JournalCalls();
  ASSERT_EQ(journal, clean.calls) << "the journal and the module's calls disagree";
  const bool files = p.fault == Fault::OwnFile;
  const size_t total = files ? static_cast<size_t>(env.fileOperations) : journal.size();
  ASSERT_GT(total, 30u);

  std::vector<std::string> violations;
  std::map<std::string, int> escapes;  // operation <- entry point whose error reached the host
  std::map<std::string, int> silent;   // operations that reported false without naming an error
  int runs = 0, falses = 0;
  size_t first = 1, last = total + 1;
  if (p.from) {
    ASSERT_NE(clean.Find(p.from), nullptr) << p.from;
    first = clean.Find(p.from)->callsBegin + 1;
  }
  if (p.to) {
    ASSERT_NE(clean.Find(p.to), nullptr) << p.to;
    last = clean.Find(p.to)->callsEnd;
  }
  for (size_t n = first; n <= last; ++n) {
    if (p.commandsOnly && n <= total && !IsSaleCommand(journal[n - 1])) continue;
    int questionsWithNo = 0;
    for (bool yes : {false, true}) {
      // Answers matter only when a question was asked.
      if (yes && questionsWithNo == 0) continue;
      FreshSession(p.sc, yes, p.fault == Fault::Raise);
      ASSERT_FALSE(HasFatalFailure());
      std::string label = "N=" + std::to_string(n);
      if (files && n <= total) {
        env.fileFaultAt = static_cast<long>(n);
        env.fileFaultFromThenOn = p.persistent;
      } else if (n <= total) {
        const int fn = journal[n - 1];
        const int occurrence = CountIn(journal, 0, n - 1, fn) + 1;
        Interposer::Get().armed = Injection{fn, occurrence, p.fault, p.code, p.persistent};
        label += std::string(" (") + kFnNames[fn] + " #" + std::to_string(occurrence) + ")";
      }
      label += yes ? " [operator yes]: " : ": ";
      Interposer::Get().callCap = static_cast<long>(total) * 4 + 200;

      const Session run = RunSession(p.sc);
      ++runs;
      if (!yes) questionsWithNo = run.questions;

      std::vector<std::string> found;
      if (files && n <= total) {
        const std::string& landed = env.fileFaultLanded;
        const size_t sp = landed.find(' ');
        label += " (" + landed.substr(0, sp) + " " + rtl::ExtractFileName(landed.substr(sp + 1)) + ")";
        if (env.fileFaultLanded.empty()) found.push_back("the fault landed on no file operation");
      } else if (n <= total && run.firedAt != static_cast<long>(n))
        found.push_back("the fault landed on call " + std::to_string(run.firedAt) + ", not on call " +
                        std::to_string(n));
      if (n > total && run.calls != clean.calls) found.push_back("a session without faults differs from the clean one");
      CheckRun(p.sc, clean, run, p.fault == Fault::Raise,
               p.fault == Fault::Raise ? Journal() : std::vector<qortest::JournalEntry>{}, found);
      std::string problem;
      if (!StoredTotal(&problem)) found.push_back("the configuration file cannot be loaded: " + problem);
      for (const Step& s : run.steps) {
        if (s.outcome == Outcome::False) ++falses;
        if (s.outcome == Outcome::False && s.op != "FechaPorta" && !Named(s) && s.notices == 0)
          silent[s.op]++;
        if (s.outcome == Outcome::Threw) {
          const size_t at = s.error.find("Elgin_");
          escapes[s.op + " <- " + (at == std::string::npos ? s.error : s.error.substr(at))]++;
        }
      }
      // The session answered yes differs from the one answered no only
      // inside the sale: the recovery after the latter covers both.
      if (!yes) CheckRecovery(p.sc, clean, found);
      for (auto& f : found) violations.push_back(label + f);
    }
  }

  std::cout << "[ faults   ] " << p.name << ": " << total << (files ? " file operations" : " calls")
            << " in the clean session, N = " << first << ".."
            << last << ", " << runs << " faulted sessions, " << falses << " operations reported false, "
            << violations.size() << " violations\n";
  for (auto& [where, count] : escapes)
    std::cout << "[ faults   ]   error reaches the host: " << where << " x" << count << "\n";
  for (auto& [op, count] : silent)
    std::cout << "[ faults   ]   false without naming the error: " << op << " x" << count << "\n";

  std::string list;
  for (size_t i = 0; i < violations.size() && i < 60; ++i) list += "  " + violations[i] + "\n";
  EXPECT_TRUE(violations.empty()) << violations.size() << " violations in " << p.sc.name << ":\n" << list;
}

// Codes 0 and -1 take the same paths through the driver (only the message
// differs): -1 is run once over the plain sale and both ways after a crash.
const Pass kPasses[] = {
    {"PlainSale_CommFailureOnce", kPlain, Fault::Fail, 0, false},
    {"PlainSale_CommFailureFromThenOn", kPlain, Fault::Fail, 0, true},
    {"PlainSale_ExecErrorOnce", kPlain, Fault::Fail, -1, false},
    {"PlainSale_LibraryThrowsOnce", kPlain, Fault::Raise, 0, false},
    {"PlainSale_LibraryThrowsFromThenOn", kPlain, Fault::Raise, 0, true},
    // The printer acts but its answer is lost; or it answers 1 without acting.
    {"PlainSale_LostAnswerOnce", kPlain, Fault::LostAnswer, 0, false, nullptr, nullptr, true},
    {"PlainSale_NotExecutedOnce", kPlain, Fault::NotExecuted, 0, false, nullptr, nullptr, true},
    {"TransferSale_LostAnswerOnce", kTransfer, Fault::LostAnswer, 0, false, "AbreCupom#1", nullptr, true},
    {"TransferSale_NotExecutedOnce", kTransfer, Fault::NotExecuted, 0, false, "AbreCupom#1", nullptr, true},
    // The transfer sale differs from the plain one from the coupon opening on.
    {"TransferSale_CommFailureOnce", kTransfer, Fault::Fail, 0, false, "AbreCupom#1"},
    {"TransferSale_CommFailureFromThenOn", kTransfer, Fault::Fail, 0, true, "AbreCupom#1"},
    {"TransferSale_LibraryThrowsOnce", kTransfer, Fault::Raise, 0, false, "AbreCupom#1"},
    {"TransferSale_LibraryThrowsFromThenOn", kTransfer, Fault::Raise, 0, true, "AbreCupom#1"},
    // After a crash only the start (which cancels the coupon left open and
    // records the grand total) and the grand-total check differ.
    {"AfterCrash_CommFailureOnce", kAfterCrash, Fault::Fail, 0, false, nullptr, "Atu_TotGeral#1"},
    {"AfterCrash_CommFailureFromThenOn", kAfterCrash, Fault::Fail, 0, true, nullptr, "Atu_TotGeral#1"},
    {"AfterCrash_ExecErrorOnce", kAfterCrash, Fault::Fail, -1, false, nullptr, "Atu_TotGeral#1"},
    {"AfterCrash_ExecErrorFromThenOn", kAfterCrash, Fault::Fail, -1, true, nullptr, "Atu_TotGeral#1"},
    {"AfterCrash_LibraryThrowsOnce", kAfterCrash, Fault::Raise, 0, false, nullptr, "Atu_TotGeral#1"},
    {"AfterCrash_LibraryThrowsFromThenOn", kAfterCrash, Fault::Raise, 0, true, nullptr, "Atu_TotGeral#1"},
    // The module's own files (the debug log, the configuration file with the
    // grand total, the host's records) fail: once, or as a disk that stays full.
    {"PlainSale_OwnFileFailsOnce", kPlain, Fault::OwnFile, 0, false},
    {"PlainSale_OwnFileFailsFromThenOn", kPlain, Fault::OwnFile, 0, true},
    {"TransferSale_OwnFileFailsOnce", kTransfer, Fault::OwnFile, 0, false},
    {"AfterCrash_OwnFileFailsOnce", kAfterCrash, Fault::OwnFile, 0, false},
    {"AfterCrash_OwnFileFailsFromThenOn", kAfterCrash, Fault::OwnFile, 0, true},
};

INSTANTIATE_TEST_SUITE_P(Sessions, FaultLoopTest, ::testing::ValuesIn(kPasses),
                         [](const ::testing::TestParamInfo<Pass>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace faults
