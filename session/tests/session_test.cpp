// Driver start and port session through the simulated printer: the start
// sequence and each way it can fail, the coupon left open by an
// interrupted sale, closing the port, the status-only check, the printer's
// identification and the vendor library's INI file.
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "coupon/operations.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/state.h"
#include "hostlib/cripto.h"
#include "nonfiscal/operations.h"
#include "platform/dataset.h"
#include "platform/env.h"
#include "session/operations.h"
#include "tests/support/module_helpers.h"
#include "vendor/elgin.h"
#include "vendor/operations.h"

namespace {

using qortest::ModuleTest;

class SessionTest : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    ClearJournal();
  }
  static rtl::Variant StartParams(bool selfService = false) {
    return rtl::Variant::Record({{"CDFILIAL", "0001"},
                                 {"CDCAIXA", "01"},
                                 {"NRSERIEIMP", "EL0001"},
                                 {"ESQUEMA", "003"},
                                 {"CDPORTAIMPFIS", "COM1"},
                                 {"IDTIPOIMPFIS", "1"},
                                 {"BOUTILTAA", selfService},
                                 {"NRSERIE", "EL0001"},
                                 {"ESQUEMACOR", "004"}});
  }
  bool Logged(const std::string& line) const {
    for (const std::string& l : LogMessages())
      if (l == line) return true;
    return false;
  }
  // The till's own configuration file with one row for the printer, whose
  // recorded grand total differs from the printer's.
  void TillConfig() {
    rtl::ClientDataSet ds;
    for (const char* f : {"CDFILIAL", "CDCAIXA", "NRSERIEECF", "IDSITECFIMPF", "CAMPO01", "CAMPO02"})
      ds.AddFieldDef(f, rtl::FieldType::String, 40);
    ds.CreateDataSet();
    qortest::AppendRecord(ds, {{"CDFILIAL", "0001"},
                               {"CDCAIXA", "01"},
                               {"NRSERIEECF", "EL0001"},
                               {"IDSITECFIMPF", "A"},
                               {"CAMPO01", "S"},
                               {"CAMPO02", hostlib::Cripto("1,00", hostlib::kCriptoKey)}});
    ds.SaveToFile((hostDir / "dru010001.cds").string());
  }
  std::string RecordedTotal() const {
    rtl::ClientDataSet ds;
    ds.LoadFromFile((hostDir / "Kalvora.cds").string());
    ds.First();
    return hostlib::Uncripto(ds.FieldByName("CAMPO02").AsString(), hostlib::kCriptoKey);
  }
  void Answer(const char* fn, const std::string& json, int ret = 1) {
    ASSERT_EQ(sim.answer(fn, ret, json.c_str(), 1), 0);
  }
};

// An Env that cannot find the printer's library.
class NoLibraryEnv : public rtl::EnvWrapper {
 public:
  using rtl::EnvWrapper::EnvWrapper;
  void* LoadLibrary(const std::string&) override { return nullptr; }
};

// ---- StartImpFiscal / AbrePorta ---------------------------------------------------

TEST_F(SessionTest, StartBindsOpensThePortAndChecksThePrinter) {
  rtl::Variant params = StartParams(false);
  const rtl::Variant given = params;
  EXPECT_TRUE(Qor01100::StartImpFiscal(params));
  EXPECT_TRUE(Qor01100::boImpFiscalOK);
  EXPECT_TRUE(Qor01100::boNUtilTaa);
  EXPECT_TRUE(params == given);  // handed on unchanged
  EXPECT_EQ(CallNames(), (std::vector<std::string>{"Elgin_AbrePortaSerial", "Elgin_VerificaEstadoImpressora",
                                                   "Elgin_DataHoraImpressora", "Elgin_VerificaEstadoImpressora",
                                                   "Elgin_VerificaImpressoraLigada", "Elgin_LeIndicadores",
                                                   "Elgin_FlagsFiscais", "Elgin_VerificaEstadoImpressora"}));
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(SessionTest, StartOnASelfServiceTerminalTurnsDialogsOff) {
  rtl::Variant params = StartParams(true);
  EXPECT_TRUE(Qor01100::StartImpFiscal(params));
  EXPECT_FALSE(Qor01100::boNUtilTaa);
}

TEST_F(SessionTest, AParameterThatCannotBeReadIsReportedAndTheStartGoesOn) {
  struct Case { const char* name; rtl::Variant bad; const char* key; bool dialogsAfter; };
  const Case cases[] = {
      {"serial not text", rtl::Variant(std::vector<rtl::Variant>{1, 2}), "NRSERIEIMP", true},
      {"self-service flag not a boolean", rtl::Variant("talvez"), "BOUTILTAA", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.clear();
    Qor01100::boNUtilTaa = true;
    rtl::Variant params = StartParams(true);
    for (auto& pair : params.Items())
      if (pair[0].AsString() == c.key) pair[1] = c.bad;
    EXPECT_TRUE(Qor01100::StartImpFiscal(params));
    ASSERT_EQ(Dialogs().size(), 1u);
    const hostlib::DialogRequest r = Dialogs()[0].request;
    const std::string head = A("Erro no recebimento dos parâmetros da função: StartImpFiscal - Qor_00300.bpl\r");
    EXPECT_EQ(r.text.substr(0, head.size()), head);
    EXPECT_GT(r.text.size(), head.size());  // followed by the error's own text
    EXPECT_EQ(r.kind, 3);
    EXPECT_EQ(r.scheme, "001");
    EXPECT_EQ(Qor01100::boNUtilTaa, c.dialogsAfter);  // not reached: keeps its value
  }
}

TEST_F(SessionTest, AMissingKeyOfTheStartIsReportedToo) {
  rtl::Variant params = rtl::Variant::Record({{"CDFILIAL", "0001"}, {"CDCAIXA", "01"}, {"NRSERIE", "EL0001"},
                                              {"ESQUEMACOR", "004"}, {"CDPORTAIMPFIS", "COM1"}});
  EXPECT_TRUE(Qor01100::StartImpFiscal(params));
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_NE(Dialogs()[0].request.text.find("NRSERIEIMP"), std::string::npos);
}

TEST_F(SessionTest, StartWithoutThePrintersLibraryFailsSilently) {
  NoLibraryEnv noLib(&env);
  rtl::ScopedEnv scoped(&noLib);
  rtl::Variant params = StartParams();
  EXPECT_FALSE(Qor01100::StartImpFiscal(params));
  EXPECT_FALSE(Qor01100::boImpFiscalOK);
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_TRUE(Journal().empty());
  EXPECT_EQ(Qor01100::Elgin_AbrePortaSerial, nullptr);
}

struct StartFailure {
  const char* name;
  void (*prepare)(qortest::Sim&);
  std::vector<std::string> dialogs;  // UTF-8
  std::vector<std::string> logged;   // UTF-8 lines that must be in the log
  const char* lastCall;
};

const StartFailure kStartFailures[] = {
    {"port refused",
     [](qortest::Sim& s) { s.fail("Elgin_AbrePortaSerial", -5, 1); },
     // the port stayed closed, so the status query fails as well
     {"Erro ao abrir porta de comunicação.", "Impressora fiscal com erro.", "Erro ao abrir porta de comunicação."},
     {"ERRO!!! Abrindo porta COM1"},
     "Elgin_VerificaEstadoImpressora"},
    {"port opened but the printer has no paper",
     [](qortest::Sim& s) { s.force_status(6, 128, 0, 1); },
     {"Impressora fiscal sem papel.", "Erro ao abrir porta de comunicação."},
     {"ERRO!!! Impressora fiscal sem papel.", "ERRO!!! Abrindo porta COM1"},
     "Elgin_VerificaEstadoImpressora"},
    {"no answer at all",
     [](qortest::Sim& s) { s.fail("Elgin_AbrePortaSerial", 0, 1); },
     {"Erro de comunicação.", "Impressora fiscal com erro.", "Erro ao abrir porta de comunicação."},
     {"ERRO!!! Abrindo porta COM1"},
     "Elgin_VerificaEstadoImpressora"},
    {"printer clock 20 minutes behind",
     [](qortest::Sim& s) { s.set_clock_offset(-20LL * 60); },
     {"Data da impressora fiscal difere da data do sistema em mais de 15 minutos."},
     {},
     "Elgin_VerificaEstadoImpressora"},
    {"printer clock unreadable",
     [](qortest::Sim& s) { s.fail("Elgin_DataHoraImpressora", 0, 1); },
     {"Erro de comunicação."},
     {},
     "Elgin_VerificaEstadoImpressora"},
    {"printer switched off",
     [](qortest::Sim& s) { s.fail("Elgin_VerificaImpressoraLigada", -6, 1); },
     {"Impressora desligada ou desconectada."},
     {"ERRO!!! Impressora desligada ou desconectada."},
     "Elgin_VerificaImpressoraLigada"},
};

TEST_F(SessionTest, StartFailingAtEachStep) {
  for (const StartFailure& c : kStartFailures) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(sim.reset(), 0);
    ASSERT_EQ(sim.set_clock_offset(0), 0);
    SetClock(2026, 3, 5, 10, 0, 0);
    ClearJournal();
    dialogs.clear();
    Qor01100::boImpFiscalOK = false;
    c.prepare(sim);
    rtl::Variant params = StartParams();
    EXPECT_FALSE(Qor01100::StartImpFiscal(params));
    EXPECT_FALSE(Qor01100::boImpFiscalOK);
    std::vector<std::string> expected;
    for (const std::string& d : c.dialogs) expected.push_back(A(d));
    EXPECT_EQ(DialogTexts(), expected);
    for (const std::string& l : c.logged) EXPECT_TRUE(Logged(A(l))) << l;
    ASSERT_FALSE(CallNames().empty());
    EXPECT_EQ(CallNames().back(), c.lastCall);
    EXPECT_TRUE(Calls("Elgin_CancelaCupom").empty());
  }
}

TEST_F(SessionTest, TheOperatorMessagesOfTheStartUseTheHostsColourScheme) {
  ASSERT_EQ(sim.fail("Elgin_VerificaImpressoraLigada", -6, 1), 0);
  rtl::Variant params = StartParams();
  EXPECT_FALSE(Qor01100::StartImpFiscal(params));
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].request.scheme, "004");
  EXPECT_EQ(Dialogs()[0].request.kind, 3);
}

TEST_F(SessionTest, AFailedStartLeavesAnEarlierSuccessInPlace) {
  Qor01100::boImpFiscalOK = true;
  ASSERT_EQ(sim.fail("Elgin_AbrePortaSerial", -5, 1), 0);
  rtl::Variant params = StartParams();
  EXPECT_FALSE(Qor01100::StartImpFiscal(params));
  EXPECT_TRUE(Qor01100::boImpFiscalOK);
}

TEST_F(SessionTest, ACouponLeftOpenIsCancelledAndTheGrandTotalRecorded) {
  struct Case { const char* name; int flags; const char* saleFile; int cancels; };
  const Case cases[] = {
      {"fiscal flags 33", 33, nullptr, 1},
      {"fiscal flags 37", 37, nullptr, 1},
      {"the host's sale file", 0, "cdsVenda.cds", 1},
      {"the host's cancelled-items file", 0, "cdsItensCancelados.cds", 1},
      {"flags 1 and no sale files", 1, nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(hostDir / "Kalvora.cds");
    std::filesystem::remove(hostDir / "cdsVenda.cds");
    std::filesystem::remove(hostDir / "cdsItensCancelados.cds");
    TillConfig();
    if (c.saleFile) std::ofstream(hostDir / c.saleFile) << "sale in progress";
    ASSERT_TRUE(BindPrinter());
    ClearJournal();
    Answer("Elgin_FlagsFiscais", "[" + std::to_string(c.flags) + "]");
    if (c.cancels) Answer("Elgin_GrandeTotal", R"(["000000000000098765"])");
    EXPECT_TRUE(Qor01100::AbrePorta(StartParams()));
    EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), static_cast<size_t>(c.cancels));
    if (c.cancels) {
      // Recorded without validation ("IDVALIDA" "N"), under the serial of "NRSERIE".
      EXPECT_EQ(RecordedTotal(), "987,65");
    } else {
      EXPECT_FALSE(std::filesystem::exists(hostDir / "Kalvora.cds"));
    }
  }
}

TEST_F(SessionTest, AStatusShowingOnlyAnOpenCouponCancelsIt) {
  struct Case { int st1; size_t cancels; };
  for (Case c : {Case{2, 1}, Case{2 + 64, 0}, Case{0, 0}}) {
    SCOPED_TRACE(c.st1);
    ASSERT_TRUE(BindPrinter());
    ClearJournal();
    dialogs.clear();
    // The three status queries of the opening: after the port, after the clock, and the last check.
    ASSERT_EQ(sim.force_status(6, c.st1, 0, 3), 0);
    EXPECT_TRUE(Qor01100::AbrePorta(StartParams()));
    EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), c.cancels);
    EXPECT_EQ(Calls("Elgin_FlagsFiscais").size(), 1u);
  }
}

TEST_F(SessionTest, TheStartClosesAReportOrVoucherLeftOpenAndLogsIt) {
  // A host that died while printing left a management report or a linked
  // voucher open: every sale would be refused. The start closes it, says so
  // in the debug log, and the next coupon opens. Nothing open, or a printer
  // that cannot tell: nothing is closed and the start goes on.
  struct Case { const char* name; const char* left; const char* logged; bool unreadable; };
  const Case cases[] = {
      {"a management report", "report", "Relatório gerencial", false},
      {"a linked voucher", "voucher", "Comprovante não fiscal vinculado", false},
      {"nothing open", "", nullptr, false},
      {"a printer that cannot tell", "", nullptr, true},
  };
  ASSERT_TRUE(BindPrinter());
  ASSERT_EQ(sim.program(R"({"payment_methods": [{"slot": 2, "name": "Cartao", "linkable": true}],
                           "nonfiscal_totalizers": [{"index": 0, "name": "RECEBIMENTO"}]})"),
            0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string(c.left) == "report") {
      ASSERT_TRUE(Qor01100::Relatorio_Gerencial_Imp("004", "0001", "01", "", ""));
      ASSERT_TRUE(Qor01100::Relatorio_Gerencial_Imp("004", "0001", "01", "LINHA\n", ""));
    } else if (std::string(c.left) == "voucher") {
      ASSERT_TRUE(Qor01100::Cupom_NFiscNVinc("", "00", "00000000001000", "Cartao", ""));
      ASSERT_TRUE(Qor01100::Abre_Comp_NFiscalVinc("", "Cartao", "00000000001000", ""));
    }
    ClearJournal();
    const size_t logBefore = LogMessages().size();
    if (c.unreadable) {
      ASSERT_EQ(sim.fail("Elgin_LeIndicadores", 0, 1), 0);
    }
    EXPECT_TRUE(Qor01100::AbrePorta(StartParams()));
    EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), c.logged ? 1u : 0u);
    EXPECT_TRUE(SimState()["document"].is_null()) << SimState()["document"].dump();
    const auto log = LogMessages();
    bool said = false;
    for (size_t i = logBefore; i < log.size(); ++i)
      said = said || log[i].find(A(" aberto na impressora: fechado na abertura da porta")) != std::string::npos;
    EXPECT_EQ(said, c.logged != nullptr);
    if (c.logged) {
      EXPECT_TRUE(Logged(A(c.logged) + A(" aberto na impressora: fechado na abertura da porta (documento "
                                         "deixado aberto por uma execução interrompida)")));
    }
    rtl::Variant cupom = qortest::CouponRecord();
    EXPECT_TRUE(Qor01100::AbreCupom(cupom));
    ASSERT_EQ(Qor01100::Elgin_CancelaCupom(), 1);
  }
}

TEST_F(SessionTest, AbrePortaCreatesTheDataModule) {
  ASSERT_TRUE(BindPrinter());
  EXPECT_TRUE(Qor01100::AbrePorta(StartParams()));
  EXPECT_NE(Qor01100::dtmElgin01100, nullptr);
}

// ---- FechaPorta ------------------------------------------------------------------

TEST_F(SessionTest, FechaPortaClosesThePort) {
  ASSERT_TRUE(BindPrinter());
  ClearJournal();
  Qor01100::inRetorno = 55;
  EXPECT_TRUE(Qor01100::FechaPorta());
  EXPECT_EQ(CallNames(), std::vector<std::string>{"Elgin_FechaPortaSerial"});  // no status analysis
  ASSERT_EQ(sim.fail("Elgin_FechaPortaSerial", 0, 1), 0);
  EXPECT_FALSE(Qor01100::FechaPorta());
  EXPECT_EQ(Qor01100::inRetorno, 55);
  Qor01100::StopImpFiscal();
  EXPECT_FALSE(Qor01100::FechaPorta());
}

// ---- ImpressoraOk ----------------------------------------------------------------

struct OkCase {
  const char* name;
  int ack, st1, st2;
  bool boMsg, boFecha, boAbre;
  bool expected;
  std::vector<std::string> logged;  // "ERRO!!! ..." lines, UTF-8
  size_t dialogs;
  size_t cancels;
};

const OkCase kOkCases[] = {
    {"clean", 6, 0, 0, true, true, true, true, {}, 0, 0},
    {"paper out", 6, 128, 0, true, false, false, false, {"ERRO!!! Impressora fiscal sem papel."}, 1, 0},
    {"paper out, quietly", 6, 128, 0, false, false, false, false, {}, 0, 0},
    {"low paper when opening a coupon", 6, 64, 0, true, false, true, true,
     {"ERRO!!! Impressora fiscal com pouco papel."}, 1, 0},
    {"low paper otherwise", 6, 64, 0, true, false, false, true, {}, 0, 0},
    {"coupon open, kept", 6, 2, 0, false, false, false, true, {"ERRO!!! Cupom aberto."}, 0, 0},
    {"coupon open, cancelled", 6, 2, 0, false, true, false, true, {"ERRO!!! Cupom aberto."}, 0, 1},
    {"clock error and command not executed", 6, 32, 1, true, false, false, false,
     {"ERRO!!! Erro no relógio da impressora fiscal.", "ERRO!!! Comando não executado pela impressora fiscal."}, 2,
     0},
    {"NAK, quietly", 21, 128, 0, false, false, false, false, {"ERRO!!! NAK recebido"}, 0, 0},
    {"NAK", 21, 0, 0, true, false, false, false, {"ERRO!!! NAK recebido"}, 1, 0},
};

TEST_F(SessionTest, ImpressoraOkChecksTheStatusOnly) {
  ASSERT_TRUE(BindPrinter());
  for (const OkCase& c : kOkCases) {
    SCOPED_TRACE(c.name);
    ClearJournal();
    dialogs.clear();
    const size_t logBefore = LogMessages().size();
    Qor01100::stMensagemTaa = "kept";
    Qor01100::stImpDebug = c.cancels ? "" : "kept";
    ASSERT_EQ(sim.force_status(c.ack, c.st1, c.st2, 1), 0);
    if (c.cancels) {
      ASSERT_EQ(sim.answer("Elgin_CancelaCupom", 1, "[]", 1), 0);
    }
    EXPECT_EQ(Qor01100::ImpressoraOk("009", c.boMsg, c.boFecha, c.boAbre), c.expected);
    auto log = LogMessages();
    std::vector<std::string> errors;
    for (size_t i = logBefore; i < log.size(); ++i)
      if (log[i].rfind("ERRO!!! ", 0) == 0) errors.push_back(log[i]);
    std::vector<std::string> expected;
    for (const std::string& l : c.logged) expected.push_back(A(l));
    EXPECT_EQ(errors, expected);
    ASSERT_EQ(Dialogs().size(), c.dialogs);
    for (const auto& d : Dialogs()) {
      EXPECT_EQ(d.request.scheme, "009");
      EXPECT_EQ(d.request.kind, 0);
    }
    EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), c.cancels);
    if (!c.cancels) {
      EXPECT_EQ(Qor01100::stImpDebug, "kept");
      EXPECT_EQ(Qor01100::stMensagemTaa, "kept");
    }
  }
}

TEST_F(SessionTest, ImpressoraOkIsNotReadyWhenItsQueryFails) {
  // The printer off, the port closed, a query that answers 0 with clean
  // bytes: none of them says the printer is ready.
  struct Case {
    const char* name;
    std::function<void(qortest::Sim&)> arrange;
  } cases[] = {
      {"query answers 0", [](qortest::Sim& s) { s.answer("Elgin_VerificaEstadoImpressora", 0, "[6,0,0]", 2); }},
      {"printer off", [](qortest::Sim& s) { s.set_power(0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(BindPrinter());
    dialogs.clear();
    c.arrange(sim);
    EXPECT_FALSE(Qor01100::ImpressoraOk("007", true, false, false));
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].request.text, A("Impressora fiscal com erro."));
    EXPECT_FALSE(Qor01100::ImpressoraOk("007", false, false, false));
    sim.set_power(1);
  }
}

// ---- Carrega_Dados_Impressora ---------------------------------------------------------

rtl::Variant HostIdentification(const std::string& dataAtu = "", const std::string& ecf = "") {
  return rtl::Variant::Record({{"ESQUEMA", "006"},
                               {"DATAATUIMP", dataAtu},
                               {"ECFIMP", ecf},
                               {"REDIMP", "0007"},
                               {"SERIEIMP", "host serial"},
                               {"DATAIMP", "host date"}});
}

rtl::Variant Identification(const std::string& dataAtu, const std::string& ecf, const std::string& serie,
                            const std::string& dataMov) {
  return rtl::Variant::Record(
      {{"DATAATUIMP", dataAtu}, {"ECFIMP", ecf}, {"REDIMP", "0007"}, {"SERIEIMP", serie}, {"DATAIMP", dataMov}});
}

TEST_F(SessionTest, CarregaDadosImpressoraReadsTheIdentification) {
  ASSERT_TRUE(BindPrinter());
  ClearJournal();
  Answer("Elgin_DataMovimento", R"(["040326"])");
  Answer("Elgin_DataHoraImpressora", R"(["050326","095959"])");
  Answer("Elgin_NumeroCaixa", R"(["0001"])");
  Answer("Elgin_NumeroSerie", R"(["EL0001"])");
  Answer("Elgin_LeIndicadores", "[0]");
  rtl::Variant params = HostIdentification();
  EXPECT_TRUE(Qor01100::Carrega_Dados_Impressora(params));
  EXPECT_TRUE(params == Identification("050326095959", "0001", "EL0001" + std::string(14, ' '), "040326"));

  std::vector<std::string> queries;
  for (const auto& e : Journal())
    if (e.fn != "Elgin_VerificaEstadoImpressora") queries.push_back(e.fn);
  EXPECT_EQ(queries, (std::vector<std::string>{"Elgin_DataMovimento", "Elgin_DataHoraImpressora", "Elgin_NumeroCaixa",
                                               "Elgin_NumeroSerie", "Elgin_LeIndicadores"}));
  EXPECT_EQ(Calls("Elgin_NumeroCaixa")[0].args[0], "    ");
  EXPECT_EQ(Calls("Elgin_NumeroSerie")[0].args[0], std::string(20, ' '));
  EXPECT_TRUE(Logged("Elgin_DataHoraImpressora050326095959095959"));
  EXPECT_TRUE(Logged("Elgin_NumeroSerie : "));
  EXPECT_FALSE(env.terminateRequested);
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(SessionTest, CarregaDadosImpressoraWithNoMovementYet) {
  ASSERT_TRUE(BindPrinter());
  Answer("Elgin_DataMovimento", R"(["000000"])");
  rtl::Variant params = HostIdentification();
  Qor01100::Carrega_Dados_Impressora(params);
  EXPECT_EQ(params[4][1].AsString(), "050326");
}

TEST_F(SessionTest, CarregaDadosImpressoraStopsAtTheFirstBlankAnswer) {
  ASSERT_TRUE(BindPrinter());
  struct Case {
    const char* name;
    const char* failing;      // the query that answers nothing
    std::string hostDataAtu, hostEcf;
    bool result;
    std::vector<std::string> skipped;
  };
  const Case cases[] = {
      {"movement date blank, host's printer time and till given", "Elgin_DataMovimento", "050326100000", "0001",
       true, {"Elgin_DataHoraImpressora"}},
      {"movement date blank and nothing from the host", "Elgin_DataMovimento", "", "", false,
       {"Elgin_DataHoraImpressora", "Elgin_NumeroCaixa", "Elgin_NumeroSerie"}},
      {"printer time blank", "Elgin_DataHoraImpressora", "", "", false, {"Elgin_NumeroCaixa", "Elgin_NumeroSerie"}},
      {"till blank", "Elgin_NumeroCaixa", "", "", false, {"Elgin_NumeroSerie"}},
      {"serial refused after a good start", "Elgin_NumeroSerie", "", "", true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearJournal();
    ASSERT_EQ(sim.fail(c.failing, 0, 1), 0);
    rtl::Variant params = HostIdentification(c.hostDataAtu, c.hostEcf);
    EXPECT_EQ(Qor01100::Carrega_Dados_Impressora(params), c.result);
    for (const std::string& fn : c.skipped) EXPECT_TRUE(Calls(fn).empty()) << fn;
    EXPECT_EQ(Calls("Elgin_LeIndicadores").size(), 1u);
    ASSERT_EQ(params.ArrayLength(), 5u);
    EXPECT_EQ(params[2][1].AsString(), "0007");
  }
}

TEST_F(SessionTest, CarregaDadosImpressoraKeepsTheHostsValuesForSkippedQueries) {
  ASSERT_TRUE(BindPrinter());
  ASSERT_EQ(sim.fail("Elgin_NumeroCaixa", 0, 1), 0);
  rtl::Variant params = HostIdentification();
  EXPECT_FALSE(Qor01100::Carrega_Dados_Impressora(params));
  EXPECT_EQ(params[1][1].AsString(), "    ");        // the till's blank answer
  EXPECT_EQ(params[3][1].AsString(), "host serial");  // not asked
}

TEST_F(SessionTest, AReductionAlreadyIssuedClosesTheApplication) {
  ASSERT_TRUE(BindPrinter());
  Answer("Elgin_LeIndicadores", "[14368]");
  rtl::Variant params = HostIdentification();
  Qor01100::Carrega_Dados_Impressora(params);
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].request.text,
            A("A Redução Z já foi emitida, o caixa não pode ser aberto. O sistema será fechado."));
  EXPECT_EQ(Dialogs()[0].request.kind, 0);
  EXPECT_EQ(Dialogs()[0].request.scheme, "006");
  EXPECT_TRUE(env.terminateRequested);
  EXPECT_EQ(params.ArrayLength(), 5u);  // the operation still completes
}

TEST_F(SessionTest, CarregaDadosImpressoraWithAMissingKey) {
  ASSERT_TRUE(BindPrinter());
  rtl::Variant params = rtl::Variant::Record({{"ESQUEMA", "006"}, {"DATAATUIMP", ""}, {"ECFIMP", "x"}});
  EXPECT_TRUE(Qor01100::Carrega_Dados_Impressora(params));
  ASSERT_EQ(Dialogs().size(), 1u);
  const std::string head =
      A("Erro no recebimento dos parâmetros da função: Carrega_Dados_Impressora - Qor_00100.bpl\r");
  EXPECT_EQ(Dialogs()[0].request.text.substr(0, head.size()), head);
  EXPECT_EQ(Dialogs()[0].request.scheme, "001");
  EXPECT_EQ(params[2][1].AsString(), "");  // REDIMP never read
}

// ---- ELGIN.INI ---------------------------------------------------------------------

struct IniCase {
  const char* name;
  const char* content;
  const char* path;
  const char* pathRfd;
};

const IniCase kIniCases[] = {
    {"without trailing separator", "Path=C:\\Elgin\r\nPathRFD=C:\\RFD\r\n", "C:\\Elgin\\", "C:\\RFD\\"},
    {"with trailing separator", "Path=C:\\Elgin\\\r\nPathRFD=C:\\RFD\\\r\n", "C:\\Elgin\\", "C:\\RFD\\"},
    {"sections ignored, first match", "[Geral]\r\nPathRFD=C:\\R\r\nPath=C:\\A\r\n[Outro]\r\nPath=C:\\B\r\n",
     "C:\\A\\", "C:\\R\\"},
    {"empty and missing values", "Path=\r\nPorta=COM2\r\n", "\\", "\\"},
};

TEST_F(SessionTest, PathsFromTheIniFileInTheHostFolder) {
  for (const IniCase& c : kIniCases) {
    SCOPED_TRACE(c.name);
    std::ofstream(hostDir / "ELGIN.INI", std::ios::binary) << c.content;
    Qor01100::dsDirCad.clear();  // not set yet: the host folder
    EXPECT_EQ(Qor01100::retornaPathElgin(), c.path);
    EXPECT_EQ(Qor01100::retornaPathRFDElgin(), c.pathRfd);
    Qor01100::dsDirCad = Qor01100::HostDirectory();
    EXPECT_EQ(Qor01100::retornaPathElgin(), c.path);
  }
}

TEST_F(SessionTest, PathsFollowDsDirCad) {
  std::filesystem::create_directories(tmp / "other");
  std::ofstream(tmp / "other" / "ELGIN.INI") << "Path=D:\\X\r\n";
  std::ofstream(hostDir / "ELGIN.INI") << "Path=C:\\Host\r\n";
  Qor01100::dsDirCad = (tmp / "other").string() + "\\";
  EXPECT_EQ(Qor01100::retornaPathElgin(), "D:\\X\\");
}

TEST_F(SessionTest, WithoutTheIniFile) {
  EXPECT_EQ(Qor01100::retornaPathElgin(), "ARQ_N_ENC");
  EXPECT_EQ(Qor01100::retornaPathRFDElgin(), "ARQ_N_ENC");
  EXPECT_EQ(Qor01100::retornaPortaElgin(), "ARQ_N_ENC");
}

TEST_F(SessionTest, ThePortComesFromTheIniFileInTheSystemFolder) {
  std::ofstream(hostDir / "ELGIN.INI") << "Porta=COM9\r\n";
  EXPECT_EQ(Qor01100::retornaPortaElgin(), "ARQ_N_ENC");
  std::ofstream(tmp / "system" / "ELGIN.INI") << "[Elgin]\r\nPorta=COM3\r\nPath=C:\\E\r\n";
  EXPECT_EQ(Qor01100::retornaPortaElgin(), "COM3");
}

}  // namespace
