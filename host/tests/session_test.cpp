// The session runner against a fake module: argument kinds both ways,
// dialogs, sim steps, set/clock/locale steps, expect, bad sessions and
// errors escaping an operation.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <atomic>
#include <csignal>
#include <cstdio>
#include <sstream>
#include <thread>

#include "host/tests/fake_module.h"
#include "platform/process.h"
#include "platform/locale.h"
#include "platform/text.h"

QORHOST_ADAPTER(QhtText, "text,text&");
QORHOST_ADAPTER(QhtInt, "int,int&");
QORHOST_ADAPTER(QhtReal, "real,real&");
QORHOST_ADAPTER(QhtBool, "bool,bool&");
QORHOST_ADAPTER(QhtDate, "datetime,datetime&->datetime");
QORHOST_ADAPTER(QhtRecord, "record,record&");
QORHOST_ADAPTER(QhtList, "list,result");
QORHOST_ADAPTER(QhtPacket, "packet,packet&");
QORHOST_ADAPTER(QhtDataSet, "dataset");
QORHOST_ADAPTER(QhtStrings, "strings");
QORHOST_ADAPTER(QhtLines, "");
QORHOST_ADAPTER(QhtVariant, "int");
QORHOST_ADAPTER(QhtAsk, "text");
QORHOST_ADAPTER(QhtThrow, "int");
QORHOST_ADAPTER(QhtNow, "->datetime");
QORHOST_ADAPTER(QhtProgramPath, "");
QORHOST_ADAPTER(QhtFormat, "real");
QORHOST_ADAPTER(QhtCount, "");
QORHOST_ADAPTER(QhtPrint, "text");
QORHOST_ADAPTER(QhtNotExported, "");
// Listed in the module's operations but not built yet.
QORHOST_PLANNED_OF(::QhtPlanned, QhtPlanned, "text");

namespace {

using qorhost::Json;

// Test names in reports: the case's text on one line.
std::string OneLine(const char* s) {
  std::string out;
  for (const char* p = s; *p; ++p) {
    const bool blank = *p == '\n' || *p == ' ';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : *p;
  }
  return out.size() > 80 ? out.substr(0, 77) + "..." : out;
}

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    tmp = std::filesystem::temp_directory_path() /
          ("qorhost-runner-" + std::to_string(rtl::ProcessId()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(tmp);
    std::filesystem::create_directories(tmp);
    fake::tapeFile = (tmp / "tape.txt").string();
    std::ofstream(fake::tapeFile) << "printed before the session\n";
    env.programPath = (tmp / "qorhost").string();
    options.sessionDir = tmp;
    options.sessionName = "test.json";
  }
  void TearDown() override { std::filesystem::remove_all(tmp); }

  // Runs a session given as JSON text; the output lines are in `lines`.
  int Run(const std::string& text, bool withSim = true) {
    out.str("");
    err.str("");
    qorhost::SessionRunner runner(fake::Symbol, withSim ? fake::Sim() : qorhost::SimControl{}, env, options, out,
                                  err);
    if (asker) runner.SetAsker(asker);
    const int status = runner.Run(Json::parse(text));
    lines.clear();
    std::istringstream in(out.str());
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line[0] == '{') lines.push_back(Json::parse(line));
      else tape += line + "\n";
    }
    return status;
  }
  // A session of one operation step.
  Json RunOp(const std::string& op, const std::string& args) {
    EXPECT_EQ(Run(R"({"steps": [{"op": ")" + op + R"(", "args": )" + args + "}]}"), 0) << err.str();
    return lines.empty() ? Json() : lines.back();
  }

  static std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  std::filesystem::path tmp;
  rtl::ConfigurableEnv env;
  qorhost::HostOptions options;
  qorhost::Asker asker;
  std::ostringstream out, err;
  std::vector<Json> lines;
  std::string tape;
};

// ---- argument kinds, in and out ------------------------------------------

struct KindCase {
  const char* op;
  const char* args;
  const char* result;    // expected "result"
  const char* argsOut;   // expected "args"
};
void PrintTo(const KindCase& c, std::ostream* os) { *os << c.op << " " << OneLine(c.args); }

class KindsTest : public RunnerTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(KindsTest, DecodesArgumentsAndReportsByReferenceValues) {
  const auto& c = GetParam();
  Json line = RunOp(c.op, c.args);
  EXPECT_EQ(line["result"], Json::parse(c.result)) << line.dump();
  EXPECT_EQ(line["args"], Json::parse(c.argsOut)) << line.dump();
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, KindsTest,
    ::testing::Values(
        // Texts travel as 1252 and come back as UTF-8.
        KindCase{"QhtText", R"(["ação", "ignored"])", "true", R"([null, "ação!"])"},
        KindCase{"QhtInt", "[-21, 0]", "-20", "[null, -42]"},
        KindCase{"QhtReal", "[3, 0.5]", "6.0", "[null, 1.5]"},
        KindCase{"QhtBool", "[true, true]", "null", "[null, false]"},
        KindCase{"QhtDate", R"(["2026-03-05", "2026-03-05T10:20:30"])", R"({"datetime": "2026-03-05T00:00:00.000"})",
                 R"([null, {"datetime": "2026-03-06T10:20:30.000"}])"},
        KindCase{"QhtDate", R"([{"datetime": "2026-03-05T10:20:30.250"}, "1899-12-30"])",
                 R"({"datetime": "2026-03-05T10:20:30.250"})", R"([null, {"datetime": "1899-12-31T00:00:00.000"}])"},
        // Object keys keep their order; values by JSON type.
        KindCase{"QhtRecord", R"([{"CDFILIAL": "0001", "QT": 2, "VR": 2.5, "OK": false, "NADA": null}, []])", "true",
                 R"([null, [["CDFILIAL", "0001"], ["QT", 2], ["VR", 2.5], ["OK", false], ["NADA", {"null": true}],
                            ["ADDED", 1]]])"},
        KindCase{"QhtRecord", R"([[["B", "1"], ["A", {"datetime": "2026-01-02"}]], {}])", "true",
                 R"([null, [["B", "1"], ["A", {"datetime": "2026-01-02T00:00:00.000"}], ["ADDED", 1]]])"},
        KindCase{"QhtList", R"([["a", 1, [2, 3]], 3])", "true", R"([null, [3, ["a", 1, [2, 3]], null]])"},
        KindCase{"QhtList", R"([[null], [7, 8, null]])", "true", R"([null, [1, [{"null": true}], null]])"},
        KindCase{"QhtPacket",
                 R"([{"fields": [{"name": "CD", "type": "string", "size": 3}, {"name": "VR", "type": "float"},
                                 {"name": "N", "type": "integer"}, {"name": "B", "type": "boolean"},
                                 {"name": "DT", "type": "datetime"}],
                      "rows": [["001", 10.5, 3, true, "2026-03-05T10:00:00"], [null, null, null, null, null]]},
                     {"fields": []}])",
                 "true",
                 R"([null, {"fields": [{"name": "CD", "type": "string", "size": 3}, {"name": "VR", "type": "float"},
                                       {"name": "N", "type": "integer"}, {"name": "B", "type": "boolean"},
                                       {"name": "DT", "type": "datetime"}],
                            "rows": [["001", 10.5, 3, true, {"datetime": "2026-03-05T10:00:00.000"}],
                                     [null, null, null, null, null]]}])"},
        KindCase{"QhtDataSet",
                 R"([{"fields": [{"name": "CD", "type": "string", "size": 3}, {"name": "VR", "type": "float"}],
                      "indexes": [{"name": "idxCD", "fields": "CD"}], "rows": [["a", 1.0]]}])",
                 "1", R"([{"fields": [{"name": "CD", "type": "string", "size": 3}, {"name": "VR", "type": "float"}],
                           "rows": [["a", 1.0], ["x", 1.5]]}])"},
        KindCase{"QhtStrings", R"([["início"]])", "true", R"([["início", "fim"]])"},
        KindCase{"QhtLines", "[]", R"(["um", "dois"])", "[]"},
        KindCase{"QhtVariant", "[0]", "null", "[null]"},
        KindCase{"QhtVariant", "[1]", R"({"null": true})", "[null]"},
        KindCase{"QhtVariant", "[2]", R"({"datetime": "2026-03-05T10:20:30.400"})", "[null]"},
        KindCase{"QhtVariant", "[3]", R"([true, 2.5, "a"])", "[null]"},
        KindCase{"QhtCount", "[]", "null", "[]"}));

TEST_F(RunnerTest, DoublesAreWrittenWithADecimalPoint) {
  RunOp("QhtReal", "[2, 4]");
  EXPECT_NE(out.str().find("\"result\":4.0"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("[null,1.0]"), std::string::npos) << out.str();
}

TEST_F(RunnerTest, PacketFileIsReadRelativeToTheSessionFile) {
  std::ofstream(tmp / "packet.xml")
      << "<?xml version=\"1.0\" standalone=\"yes\"?>\n"
         "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
         "<FIELD attrname=\"CDTIPORECE\" fieldtype=\"string\" WIDTH=\"3\"/>"
         "<FIELD attrname=\"VRMOVIVEND\" fieldtype=\"r8\"/>"
         "</FIELDS><PARAMS/></METADATA><ROWDATA>"
         "<ROW CDTIPORECE=\"001\" VRMOVIVEND=\"10.5\"/>"
         "</ROWDATA></DATAPACKET>";
  Json line = RunOp("QhtDataSet", R"([{"file": "packet.xml"}])");
  EXPECT_EQ(line["result"], 1);
  EXPECT_EQ(line["args"][0]["rows"], Json::parse(R"([["001", 10.5], ["x", 1.5]])"));
  line = RunOp("QhtPacket", R"([{"file": "packet.xml"}, {"fields": []}])");
  EXPECT_EQ(line["args"][1]["rows"], Json::parse(R"([["001", 10.5]])"));
}

TEST_F(RunnerTest, StateReportsEveryVariableAfterEachOperation) {
  fake::stMensagemTaa = " Impressora sem papel.";
  fake::inRetorno = -5;
  Json line = RunOp("QhtCount", "[]");
  ASSERT_EQ(line["state"].size(), 19u);
  EXPECT_EQ(line["state"]["inRetorno"], -5);
  EXPECT_EQ(line["state"]["stMensagemTaa"], " Impressora sem papel.");
  EXPECT_EQ(line["state"]["boNUtilTaa"], true);
  EXPECT_EQ(line["state"]["inCanalSerial"], 0);
}

// ---- set, clock and locale ------------------------------------------------

TEST_F(RunnerTest, SetWritesSharedStateOfEachType) {
  ASSERT_EQ(Run(R"({"steps": [{"set": {"dsDiretorio": "/tmp/saída/", "inRetornoErro": 7, "boNUtilTaa": false}}]})"), 0)
      << err.str();
  EXPECT_EQ(fake::dsDiretorio, "/tmp/sa\xED" "da/");
  EXPECT_EQ(fake::inRetornoErro, 7);
  EXPECT_FALSE(fake::boNUtilTaa);
  EXPECT_EQ(lines[0]["state"]["dsDiretorio"], "/tmp/saída/");
}

TEST_F(RunnerTest, SetWithOneBadEntryChangesNothing) {
  EXPECT_EQ(Run(R"({"steps": [{"set": {"dsDiretorio": "x", "inRetornoErro": "7"}}]})"), 2);
  EXPECT_EQ(fake::dsDiretorio, "");
  EXPECT_NE(err.str().find("step 1"), std::string::npos);
  EXPECT_NE(err.str().find("inRetornoErro"), std::string::npos);
  EXPECT_EQ(Run(R"({"steps": [{"set": {"stNaoExiste": "x"}}]})"), 2);
  EXPECT_NE(err.str().find("not a shared-state variable"), std::string::npos);
}

TEST_F(RunnerTest, ClockFreezesTheModuleAndThePrinterAndMoves) {
  ASSERT_EQ(Run(R"({"clock": "2026-03-05T10:00:00",
                    "steps": [{"op": "QhtNow"}, {"clock": "2026-03-05T10:20:00"}, {"op": "QhtNow"}]})"),
            0)
      << err.str();
  EXPECT_EQ(lines[0]["result"]["datetime"], "2026-03-05T10:00:00.000");
  EXPECT_EQ(lines[1], Json::parse(R"({"step": 2, "clock": "2026-03-05T10:20:00"})"));
  EXPECT_EQ(lines[2]["result"]["datetime"], "2026-03-05T10:20:00.000");
  EXPECT_EQ(fake::simCalls, (std::vector<std::string>{"clock 2026-03-05T10:00:00", "clock 2026-03-05T10:20:00"}));
}

TEST_F(RunnerTest, TheModuleSeesTheHostProgramPath) {
  Json line = RunOp("QhtProgramPath", "[]");
  EXPECT_EQ(line["result"], (tmp / "qorhost").string());
}

TEST_F(RunnerTest, LocaleAppliesForTheSessionOnly) {
  ASSERT_EQ(Run(R"({"locale": {"decimal": ".", "thousands": ","},
                    "steps": [{"op": "QhtFormat", "args": [1234.5]},
                              {"locale": {"decimal": ",", "thousands": "."}},
                              {"op": "QhtFormat", "args": [1234.5]}]})"),
            0)
      << err.str();
  EXPECT_EQ(lines[0]["result"], "1,234.50");
  EXPECT_EQ(lines[2]["result"], "1.234,50");
  EXPECT_EQ(rtl::Settings().DecimalSeparator, ',');  // restored after the run
}

TEST_F(RunnerTest, FilesArePutIntoTheHostFolderAndReadBack) {
  std::ofstream(tmp / "origem.cds") << "<DATAPACKET/>";
  ASSERT_EQ(Run(R"({"steps": [
      {"files": {"Kalvora.cds": "origem.cds", "Dados\\MenuFiscal\\ELGIN.INI": {"text": "Path=C:\\Elgin\\ção"}}},
      {"read": "Dados/MenuFiscal/ELGIN.INI"}, {"read": "nada.txt"}]})"),
            0)
      << err.str();
  EXPECT_EQ(ReadAll(tmp / "Kalvora.cds"), "<DATAPACKET/>");
  EXPECT_EQ(ReadAll(tmp / "Dados" / "MenuFiscal" / "ELGIN.INI"), "Path=C:\\Elgin\\\xE7\xE3o");
  EXPECT_EQ(lines[1], Json::parse(R"({"step": 2, "read": "Dados/MenuFiscal/ELGIN.INI", "exists": true,
                                      "text": "Path=C:\\Elgin\\ção"})"));
  EXPECT_EQ(lines[2]["exists"], false);
}

TEST_F(RunnerTest, FilesWithOneBadEntryWriteNothing) {
  EXPECT_EQ(Run(R"({"steps": [{"files": {"a.txt": {"text": "x"}, "b.txt": "nao-existe"}}]})"), 2);
  EXPECT_FALSE(std::filesystem::exists(tmp / "a.txt"));
}

// ---- files and read stay inside their folders --------------------------

#ifndef _WIN32
// (A racing rename, hard links and a file-size limit: POSIX only.)

// A host folder with a neighbour outside it, which no step may read or
// change: "secret.txt" there, "sub" a folder of it.
class ConfinementTest : public RunnerTest {
 protected:
  void SetUp() override {
    RunnerTest::SetUp();
    outside = tmp.string() + "-outside";
    std::filesystem::remove_all(outside);
    std::filesystem::create_directories(outside / "sub");
    std::ofstream(outside / "secret.txt") << "SECRET";
  }
  void TearDown() override {
    std::filesystem::remove_all(outside);
    RunnerTest::TearDown();
  }
  // Runs a session of `steps` (a JSON array); its status.
  int Steps(const std::string& steps) { return Run(R"({"steps": )" + steps + "}"); }
  // The outside folder as a test left it: every name and content.
  std::string Outside() const {
    std::string all;
    for (const auto& e : std::filesystem::recursive_directory_iterator(outside))
      all += e.path().string() + "=" + (e.is_regular_file() ? ReadAll(e.path()) : std::string("/")) + "\n";
    return all;
  }
  std::filesystem::path outside;
};

// A thread swaps a name of the host folder between what the check sees and
// a symbolic link leading outside, as fast as it can, while the steps run:
// no write lands outside, no read returns what is there. (Checking the name
// and then opening it let 8 of 400 writes through.)
TEST_F(ConfinementTest, ASymbolicLinkSwappedInMidwayLeadsNowhere) {
  namespace fs = std::filesystem;
  const std::string before = Outside();
  fs::create_directories(tmp / "sub");
  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    const fs::path file = tmp / "x.txt", link = tmp / "x.lnk", plain = tmp / "x.reg", dir = tmp / "sub",
                   dirLink = tmp / "sub.lnk";
    fs::create_directory_symlink(outside / "sub", dirLink);
    while (!stop) {
      std::error_code ec;
      fs::remove(link, ec);
      fs::create_symlink(outside / "secret.txt", link, ec);
      fs::rename(link, file, ec);
      std::ofstream(plain) << "inside";
      fs::rename(plain, file, ec);
      // The folder and a link to the outside one trade names.
      ::renameat2(AT_FDCWD, dir.c_str(), AT_FDCWD, dirLink.c_str(), RENAME_EXCHANGE);
    }
  });
  int refused = 0, read = 0;
  for (int i = 0; i < 400; ++i) {
    const int status = Steps(R"([{"files": {"x.txt": {"text": "WRITTEN"}, "sub/y.txt": {"text": "WRITTEN"}}}])");
    EXPECT_TRUE(status == 0 || status == 2) << err.str();
    refused += status == 2;
    for (const char* name : {"x.txt", "sub/y.txt"}) {
      const int r = Steps(std::string(R"([{"read": ")") + name + R"("}])");
      EXPECT_TRUE(r == 0 || r == 2) << err.str();
      if (r == 0 && lines.size() == 1 && lines[0]["exists"] == true) {
        ++read;
        EXPECT_NE(lines[0]["text"], "SECRET");
      }
    }
  }
  stop = true;
  swapper.join();
  EXPECT_EQ(Outside(), before);
  EXPECT_GT(read, 0);
  RecordProperty("refused", refused);
}

// A second name (hard link) of a file outside: not read, and a write
// replaces the host folder's name without changing the file outside.
TEST_F(ConfinementTest, AHardLinkToAFileOutsideIsNeitherReadNorWrittenThrough) {
  std::filesystem::create_hard_link(outside / "secret.txt", tmp / "h.txt");
  EXPECT_EQ(Steps(R"([{"read": "h.txt"}])"), 2);
  EXPECT_NE(err.str().find("\"h.txt\" has 2 names (hard links)"), std::string::npos) << err.str();
  ASSERT_EQ(Steps(R"([{"files": {"h.txt": {"text": "novo"}}}])"), 0) << err.str();
  EXPECT_EQ(ReadAll(tmp / "h.txt"), "novo");
  EXPECT_EQ(ReadAll(outside / "secret.txt"), "SECRET");
  ASSERT_EQ(Steps(R"([{"read": "h.txt"}])"), 0) << err.str();
  EXPECT_EQ(lines[0]["text"], "novo");
}

TEST_F(ConfinementTest, NamesHoldingANulAreRefused) {
  for (const char* steps : {R"([{"files": {"a\u0000/../../x.txt": {"text": "x"}}}])",
                            R"([{"read": "Kalvora.cds\u0000.txt"}])",
                            R"([{"files": {"a.txt": "origem\u0000.cds"}}])"}) {
    EXPECT_EQ(Steps(steps), 2) << steps;
    EXPECT_NE(err.str().find("holds a NUL character"), std::string::npos) << err.str();
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp), {}), 1) << "only the tape";
}

// A file that cannot be written whole (the disk fills up) keeps what it
// held, and nothing is left beside it.
TEST_F(ConfinementTest, FilesAreWrittenWhole) {
  std::ofstream(tmp / "Kalvora.cds") << "old";
  const std::string big(100000, 'x');
  {
    struct rlimit old {}, lim {};
    getrlimit(RLIMIT_FSIZE, &old);
    lim = old;
    lim.rlim_cur = 1000;
    auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &lim);
    const int status = Steps(R"([{"files": {"Kalvora.cds": {"text": ")" + big + R"("}}}])");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(status, 2);
  }
  EXPECT_EQ(ReadAll(tmp / "Kalvora.cds"), "old");
  for (const auto& e : std::filesystem::directory_iterator(tmp))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
  ASSERT_EQ(Steps(R"([{"files": {"Kalvora.cds": {"text": ")" + big + R"("}}}])"), 0) << err.str();
  EXPECT_EQ(ReadAll(tmp / "Kalvora.cds"), big);
}
#endif  // _WIN32

// ---- dialogs --------------------------------------------------------------

TEST_F(RunnerTest, QuestionsTakeQueuedAnswersInOrderAndNoticesTakeNone) {
  ASSERT_EQ(Run(R"({"steps": [{"answers": [true, false]},
                              {"op": "QhtAsk", "args": ["Confirma?"]},
                              {"op": "QhtAsk", "args": ["De novo?"]}]})"),
            0)
      << err.str();
  EXPECT_EQ(lines[0], Json::parse(R"({"step": 1, "answers": [true, false], "queued": 2})"));
  EXPECT_EQ(lines[1]["result"], true);
  EXPECT_EQ(lines[1]["dialogs"], Json::parse(R"([
      {"text": "Confirma?", "question": true, "kind": 1, "scheme": "001", "answer": true},
      {"text": "aviso", "question": false, "kind": 3, "scheme": "002", "answer": false}])"));
  EXPECT_EQ(lines[2]["result"], false);
  EXPECT_EQ(lines[2]["dialogs"][0]["answer"], false);
  EXPECT_FALSE(lines[2]["dialogs"][0].contains("unanswered"));
}

TEST_F(RunnerTest, QuestionWithEmptyQueueAnswersNoWhenNobodyIsThere) {
  ASSERT_EQ(Run(R"({"steps": [{"op": "QhtAsk", "args": ["Confirma?"]}]})"), 0);
  EXPECT_EQ(lines[0]["result"], false);
  EXPECT_EQ(lines[0]["dialogs"][0]["answer"], false);
  EXPECT_EQ(lines[0]["dialogs"][0]["unanswered"], true);
}

TEST_F(RunnerTest, QuestionWithEmptyQueueAsksThePersonAtTheTerminal) {
  std::vector<std::string> asked;
  asker = [&](const hostlib::DialogRequest& r) -> std::optional<bool> {
    asked.push_back(r.text);
    return true;
  };
  ASSERT_EQ(Run(R"({"steps": [{"answers": [false]}, {"op": "QhtAsk", "args": ["A?"]}, {"op": "QhtAsk", "args": ["B?"]}]})"),
            0);
  EXPECT_EQ(asked, std::vector<std::string>{"B?"});  // the queued answer went first
  EXPECT_EQ(lines[1]["result"], false);
  EXPECT_EQ(lines[2]["result"], true);
  EXPECT_EQ(lines[2]["dialogs"][0]["asked"], true);
}

TEST_F(RunnerTest, UnusedAnswersAreReportedButDoNotFail) {
  EXPECT_EQ(Run(R"({"steps": [{"answers": [true, true]}, {"op": "QhtAsk", "args": ["A?"]}]})"), 0);
  EXPECT_NE(err.str().find("1 queued answer(s) were not used"), std::string::npos) << err.str();
}

// ---- sim steps ------------------------------------------------------------

struct SimCase {
  const char* step;
  const char* call;  // what the control interface receives
};
void PrintTo(const SimCase& c, std::ostream* os) { *os << OneLine(c.step); }

class SimStepTest : public RunnerTest, public ::testing::WithParamInterface<SimCase> {};

TEST_P(SimStepTest, DrivesTheControlInterface) {
  const auto& c = GetParam();
  ASSERT_EQ(Run(std::string(R"({"steps": [{"sim": )") + c.step + "}]}"), 0) << err.str();
  ASSERT_EQ(fake::simCalls.size(), 1u);
  EXPECT_EQ(fake::simCalls[0], c.call);
  EXPECT_EQ(lines[0]["sim"], Json::parse(c.step));
}

INSTANTIATE_TEST_SUITE_P(
    EveryAction, SimStepTest,
    ::testing::Values(SimCase{R"({"reset": true})", "reset"}, SimCase{R"({"power": false})", "power 0"},
                      SimCase{R"({"power": true})", "power 1"}, SimCase{R"({"paper": "ok"})", "paper 0"},
                      SimCase{R"({"paper": "low"})", "paper 1"}, SimCase{R"({"paper": "out"})", "paper 2"},
                      SimCase{R"({"cover": "open"})", "cover 1"}, SimCase{R"({"cover": "closed"})", "cover 0"},
                      SimCase{R"({"status": [6, 64, 0]})", "status 6 64 0 x1"},
                      SimCase{R"({"status": [21, 0, 0], "times": 3})", "status 21 0 0 x3"},
                      SimCase{R"({"fail": "Elgin_VendeItem", "code": 0})", "fail Elgin_VendeItem 0 x1"},
                      SimCase{R"({"fail": "Elgin_VendeItem", "code": -27, "times": 2})", "fail Elgin_VendeItem -27 x2"},
                      SimCase{R"({"answer": "Elgin_NumeroCupom", "ret": 1, "out": ["001234"]})",
                              R"(answer Elgin_NumeroCupom 1 ["001234"] x1)"},
                      SimCase{R"({"answer": "Elgin_FlagsFiscais", "ret": 1, "out": [33], "times": 2})",
                              "answer Elgin_FlagsFiscais 1 [33] x2"},
                      SimCase{R"({"answer": "Elgin_NumeroSerie", "ret": 1, "out": ["SÉRIE"]})",
                              R"(answer Elgin_NumeroSerie 1 ["SÉRIE"] x1)"},
                      SimCase{R"({"raise": "Elgin_LeituraX"})", "raise Elgin_LeituraX x1"},
                      SimCase{R"({"lost_answer": "Elgin_VendeItem"})", "lost_answer Elgin_VendeItem x1"},
                      SimCase{R"({"lost_answer": "Elgin_VendeItem", "times": 2})", "lost_answer Elgin_VendeItem x2"},
                      SimCase{R"({"not_executed": "Elgin_EfetuaFormaPagamento", "times": 3})",
                              "not_executed Elgin_EfetuaFormaPagamento x3"},
                      SimCase{R"({"program": {"payment_methods": [{"slot": 2, "name": "Cartão"}]}})",
                              R"(program {"payment_methods":[{"slot":2,"name":"Cartão"}]})"},
                      SimCase{R"({"clock_offset_s": -3600})", "clock_offset -3600"},
                      SimCase{R"({"fault_call": 30, "kind": "lost_answer"})", "fault_call 30 lost_answer 0"},
                      SimCase{R"({"fault_call": 1, "kind": "fail", "code": -1})", "fault_call 1 fail -1"},
                      SimCase{R"({"note": "step 12"})", "note step 12"}));

class BadSimStepTest : public RunnerTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BadSimStepTest, IsRejectedNamingTheStep) {
  EXPECT_EQ(Run(std::string(R"({"steps": [{"op": "QhtCount"}, {"sim": )") + GetParam() + "}]}"), 2);
  EXPECT_NE(err.str().find("step 2"), std::string::npos) << err.str();
  EXPECT_EQ(fake::counter, 1);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[1].contains("invalid"));
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, BadSimStepTest,
    ::testing::Values(R"({})", R"({"paper": "none"})", R"({"power": 1})", R"({"status": [1, 2]})",
                      R"({"status": [1, 2, 256]})", R"({"fail": "Elgin_VendeItem"})",
                      R"({"fail": "Elgin_VendeItem", "code": 0, "times": 0})", R"({"answer": "Elgin_X"})",
                      R"({"answer": "Elgin_X", "ret": 1, "out": [1.5]})", R"({"raise": 3})",
                      R"({"fail": "Bogus", "code": 0})", R"({"reset": true, "paper": "ok"})",
                      R"({"reset": true, "times": 2})", R"({"cover": true})", R"({"clock_offset_s": 1.5})",
                      R"("reset")", R"({"lost_answer": ""})", R"({"not_executed": "Elgin_VendeItem", "times": 0})",
                      R"({"lost_answer": "Bogus"})", R"({"program": {}})", R"({"program": [1]})",
                      R"({"program": {"serial": "X"}, "times": 2})", R"({"fault_call": 0, "kind": "raise"})",
                      R"({"fault_call": 3})", R"({"fault_call": 3, "kind": "fail"})",
                      R"({"fault_call": 3, "kind": "raise", "times": 2})", R"({"note": 7})"));

TEST_F(RunnerTest, RefusedProgrammingSaysWhy) {
  EXPECT_EQ(Run(R"({"steps": [{"sim": {"program": {"refuse": true}}}]})"), 2);
  EXPECT_NE(err.str().find("a document is open"), std::string::npos) << err.str();
}

TEST_F(RunnerTest, SimStepsNeedTheSimulatedPrinter) {
  EXPECT_EQ(Run(R"({"steps": [{"sim": {"reset": true}}]})", /*withSim=*/false), 2);
  EXPECT_NE(err.str().find("simulator control interface"), std::string::npos) << err.str();
}

TEST_F(RunnerTest, StateFolderAndJournalGoToThePrinterBeforeTheClock) {
  options.stateDir = (tmp / "ecf").string();
  options.journal = (tmp / "journal.jsonl").string();
  ASSERT_EQ(Run(R"({"clock": "2026-03-05T10:00:00", "steps": []})"), 0) << err.str();
  EXPECT_EQ(fake::simCalls, (std::vector<std::string>{"state_dir " + options.stateDir,
                                                       "journal " + options.journal, "clock 2026-03-05T10:00:00"}));
  EXPECT_TRUE(std::filesystem::is_directory(options.stateDir));
}

TEST_F(RunnerTest, TapeShowsWhatTheSessionPrintedAcrossAReset) {
  options.tape = true;
  ASSERT_EQ(Run(R"({"steps": [{"op": "QhtPrint", "args": ["CUPOM FISCAL"]}, {"sim": {"reset": true}},
                              {"op": "QhtPrint", "args": ["LEITURA X"]}]})"),
            0)
      << err.str();
  EXPECT_EQ(tape, "CUPOM FISCAL\nLEITURA X\n");
}

TEST_F(RunnerTest, TapeNeedsTheSimulatedPrinter) {
  options.tape = true;
  EXPECT_EQ(Run(R"({"steps": []})", /*withSim=*/false), 2);
  EXPECT_TRUE(lines.empty());
}

// ---- errors escaping an operation -----------------------------------------

TEST_F(RunnerTest, EscapingErrorsAreReportedAndTheSessionGoesOn) {
  ASSERT_EQ(Run(R"({"steps": [{"op": "QhtThrow", "args": [0]}, {"op": "QhtThrow", "args": [1]},
                              {"op": "QhtThrow", "args": [2]}, {"op": "QhtCount"}]})"),
            0)
      << err.str();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0]["error"], Json::parse(R"({"type": "EConvertError", "message": "'x' não é um número"})"));
  EXPECT_FALSE(lines[0].contains("result"));
  EXPECT_EQ(lines[0]["state"]["inRetorno"], 99);
  EXPECT_EQ(lines[1]["error"], Json::parse(R"({"type": "std::exception", "message": "falha simulada"})"));
  EXPECT_EQ(lines[2]["error"]["type"], "unknown");
  EXPECT_EQ(fake::counter, 1);
}

// ---- expect ---------------------------------------------------------------

TEST_F(RunnerTest, ExpectThatHoldsKeepsStatusZero) {
  fake::inRetorno = 1;
  EXPECT_EQ(Run(R"({"steps": [
      {"op": "QhtText", "args": ["a", ""], "expect": {"result": true, "args": [null, "a!"], "state": {"inRetorno": 1}}},
      {"op": "QhtReal", "args": [0.1, 0], "expect": {"result": 0.2}},
      {"op": "QhtInt", "args": [1, 0], "expect": {"result": 2.0}},
      {"op": "QhtThrow", "args": [0], "expect": {"error": {"type": "EConvertError"}}},
      {"answers": [true], "expect": {"queued": 1}},
      {"op": "QhtAsk", "args": ["Q"], "expect": {"dialogs": [{"answer": true}, {"question": false}]}}]})"),
            0)
      << err.str();
  for (const auto& l : lines) EXPECT_FALSE(l.contains("mismatch")) << l.dump();
}

struct ExpectCase {
  const char* expect;
  const char* path;  // the first mismatch's path
};
void PrintTo(const ExpectCase& c, std::ostream* os) { *os << OneLine(c.expect); }

class ExpectFailureTest : public RunnerTest, public ::testing::WithParamInterface<ExpectCase> {};

TEST_P(ExpectFailureTest, IsReportedAndFailsTheSessionAtTheEnd) {
  const auto& c = GetParam();
  EXPECT_EQ(Run(std::string(R"({"steps": [{"op": "QhtText", "args": ["a", ""], "expect": )") + c.expect +
                R"(}, {"op": "QhtCount"}]})"),
            1);
  ASSERT_EQ(lines.size(), 2u);  // the session went on
  ASSERT_TRUE(lines[0].contains("mismatch")) << lines[0].dump();
  EXPECT_EQ(lines[0]["mismatch"][0]["path"], c.path);
  EXPECT_NE(err.str().find("step 1 (QhtText): " + std::string(c.path)), std::string::npos) << err.str();
  EXPECT_EQ(fake::counter, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Members, ExpectFailureTest,
    ::testing::Values(ExpectCase{R"({"result": false})", "result"},
                      ExpectCase{R"({"result": "true"})", "result"},
                      ExpectCase{R"({"args": [null, "a"]})", "args[1]"},
                      ExpectCase{R"({"args": [null, "a!", 3]})", "args[2]"},
                      ExpectCase{R"({"state": {"inRetorno": 1}})", "state.inRetorno"},
                      ExpectCase{R"({"state": {"inRetornoo": 0}})", "state.inRetornoo"},
                      ExpectCase{R"({"error": {"type": "EConvertError"}})", "error"},
                      ExpectCase{R"({"dialogs": [{"text": "x"}]})", "dialogs"},
                      ExpectCase{R"({"op": "QhtInt"})", "op"}));

// ---- bad sessions ---------------------------------------------------------

struct BadCase {
  const char* step;     // the second step of a session whose first step counts
  const char* message;  // part of the message
};
void PrintTo(const BadCase& c, std::ostream* os) { *os << OneLine(c.step); }

// An absolute path outside the host folder, and a file of the system, in
// the system's own form.
#ifdef _WIN32
#define kAbsoluteOutside "C:/fora.txt"
#define kSystemFile "C:/Windows/win.ini"
#else
#define kAbsoluteOutside "/tmp/fora.txt"
#define kSystemFile "/etc/hostname"
#endif

class BadSessionTest : public RunnerTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadSessionTest, StopsAtTheBadStepNamingItAndKeepsEarlierEffects) {
  const auto& c = GetParam();
  EXPECT_EQ(Run(std::string(R"({"steps": [{"op": "QhtCount"}, )") + c.step + R"(, {"op": "QhtCount"}]})"), 2);
  EXPECT_EQ(fake::counter, 1);  // the first step ran, the third did not
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1]["step"], 2);
  EXPECT_TRUE(lines[1].contains("invalid"));
  EXPECT_NE(err.str().find("step 2"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, BadSessionTest,
    ::testing::Values(
        BadCase{R"({"op": "NaoExiste"})", "unknown operation \"NaoExiste\""},
        BadCase{R"({"op": "QhtNoAdapter"})", "no adapter"},
        BadCase{R"({"op": "QhtNotExported"})", "does not export"},
        BadCase{R"({"op": "QhtPlanned", "args": ["a"]})", "\"QhtPlanned\" is not available: this module does not build it yet"},
        BadCase{R"({"op": "QhtText", "args": ["a"]})", "takes 2 argument(s) (text, text&), the call gives 1"},
        BadCase{R"({"op": "QhtText", "args": "a"})", "\"args\" is an array"},
        BadCase{R"({"op": "QhtText", "args": [1, ""]})", "argument 1 (text): text: expected a string"},
        BadCase{R"({"op": "QhtText", "args": ["😀", ""]})", "code page 1252"},
        BadCase{R"({"op": "QhtInt", "args": [1.5, 0]})", "argument 1 (int)"},
        BadCase{R"({"op": "QhtInt", "args": [3000000000, 0]})", "32-bit"},
        BadCase{R"({"op": "QhtReal", "args": ["1", 0]})", "expected a number"},
        BadCase{R"({"op": "QhtBool", "args": [0, true]})", "expected true or false"},
        BadCase{R"({"op": "QhtDate", "args": ["05/03/2026", "2026-03-05"]})", "date-time"},
        BadCase{R"({"op": "QhtDate", "args": ["2026-02-30", "2026-03-05"]})", "date-time"},
        BadCase{R"({"op": "QhtRecord", "args": [[["A"]], []]})", "record pair 1"},
        BadCase{R"({"op": "QhtRecord", "args": ["A", []]})", "parameter record"},
        BadCase{R"({"op": "QhtList", "args": [{}, 1]})", "argument 1 (list)"},
        BadCase{R"({"op": "QhtList", "args": [[], -1]})", "element count"},
        BadCase{R"({"op": "QhtDataSet", "args": [{"file": "nao-existe.xml"}]})", "not found"},
        BadCase{R"({"op": "QhtDataSet", "args": [{"fields": [{"name": "A", "type": "text"}]}]})", "type must be one of"},
        BadCase{R"({"op": "QhtDataSet", "args": [{"fields": [{"name": "A", "type": "string", "size": 2}],
                                                 "rows": [["abc"]]}]})",
                "longer than the field's size 2"},
        BadCase{R"({"op": "QhtDataSet", "args": [{"fields": [{"name": "A", "type": "string"}], "rows": [["a", 1]]}]})",
                "row 1 has 2 values"},
        BadCase{R"({"op": "QhtDataSet", "args": [{"fields": [{"name": "A", "type": "string"},
                                                             {"name": "a", "type": "float"}]}]})",
                "defined twice"},
        BadCase{R"({"op": "QhtDataSet", "args": [{"fields": [], "colunas": []}]})", "unknown member \"colunas\""},
        BadCase{R"({"op": "QhtStrings", "args": [["a", 1]]})", "expected a string"},
        BadCase{R"({"op": "QhtCount", "expects": {}})", "unknown member \"expects\""},
        BadCase{R"({"op": "QhtCount", "expect": []})", "\"expect\" is an object"},
        BadCase{R"({"op": 3})", "names an operation"},
        BadCase{R"({"op": "QhtCount", "sim": {"reset": true}})", "one action"},
        BadCase{R"({})", "needs one of"},
        BadCase{R"([])", "a step is a JSON object"},
        BadCase{R"({"answers": [true, "yes"]})", "only true/false"},
        BadCase{R"({"clock": "amanhã"})", "\"clock\" is"},
        BadCase{R"({"locale": {"decimal": ",,"}})", "one character"},
        BadCase{R"({"locale": {"idioma": "pt"}})", "unknown locale member"},
        BadCase{R"({"set": {"inRetorno": true}})", "expected an integer"},
        BadCase{R"({"files": {"../fora.txt": {"text": "x"}}})", "inside the host folder"},
        BadCase{R"({"files": {")" kAbsoluteOutside R"(": {"text": "x"}}})", "relative to the host folder"},
        BadCase{R"({"files": {"a.txt": "nao-existe.txt"}})", "cannot read"},
        BadCase{R"({"files": {"a.txt": 3}})", "the source is a file path"},
        BadCase{R"({"read": "../../etc/passwd"})", "inside the host folder"},
        BadCase{R"({"files": {"a.txt": ")" kSystemFile R"("}})", "must stay inside"},
        BadCase{R"({"files": {"a.txt": "../fora.txt"}})", "must stay inside"},
        BadCase{R"({"op": "QhtDataSet", "args": [{"file": ")" kSystemFile R"("}]})", "must stay inside"},
        BadCase{R"({"locale": {"decimal": "5"}})", "\"decimal\" cannot be \"5\""},
        BadCase{R"({"locale": {"thousands": "0"}})", "\"thousands\" cannot be"},
        BadCase{R"({"locale": {"decimal": "-"}})", "\"decimal\" cannot be"},
        BadCase{R"({"locale": {"date_separator": "1"}})", "\"date_separator\" cannot be"},
        BadCase{R"({"locale": {"decimal": ",", "thousands": ","}})", "are both \",\""},
        BadCase{R"({"locale": {"decimal": "."}})", "are both \".\""},
        BadCase{R"({"sim": {"clock_offset_s": 18446744073709551615}})", "within 100 years"},
        BadCase{R"({"sim": {"clock_offset_s": 3200000000}})", "within 100 years"},
        BadCase{R"({"sim": {"clock_offset_s": -3200000000}})", "within 100 years"},
        BadCase{R"({"sim": {"fail": "Elgin_VendeItem", "code": 4294967295}})", "32-bit"},
        BadCase{R"({"op": "QhtDataSet", "args": [{"fields": [{"name": "A", "type": "largeint"}],
                                                 "rows": [[18446744073709551615]]}]})",
                "64-bit"},
        BadCase{R"({"op": "QhtDataSet", "args": [{"fields": [{"name": "A", "type": "fixed", "size": 10,
                                                              "decimals": -1}]}]})",
                "decimals"}));

#ifdef _WIN32
// The other Windows forms of a path that is not relative: drive-relative,
// rooted without a drive, UNC.
INSTANTIATE_TEST_SUITE_P(
    WindowsPaths, BadSessionTest,
    ::testing::Values(BadCase{R"({"files": {"C:fora.txt": {"text": "x"}}})", "relative to the host folder"},
                      BadCase{R"({"files": {"\\fora.txt": {"text": "x"}}})", "relative to the host folder"},
                      BadCase{R"({"files": {"//servidor/pasta/fora.txt": {"text": "x"}}})", "relative to the host folder"},
                      BadCase{R"({"files": {"a.txt": "C:\\Windows\\win.ini"}})", "must stay inside"}));
#endif

// A session value nested far deeper than any host passes is refused, not
// recursed into until the stack runs out.
TEST_F(RunnerTest, DeeplyNestedArgumentIsRefused) {
  // Deeper than the limit, yet shallow enough for the test's own parsing under the sanitizers.
  const std::string deep = std::string(200, '[') + std::string(200, ']');
  EXPECT_EQ(Run(R"({"steps": [{"op": "QhtList", "args": [)" + deep + R"(, 1]}]})"), 2);
  EXPECT_NE(err.str().find("nest deeper than 64"), std::string::npos) << err.str();
  const std::string ok = std::string(40, '[') + std::string(40, ']');
  EXPECT_EQ(Run(R"({"steps": [{"op": "QhtList", "args": [)" + ok + R"(, 1]}]})"), 0) << err.str();
}

// Symbolic links below the host folder or the session's folder could lead
// anywhere: reading, writing and copying through them is refused.
class SymlinkTest : public RunnerTest {
 protected:
  void SetUp() override {
    RunnerTest::SetUp();
    outside = tmp.string() + "-fora";
    std::filesystem::create_directories(outside);
    std::ofstream(outside / "segredo.txt") << "segredo";
  }
  void TearDown() override {
    std::filesystem::remove_all(outside);
    RunnerTest::TearDown();
  }
  std::filesystem::path outside;
};

// Windows grants symbolic links only with a privilege (or in developer mode).
bool CanLink() {
  const std::filesystem::path probe = std::filesystem::temp_directory_path() /
                                      ("qorhost-link-probe-" + std::to_string(rtl::ProcessId()));
  std::error_code ec;
  std::filesystem::create_symlink("nowhere", probe, ec);
  std::error_code ignored;
  std::filesystem::remove(probe, ignored);
  return !ec;
}

TEST_F(SymlinkTest, ReadThroughALinkInTheHostFolderIsRefused) {
  if (!CanLink()) GTEST_SKIP() << "this system refuses symbolic links to this user";
  std::filesystem::create_symlink(outside / "segredo.txt", tmp / "link.txt");
  std::filesystem::create_directory_symlink(outside, tmp / "pasta");
  for (const char* name : {"link.txt", "pasta/segredo.txt"}) {
    EXPECT_EQ(Run(std::string(R"({"steps": [{"read": ")") + name + R"("}]})"), 2) << name;
    EXPECT_NE(err.str().find("symbolic link"), std::string::npos) << err.str();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_FALSE(lines[0].contains("text"));
  }
}

TEST_F(SymlinkTest, WriteThroughALinkInTheHostFolderIsRefused) {
  if (!CanLink()) GTEST_SKIP() << "this system refuses symbolic links to this user";
  std::filesystem::create_symlink(outside / "segredo.txt", tmp / "link.txt");
  std::filesystem::create_symlink(outside / "novo.txt", tmp / "pendente.txt");  // dangling: would create outside
  std::filesystem::create_directory_symlink(outside, tmp / "pasta");
  for (const char* name : {"link.txt", "pendente.txt", "pasta/novo.txt"}) {
    EXPECT_EQ(Run(std::string(R"({"steps": [{"files": {")") + name + R"(": {"text": "x"}}}]})"), 2) << name;
    EXPECT_NE(err.str().find("symbolic link"), std::string::npos) << err.str();
  }
  EXPECT_EQ(ReadAll(outside / "segredo.txt"), "segredo");
  EXPECT_FALSE(std::filesystem::exists(outside / "novo.txt"));
}

TEST_F(SymlinkTest, SourceThroughALinkInTheSessionFolderIsRefused) {
  if (!CanLink()) GTEST_SKIP() << "this system refuses symbolic links to this user";
  std::filesystem::create_symlink(outside / "segredo.txt", tmp / "origem.txt");
  EXPECT_EQ(Run(R"({"steps": [{"files": {"a.txt": "origem.txt"}}]})"), 2);
  EXPECT_NE(err.str().find("symbolic link"), std::string::npos) << err.str();
  EXPECT_FALSE(std::filesystem::exists(tmp / "a.txt"));
  EXPECT_EQ(Run(R"({"steps": [{"files": {"a.txt": )" + nlohmann::json((outside / "segredo.txt").string()).dump() +
                R"(}}]})"),
            2);
  EXPECT_NE(err.str().find("must stay inside"), std::string::npos) << err.str();
}

TEST_F(SymlinkTest, PlainFilesInsideBothFoldersStillWork) {
  std::filesystem::create_directories(tmp / "dados");
  std::ofstream(tmp / "dados" / "origem.txt") << "conteudo";
  ASSERT_EQ(Run(R"({"steps": [{"files": {"sub/a.txt": "dados/origem.txt", "b.txt": )" +
                nlohmann::json((tmp / "dados" / "origem.txt").string()).dump() + R"(}}, {"read": "sub/a.txt"}]})"),
            0)
      << err.str();
  EXPECT_EQ(lines[1]["text"], "conteudo");
  EXPECT_EQ(ReadAll(tmp / "b.txt"), "conteudo");
}

TEST_F(RunnerTest, BadSessionShapeRunsNoStep) {
  EXPECT_EQ(Run(R"({"steps": {}})"), 2);
  EXPECT_NE(err.str().find("\"steps\" array"), std::string::npos);
  EXPECT_EQ(Run(R"({"steps": [{"op": "QhtCount"}], "clok": "2026-01-01"})"), 2);
  EXPECT_NE(err.str().find("unknown member \"clok\""), std::string::npos);
  EXPECT_EQ(Run(R"({"clock": "2026-13-01", "steps": [{"op": "QhtCount"}]})"), 2);
  EXPECT_EQ(Run(R"([1, 2])"), 2);
  EXPECT_EQ(fake::counter, 0);
  EXPECT_TRUE(lines.empty());
}

TEST_F(RunnerTest, CommentsAreAllowedOnSessionsAndSteps) {
  EXPECT_EQ(Run(R"({"comment": "a day", "steps": [{"comment": "count once", "op": "QhtCount"}]})"), 0) << err.str();
  EXPECT_EQ(fake::counter, 1);
}

}  // namespace
