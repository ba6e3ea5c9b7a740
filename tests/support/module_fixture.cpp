#include "tests/support/module_fixture.h"

#include <chrono>
#include <iostream>
#include <fstream>
#include <regex>
#include <sstream>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/state.h"
#include "platform/library.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tests/support/portable.h"
#include "vendor/elgin.h"
#include "vendor/operations.h"

namespace qortest {

Sim& Sim::Get() {
  static Sim s = [] {
    Sim x;
    std::string err;
    x.lib = rtl::LoadLibraryByName("Elgin.dll", &err);
    if (!x.lib) {
      ADD_FAILURE() << "cannot load the simulated printer: " << err;
      return x;
    }
    std::string missing = x.Bind([&](const char* n) { return rtl::GetLibrarySymbol(x.lib, n); });
    if (!missing.empty()) ADD_FAILURE() << "simulated printer lacks " << missing;
    return x;
  }();
  return s;
}

void* Sim::Entry(const char* name) const { return lib ? rtl::GetLibrarySymbol(lib, name) : nullptr; }

std::string ModuleTest::A(const std::string& utf8) { return rtl::Utf8ToCp1252(utf8); }

void ModuleTest::SetUp() {
  tmp = qortest::MakeTempDir("qortest");
  hostDir = tmp / "host";
  stateDir = tmp / "ecf";
  journalPath = tmp / "journal.jsonl";
  std::filesystem::create_directories(hostDir);
  std::filesystem::create_directories(stateDir);
  env.programPath = (hostDir / "qorhost").string();
  env.systemDirectory = (tmp / "system").string();
  std::filesystem::create_directories(tmp / "system");
  prevEnv_ = rtl::SetEnv(&env);
  Qor01100::ResetStateForTesting();
  // A fresh data module: all its datasets (contents, filters, indices,
  // cursors) as the module first builds them, whatever an earlier test did.
  delete Qor01100::dtmElgin01100;
  Qor01100::dtmElgin01100 = nullptr;
  hostlib::TakeDialogLog();
  hostlib::SetDialogHandler([this](const hostlib::DialogRequest& r) {
    bool a = false;
    if (r.question && !answers.empty()) {
      a = answers.front();
      answers.pop_front();
    }
    dialogs.push_back({r, a});
    return a;
  });
  ASSERT_NE(sim.lib, nullptr);
  ASSERT_EQ(sim.set_state_dir(stateDir.string().c_str()), 0);
  ASSERT_EQ(sim.reset(), 0);
  ASSERT_EQ(sim.set_journal(journalPath.string().c_str()), 0);
  SetClock(2026, 3, 5, 10, 0, 0);
  char buf[4096] = {0};
  sim.tape_path(buf, sizeof buf);
  std::error_code ec;
  auto sz = std::filesystem::file_size(buf, ec);
  tapeStart_ = ec ? 0 : static_cast<size_t>(sz);
}

namespace {

// Removes a folder and everything below it, visiting each entry once, and
// says whether the folder is gone. On Windows a file still open cannot go at
// once: one held without delete sharing (the printer's memory while its
// state folder is current) is refused, one held with it (the paper tape,
// the debug log: both stay open between writes) is only marked for deletion
// and stays listed until its last handle closes. std::filesystem::remove_all
// stops at the first refusal, and on a marked file under wine it lists the
// file again after each deletion and never returns.
bool RemoveFolder(const std::filesystem::path& dir) {
  std::error_code ec;
  std::vector<std::filesystem::path> entries;
  for (std::filesystem::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    entries.push_back(it->path());
  // A folder is listed before what it holds: from the back, each folder is
  // emptied before its turn.
  for (auto e = entries.rbegin(); e != entries.rend(); ++e) std::filesystem::remove(*e, ec);
  std::filesystem::remove(dir, ec);
  return !std::filesystem::exists(dir, ec) && !ec;
}

// Folders that could not go yet: their files are let go once the printer
// and the module write elsewhere (the next test), and each removal tries
// them again. Those of a process's last test stay.
std::vector<std::filesystem::path>& Leftovers() {
  static std::vector<std::filesystem::path> folders;
  return folders;
}

}  // namespace

void RemoveTestFolder(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> earlier;
  earlier.swap(Leftovers());
  for (const auto& d : earlier)
    if (!RemoveFolder(d)) Leftovers().push_back(d);
  if (!RemoveFolder(dir)) Leftovers().push_back(dir);
}

void ModuleTest::TearDown() {
  sim.set_journal("");
  hostlib::SetDialogHandler(nullptr);
  Qor01100::StopImpFiscal();
  rtl::SetEnv(prevEnv_);
  if (!ramDir_.empty()) {
    sim.set_state_dir(stateDir.string().c_str());
    RemoveTestFolder(ramDir_);
    ramDir_.clear();
  }
  if (!HasFailure()) RemoveTestFolder(tmp);
  else std::cerr << "test files kept in " << tmp << "\n";
}

void ModuleTest::UseRamDisk(const std::string& prefix) {
  std::error_code ec;
  if (!std::filesystem::is_directory("/dev/shm", ec)) return;
#ifdef _WIN32
  // The test folder's own 8.3 name (qortest::MakeTempDir): the module works
  // with short paths, and a longer name's short form could be another's.
  const std::string name = tmp.filename().string();
#else
  const std::string name = prefix + tmp.filename().string();
#endif
  const std::filesystem::path ram = std::filesystem::path("/dev/shm") / name;
  std::filesystem::create_directories(ram / "host", ec);
  if (ec) return;
  ASSERT_EQ(sim.set_state_dir((ram / "ecf").string().c_str()), 0);
  ramDir_ = ram;
  hostDir = ram / "host";
  env.programPath = (hostDir / "qorhost").string();
}

bool ModuleTest::BindPrinter() {
  if (!Qor01100::BindElgin()) return false;
  return Qor01100::Elgin_AbrePortaSerial() == 1;
}

void ModuleTest::SetClock(int y, int m, int d, int hh, int nn, int ss) {
  env.clockFrozen = true;
  env.frozenNow = rtl::EncodeDate(y, m, d) + rtl::EncodeTime(hh, nn, ss, 0);
  char iso[32];
  std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:%02d", y, m, d, hh, nn, ss);
  sim.set_clock(iso);
}

std::vector<JournalEntry> ModuleTest::Journal() const {
  std::vector<JournalEntry> out;
  std::ifstream in(journalPath);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    auto j = nlohmann::json::parse(line);
    JournalEntry e;
    e.fn = j.value("fn", "");
    e.args = j.value("args", nlohmann::json::array());
    e.ret = j.value("ret", 0);
    e.out = j.value("out", nlohmann::json::array());
    e.injected = j.value("injected", std::string());
    out.push_back(std::move(e));
  }
  return out;
}

std::vector<JournalEntry> ModuleTest::Calls(const std::string& fn) const {
  std::vector<JournalEntry> out;
  for (auto& e : Journal())
    if (e.fn == fn) out.push_back(e);
  return out;
}

std::vector<nlohmann::json> ModuleTest::ArgsOf(const std::string& fn) const {
  std::vector<nlohmann::json> out;
  for (auto& c : Calls(fn)) out.push_back(c.args);
  return out;
}

std::vector<std::string> ModuleTest::CallNames() const {
  std::vector<std::string> out;
  for (auto& e : Journal()) out.push_back(e.fn);
  return out;
}

void ModuleTest::ClearJournal() { std::ofstream(journalPath, std::ios::trunc); }

std::filesystem::path ModuleTest::DebugLogPath() const {
  return hostDir / ("impdebug" + rtl::FormatDateTime("mmyy", env.frozenNow) + ".txt");
}

void ModuleTest::ClearDebugLog() const { std::ofstream(DebugLogPath(), std::ios::trunc); }

std::vector<std::string> ModuleTest::DebugLog() const {
  std::ifstream in(DebugLogPath(), std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ModuleTest::LogMessages() const {
  static const std::regex stamp(R"(^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d - )");
  std::vector<std::string> out;
  for (const std::string& l : DebugLog()) out.push_back(std::regex_replace(l, stamp, ""));
  return out;
}

std::string ModuleTest::Tape() const {
  char buf[4096] = {0};
  if (!sim.tape_path || sim.tape_path(buf, sizeof buf) != 0) return "";
  std::ifstream in(buf, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string all = ss.str();
  return tapeStart_ < all.size() ? all.substr(tapeStart_) : std::string();
}

nlohmann::json ModuleTest::SimState() const {
  int n = sim.state_json(nullptr, 0);
  std::string buf(static_cast<size_t>(n) + 1, '\0');
  sim.state_json(buf.data(), n + 1);
  buf.resize(static_cast<size_t>(n));
  return nlohmann::json::parse(buf);
}

std::vector<std::string> ModuleTest::DialogTexts() const {
  std::vector<std::string> out;
  for (auto& d : dialogs) out.push_back(d.request.text);
  return out;
}

}  // namespace qortest
