// Printer information queries through the simulated printer: what reaches
// the printer, what the host gets back, the log lines and the coupon rule.
#include <algorithm>
#include <string>
#include <vector>

#include "driver/state.h"
#include "fiscal/operations.h"
#include "platform/text.h"
#include "tests/support/module_helpers.h"
#include "vendor/operations.h"

namespace {

class QueriesTest : public qortest::PrinterTest {
 protected:
  void Answer(const char* fn, int ret, const std::string& json) { ASSERT_EQ(sim.answer(fn, ret, json.c_str(), 1), 0); }
};

using CounterFn = bool (*)(const std::string&, std::string&);

struct CounterCase {
  const char* entry;
  CounterFn fn;
  size_t size;           // blanks handed to the printer
  const char* logName;   // first line of the trace
  bool cancelsCoupon;    // the analysis cancels a coupon the printer reports open
};

const CounterCase kCounters[] = {
    {"Elgin_VendaBruta", Qor01100::VendaBruta, 18, "Elgin_VendaBruta", true},
    {"Elgin_Cancelamentos", Qor01100::Cancelamentos, 14, "Elgin_Cancelamentos", true},
    {"Elgin_Descontos", Qor01100::Descontos, 14, "Elgin_Descontos", true},
    {"Elgin_ContadorRelatoriosGerenciaisMFD", Qor01100::ContadorRelatoriosGerenciaisMFD, 6,
     "Elgin_ContadorRelatoriosGerenciaisMFD", true},
    {"Elgin_ContadorComprovantesCreditoMFD", Qor01100::ContadorComprovantesCreditoMFD, 6,
     "Elgin_ContadorComprovantesCreditoMFD", true},
    {"Elgin_ContadorCupomFiscalMFD", Qor01100::ContadorCupomFiscalMFD, 6, "Elgin_ContadorCupomFiscalMFD  ", false},
};

TEST_F(QueriesTest, CounterQueriesHandTheAnswerOverAsItStands) {
  for (const CounterCase& c : kCounters) {
    SCOPED_TRACE(c.entry);
    ClearJournal();
    const size_t logBefore = DebugLog().size();
    Qor01100::inRetorno = 77;
    Qor01100::stImpDebug.clear();
    Answer(c.entry, 1, "[\"0042\"]");  // shorter than the buffer: the rest stays blank
    std::string out = "host value";
    EXPECT_TRUE(c.fn("", out));
    const std::string expected = "0042" + std::string(c.size - 4, ' ');
    EXPECT_EQ(out, expected);
    EXPECT_EQ(Qor01100::inRetorno, 77);  // the code is kept apart
    auto calls = Calls(c.entry);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args[0], std::string(c.size, ' '));
    auto log = LogMessages();
    ASSERT_GE(log.size(), logBefore + 2);
    EXPECT_EQ(log[logBefore], c.logName);
    EXPECT_EQ(log[logBefore + 1], "Retorno da Impressora : " + expected);
  }
}

// A library that writes a zero inside its answer: the whole buffer is the
// answer (what follows the zero is read as the library left it), as every
// fixed-width reading of the printer's records expects.
TEST_F(QueriesTest, AnswersKeepTheWholeBuffer) {
  for (const CounterCase& c : kCounters) {
    SCOPED_TRACE(c.entry);
    const size_t logBefore = DebugLog().size();
    Answer(c.entry, 1, R"(["0042\u0000X"])");
    std::string out = "host value";
    EXPECT_TRUE(c.fn("", out));
    const std::string whole = std::string("0042\0X", 6) + std::string(c.size - 6, ' ');
    EXPECT_EQ(out, whole);
    auto log = LogMessages();
    ASSERT_GE(log.size(), logBefore + 2);
    EXPECT_EQ(log[logBefore + 1], "Retorno da Impressora : " + whole);
  }
  // Trimming removes the control characters at both ends, as the run-time's Trim does.
  Answer("Elgin_NumeroReducoes", 1, R"(["12\u0000"])");
  std::string reducoes;
  EXPECT_TRUE(Qor01100::NumeroReducoes("", reducoes));
  EXPECT_EQ(reducoes, "0013");
  Answer("Elgin_MarcaModeloTipoImpressoraMFD", 1, R"(["QORSIM\u0000","FIT","ECF\u0000IF"])");
  std::string marca, modelo, tipo;
  EXPECT_TRUE(Qor01100::Modelo_Impressora("", marca, modelo, tipo));
  EXPECT_EQ(marca, std::string("QORSIM\0", 7) + std::string(8, ' '));
  EXPECT_EQ(rtl::Trim(modelo), "FIT");
  EXPECT_EQ(tipo, std::string("ECF\0IF ", 7));
}

TEST_F(QueriesTest, CounterQueriesReportFailuresWithoutDialogs) {
  for (const CounterCase& c : kCounters) {
    SCOPED_TRACE(c.entry);
    Qor01100::stMensagemTaa.clear();
    ASSERT_EQ(sim.fail(c.entry, 0, 1), 0);
    std::string out = "host value";
    EXPECT_FALSE(c.fn("", out));
    EXPECT_EQ(out, std::string(c.size, ' '));
    EXPECT_EQ(Qor01100::stMensagemTaa, A(" Erro de comunicação."));
  }
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(QueriesTest, CounterQueriesCancelACouponReportedOpenExceptTheCouponCounter) {
  for (const CounterCase& c : kCounters) {
    SCOPED_TRACE(c.entry);
    ClearJournal();
    ASSERT_EQ(sim.force_status(6, 2, 0, 1), 0);  // coupon open, nothing else
    Qor01100::inRetorno = 77;
    std::string out;
    EXPECT_TRUE(c.fn("", out));  // an open coupon is not an error
    EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), c.cancelsCoupon ? 1u : 0u);
    EXPECT_EQ(Qor01100::inRetorno, 77) << "the cancellation leaves the host's code as it was";
  }
}

TEST_F(QueriesTest, NumeroReducoesGivesTheNextReduction) {
  struct Case { const char* answer; const char* expected; };
  for (Case c : {Case{"0012", "0013"}, Case{"", "0000"}, Case{"0000", "0001"}}) {
    SCOPED_TRACE(c.answer);
    Answer("Elgin_NumeroReducoes", 1, std::string("[\"") + c.answer + "\"]");
    std::string out;
    EXPECT_TRUE(Qor01100::NumeroReducoes("", out));
    EXPECT_EQ(out, c.expected);
    const auto log = LogMessages();
    EXPECT_NE(std::find(log.begin(), log.end(), std::string("Retorno da Impressora : ") + c.expected), log.end());
  }
  auto calls = Calls("Elgin_NumeroReducoes");
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].args[0], "    ");
}

TEST_F(QueriesTest, NumeroReducoesOfAFailedQuery) {
  ASSERT_EQ(sim.fail("Elgin_NumeroReducoes", 0, 1), 0);
  std::string out = "x";
  EXPECT_FALSE(Qor01100::NumeroReducoes("", out));
  EXPECT_EQ(out, "0000");
}

TEST_F(QueriesTest, ModeloImpressoraReadsBrandModelAndType) {
  Answer("Elgin_MarcaModeloTipoImpressoraMFD", 1, R"(["QORSIM","FIT","ECF-IF"])");
  std::string marca, modelo, tipo;
  EXPECT_TRUE(Qor01100::Modelo_Impressora("", marca, modelo, tipo));
  EXPECT_EQ(marca, "QORSIM" + std::string(9, ' '));
  EXPECT_EQ(modelo, "FIT" + std::string(17, ' '));
  EXPECT_EQ(tipo, "ECF-IF ");
  auto calls = Calls("Elgin_MarcaModeloTipoImpressoraMFD");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], std::string(15, ' '));
  EXPECT_EQ(calls[0].args[1], std::string(20, ' '));
  EXPECT_EQ(calls[0].args[2], std::string(7, ' '));
  auto log = LogMessages();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "Elgin_MarcaModeloTipoImpressoraMFD");
  EXPECT_EQ(log[1], "Retorno da Impressora : " + marca + " - " + modelo + " - " + tipo);
}

TEST_F(QueriesTest, ModeloImpressoraShowsErrorsAndKeepsTheCoupon) {
  ASSERT_EQ(sim.fail("Elgin_MarcaModeloTipoImpressoraMFD", -1, 1), 0);
  std::string marca, modelo, tipo;
  EXPECT_FALSE(Qor01100::Modelo_Impressora("", marca, modelo, tipo));
  EXPECT_EQ(DialogTexts(), std::vector<std::string>{A("Erro de execução na função.")});

  ASSERT_EQ(sim.force_status(6, 2, 0, 1), 0);
  EXPECT_TRUE(Qor01100::Modelo_Impressora("", marca, modelo, tipo));
  EXPECT_TRUE(Calls("Elgin_CancelaCupom").empty());
}

TEST_F(QueriesTest, InfImpTermReadsTheCouponRangeAndTheCancelledCount) {
  Answer("Elgin_InicioFimCOOsMFD", 1, R"(["000120","000135"])");
  Answer("Elgin_NumeroCuponsCancelados", 1, R"(["0003"])");
  std::string ini, fin, can;
  EXPECT_TRUE(Qor01100::InfImpTerm_Elgin(ini, fin, can));
  EXPECT_EQ(ini, "000120");
  EXPECT_EQ(fin, "000135");
  EXPECT_EQ(can, "0003");
  EXPECT_EQ(CallNames(), (std::vector<std::string>{"Elgin_InicioFimCOOsMFD", "Elgin_VerificaEstadoImpressora",
                                                   "Elgin_NumeroCuponsCancelados",
                                                   "Elgin_VerificaEstadoImpressora"}));
  auto log = LogMessages();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], "Elgin_RegistrosTipo60");
  EXPECT_EQ(log[1], "Retorno da Impressora : 000120 - 000135");
  EXPECT_EQ(log[2], "Elgin_NumeroCuponsCancelados");
  EXPECT_EQ(log[3], "Retorno da Impressora : 0003");
}

TEST_F(QueriesTest, InfImpTermIsTrueEvenWhenThePrinterFails) {
  ASSERT_EQ(sim.fail("Elgin_InicioFimCOOsMFD", 0, 1), 0);
  ASSERT_EQ(sim.fail("Elgin_NumeroCuponsCancelados", 0, 1), 0);
  std::string ini = "a", fin = "b", can = "c";
  EXPECT_TRUE(Qor01100::InfImpTerm_Elgin(ini, fin, can));
  EXPECT_EQ(ini, "      ");
  EXPECT_EQ(fin, "      ");
  EXPECT_EQ(can, "    ");
  EXPECT_EQ(Qor01100::inRetorno, 0);
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(QueriesTest, CodigoNacionalEcfByFirmwareVersion) {
  struct Case { const char* version; const char* code; };
  for (Case c : {Case{"010000", "140701"}, Case{"010008", "140702"}, Case{"", "140702"}, Case{"01.00.00", "140702"},
                 Case{"010000 ", "140702"}}) {
    SCOPED_TRACE(c.version);
    EXPECT_EQ(Qor01100::Codigo_Nacional_ECF(1, c.version), c.code);
  }
  EXPECT_TRUE(Journal().empty());
}

TEST_F(QueriesTest, OperationsWithoutMeaningOnThisPrinterChangeNothing) {
  std::string a = "versao", b = "usuario", c = "sw", d = "mf", e = "ops";
  EXPECT_TRUE(Qor01100::VerificaSerialImp(rtl::Variant::Record({{"NRSERIE", "X"}})));
  EXPECT_TRUE(Qor01100::Versao_Software_Basico("", a));
  EXPECT_TRUE(Qor01100::DataHoraGravacaoUsuarioSWBasicoMFAdicional("", b, c, d));
  EXPECT_TRUE(Qor01100::NumeroOperacoesNaoFiscais("", e));
  EXPECT_EQ(a, "versao");
  EXPECT_EQ(b, "usuario");
  EXPECT_EQ(c, "sw");
  EXPECT_EQ(d, "mf");
  EXPECT_EQ(e, "ops");
  EXPECT_TRUE(Journal().empty());
}

TEST_F(QueriesTest, QueriesBeforeTheDriverStartsFailCleanly) {
  Qor01100::StopImpFiscal();
  std::string out;
  EXPECT_FALSE(Qor01100::VendaBruta("", out));
  EXPECT_EQ(out, std::string(18, ' '));
  EXPECT_TRUE(Journal().empty());
}

}  // namespace
