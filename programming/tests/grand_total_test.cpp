// The printer's grand total and its record in "Kalvora.cds": the check,
// the update, the fallback file, filters built from host values, and a
// save that survives the process dying at any moment.
#include <algorithm>
#include <chrono>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "hostlib/cripto.h"
#include "platform/dataset.h"
#include "platform/errors.h"
#include "programming/operations.h"
#include "session/operations.h"
#include "tests/support/module_helpers.h"
#include "tests/support/portable.h"
#include "tests/support/subprocess.h"

namespace {

struct EcfRow {
  std::string filial, caixa, serie, situacao, campo01;
  std::string total;   // the grand total as plain text, hidden when written
  bool hide = true;    // false: CAMPO02 is written as it stands
};

class GrandTotalTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    Qor01100::DataModule().stSerieAtu = "EL0001";
  }
  void TearDown() override {
    Qor01100::DataModule().stSerieAtu.clear();
    PrinterTest::TearDown();
  }

  std::filesystem::path MainFile() const { return hostDir / "Kalvora.cds"; }

  static void Write(const std::filesystem::path& file, const std::vector<EcfRow>& rows) {
    std::vector<qortest::Row> linhas;
    for (const EcfRow& r : rows)
      linhas.push_back({r.filial, r.caixa, r.serie, r.situacao, r.campo01,
                        r.hide ? hostlib::Cripto(r.total, hostlib::kCriptoKey) : r.total, "Loja " + r.filial});
    const rtl::FieldType S = rtl::FieldType::String;
    rtl::ClientDataSet ds;
    qortest::MakeTable(ds,
                       {{"CDFILIAL", S, 4},
                        {"CDCAIXA", S, 3},
                        {"NRSERIEECF", S, 20},
                        {"IDSITECFIMPF", S, 1},
                        {"CAMPO01", S, 1},
                        {"CAMPO02", S, 100},
                        {"NMLOJA", S, 40}},
                       linhas);
    ds.SaveToFile(file.string());
  }
  // The plain grand total of each row of a file, in file order.
  static std::vector<std::string> Totals(const std::filesystem::path& file) {
    rtl::ClientDataSet ds;
    ds.LoadFromFile(file.string());
    std::vector<std::string> out;
    for (ds.First(); !ds.Eof(); ds.Next())
      out.push_back(hostlib::Uncripto(ds.FieldByName("CAMPO02").AsString(), hostlib::kCriptoKey));
    return out;
  }
  static std::string Bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  void PrinterTotal(const std::string& digits, int times = 1) {
    ASSERT_EQ(sim.answer("Elgin_GrandeTotal", 1, ("[\"" + digits + "\"]").c_str(), times), 0);
  }
  static rtl::Variant Params(const std::string& valida, const std::string& filial = "0001",
                             const std::string& caixa = "01", const std::string& serie = "EL0001") {
    return rtl::Variant::Record({{"CDFILIAL", filial},
                                 {"CDCAIXA", caixa},
                                 {"NRSERIEIMP", serie},
                                 {"ESQUEMACOR", "005"},
                                 {"IDVALIDA", valida}});
  }
  std::string InvalidText() const {
    return A("Arquivo (") + Qor01100::dsDirCad + "Kalvora.cds" +
           A(") está inválido. Valor do totalizador geral da impressora fiscal está incorreto.");
  }
};

const EcfRow kOtherBranch{"0002", "01", "EL0001", "A", "S", "500,00"};
const EcfRow kOtherTill{"0001", "02", "EL0001", "A", "S", "600,00"};

// ---- BuscaTotGer -------------------------------------------------------------

TEST_F(GrandTotalTest, BuscaTotGerGivesTheGrandTotalAsADecimalText) {
  struct Case { const char* digits; const char* text; };
  for (Case c : {Case{"000000000001234567", "12345,67"}, Case{"000000000000000000", "0"},
                 Case{"000000000000001010", "10,1"}, Case{"000000000000100000", "1000"}}) {
    SCOPED_TRACE(c.digits);
    PrinterTotal(c.digits);
    std::string total = "host";
    EXPECT_TRUE(Qor01100::BuscaTotGer("", total));
    EXPECT_EQ(total, c.text);
  }
  auto calls = Calls("Elgin_GrandeTotal");
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].args[0], std::string(18, ' '));
}

TEST_F(GrandTotalTest, BuscaTotGerRaisesWhenThePrinterAnswersNothing) {
  ASSERT_EQ(sim.fail("Elgin_GrandeTotal", 0, 1), 0);
  std::string total;
  EXPECT_THROW(Qor01100::BuscaTotGer("", total), rtl::EConvertError);
  // The printer's own failure was analysed before the conversion error.
  EXPECT_EQ(Qor01100::stMensagemTaa, A(" Erro de comunicação."));
  EXPECT_TRUE(Dialogs().empty());
}

// ---- Atu_TotGeral: check and update ---------------------------------------------

struct CheckCase {
  const char* name;
  EcfRow row;
  const char* valida;
  bool result;
  const char* storedAfter;  // plain grand total of the row afterwards
  bool invalidDialog;
  bool asksPrinter;
};

const CheckCase kCheckCases[] = {
    {"not validating records the printer's total", {"0001", "01", "EL0001", "A", "S", "100,00"}, "N", true,
     "12345,67", false, true},
    {"validating an equal total", {"0001", "01", "EL0001", "A", "S", "12345,67"}, "S", true, "12345,67", false,
     true},
    {"equal after rounding to cents", {"0001", "01", "EL0001", "A", "S", "12345,6701"}, "S", true, "12345,6701",
     false, true},
    {"an uninitialised file takes the printer's total", {"0001", "01", "EL0001", "A", "S", "10,10"}, "S", true,
     "12345,67", false, true},
    {"a mismatch", {"0001", "01", "EL0001", "A", "S", "12000,00"}, "S", false, "12000,00", true, true},
    {"an empty record", {"0001", "01", "EL0001", "A", "S", ""}, "S", false, "", true, true},
    {"a blank record", {"0001", "01", "EL0001", "A", "S", "   "}, "S", false, "   ", true, true},
    {"a record that is not an amount", {"0001", "01", "EL0001", "A", "S", "12a45"}, "S", false, "12a45", true,
     true},
    {"validation off for this printer", {"0001", "01", "EL0001", "A", "N", "1,00"}, "S", true, "1,00", false,
     false},
    {"no row for this printer", {"0001", "01", "EL9999", "A", "S", "1,00"}, "S", true, "1,00", false, false},
    {"validating with IDVALIDA other than S behaves as not validating",
     {"0001", "01", "EL0001", "A", "S", "1,00"}, "s", true, "12345,67", false, true},
};

TEST_F(GrandTotalTest, AtuTotGeralChecksAndUpdatesTheRecord) {
  for (const CheckCase& c : kCheckCases) {
    SCOPED_TRACE(c.name);
    dialogs.clear();
    ClearJournal();
    Write(MainFile(), {kOtherBranch, c.row, kOtherTill});
    const std::string before = Bytes(MainFile());
    if (c.asksPrinter) PrinterTotal("000000000001234567");
    EXPECT_EQ(Qor01100::Atu_TotGeral(Params(c.valida)), c.result);
    EXPECT_EQ(Totals(MainFile()), (std::vector<std::string>{"500,00", c.storedAfter, "600,00"}));
    if (std::string(c.storedAfter) == c.row.total) {
      EXPECT_EQ(Bytes(MainFile()), before);  // not rewritten
    }
    EXPECT_EQ(Calls("Elgin_GrandeTotal").size(), c.asksPrinter ? 1u : 0u);
    if (c.invalidDialog) {
      ASSERT_EQ(Dialogs().size(), 1u);
      EXPECT_EQ(Dialogs()[0].request.text, InvalidText());
      EXPECT_EQ(Dialogs()[0].request.kind, 3);
      EXPECT_EQ(Dialogs()[0].request.scheme, "005");
    } else {
      EXPECT_TRUE(Dialogs().empty());
    }
  }
}

TEST_F(GrandTotalTest, AtuTotGeralSetsTheHostDirectory) {
  Qor01100::dsDirCad.clear();
  Write(MainFile(), {kOtherBranch});
  EXPECT_TRUE(Qor01100::Atu_TotGeral(Params("S")));
  EXPECT_EQ(Qor01100::dsDirCad, Qor01100::HostDirectory());
  EXPECT_FALSE(Qor01100::dsDirCad.empty());
  EXPECT_EQ(Qor01100::dsDirCad.back(), '\\');
}

TEST_F(GrandTotalTest, AtuTotGeralWithoutAnyConfigurationFileShowsTheError) {
  EXPECT_TRUE(Qor01100::Atu_TotGeral(Params("S")));
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_FALSE(Dialogs()[0].request.text.empty());
  EXPECT_EQ(Dialogs()[0].request.scheme, "005");
  EXPECT_TRUE(Calls("Elgin_GrandeTotal").empty());
  EXPECT_FALSE(std::filesystem::exists(MainFile()));
}

TEST_F(GrandTotalTest, AtuTotGeralFallsBackToTheTillsOwnFile) {
  // "dru" + till + branch: only active rows of the serial the host passes.
  const auto fallback = hostDir / "dru010001.cds";
  Write(fallback, {{"0001", "01", "EL0777", "I", "S", "99,00"}, {"0001", "01", "EL0777", "A", "S", "12345,67"},
                   kOtherBranch});
  const std::string before = Bytes(fallback);
  PrinterTotal("000000000001234567");
  EXPECT_TRUE(Qor01100::Atu_TotGeral(Params("S", "0001", "01", "EL0777")));
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_FALSE(std::filesystem::exists(MainFile()));

  // An update is written to the main file, the till's own file is left as it was.
  PrinterTotal("000000000001300000");
  EXPECT_TRUE(Qor01100::Atu_TotGeral(Params("N", "0001", "01", "EL0777")));
  EXPECT_EQ(Bytes(fallback), before);
  EXPECT_EQ(Totals(MainFile()), (std::vector<std::string>{"99,00", "13000", "500,00"}));
}

TEST_F(GrandTotalTest, ACallSeesTheFilesAsAFreshProcessWouldAfterAnEarlierCall) {
  // The first call uses the till's own file (its filter names IDSITECFIMPF).
  Write(hostDir / "dru010001.cds", {{"0001", "01", "EL0001", "A", "S", "12345,67"}});
  PrinterTotal("000000000001234567");
  ASSERT_TRUE(Qor01100::Atu_TotGeral(Params("S")));
  ASSERT_TRUE(Dialogs().empty());

  // Then a main file without that field, whose total does not match.
  const rtl::FieldType S = rtl::FieldType::String;
  rtl::ClientDataSet ds;
  qortest::MakeTable(ds,
                     {{"CDFILIAL", S, 4}, {"CDCAIXA", S, 3}, {"NRSERIEECF", S, 20}, {"CAMPO01", S, 1}, {"CAMPO02", S, 100}},
                     {{"0001", "01", "EL0001", "S", hostlib::Cripto("1,00", hostlib::kCriptoKey)}});
  ds.SaveToFile(MainFile().string());
  for (int call = 1; call <= 2; ++call) {
    SCOPED_TRACE(call);
    dialogs.clear();
    PrinterTotal("000000000001234567");
    EXPECT_FALSE(Qor01100::Atu_TotGeral(Params("S")));
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].request.text, InvalidText());
  }
  EXPECT_FALSE(Qor01100::DataModule().cdsCheckECF.Filtered()) << "no filter left for the next operation";
}

TEST_F(GrandTotalTest, FilterValuesHoldingAQuoteKeepTheirMeaning) {
  struct Case { const char* name; std::string filial, caixa, serie; };
  const Case cases[] = {
      {"branch", "0'1", "01", "EL0001"},
      {"till", "0001", "0'", "EL0001"},
      {"serial", "0001", "01", "EL'01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.clear();
    Qor01100::DataModule().stSerieAtu = c.serie;
    // The only row of this printer holds a different total: the check must find it and fail.
    Write(MainFile(), {kOtherBranch, {c.filial, c.caixa, c.serie, "A", "S", "1,00"}, kOtherTill});
    PrinterTotal("000000000001234567");
    EXPECT_FALSE(Qor01100::Atu_TotGeral(Params("S", c.filial, c.caixa, c.serie)));
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].request.text, InvalidText());
  }
}

TEST_F(GrandTotalTest, ACheckThatCannotReadThePrinterDoesNotPass) {
  Write(MainFile(), {{"0001", "01", "EL0001", "A", "S", "12345,67"}});
  const std::string before = Bytes(MainFile());
  for (const char* valida : {"S", "N"}) {
    SCOPED_TRACE(valida);
    dialogs.clear();
    ASSERT_EQ(sim.fail("Elgin_GrandeTotal", 0, 1), 0);
    // Validating: the check has not passed. Recording only: nothing to record.
    EXPECT_EQ(Qor01100::Atu_TotGeral(Params(valida)), std::string(valida) == "N");
    // The operator reads what happened, not the run-time's conversion error; the log keeps that.
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].request.text, A("Não foi possível ler o totalizador geral da impressora fiscal."));
    EXPECT_EQ(Dialogs()[0].request.scheme, "005");
    bool logged = false;
    for (const std::string& l : LogMessages()) logged = logged || l.rfind("ERRO!!! Elgin_GrandeTotal: ", 0) == 0;
    EXPECT_TRUE(logged);
    EXPECT_EQ(Bytes(MainFile()), before);
  }
}

// ---- Configuration files the check cannot use ---------------------------------------

std::string HalfOf(const std::string& bytes) { return bytes.substr(0, bytes.size() / 2); }

TEST_F(GrandTotalTest, ValidatingAgainstAFileThatCannotBeUsedFailsNamingThatFile) {
  const rtl::FieldType S = rtl::FieldType::String;
  auto withoutField = [&](const std::filesystem::path& file, const char* missing) {
    std::vector<qortest::Column> cols;
    qortest::Row row;
    const std::pair<const char*, std::string> all[] = {{"CDFILIAL", "0001"}, {"CDCAIXA", "01"},
                                                       {"NRSERIEECF", "EL0001"}, {"IDSITECFIMPF", "A"},
                                                       {"CAMPO01", "S"}, {"CAMPO02", hostlib::Cripto("1,00", hostlib::kCriptoKey)}};
    for (const auto& [name, value] : all)
      if (std::string(name) != missing) {
        cols.push_back({name, S, 100});
        row.push_back(value);
      }
    rtl::ClientDataSet ds;
    qortest::MakeTable(ds, cols, {row});
    ds.SaveToFile(file.string());
  };
  struct Case {
    const char* name;
    const char* file;  // the file the check should name
    std::function<void(const std::filesystem::path&)> make;
  };
  const std::vector<Case> cases = {
      {"truncated", "Kalvora.cds",
       [&](const std::filesystem::path& f) {
         Write(f, {{"0001", "01", "EL0001", "A", "S", "12345,67"}});
         const std::string half = HalfOf(Bytes(f));
         std::ofstream(f, std::ios::binary | std::ios::trunc) << half;
       }},
      {"garbage", "Kalvora.cds", [](const std::filesystem::path& f) { std::ofstream(f) << "\x01\x02 nada aqui"; }},
      {"without the hidden total", "Kalvora.cds", [&](const std::filesystem::path& f) { withoutField(f, "CAMPO02"); }},
      {"without the check switch", "Kalvora.cds", [&](const std::filesystem::path& f) { withoutField(f, "CAMPO01"); }},
      {"the till's own file, garbage", "dru010001.cds",
       [](const std::filesystem::path& f) { std::ofstream(f) << "<DATAPACKET"; }},
      {"the till's own file without the situation", "dru010001.cds",
       [&](const std::filesystem::path& f) { withoutField(f, "IDSITECFIMPF"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(MainFile());
    std::filesystem::remove(hostDir / "dru010001.cds");
    dialogs.clear();
    ClearJournal();
    const auto file = hostDir / c.file;
    c.make(file);
    const std::string before = Bytes(file);
    EXPECT_FALSE(Qor01100::Atu_TotGeral(Params("S")));
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].request.text, A("Arquivo (") + Qor01100::dsDirCad + c.file + A(") está inválido."));
    EXPECT_EQ(Dialogs()[0].request.kind, 3);
    EXPECT_EQ(Dialogs()[0].request.scheme, "005");
    EXPECT_TRUE(Calls("Elgin_GrandeTotal").empty());  // nothing to compare with
    EXPECT_EQ(Bytes(file), before);
  }
}

// The configuration file cannot be read or written (a full disk, a failing
// disk): the record keeps what it held, the update answers false, and the
// host is told in stMensagemTaa as well as by the dialog.
TEST_F(GrandTotalTest, AFileThatCannotBeReadOrWrittenIsAFailedUpdateAndSaysSo) {
  struct Case {
    const char* name;
    const char* valida;
    const char* storedBefore;
    int failing;  // the configuration file's n-th operation in this call that fails (read 1, write 2)
    const char* told;
  } cases[] = {
      {"recording, the rewrite fails", "N", "500,00", 2, "Atu_TotGeral: totalizador geral n\xE3o gravado em "},
      {"initialising, the rewrite fails", "S", "10,10", 2, "Atu_TotGeral: totalizador geral n\xE3o gravado em "},
      {"checking, the file cannot be read", "S", "12345,67", 1, "Arquivo ("},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Write(MainFile(), {{"0001", "01", "EL0001", "A", "S", c.storedBefore}});
    const std::string before = Bytes(MainFile());
    dialogs.clear();
    Qor01100::stMensagemTaa.clear();
    PrinterTotal("000000000001234567");
    bool ok = true;
    {
      // Fails the n-th operation on the file, and only on it.
      struct NthOnFile : rtl::EnvWrapper {
        NthOnFile(int n) : rtl::EnvWrapper(rtl::CurrentEnv()), n(n), prev(rtl::SetEnv(this)) {}
        ~NthOnFile() override { rtl::SetEnv(prev); }
        int FileOperation(const char* kind, const std::string& path) override {
          if (path.find("Kalvora.cds") == std::string::npos) return rtl::EnvWrapper::FileOperation(kind, path);
          return ++seen == n ? ENOSPC : 0;
        }
        int n, seen = 0;
        rtl::Env* prev;
      } full(c.failing);
      ok = Qor01100::Atu_TotGeral(Params(c.valida));
      EXPECT_EQ(full.seen, c.failing);
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(Bytes(MainFile()), before);
    EXPECT_EQ(Dialogs().size(), 1u);
    EXPECT_NE(Qor01100::stMensagemTaa.find(c.told), std::string::npos) << Qor01100::stMensagemTaa;
  }
}

TEST_F(GrandTotalTest, RecordingOnlyPassesOverAnUnreadableMainFileAsBefore) {
  std::ofstream(MainFile()) << "garbage";
  EXPECT_TRUE(Qor01100::Atu_TotGeral(Params("N")));  // the till's own file is missing too: its error is shown
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Bytes(MainFile()), "garbage");
}

TEST_F(GrandTotalTest, WithoutAnyConfigurationFileTheLogSaysTheCheckDidNotRun) {
  EXPECT_TRUE(Qor01100::Atu_TotGeral(Params("S")));
  const std::string expected = A("Atu_TotGeral: verificação do totalizador geral não executada: ") +
                               Qor01100::dsDirCad + "Kalvora.cds" + A(" e ") + Qor01100::dsDirCad +
                               "dru010001.cds" + A(" não encontrados");
  const auto lines = LogMessages();
  EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end());
}

// ---- The restart window: a coupon left open is cancelled at the start ----------------

TEST_F(GrandTotalTest, AFailedReadingAfterTheRestartsCancellationRaisesNoFalseAlarmLater) {
  Write(MainFile(), {kOtherBranch, {"0001", "01", "EL0001", "A", "S", "100,00"}});
  const rtl::Variant start = rtl::Variant::Record({{"CDFILIAL", "0001"},
                                                   {"CDCAIXA", "01"},
                                                   {"NRSERIE", "EL0001"},
                                                   {"ESQUEMACOR", "005"},
                                                   {"CDPORTAIMPFIS", "COM1"}});
  // The printer shows the coupon of an interrupted sale; the new grand total cannot be read then.
  ASSERT_EQ(sim.answer("Elgin_FlagsFiscais", 1, "[33]", 1), 0);
  ASSERT_EQ(sim.fail("Elgin_GrandeTotal", 0, 1), 0);
  EXPECT_TRUE(Qor01100::AbrePorta(start));
  EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), 1u);
  bool clear = false;
  for (const auto& d : Dialogs())
    clear = clear || d.request.text == A("Não foi possível ler o totalizador geral da impressora fiscal.");
  EXPECT_TRUE(clear);
  // The record waits for the printer's total: the next check records it instead of calling it a mismatch.
  EXPECT_EQ(Totals(MainFile()), (std::vector<std::string>{"500,00", "10,1"}));
  dialogs.clear();
  PrinterTotal("000000000001234567");
  EXPECT_TRUE(Qor01100::Atu_TotGeral(Params("S")));
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_EQ(Totals(MainFile()), (std::vector<std::string>{"500,00", "12345,67"}));
  // From then on the check compares again.
  PrinterTotal("000000000001300000");
  EXPECT_FALSE(Qor01100::Atu_TotGeral(Params("S")));
}

TEST_F(GrandTotalTest, TheRestartsCancellationRecordsTheNewTotalWhenItCanBeRead) {
  Write(MainFile(), {{"0001", "01", "EL0001", "A", "S", "100,00"}});
  ASSERT_EQ(sim.answer("Elgin_FlagsFiscais", 1, "[33]", 1), 0);
  PrinterTotal("000000000001234567");
  EXPECT_TRUE(Qor01100::AbrePorta(rtl::Variant::Record({{"CDFILIAL", "0001"},
                                                         {"CDCAIXA", "01"},
                                                         {"NRSERIE", "EL0001"},
                                                         {"ESQUEMACOR", "005"},
                                                         {"CDPORTAIMPFIS", "COM1"}})));
  EXPECT_EQ(Totals(MainFile()), (std::vector<std::string>{"12345,67"}));
  // No temporary file is left beside the configuration.
  for (const auto& e : std::filesystem::directory_iterator(hostDir))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

TEST_F(GrandTotalTest, ACheckRemovesWhatATillThatDiedInsideARewriteLeft) {
  Write(MainFile(), {{"0001", "01", "EL0001", "A", "S", "12345,67"}});
  const int child = qortest::DeadProcessId();
  const auto left = hostDir / ("Kalvora.cds.tmp" + std::to_string(child) + "_0");
  std::ofstream(left) << "<DATAPACKET";
  PrinterTotal("000000000001234567");
  EXPECT_TRUE(Qor01100::Atu_TotGeral(Params("S")));  // equal: nothing written
  EXPECT_FALSE(std::filesystem::exists(left));
}

TEST_F(GrandTotalTest, AMissingKeyReachesTheHost) {
  EXPECT_THROW(Qor01100::Atu_TotGeral(rtl::Variant::Record({{"CDFILIAL", "0001"}})), rtl::Exception);
}

// ---- The save survives the process dying ------------------------------------------

// A process of its own saves the printer's grand total into the host folder
// args[0] over and over, alternating two values, with a printer of its own.
// It tells on its standard output the folder it made ("folder <path>"),
// each file operation of a save as it begins ("saving") and each finished
// save ("saved").
class SavingProcess : public GrandTotalTest {
 public:
  void TestBody() override {}

  static int SaveForEver(const std::vector<std::string>& args) {
    SavingProcess t;
    t.SetUp();
    if (::testing::Test::HasFailure()) return 3;
    std::cout << "folder " << t.tmp.string() << std::endl;
    t.env.programPath = (std::filesystem::path(args[0]) / "qorhost").string();
    struct Telling : rtl::EnvWrapper {
      using rtl::EnvWrapper::EnvWrapper;
      int FileOperation(const char* kind, const std::string& path) override {
        if (path.find("Kalvora.cds") != std::string::npos) std::cout << "saving" << std::endl;
        return rtl::EnvWrapper::FileOperation(kind, path);
      }
    } telling(&t.env);
    rtl::SetEnv(&telling);
    const rtl::Variant params = Params("N");
    for (int n = 0;; ++n) {
      t.sim.answer("Elgin_GrandeTotal", 1, n % 2 ? "[\"000000000000010000\"]" : "[\"000000000000020000\"]", 1);
      Qor01100::Atu_TotGeral(params);
      std::cout << "saved" << std::endl;
    }
  }
};
QORTEST_CHILD_ROLE(SaveForEver) { return SavingProcess::SaveForEver(args); }

// How many lines of a process's output are `line`.
size_t Count(const std::string& output, const std::string& line) {
  size_t n = 0;
  for (size_t at = output.find(line + "\n"); at != std::string::npos; at = output.find(line + "\n", at + 1))
    if (at == 0 || output[at - 1] == '\n') ++n;
  return n;
}

TEST_F(GrandTotalTest, TheRecordIsAlwaysTheOldOrTheNewWhateverMomentTheProcessDies) {
  if (qortest::UnderWine())
    GTEST_SKIP() << "under wine this test does not finish in seven minutes (it keeps working, it does not wait; "
                    "the cause is not found yet)";
  std::vector<EcfRow> rows;
  for (int i = 0; i < 400; ++i)
    rows.push_back({"9" + std::to_string(100 + i).substr(0, 3), "01", "EL" + std::to_string(i), "A", "S", "7,00"});
  rows.push_back({"0001", "01", "EL0001", "A", "S", "100,00"});
  Write(MainFile(), rows);
  const std::set<std::string> allowed = {"100,00", "100", "200"};

  // Waits until the output holds more than `n` lines `line`; false when the
  // process ended instead.
  auto awaitLine = [](qortest::Subprocess& p, const std::string& line, size_t n) {
    while (Count(p.Output(), line) <= n) {
      if (p.OutputEnded()) return false;
      std::this_thread::yield();
    }
    return true;
  };
  // Every round here; every third on Windows, which runs here under an
  // emulator where a process takes up to a second to start.
#ifdef _WIN32
  const int kEvery = 3;
#else
  const int kEvery = 1;
#endif
  for (int round = 0; round < 24; round += kEvery) {
    SCOPED_TRACE(round);
    auto saver = qortest::Subprocess::Role("SaveForEver", {hostDir.string()});
    ASSERT_TRUE(saver->Started()) << saver->Error();
    // Let it finish a few saves, then kill it as it begins the next one
    // (or between two), a little later at each round.
    bool alive = awaitLine(*saver, "saved", static_cast<size_t>(round % 3));
    if (alive && round % 4 != 3) alive = awaitLine(*saver, "saving", Count(saver->Output(), "saving"));
    volatile unsigned spin = 0;
    for (unsigned i = 0; i < static_cast<unsigned>(round % 8) * 3000u; ++i) spin = spin + i;
    saver->Kill();
    const int status = saver->Wait();
    const std::string out = saver->Output();
    if (const size_t at = out.find("folder "); at != std::string::npos) {
      std::error_code ec;
      std::filesystem::remove_all(out.substr(at + 7, out.find('\n', at) - at - 7), ec);
    }
    ASSERT_TRUE(alive) << "the saving process ended on its own:\n" << out;
    EXPECT_EQ(status, qortest::kKilledStatus);

    std::vector<std::string> totals;
    ASSERT_NO_THROW(totals = Totals(MainFile()));
    ASSERT_EQ(totals.size(), rows.size());
    EXPECT_EQ(allowed.count(totals.back()), 1u) << totals.back();
    EXPECT_EQ(totals.front(), "7,00");
  }
}

}  // namespace
