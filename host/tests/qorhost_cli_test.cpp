// qorhost as a program, with the real module and the simulated printer:
// every example script runs clean, and the command line's errors are clear.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/adapter.h"
#include "tests/support/portable.h"
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

TEST_F(QorhostTest, BadStepStopsTheSessionAndEarlierStepsKeepTheirEffects) {
  auto file = Write("s.json", R"({"clock": "2026-07-15T09:30:00", "steps": [
      {"op": "ImpFisDebug", "args": ["antes"]},
      {"op": "ImpFisDebug", "args": [1]},
      {"op": "ImpFisDebug", "args": ["depois"]}]})");
  EXPECT_EQ(Session(file), 2);
  EXPECT_NE(err.find("step 2 (ImpFisDebug): argument 1 (text)"), std::string::npos) << err;
  const std::string log = ReadFile(hostDir / "impdebug0726.txt");
  EXPECT_NE(log.find("antes"), std::string::npos);
  EXPECT_EQ(log.find("depois"), std::string::npos);
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
  EXPECT_NE(out.find("GetValue(text) -> real\n"), std::string::npos) << out;
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
