// The printer's memory is fiscal memory: a state folder that held a printer
// and no longer reads as a whole one is refused with a memory error on every
// call until an explicit reset; only a folder that never held a printer
// starts fresh; a clean end leaves the database file alone holding it.
#include <sqlite3.h>

#include <cstdlib>
#include <functional>

#include "platform/env.h"
#include "platform/process.h"
#include "sim/tests/sim_fixture.h"

namespace simtest {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

fs::path Db(const fs::path& f) { return f / "ecfsim.db"; }
fs::path Wal(const fs::path& f) { return f / "ecfsim.db-wal"; }

void Sql(const fs::path& db, const char* sql) {
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(db.string().c_str(), &h), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(h, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(h);
  sqlite3_close(h);
}

void Truncate(const fs::path& p, double fraction) {
  fs::resize_file(p, static_cast<uintmax_t>(static_cast<double>(fs::file_size(p)) * fraction));
}

// Overwrites 512 bytes at offset `at` (the end half of the file when negative).
void Scribble(const fs::path& p, std::streamoff at = -1) {
  std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(at < 0 ? static_cast<std::streamoff>(fs::file_size(p) / 2) : at);
  std::string junk(512, '\x5a');
  f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
}

class MemoryTest : public SimTest {
 protected:
  fs::path Folder() const { return dir / "ecf"; }

  // Closes the printer cleanly (another folder is opened) and opens f again.
  static void Reopen(const fs::path& f, const fs::path& elsewhere) {
    ASSERT_EQ(ecfsim_set_state_dir(elsewhere.string().c_str()), 0);
    ASSERT_EQ(ecfsim_set_state_dir(f.string().c_str()), 0);
  }

  // The folder as a crash would leave it: its files copied while the printer
  // has them open, nothing checkpointed.
  fs::path CrashCopy() {
    fs::path copy = dir / "crashed";
    fs::create_directories(copy);
    for (const char* n : {"ecfsim.seal", "ecfsim.db", "ecfsim.db-wal"})
      if (fs::exists(Folder() / n)) fs::copy_file(Folder() / n, copy / n, fs::copy_options::overwrite_existing);
    return copy;
  }

  // Every call is refused with the memory error; the port still opens and
  // the status query tells the memory error.
  static void ExpectMemoryError() {
    EXPECT_EQ(Elgin_AbrePortaSerial(), 1);
    EXPECT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), -8);
    EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "      ");
    int ret = 0;
    Ask(Elgin_NumeroCupom, 6, &ret);
    EXPECT_EQ(ret, -8);
    Status st = Query();
    EXPECT_EQ(st.ret, 1);
    EXPECT_EQ(st.st2, 32 | 1) << "RAM error, command not executed";
    json s = State();
    EXPECT_TRUE(s["memory_error"].is_string()) << s.dump();
    EXPECT_EQ(ecfsim_program(R"({"till": "002"})"), -1);
    EXPECT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), -8) << "still, on every call";
  }
};

struct DamageCase {
  const char* name;
  bool crash;  // damage a copy taken while the printer was running
  std::function<void(const fs::path& folder)> damage;
};
void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class MemoryDamageTest : public MemoryTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(MemoryDamageTest, IsRefusedUntilAReset) {
  const DamageCase& c = GetParam();
  Sale("5,00", "5,00");
  Reopen(Folder(), dir / "other");  // a clean end: the first sale is in the database file
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  Sale("7,00", "7,00");
  fs::path folder = Folder();
  if (c.crash) {
    folder = CrashCopy();
    ASSERT_TRUE(fs::exists(Wal(folder)) && fs::file_size(Wal(folder)) > 0) << "the second sale is in the log";
  } else {
    Reopen(Folder(), dir / "other");
    ASSERT_EQ(ecfsim_set_state_dir((dir / "other").string().c_str()), 0);
  }
  c.damage(folder);
  ASSERT_EQ(ecfsim_set_state_dir(folder.string().c_str()), 0);
  ExpectMemoryError();
  Reopen(folder, dir / "other");
  ExpectMemoryError();

  ASSERT_EQ(ecfsim_reset(), 0) << "only an explicit reset gives the memory up";
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  EXPECT_TRUE(State()["memory_error"].is_null());
  EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "000000");
  Sale("1,00", "1,00");
  EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "000001");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MemoryDamageTest,
    ::testing::Values(
        DamageCase{"DatabaseDeleted", false, [](const fs::path& f) { fs::remove(Db(f)); }},
        DamageCase{"DatabaseEmptied", false, [](const fs::path& f) { fs::resize_file(Db(f), 0); }},
        DamageCase{"DatabaseTruncated", false, [](const fs::path& f) { Truncate(Db(f), 0.5); }},
        DamageCase{"DatabaseHeaderScribbled", false, [](const fs::path& f) { Scribble(Db(f), 0); }},
        DamageCase{"DatabasePageScribbled", false, [](const fs::path& f) { Scribble(Db(f), 4096); }},
        DamageCase{"StateUnreadable", false,
                   [](const fs::path& f) { Sql(Db(f), "UPDATE state SET data = '{\"programming\": ['"); }},
        DamageCase{"StateTableEmptied", false, [](const fs::path& f) { Sql(Db(f), "DELETE FROM state"); }},
        DamageCase{"EveryTableEmptied", false,
                   [](const fs::path& f) {
                     Sql(Db(f), "DELETE FROM state; DELETE FROM programming; DELETE FROM detail_memory;"
                                "DELETE FROM fiscal_memory");
                   }},
        DamageCase{"SealDeleted", false, [](const fs::path& f) { fs::remove(f / "ecfsim.seal"); }},
        DamageCase{"LogDeletedAfterACrash", true, [](const fs::path& f) { fs::remove(Wal(f)); }},
        DamageCase{"LogTruncatedAfterACrash", true, [](const fs::path& f) { Truncate(Wal(f), 0.5); }},
        DamageCase{"LogScribbledAfterACrash", true, [](const fs::path& f) { Scribble(Wal(f)); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MemoryTest, AFolderThatNeverHeldAPrinterStartsFresh) {
  fs::path fresh = dir / "fresh";
  fs::create_directories(fresh);
  std::ofstream(fresh / "tape.txt") << "";
  ASSERT_EQ(ecfsim_set_state_dir(fresh.string().c_str()), 0);
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  EXPECT_TRUE(State()["memory_error"].is_null());
  Sale("2,00", "2,00");
  EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "000001");
}

TEST_F(MemoryTest, AFreshFolderOpenedWithoutACallStaysFresh) {
  fs::path fresh = dir / "fresh";
  Reopen(fresh, dir / "other");  // created, nothing done
  Reopen(fresh, dir / "other");
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  EXPECT_TRUE(State()["memory_error"].is_null());
}

TEST_F(MemoryTest, ACleanEndLeavesTheDatabaseAloneHoldingTheMemory) {
  Sale("3,00", "3,00");
  Sale("4,00", "4,00");
  ASSERT_EQ(ecfsim_set_state_dir((dir / "other").string().c_str()), 0);
  EXPECT_FALSE(fs::exists(Wal(Folder())) && fs::file_size(Wal(Folder())) > 0) << "the log was checkpointed";
  fs::remove(Wal(Folder()));
  fs::remove(Folder() / "ecfsim.db-shm");
  ASSERT_EQ(ecfsim_set_state_dir(Folder().string().c_str()), 0);
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "000002");
}

// Another process works on a printer of its own: what it leaves behind is
// what this one finds.
class OtherProcess : public MemoryTest {
 public:
  // Opens a coupon in args[0], then ends cleanly.
  static int OpensACouponAndEnds(const std::vector<std::string>& args) {
    const bool ok = OpenInChild(args[0]) && Elgin_AbrePortaSerial() == 1 && Elgin_AbreCupomMFD(S(""), S(""), S("")) == 1;
    std::exit(ok ? 0 : 3);  // static objects end: the printer's memory is closed
  }
};
QORTEST_CHILD_ROLE(OpensACouponAndEnds) { return OtherProcess::OpensACouponAndEnds(args); }

TEST_F(MemoryTest, AProcessThatEndsCleanlyLeavesTheDatabaseAloneHoldingTheMemory) {
  fs::path folder = dir / "ended";
  ASSERT_EQ(qortest::RunChildRole("OpensACouponAndEnds", {folder.string()}), 0);
  EXPECT_FALSE(fs::exists(Wal(folder)) && fs::file_size(Wal(folder)) > 0) << "the log was checkpointed";
  fs::remove(Wal(folder));
  ASSERT_EQ(ecfsim_set_state_dir(folder.string().c_str()), 0);
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  EXPECT_EQ(State()["document"]["coo"], 1) << "the coupon the other process opened is there";
}

TEST_F(MemoryTest, ACrashWithTheLogIntactLosesNothing) {
  Sale("3,00", "3,00");
  fs::path copy = CrashCopy();
  ASSERT_EQ(ecfsim_set_state_dir(copy.string().c_str()), 0);
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  EXPECT_TRUE(State()["memory_error"].is_null());
  EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "000001");
  Sale("3,00", "3,00");
  EXPECT_EQ(Ask(Elgin_NumeroCupom, 6), "000002") << "no coupon number used twice";
}


// ---- a process that dies between the memory and what follows it

// Ends the process at once, as a crash would, the n-th time the printer
// reaches `point`: "ecfsim.seal" (a call committed, its seal not yet
// written) or "ecfsim.tape" (committed and sealed, its lines not yet on
// the tape).
class KillAt : public rtl::ConfigurableEnv {
 public:
  KillAt(std::string point, int n) : point_(std::move(point)), n_(n) {}
  void Reached(const char* point, const std::string&) override {
    if (point_ == point && ++seen_ == n_) rtl::KillProcessNow();
  }

 private:
  std::string point_;
  int n_, seen_ = 0;
};

// What the memory holds as printed, in order: the finished documents'
// texts, then the lines of the document being printed.
std::string PrintedInMemory(const fs::path& folder) {
  std::string text;
  sqlite3* h = nullptr;
  EXPECT_EQ(sqlite3_open_v2(Db(folder).string().c_str(), &h, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  for (const char* sql : {"SELECT text FROM detail_memory ORDER BY seq", "SELECT line || char(10) FROM open_lines ORDER BY seq"}) {
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(h, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(h);
    while (sqlite3_step(st) == SQLITE_ROW) text += reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
  }
  sqlite3_close(h);
  return text;
}

// Under an emulator a process takes up to a second to start: there the
// deaths are tried at every third call, here at every one.
#ifdef _WIN32
constexpr int kEvery = 3;
#else
constexpr int kEvery = 1;
#endif

struct KillPoint {
  const char* point;
};
void PrintTo(const KillPoint& k, std::ostream* os) { *os << k.point; }

class KilledAtTest : public MemoryTest, public ::testing::WithParamInterface<KillPoint> {
 public:
  // In a process of its own, on the folder args[0]: a sale, a management
  // report, a coupon left open, a reset and one more sale, ending at once
  // the args[2]-th time the printer reaches the point args[1].
  static int WorkUntilKilled(const std::vector<std::string>& args) {
    static KillAt env(args[1], std::atoi(args[2].c_str()));
    rtl::SetEnv(&env);
    if (!OpenInChild(args[0]) || Elgin_AbrePortaSerial() != 1) return 3;
    Sale("4,00", "5,00");
    Elgin_RelatorioGerencial(S("linha um\nlinha dois\n"));
    Elgin_FechaRelatorioGerencial();
    OpenCouponWith({{"00", "1,000", "2,50"}, {"00", "2,000", "1,25"}});
    ecfsim_reset();
    Elgin_AbrePortaSerial();
    Sale("1,00", "1,00");
    return 0;
  }

 protected:
  // The work above on `folder`, killed the n-th time it reaches the point.
  // True when it was killed, false when it ran through.
  bool KilledRun(const fs::path& folder, int n) {
    const int status = qortest::RunChildRole("WorkUntilKilled", {folder.string(), GetParam().point, std::to_string(n)});
    if (status == qortest::kKilledStatus) return true;
    EXPECT_EQ(status, 0);
    return false;
  }
};
QORTEST_CHILD_ROLE(WorkUntilKilled) { return KilledAtTest::WorkUntilKilled(args); }

// Whatever call dies there: the memory opens whole (the seal is never
// ahead of it) and, from the first call after, the tape holds exactly what
// the memory holds as printed (lines a committed call had not appended are
// printed again; lines of the memory a reset emptied are gone).
TEST_P(KilledAtTest, TheMemoryOpensWholeAndTheTapeHoldsWhatItHolds) {
  int kills = 0;
  for (int n = 1; n < 100; n += kEvery) {
    SCOPED_TRACE(n);
    const fs::path folder = dir / ("crash" + std::to_string(n));
    if (!KilledRun(folder, n)) break;
    ++kills;
    ASSERT_EQ(ecfsim_set_state_dir(folder.string().c_str()), 0);
    ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
    EXPECT_TRUE(State()["memory_error"].is_null()) << State()["memory_error"];
    EXPECT_EQ(Tape(), PrintedInMemory(folder));
  }
  RecordProperty("kills", kills);
  EXPECT_GE(kills, 10 / kEvery);
}

INSTANTIATE_TEST_SUITE_P(Points, KilledAtTest, ::testing::Values(KillPoint{"ecfsim.seal"}, KillPoint{"ecfsim.tape"}),
                         [](const auto& info) { return std::string(info.param.point).substr(7); });

// ---- one process at a time

// A second process on the same state folder is refused, naming the holder;
// the printer's calls there answer as a port another program holds, and
// nothing it does reaches the memory. Once the holder lets it go, the
// folder opens.
// In a process of its own: the folder args[0], which the process args[1]
// holds, is refused with its holder named, and nothing done there is taken.
QORTEST_CHILD_ROLE(TriesAHeldFolder) {
  bool ok = ecfsim_set_clock(SimTest::kClock) == 0 && ecfsim_set_state_dir(args[0].c_str()) == -1;
  char why[512] = {0};
  ecfsim_last_error(why, sizeof why);
  const std::string text = why;
  ok = ok && text.find("state folder " + args[0] + " is in use by pid " + args[1]) != std::string::npos;
  if (!ok) std::cerr << "refused as: " << text << "\n";
  ok = ok && Elgin_AbrePortaSerial() == 0 && Elgin_AbreCupomMFD(S(""), S(""), S("")) == 0;
  ok = ok && ecfsim_program(R"({"till": "009"})") == -1;
  return ok ? 0 : 3;
}

// In a process of its own: the folder args[0] opens and its port too.
QORTEST_CHILD_ROLE(OpensAFolder) {
  return SimTest::OpenInChild(args[0]) && Elgin_AbrePortaSerial() == 1 ? 0 : 3;
}

TEST_F(MemoryTest, ASecondProcessOnTheSameFolderIsRefused) {
  Sale("2,00", "2,00");
  const json before = State();
  EXPECT_EQ(qortest::RunChildRole("TriesAHeldFolder", {Folder().string(), std::to_string(rtl::ProcessId())}), 0);
  EXPECT_EQ(State()["counters"], before["counters"]);
  EXPECT_EQ(State()["programming"], before["programming"]);

  ASSERT_EQ(ecfsim_set_state_dir((dir / "other").string().c_str()), 0);  // lets it go
  EXPECT_EQ(qortest::RunChildRole("OpensAFolder", {Folder().string()}), 0);
}

}  // namespace
}  // namespace simtest
