// Cash supply, withdrawal and non-fiscal receipts through the simulated printer.
#include <string>
#include <vector>

#include "driver/state.h"
#include "nonfiscal/operations.h"
#include "tests/support/module_helpers.h"

namespace {

class CashTest : public qortest::PrinterTest {
 protected:
  const std::string erroComando = "Erro ao enviar comando para a impressora.";
};

TEST_F(CashTest, ASupplySendsTheAmountAndCashAsThePaymentMethod) {
  EXPECT_TRUE(Qor01100::Suprimento("", "002", 150, false));
  EXPECT_EQ(ArgsOf("Elgin_Suprimento"), std::vector<nlohmann::json>{nlohmann::json({"150,00", "Dinheiro"})});
  EXPECT_EQ(Qor01100::inRetorno, 1);
  const auto log = LogMessages();
  EXPECT_NE(std::find(log.begin(), log.end(), "Elgin_Suprimento : 150,00 - Dinheiro"), log.end());
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_NE(Tape().find("SUPRIMENTO"), std::string::npos);
  EXPECT_NE(Tape().find("150,00"), std::string::npos);
}

TEST_F(CashTest, ASupplyOfNothingSendsNothing) {
  for (double v : {0.0, -10.0}) {
    SCOPED_TRACE(v);
    Qor01100::inRetorno = 77;
    Qor01100::stImpDebug = "before";
    EXPECT_TRUE(Qor01100::Suprimento("", "", v, true));
    EXPECT_TRUE(Journal().empty());
    EXPECT_EQ(Qor01100::inRetorno, 77);
    EXPECT_EQ(Qor01100::stImpDebug, "before");
  }
}

TEST_F(CashTest, ARefusedMovementShowsTheCommandErrorInTheHostsColours) {
  struct Case { const char* what; bool supply; };
  for (const Case c : {Case{"supply", true}, Case{"withdrawal", false}}) {
    SCOPED_TRACE(c.what);
    dialogs.clear();
    ASSERT_EQ(sim.fail(c.supply ? "Elgin_Suprimento" : "Elgin_Sangria", -1, 1), 0);
    EXPECT_FALSE(c.supply ? Qor01100::Suprimento("", "007", 10, false) : Qor01100::Sangria("", "007", 10, nullptr));
    ASSERT_EQ(DialogTexts(), (std::vector<std::string>{A("Erro de execução na função."), A(erroComando)}));
    EXPECT_EQ(Dialogs().back().request.scheme, "007");
    EXPECT_EQ(Dialogs().back().request.kind, hostlib::tmInformacao);
  }
}

TEST_F(CashTest, AMovementThePrinterExecutedStandsDespiteALaterStatusError) {
  // The voucher is printed, then the paper runs out: the movement is on the
  // printer, so the host is told it happened (and the operator sees why the
  // printer stopped).
  for (bool supply : {true, false}) {
    SCOPED_TRACE(supply);
    dialogs.clear();
    ASSERT_EQ(sim.force_status(6, 128, 0, 1), 0);
    EXPECT_TRUE(supply ? Qor01100::Suprimento("", "", 10, false) : Qor01100::Sangria("", "", 10, nullptr));
    EXPECT_EQ(DialogTexts(), std::vector<std::string>{A("Impressora fiscal sem papel.")});
  }
  EXPECT_EQ(SimState()["counters"]["gnf"], 2);
}

TEST_F(CashTest, AMovementThePrinterDidNotExecuteIsAFailureEvenWithCodeOne) {
  for (bool supply : {true, false}) {
    SCOPED_TRACE(supply);
    dialogs.clear();
    ASSERT_EQ(sim.not_executed(supply ? "Elgin_Suprimento" : "Elgin_Sangria", 1), 0);
    EXPECT_FALSE(supply ? Qor01100::Suprimento("", "", 10, false) : Qor01100::Sangria("", "", 10, nullptr));
    EXPECT_EQ(DialogTexts(), (std::vector<std::string>{A("Comando não executado pela impressora fiscal."),
                                                       A(erroComando)}));
  }
  EXPECT_EQ(SimState()["counters"]["gnf"], 0);
}

TEST_F(CashTest, AMovementWhoseAnswerIsLostIsDecidedByThePrintersRecord) {
  ASSERT_EQ(sim.program(R"({"nonfiscal_totalizers": [{"index": 0, "name": "RECEBIMENTO"}]})"), 0);
  struct Case { const char* fn; bool reached; };
  const Case cases[] = {{"Elgin_Suprimento", true}, {"Elgin_Sangria", true}, {"Elgin_RecebimentoNaoFiscal", true},
                        {"Elgin_Suprimento", false}, {"Elgin_Sangria", false}, {"Elgin_RecebimentoNaoFiscal", false}};
  int documents = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fn) + (c.reached ? " answer lost" : " never reached"));
    ClearJournal();
    dialogs.clear();
    // Lost on the way back: the printer registered it. Never reached: it did not.
    ASSERT_EQ(c.reached ? sim.lost_answer(c.fn, 1) : sim.fail(c.fn, 0, 1), 0);
    const std::string fn = c.fn;
    const bool ok = fn == "Elgin_Suprimento" ? Qor01100::Suprimento("", "", 10, false)
                    : fn == "Elgin_Sangria"  ? Qor01100::Sangria("", "", 10, nullptr)
                                             : Qor01100::Cupom_NFiscNVinc("", "00", "00000000001000", "Dinheiro", "");
    EXPECT_EQ(ok, c.reached);
    EXPECT_EQ(Calls(c.fn).size(), 1u);
    if (c.reached) ++documents;
    EXPECT_EQ(SimState()["counters"]["gnf"], documents);
    const auto texts = DialogTexts();
    EXPECT_EQ(std::find(texts.begin(), texts.end(), A(erroComando)) != texts.end(), !c.reached && fn != "Elgin_RecebimentoNaoFiscal");
  }
}

TEST_F(CashTest, AWithdrawalOfNothingIsOneCentAndNegativeAmountsGoAsTheyAre) {
  EXPECT_TRUE(Qor01100::Sangria("", "", 0, nullptr));
  EXPECT_EQ(ArgsOf("Elgin_Sangria").at(0)[0], "0,01");
  EXPECT_EQ(LogMessages().at(0), "Elgin_Sangria : 0,01");
  EXPECT_FALSE(Qor01100::Sangria("", "", -5, nullptr));
  EXPECT_EQ(ArgsOf("Elgin_Sangria").at(1)[0], "-5,00");
  EXPECT_TRUE(Qor01100::Sangria("", "", 1234.5, nullptr));
  EXPECT_EQ(ArgsOf("Elgin_Sangria").at(2)[0], "1234,50");
  EXPECT_NE(Tape().find("SANGRIA"), std::string::npos);
}

TEST_F(CashTest, AReceiptPassesItsArgumentsUnchanged) {
  ASSERT_EQ(sim.program(R"({"nonfiscal_totalizers": [{"index": 3, "name": "CONTRA-VALE"}]})"), 0);
  EXPECT_TRUE(Qor01100::Cupom_NFiscNVinc("ignored", "03", "00000000001050", "Dinheiro", "ignored too"));
  EXPECT_EQ(ArgsOf("Elgin_RecebimentoNaoFiscal").at(0), (nlohmann::json{"03", "00000000001050", "Dinheiro"}));
  EXPECT_EQ(LogMessages().at(0), "Elgin_RecebimentoNaoFiscal : 03 - 00000000001050 - Dinheiro");
  EXPECT_NE(Tape().find("CONTRA-VALE"), std::string::npos);

  // An empty payment method goes as an empty text; the printer refuses it.
  for (bool dialogsAllowed : {true, false}) {
    dialogs.clear();
    Qor01100::boNUtilTaa = dialogsAllowed;
    EXPECT_FALSE(Qor01100::Cupom_NFiscNVinc("", "03", "00000000001050", "", ""));
    EXPECT_EQ(ArgsOf("Elgin_RecebimentoNaoFiscal").back()[2], "");
    EXPECT_EQ(Dialogs().empty(), !dialogsAllowed);
  }
}

TEST_F(CashTest, TheTwoOperationsWithNothingToDoAnswerTrue) {
  EXPECT_TRUE(Qor01100::Totaliza_NFiscal("x", "y"));
  EXPECT_TRUE(Qor01100::Leitura_Totais_Imp(false, true));
  EXPECT_TRUE(Journal().empty());
}

}  // namespace
