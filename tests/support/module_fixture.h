// Test fixture for the module's operations: every test gets a fresh host
// folder, a frozen clock, a fresh simulated printer in its own state folder,
// a call journal, and a dialog handler that answers from a queue.
//
//   class MyTest : public qortest::ModuleTest {};
//   TEST_F(MyTest, Something) {
//     ASSERT_TRUE(BindPrinter());           // binds the vendor library, opens the port
//     answers.push_back(true);               // answer of the next question
//     ... call Qor01100::Operation(...) ...
//     auto calls = Calls("Elgin_VendeItem"); // what reached the printer
//   }
#pragma once
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "hostlib/dialogs.h"
#include "platform/env.h"
#include "platform/variant.h"
#include "sim/ecfsim_table.h"

namespace qortest {

// The simulated printer's control interface (every ecfsim_* function of
// sim/ecfsim_controls.def, without the prefix), resolved from the same
// loaded library the module binds.
struct Sim : ecfsim::ControlTable {
  static Sim& Get();
  // Calls an entry point of the printer directly (e.g. to prepare a state).
  void* Entry(const char* name) const;
  void* lib = nullptr;
};

// NOLINTNEXTLINE(bugprone-exception-escape): a false finding on the implicit members of plain fields.
struct JournalEntry {
  std::string fn;
  nlohmann::json args;  // inputs as given (texts in UTF-8)
  int ret = 0;
  nlohmann::json out;   // outputs in parameter order
  std::string injected;  // the fault the simulated printer gave this call ("" none)
};

// Removes a test's folder and what it holds, never waiting: what cannot go
// yet (on Windows, files this process still holds open: the printer's
// memory, its tape, the debug log) is tried again at the next call, by when
// the printer and the module have moved on to another folder.
void RemoveTestFolder(const std::filesystem::path& dir);

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Binds "Elgin.dll" (the simulated printer) and opens its port directly,
  // without the start sequence.
  bool BindPrinter();
  // Sets the frozen clock of the module and of the simulated printer.
  void SetClock(int y, int m, int d, int hh = 10, int nn = 0, int ss = 0);

  // The journal since SetUp (or the last ClearJournal).
  std::vector<JournalEntry> Journal() const;
  std::vector<JournalEntry> Calls(const std::string& fn) const;
  // The arguments of each call of fn, in call order.
  std::vector<nlohmann::json> ArgsOf(const std::string& fn) const;
  std::vector<std::string> CallNames() const;
  void ClearJournal();
  // Lines of the current month's debug log (1252 text).
  std::vector<std::string> DebugLog() const;
  // Empties that file (the module may hold it open: it is not removed).
  void ClearDebugLog() const;
  std::filesystem::path DebugLogPath() const;
  // The same lines without the date and time that start each entry (the
  // second line of a trace has none).
  std::vector<std::string> LogMessages() const;
  // The paper tape printed since SetUp (UTF-8).
  std::string Tape() const;
  // The printer's state snapshot.
  nlohmann::json SimState() const;
  // Dialogs shown since SetUp (texts in 1252).
  std::vector<hostlib::DialogRecord> Dialogs() const { return dialogs; }
  std::vector<std::string> DialogTexts() const;

  // UTF-8 literal -> 1252 (tests write accented texts in UTF-8).
  static std::string A(const std::string& utf8);

  // For tests that run thousands of sessions: the printer's memory and the
  // host folder (the debug log is synced line by line) move to a RAM disk
  // when there is one, below a folder named `prefix` + this test's folder;
  // TearDown removes it. Nothing moves without a RAM disk.
  void UseRamDisk(const std::string& prefix);

  std::filesystem::path tmp;       // this test's folder
  std::filesystem::path hostDir;   // the host program's folder (program path = hostDir/qorhost)
  std::filesystem::path stateDir;  // the simulated printer's state folder
  std::filesystem::path journalPath;
  rtl::ConfigurableEnv env;
  std::deque<bool> answers;        // answers for the next yes/no questions (default no)
  std::vector<hostlib::DialogRecord> dialogs;
  Sim& sim = Sim::Get();

 private:
  rtl::Env* prevEnv_ = nullptr;
  size_t tapeStart_ = 0;
  std::filesystem::path ramDir_;  // UseRamDisk's folder, removed at TearDown
};

}  // namespace qortest
