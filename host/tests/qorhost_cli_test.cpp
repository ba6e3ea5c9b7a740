// qorhost as a program, with the real module and the simulated printer:
// every example script runs clean, and the command line's errors are clear.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "calls/adapter.h"
#include "tests/support/portable.h"
#include "tests/support/subprocess.h"
#include "vendor/elgin_facts.h"

namespace fs = std::filesystem;

namespace {

fs::path BinDir() { return qortest::ProgramDir(); }
using qortest::Quote;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class QorhostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp = qortest::MakeTempDir("qorhost-cli");
    hostDir = tmp / "host";
    stateDir = tmp / "ecf";
  }
  void TearDown() override {
    std::error_code ec;
    if (!HasFailure()) fs::remove_all(tmp, ec);
    else std::cerr << "files kept in " << tmp << "\n";
  }

  // Runs qorhost with the given arguments (standard input is not a terminal).
  int Qorhost(const std::string& args) {
#ifdef _WIN32
    const char* kNoInput = "NUL";
#else
    const char* kNoInput = "/dev/null";
#endif
    const std::string cmd = qortest::ChangeDirCommand(tmp.string()) + " && " + Quote((BinDir() / "qorhost").string()) +
                            " " + args + " <" + kNoInput + " >out.txt 2>err.txt";
    const int rc = qortest::RunCommand(cmd);
    out = ReadFile(tmp / "out.txt");
    err = ReadFile(tmp / "err.txt");
    return rc;
  }
  // Runs a session with a fresh printer and host folder.
  int Session(const fs::path& file, const std::string& extra = "") {
    return Qorhost("--state " + Quote(stateDir.string()) + " --host-dir " + Quote(hostDir.string()) + " " + extra +
                   " " + Quote(file.string()));
  }
  fs::path Write(const std::string& name, const std::string& text) {
    std::ofstream(tmp / name, std::ios::binary) << text;
    return tmp / name;
  }
  std::vector<nlohmann::json> Lines() const {
    std::vector<nlohmann::json> v;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
      if (!line.empty() && line[0] == '{') v.push_back(nlohmann::json::parse(line));
    return v;
  }

  // The lines after the steps' JSON objects: the paper tape of --tape.
  std::string Tape() const {
    std::string t;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
      if (line.empty() || line[0] != '{') t += line + "\n";
    return t;
  }

  fs::path tmp, hostDir, stateDir;
  std::string out, err;
};

// With its drive on Windows: qorhost runs in another folder, maybe on another drive.
fs::path ExamplesDir() { return fs::absolute(fs::path(QOR_SOURCE_DIR) / "examples"); }

std::vector<fs::path> ExampleScripts() {
  std::vector<fs::path> v;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(ExamplesDir(), ec))
    if (e.path().extension() == ".json") v.push_back(e.path());
  std::sort(v.begin(), v.end());
  return v;
}

class ExampleTest : public QorhostTest, public ::testing::WithParamInterface<fs::path> {};

// Each example script runs on a fresh printer and host folder, every step
// valid and every expect met; every answer buffer the module hands the
// printer is blank and at least as wide as the entry list gives that answer.
TEST_P(ExampleTest, RunsCleanOnAFreshPrinter) {
  EXPECT_EQ(Session(GetParam(), "--journal " + Quote((tmp / "journal.jsonl").string())), 0) << err;
  const auto lines = Lines();
  EXPECT_FALSE(lines.empty());
  for (const auto& l : lines) {
    EXPECT_FALSE(l.contains("mismatch")) << l.dump();
    EXPECT_FALSE(l.contains("invalid")) << l.dump();
  }
  std::istringstream journal(ReadFile(tmp / "journal.jsonl"));
  for (std::string line; std::getline(journal, line);) {
    const nlohmann::json call = nlohmann::json::parse(line);
    if (!call.contains("fn")) continue;
    const elgin::EntryFacts* e = elgin::FindEntry(call["fn"].get<std::string>());
    ASSERT_NE(e, nullptr) << line;
    for (size_t i = 0; i < call["args"].size(); ++i) {
      const int width = e->widths[i];
      if (width <= 0) continue;
      const auto& buffer = call["args"][i];
      ASSERT_TRUE(buffer.is_string()) << line;
      EXPECT_GE(buffer.get<std::string>().size(), static_cast<size_t>(width)) << "parameter " << i + 1 << ": " << line;
      EXPECT_EQ(buffer.get<std::string>().find_first_not_of(' '), std::string::npos) << line;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleTest, ::testing::ValuesIn(ExampleScripts()),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                           std::string name = info.param.stem().string();
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// Every built operation of the lists is called by a step of an example
// session, so each is seen working under qorhost and none goes missing from
// the lists unnoticed.
TEST(Examples, EveryOperationAppearsInAnExample) {
  std::set<std::string> called;
  for (const fs::path& script : ExampleScripts()) {
    const nlohmann::json session = nlohmann::json::parse(ReadFile(script));
    for (const auto& step : session["steps"])
      if (step.contains("op")) called.insert(step["op"].get<std::string>());
  }
  std::string missing;
#define QOR_OP(ret, name, params, args, kinds) \
  if (!called.count(#name)) missing += " " #name;
#define QOR_DECORATED(ret, name, params)
#define QOR_PLANNED(ret, name, params, args, kinds)
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
  EXPECT_EQ(missing, "") << "operations no example calls";
}

TEST(Examples, TheBasicsAndTheFullDayExist) {
  const auto scripts = ExampleScripts();
  for (const char* name : {"basics.json", "full-day.json"})
    EXPECT_NE(std::find(scripts.begin(), scripts.end(), ExamplesDir() / name), scripts.end())
        << name;
}

TEST_F(QorhostTest, FrameOperationsReachTheModule) {
  auto file = Write("s.json", R"({"clock": "2026-07-15T09:30:00", "steps": [
      {"op": "GetValue", "args": [" 000000100000 "], "expect": {"result": 1000.0}},
      {"op": "ImpFisDebug", "args": ["Início do teste"]},
      {"op": "StopImpFiscal", "expect": {"result": true}}]})");
  ASSERT_EQ(Session(file), 0) << err;
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1]["result"], nullptr);
  EXPECT_EQ(lines[1]["args"], nlohmann::json::parse("[null]"));
  EXPECT_TRUE(lines[2]["state"].contains("boImpFiscalOK"));
  // The debug log of July 2026 is in the host folder, in code page 1252.
  const std::string log = ReadFile(hostDir / "impdebug0726.txt");
  EXPECT_NE(log.find("In\xED" "cio do teste"), std::string::npos) << log;
}

TEST_F(QorhostTest, ConversionErrorEscapingTheModuleIsReported) {
  auto file = Write("s.json", R"({"steps": [{"op": "GetValue", "args": ["abc"]},
                                            {"op": "GetValue", "args": ["100"], "expect": {"result": 1.0}}]})");
  ASSERT_EQ(Session(file), 0) << err;
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["error"]["type"], "EConvertError");
  EXPECT_FALSE(lines[0].contains("result"));
}

// The module's own file operations fail on request: the n-th from the
// "file_fault" step on (qorhost's own "files" step never counts), once or
// from then on; each operation's line says how many it made and where the
// fault landed. The debug log written by the host's own call raises.
TEST_F(QorhostTest, TheModulesNthFileOperationFailsOnRequest) {
  struct Case {
    const char* name;
    const char* fault;
    std::vector<bool> raised;  // by the three log lines
  } cases[] = {
      {"the second, once", R"({"at": 2})", {false, true, false}},
      {"the second and every later one", R"({"at": 2, "times": -1, "error": "EIO"})", {false, true, true}},
      {"none, only counted", R"({"at": 0})", {false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(hostDir);
    auto file = Write("s.json", std::string(R"({"clock": "2026-07-15T09:30:00", "steps": [
        {"file_fault": )") + c.fault + R"(},
        {"op": "ImpFisDebug", "args": ["um"]},
        {"files": {"x.txt": {"text": "x"}}},
        {"op": "ImpFisDebug", "args": ["dois"]},
        {"op": "ImpFisDebug", "args": ["tres"]}]})");
    ASSERT_EQ(Session(file), 0) << err;
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 5u);
    const size_t ops[] = {1, 3, 4};
    for (size_t i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      const auto& l = lines[ops[i]];
      EXPECT_EQ(l["file_ops"], 1);
      EXPECT_EQ(l.contains("error"), c.raised[i]) << l.dump();
      EXPECT_EQ(l.contains("file_fault"), c.raised[i] && (i == 0 || !c.raised[i - 1])) << l.dump();
    }
    if (c.raised[1]) {
      EXPECT_EQ(lines[3]["error"]["type"], "EInOutError");
      EXPECT_EQ(lines[3]["file_fault"].get<std::string>().rfind("append ", 0), 0u);
      EXPECT_NE(lines[3]["file_fault"].get<std::string>().find("impdebug0726.txt"), std::string::npos);
    }
    const std::string log = ReadFile(hostDir / "impdebug0726.txt");
    EXPECT_EQ(log.find("dois") == std::string::npos, c.raised[1]) << log;
    EXPECT_EQ(ReadFile(hostDir / "x.txt"), "x");
  }
  // A step that makes no sense is refused naming it.
  auto bad = Write("bad.json", R"({"steps": [{"file_fault": {"at": 1, "times": 3}}]})");
  EXPECT_EQ(Session(bad), 2);
  EXPECT_NE(err.find("times"), std::string::npos) << err;
}

TEST_F(QorhostTest, BadStepStopsTheSessionAndEarlierStepsKeepTheirEffects) {
  auto file = Write("s.json", R"({"clock": "2026-07-15T09:30:00", "steps": [
      {"op": "ImpFisDebug", "args": ["antes"]},
      {"op": "ImpFisDebug", "args": [1]},
      {"op": "ImpFisDebug", "args": ["depois"]}]})");
  EXPECT_EQ(Session(file), 2);
  EXPECT_NE(err.find("step 2 (ImpFisDebug): argument 1 (Msg: text)"), std::string::npos) << err;
  const std::string log = ReadFile(hostDir / "impdebug0726.txt");
  EXPECT_NE(log.find("antes"), std::string::npos);
  EXPECT_EQ(log.find("depois"), std::string::npos);
}

// --brief: one line per step with what is new, and a summary counting the
// steps that answered false, raised an error, missed their expect or were refused.
TEST_F(QorhostTest, BriefShowsOneLinePerStepAndASummary) {
  auto file = Write("s.json", R"({"clock": "2026-07-15T09:30:00", "steps": [
      {"op": "StartImpFiscal", "args": [{"CDFILIAL": "0001", "CDCAIXA": "01", "NRSERIEIMP": "ECFSIM00000000000001",
        "ESQUEMA": "001", "CDPORTAIMPFIS": "COM1", "IDTIPOIMPFIS": "1", "BOUTILTAA": true,
        "NRSERIE": "ECFSIM00000000000001", "ESQUEMACOR": "001"}]},
      {"sim": {"power": false}},
      {"op": "Estado_Imp", "args": ["", false, false]},
      {"op": "GetValue", "args": ["abc"]},
      {"op": "GetValue", "args": ["100"], "expect": {"result": 2.0}},
      {"op": "GetValue", "args": [1]},
      {"op": "GetValue", "args": ["200"]}]})");
  EXPECT_EQ(Session(file, "--brief"), 2) << err;
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 7u) << out;
  EXPECT_EQ(lines[0], "   1  StartImpFiscal          true    ret 1");
  EXPECT_EQ(lines[1], "   2  sim {\"power\":false}");
  // The text stMensagemTaa gained (a self-service terminal: no dialog).
  EXPECT_EQ(lines[2],
            "   3  Estado_Imp              false   ret -6  | Impressora desligada ou desconectada. Impressora fiscal com erro.");
  EXPECT_NE(lines[3].find("| error EConvertError: "), std::string::npos) << lines[3];
  EXPECT_NE(lines[4].find("1.0     ret -6  | expect result: wanted 2.0, got 1.0"), std::string::npos) << lines[4];
  EXPECT_NE(lines[5].find("| refused: argument 1 (S: text): text: expected a string"), std::string::npos) << lines[5];
  EXPECT_EQ(lines[6], "6 steps, 4 failures");
}

TEST_F(QorhostTest, SessionNestedTooDeepIsRefusedBeforeAnythingRuns) {
  const std::string deep = std::string(50000, '[') + std::string(50000, ']');
  EXPECT_EQ(Session(Write("deep.json", R"({"steps": [{"op": "GetValue", "args": [)" + deep + "]}]}")), 2) << err;
  EXPECT_NE(err.find("deep.json: arrays and objects nest deeper than 64 levels"), std::string::npos) << err;
  EXPECT_TRUE(Lines().empty());
}

TEST_F(QorhostTest, FailedExpectGivesStatusOne) {
  auto file = Write("s.json", R"({"steps": [{"op": "GetValue", "args": ["100"], "expect": {"result": 2.0}}]})");
  EXPECT_EQ(Session(file), 1);
  EXPECT_NE(err.find("step 1 (GetValue): result: expected 2.0, got 1.0"), std::string::npos) << err;
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_TRUE(Lines()[0].contains("mismatch"));
}

// A start and a coupon with one item (what the other sessions below build on).
const char kSale[] = R"({"clock": "2026-03-05T08:00:00", "steps": [
    {"op": "StartImpFiscal", "args": [{"CDFILIAL": "0001", "CDCAIXA": "01", "NRSERIEIMP": "X", "ESQUEMA": "001",
        "CDPORTAIMPFIS": "COM1", "IDTIPOIMPFIS": "1", "BOUTILTAA": false, "NRSERIE": "X", "ESQUEMACOR": "001"}],
     "expect": {"result": true}},
    {"op": "AbreCupom", "args": [{"ESQUEMACOR": "001", "INCLUICPF": "", "INCLUINOME": "", "INCLUIENDERECO": "",
        "CUPNR": "", "CONTCUPOM": "", "IDUTILTEF": "N", "INTTEFERRO": 0, "UTILTEF": false}],
     "expect": {"result": true}},
    {"op": "VendaItem", "args": [{"ESQUEMACOR": "001", "CDARVPROD": "789", "NMPROD": "Café", "CDALIQ": "01",
        "QTDE": 1.0, "VALOR": 10.0, "DESCONT": 0.0, "ACRESCIMO": 0.0, "IDUTILTEF": "N", "UTILTEF": false,
        "INTTEFERRO": 0}],
     "expect": {"result": true}}]})";

TEST_F(QorhostTest, TapeShowsOnlyWhatThisSessionPrintedAndTheJournalRecordsTheCalls) {
  auto sale = Write("sale.json", kSale);
  ASSERT_EQ(Session(sale), 0) << err;
  // The next start finds the coupon open and cancels it.
  auto restart = Write("restart.json", R"({"clock": "2026-03-05T08:10:00", "steps": [
      {"op": "StartImpFiscal", "args": [{"CDFILIAL": "0001", "CDCAIXA": "01", "NRSERIEIMP": "X", "ESQUEMA": "001",
          "CDPORTAIMPFIS": "COM1", "IDTIPOIMPFIS": "1", "BOUTILTAA": false, "NRSERIE": "X", "ESQUEMACOR": "001"}]}]})");
  ASSERT_EQ(Session(restart, "--tape --journal " + Quote((tmp / "journal.jsonl").string())), 0) << err;
  const std::string tape = Tape();
  EXPECT_NE(tape.find("CUPOM FISCAL CANCELADO"), std::string::npos) << out;
  EXPECT_EQ(tape.find("Caf\xC3\xA9"), std::string::npos) << "the item was printed by the earlier session\n" << out;
  const std::string journal = ReadFile(tmp / "journal.jsonl");
  EXPECT_NE(journal.find("\"Elgin_CancelaCupom\""), std::string::npos) << journal;
  EXPECT_EQ(journal.find("\"Elgin_VendeItem\""), std::string::npos) << journal;
}

TEST_F(QorhostTest, AnotherVendorLibraryIsTakenByItsPath) {
  auto file = Write("s.json", kSale);
  EXPECT_EQ(Session(file, "--printer " + Quote((BinDir() / qortest::SharedLibraryFile("Elgin")).string())), 0) << err;
  EXPECT_EQ(Qorhost("--printer " + Quote((tmp / qortest::SharedLibraryFile("nao-existe")).string()) + " --host-dir h " + Quote(file.string())),
            1);
  EXPECT_NE(err.find("cannot load the printer library"), std::string::npos) << err;
}

// A printer library without some entry point: the module's start fails as
// its contract says, and both qorhost and the module's debug log name the
// first one missing in the module's bind order. (The test library is the
// simulated printer linked with a version script here; on Windows a library
// forwarding every other export to Elgin.dll.)
TEST_F(QorhostTest, APrinterLibraryLackingAnEntryPointIsNamed) {
  auto file = Write("s.json", kSale);
  EXPECT_EQ(Session(file, "--printer " + Quote((BinDir() / qortest::SharedLibraryFile("ElginLacking")).string())), 1)
      << err;
  EXPECT_NE(err.find("qorhost: the printer library lacks the entry point Elgin_VendeItem (and 1 more); the module's "
                     "start will fail"),
            std::string::npos)
      << err;
  ASSERT_FALSE(Lines().empty());
  EXPECT_EQ(Lines()[0]["result"], false);
  const std::string log = ReadFile(hostDir / "impdebug0326.txt");
  EXPECT_NE(log.find("ERRO!!! Elgin.dll: entry point Elgin_VendeItem missing"), std::string::npos) << log;
}

// Two hosts on one state folder: the second is refused before any step,
// naming the process that holds the folder, and leaves nothing on the
// printer (they used to interleave and cancel each other's coupons): once
// the first lets the folder go, the whole day runs there as on a fresh
// printer. The first holds the folder as a resident driver waiting for
// requests.
TEST_F(QorhostTest, ASecondProcessOnTheSameStateFolderIsRefused) {
  const fs::path day = fs::path(QOR_SOURCE_DIR) / "examples" / "full-day.json";
  fs::create_directories(hostDir);
  qortest::Subprocess first((BinDir() / qortest::ExecutableFile("qorhost")).string(),
                            {"serve", "--stdio", "--state", stateDir.string(), "--host-dir", hostDir.string()}, {},
                            true);
  ASSERT_TRUE(first.Started()) << first.Error();
  // It holds the folder once it answers.
  ASSERT_TRUE(first.Write("{\"status\": true}\n"));
  while (first.Output().find('\n') == std::string::npos) {
    ASSERT_FALSE(first.OutputEnded()) << "the first host ended early";
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const int second = Session(day);
  first.CloseInput();
  EXPECT_EQ(first.Wait(), 0) << first.Output();

  EXPECT_EQ(second, 2);
  EXPECT_NE(err.find("full-day.json: the simulated printer cannot use the state folder " + stateDir.string() +
                     ": the printer's state folder " + stateDir.string() + " is in use by pid " +
                     std::to_string(first.Pid()) + " (" + qortest::ExecutableFile("qorhost") + ")"),
            std::string::npos)
      << err;
  EXPECT_TRUE(Lines().empty()) << out;
  EXPECT_EQ(Session(day), 0) << "the day after the refusal:\n" << out << err;
}

// A host folder whose name the system cannot take is refused with a message.
TEST_F(QorhostTest, AnOverlongHostFolderIsRefusedWithAMessage) {
  Write("good.json", R"({"steps": []})");
  EXPECT_EQ(Qorhost("--host-dir " + Quote((tmp / std::string(5000, 'a')).string()) + " good.json"), 2) << err;
  EXPECT_NE(err.find("cannot be used: "), std::string::npos) << err;
  EXPECT_NE(err.find("(" + std::to_string((tmp / std::string(5000, 'a')).string().size()) + " characters)"),
            std::string::npos)
      << err;
}

struct CliCase {
  const char* args;
  int status;
  const char* message;  // part of stderr
};
void PrintTo(const CliCase& c, std::ostream* os) { *os << "qorhost " << c.args; }

class CommandLineTest : public QorhostTest, public ::testing::WithParamInterface<CliCase> {};

TEST_P(CommandLineTest, ErrorsAreClear) {
  Write("good.json", R"({"steps": []})");
  Write("bad.json", R"({"steps": [)");
  const auto& c = GetParam();
  EXPECT_EQ(Qorhost(c.args), c.status) << err;
  EXPECT_NE(err.find(c.message), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    ::testing::Values(CliCase{"", 2, "no session file given"}, CliCase{"--bogus good.json", 2, "unknown option --bogus"},
                      CliCase{"--state", 2, "--state needs a value"},
                      CliCase{"good.json good.json", 2, "one session file at a time"},
                      CliCase{"missing.json", 2, "cannot read the session file missing.json"},
                      CliCase{"bad.json", 2, "bad.json: unreadable JSON"},
                      CliCase{"--host-dir good.json good.json", 2, "good.json cannot be used"},
                      CliCase{"--printer /nonexistent/libfake.so --state x good.json", 2,
                              "need the simulated printer"}));

TEST_F(QorhostTest, HelpAndListGoToStandardOutput) {
  EXPECT_EQ(Qorhost("--help"), 0);
  EXPECT_NE(out.find("usage: qorhost"), std::string::npos);
  EXPECT_EQ(Qorhost("--list"), 0);
  // Each parameter by its name in the operation list, then its kind.
  EXPECT_NE(out.find("GetValue(S: text) -> real\n"), std::string::npos) << out;
  EXPECT_NE(out.find("FechaCupom(arParams: list, stlCupomTef: strings, oleRetorno: result&) -> bool\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("StopImpFiscal() -> bool\n"), std::string::npos) << out;
  // Operations listed but not built yet are shown as not available; built ones are not.
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const std::string name = line.substr(0, line.find('('));
    const qorhost::Adapter* a = qorhost::FindAdapter(name);
    ASSERT_NE(a, nullptr) << line;
    EXPECT_EQ(line.find("[not available]") != std::string::npos, a->planned) << line;
  }
}

}  // namespace
