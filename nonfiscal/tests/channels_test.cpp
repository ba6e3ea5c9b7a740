// The management report and the linked voucher, through the simulated printer.
#include <string>
#include <vector>

#include "driver/state.h"
#include "hostlib/records.h"
#include "nonfiscal/operations.h"
#include "tests/support/module_helpers.h"
#include "vendor/elgin.h"

namespace {

using qortest::JournalEntry;

class ChannelTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    ASSERT_EQ(sim.program(R"({"payment_methods": [{"slot": 2, "name": "Cartao", "linkable": true}],
                             "nonfiscal_totalizers": [{"index": 0, "name": "RECEBIMENTO"}]})"),
              0);
  }
  // A non-fiscal receipt paid by card: the document a linked voucher refers to.
  void CardReceipt() {
    ASSERT_TRUE(Qor01100::Cupom_NFiscNVinc("", "00", "00000000002500", "Cartao", ""));
    ClearJournal();
  }
  const std::string refused = A("Comando não executado pela impressora fiscal.");
  std::vector<std::string> Records(const std::string& type) {
    std::vector<std::string> out;
    for (const std::string& r : hostlib::ReadRecords())
      if (r.find("\"type\":\"" + type + "\"") != std::string::npos) out.push_back(r);
    return out;
  }
};

TEST_F(ChannelTest, AManagementReportOpensPrintsAndCloses) {
  EXPECT_TRUE(Qor01100::Relatorio_Gerencial_Imp("", "0001", "002", "", ""));
  EXPECT_TRUE(Qor01100::Relatorio_Gerencial_Imp("", "0001", "002", "SALDO\\DIA\n", ""));
  EXPECT_TRUE(Qor01100::FechRelatGerenc("", true, false));
  // The opening reads the document number first (what decides a lost answer).
  EXPECT_EQ(CallNames(), (std::vector<std::string>{"Elgin_NumeroCupom", "Elgin_RelatorioGerencial",
                                                   "Elgin_VerificaEstadoImpressora",
                                                   "Elgin_RelatorioGerencial", "Elgin_VerificaEstadoImpressora",
                                                   "Elgin_FechaRelatorioGerencial",
                                                   "Elgin_VerificaEstadoImpressora"}));
  // Backslashes become vertical bars before the text reaches the printer.
  EXPECT_EQ(ArgsOf("Elgin_RelatorioGerencial").at(1)[0], "SALDO|DIA\n");
  EXPECT_EQ(LogMessages().at(0), "Elgin_RelatorioGerencial");
  EXPECT_EQ(LogMessages().back(), "Elgin_FechaRelatorioGerencial");
  EXPECT_NE(Tape().find("RELATORIO GERENCIAL"), std::string::npos);
  EXPECT_NE(Tape().find("SALDO|DIA"), std::string::npos);
  EXPECT_EQ(SimState()["counters"]["grg"], 1);
}

TEST_F(ChannelTest, TheReportCounterIsRecordedOnlyWhenAskedAndOnlyAfterThePrinterTookTheText) {
  struct Case { const char* incCer; bool refused; size_t records; };
  const Case cases[] = {{"", false, 0}, {"S", false, 1}, {"S", true, 0}, {"", true, 0}};
  size_t expected = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.incCer) + (c.refused ? " refused" : " accepted"));
    if (c.refused) {
      ASSERT_EQ(sim.fail("Elgin_RelatorioGerencial", -1, 1), 0);
    }
    EXPECT_EQ(Qor01100::Relatorio_Gerencial_Imp("", "0001", "002", "LINHA\n", c.incCer), !c.refused);
    expected += c.records;
    EXPECT_EQ(Records("CER").size(), expected);
  }
  const std::string r = Records("CER").at(0);
  EXPECT_NE(r.find("\"cdFilial\":\"0001\""), std::string::npos) << r;
  EXPECT_NE(r.find("\"cdCaixa\":\"002\""), std::string::npos) << r;
}

TEST_F(ChannelTest, ReportFailuresAreShownOnlyWhereDialogsAreAllowed) {
  for (bool dialogsAllowed : {true, false}) {
    SCOPED_TRACE(dialogsAllowed);
    dialogs.clear();
    Qor01100::boNUtilTaa = dialogsAllowed;
    ASSERT_EQ(sim.fail("Elgin_RelatorioGerencial", -1, 1), 0);
    EXPECT_FALSE(Qor01100::Relatorio_Gerencial_Imp("", "", "", "", ""));
    EXPECT_EQ(Qor01100::inRetorno, -1);
    EXPECT_EQ(DialogTexts().size(), dialogsAllowed ? 1u : 0u);
  }
}

TEST_F(ChannelTest, TheClosingShowsMessagesAndCancelsAnOpenCouponAsItsFlagsSay) {
  // Nothing open: the printer refuses the closing.
  EXPECT_FALSE(Qor01100::FechRelatGerenc("", false, false));
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_FALSE(Qor01100::FechRelatGerenc("", true, false));
  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{A("Erro de execução na função."), refused}));

  // A coupon left open is cancelled only when the second flag asks for it.
  char empty[1] = "";
  ASSERT_EQ(Qor01100::Elgin_AbreCupomMFD(empty, empty, empty), 1);
  ClearJournal();
  Qor01100::FechRelatGerenc("", false, false);
  EXPECT_TRUE(Calls("Elgin_CancelaCupom").empty());
  Qor01100::FechRelatGerenc("", false, true);
  EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), 1u);
}

TEST_F(ChannelTest, ALinkedVoucherOpensAgainstThePaymentPrintsAndClosesLikeAReport) {
  CardReceipt();
  const size_t logStart = LogMessages().size();
  EXPECT_TRUE(Qor01100::Abre_Comp_NFiscalVinc("", "Cartao", "00000000002500", ""));
  EXPECT_EQ(ArgsOf("Elgin_AbreComprovanteNaoFiscalVinculado").at(0),
            (nlohmann::json{"Cartao", "00000000002500", ""}));
  EXPECT_EQ(LogMessages().at(logStart), "Elgin_AbreComprovanteNaoFiscalVinculado : Cartao -  - ");
  EXPECT_TRUE(Qor01100::Usa_CompNFis("", "VIA DO CLIENTE\nAUT 123456\n"));
  EXPECT_EQ(ArgsOf("Elgin_UsaComprovanteNaoFiscalVinculado").at(0)[0], "VIA DO CLIENTE\nAUT 123456\n");
  EXPECT_TRUE(Qor01100::FechRelatGerenc("", true, false));
  EXPECT_NE(Tape().find("COMPROVANTE CREDITO OU DEBITO"), std::string::npos);
  EXPECT_NE(Tape().find("AUT 123456"), std::string::npos);
  EXPECT_EQ(SimState()["counters"]["cdc"], 1);
}

TEST_F(ChannelTest, AnOpeningWhoseAnswerIsLostCountsWhenThePrinterOpenedTheDocument) {
  CardReceipt();
  ASSERT_EQ(sim.lost_answer("Elgin_AbreComprovanteNaoFiscalVinculado", 1), 0);
  EXPECT_TRUE(Qor01100::Abre_Comp_NFiscalVinc("", "Cartao", "00000000001000", ""));
  EXPECT_TRUE(Qor01100::Usa_CompNFis("", "TEXTO\n"));
  EXPECT_TRUE(Qor01100::FechRelatGerenc("", false, false));

  ASSERT_EQ(sim.lost_answer("Elgin_RelatorioGerencial", 1), 0);
  EXPECT_TRUE(Qor01100::Relatorio_Gerencial_Imp("", "", "", "", ""));
  EXPECT_TRUE(Qor01100::FechRelatGerenc("", false, false));
  // Never reached: nothing opened, and the closing finds nothing to close.
  ASSERT_EQ(sim.fail("Elgin_RelatorioGerencial", 0, 1), 0);
  EXPECT_FALSE(Qor01100::Relatorio_Gerencial_Imp("", "", "", "", ""));
  EXPECT_FALSE(Qor01100::FechRelatGerenc("", false, false));
  EXPECT_EQ(SimState()["counters"]["cdc"], 1);
  EXPECT_EQ(SimState()["counters"]["grg"], 1);
}

TEST_F(ChannelTest, AVoucherThatCannotOpenIsAlwaysShownWhileItsTextFollowsTheDialogSetting) {
  Qor01100::boNUtilTaa = false;
  // No receipt or coupon to link to.
  EXPECT_FALSE(Qor01100::Abre_Comp_NFiscalVinc("", "Cartao", "00000000001000", ""));
  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{A("Erro de execução na função."), refused}));
  dialogs.clear();
  const size_t logStart = LogMessages().size();
  EXPECT_FALSE(Qor01100::Usa_CompNFis("", "TEXTO\n"));
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_EQ(LogMessages().at(logStart), "Elgin_UsaComprovanteNaoFiscalVinculado");
}

}  // namespace
