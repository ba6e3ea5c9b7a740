// The card-payment vouchers of a sale (ImprimeTef) through the simulated printer.
#include <string>
#include <vector>

#include "driver/state.h"
#include "nonfiscal/operations.h"
#include "platform/stringlist.h"
#include "tests/support/module_helpers.h"

namespace {

using Strings = std::vector<std::string>;

struct Tef {
  Strings primeira, segunda;
  std::string cupom = "";
  std::string descricao = "Cartao de credito Visa";
  double valor = 25;
  int erro = 0;
  std::string tefRed = "N";
  std::string tipSis = "";
};

class TefTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    ASSERT_EQ(sim.program(R"({"payment_methods": [{"slot": 2, "name": "Cartao de credit", "linkable": true}],
                             "nonfiscal_totalizers": [{"index": 0, "name": "RECEBIMENTO"}]})"),
              0);
    // The document the vouchers link to: a receipt of 25,00 paid by card.
    ASSERT_TRUE(Qor01100::Cupom_NFiscNVinc("", "00", "00000000002500", "Cartao de credit", ""));
    ClearJournal();
    dialogs.clear();
  }
  bool Print(const Tef& t) {
    rtl::StringList p, s, data, hora;
    for (const auto& x : t.primeira) p.Add(x);
    for (const auto& x : t.segunda) s.Add(x);
    return Qor01100::ImprimeTef("", "0001", "002", "005", &p, &s, &data, &hora, t.cupom, t.descricao, "", 0, t.valor,
                                t.erro, t.tefRed, t.tipSis);
  }
  // The texts sent to the voucher and to the management report, in order.
  Strings Sent(const char* fn) {
    Strings out;
    for (const auto& a : ArgsOf(fn)) out.push_back(a[0].get<std::string>());
    return out;
  }
  Strings VoucherTexts() { return Sent("Elgin_UsaComprovanteNaoFiscalVinculado"); }
  // Report texts without the empty opening calls.
  Strings ReportTexts() {
    Strings out;
    for (const auto& s : Sent("Elgin_RelatorioGerencial"))
      if (!s.empty()) out.push_back(s);
    return out;
  }
  size_t Count(const char* fn) { return Calls(fn).size(); }
  const std::string question = A("Impressora não responde. Imprimir novamente?");
  std::vector<std::string> Questions() {
    std::vector<std::string> out;
    for (const auto& d : Dialogs())
      if (d.request.question) out.push_back(d.request.text);
    return out;
  }
};

const std::string kFirst = "VIA ESTABELECIMENTO\nL2\nL3\nL4\nL5\nL6\n";  // two groups: 4 + 2 lines
const std::string kSecond = "VIA CLIENTE\nC2\nC3\n";

TEST_F(TefTest, NormalModePrintsBothCopiesInTheLinkedVoucherFourLinesAtATime) {
  Tef t;
  t.primeira = {kFirst, "T2 VIA 1\n"};
  t.segunda = {kSecond, "T2 VIA 2\n"};
  EXPECT_TRUE(Print(t));
  const auto abre = ArgsOf("Elgin_AbreComprovanteNaoFiscalVinculado");
  ASSERT_EQ(abre.size(), 1u);
  // The payment name cut to 16 characters, 14 digits of amount, the current coupon number.
  EXPECT_EQ(abre[0], (nlohmann::json{"Cartao de credit", "00000000002500", "000001"}));
  EXPECT_EQ(VoucherTexts(),
            (Strings{"VIA ESTABELECIMENTO\nL2\nL3\nL4\n", "L5\nL6\n", kSecond, "T2 VIA 1\n", "T2 VIA 2\n"}));
  EXPECT_TRUE(ReportTexts().empty());
  EXPECT_EQ(Count("Elgin_FechaRelatorioGerencial"), 1u);
  EXPECT_NE(Tape().find("T2 VIA 2"), std::string::npos);
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(TefTest, ReducedVouchersPrintOnlySecondCopiesInAReportAndNoneForUnattendedSystems) {
  struct Case { const char* tipSis; Strings texts; };
  const Case cases[] = {{"", {kSecond, "T2 VIA 2\n"}}, {"PDV", {kSecond, "T2 VIA 2\n"}}, {"APC", {}}, {"TAA", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tipSis);
    ClearJournal();
    Tef t;
    t.primeira = {kFirst, "T2 VIA 1\n"};
    t.segunda = {kSecond, "T2 VIA 2\n"};
    t.tefRed = "S";
    t.tipSis = c.tipSis;
    t.cupom = "000001";
    EXPECT_TRUE(Print(t));
    EXPECT_EQ(Count("Elgin_AbreComprovanteNaoFiscalVinculado"), 0u);
    EXPECT_EQ(ReportTexts(), c.texts);
    // One report, opened and closed even when nothing goes into it.
    EXPECT_EQ(Sent("Elgin_RelatorioGerencial").at(0), "");
    EXPECT_EQ(Count("Elgin_FechaRelatorioGerencial"), 1u);
  }
}

TEST_F(TefTest, AnEarlierFailurePrintsBothCopiesOfEveryTransactionInOneReport) {
  for (const char* tipSis : {"", "APC", "TAA"}) {
    SCOPED_TRACE(tipSis);
    ClearJournal();
    Tef t;
    t.primeira = {"A1\n", "B1\n"};
    t.segunda = {"A2\n", "B2\n"};
    t.erro = 2;
    t.tipSis = tipSis;
    t.cupom = "000001";
    EXPECT_TRUE(Print(t));
    EXPECT_EQ(Count("Elgin_AbreComprovanteNaoFiscalVinculado"), 0u);
    EXPECT_EQ(ReportTexts(), (Strings{"A1\n", "A2\n", "B1\n", "B2\n"}));
    EXPECT_EQ(Sent("Elgin_RelatorioGerencial").at(0), "");
    EXPECT_EQ(Count("Elgin_FechaRelatorioGerencial"), 1u);
  }
}

TEST_F(TefTest, NothingToPrintIsFalseAfterThePrinterCheck) {
  Tef t;
  EXPECT_FALSE(Print(t));
  EXPECT_EQ(CallNames(), (Strings{"Elgin_VerificaEstadoImpressora", "Elgin_VerificaEstadoImpressora"}));
}

TEST_F(TefTest, UnevenCopyListsPrintOnlyTheSecondCopiesThatHaveAFirst) {
  struct Case { const char* name; Strings primeira, segunda; Strings texts; };
  const Case cases[] = {
      {"more second copies", {"A1\n"}, {"A2\n", "B2\n"}, {"A1\n", "A2\n"}},
      {"fewer second copies", {"A1\n", "B1\n"}, {"A2\n"}, {"A1\n", "A2\n", "B1\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearJournal();
    Tef t;
    t.primeira = c.primeira;
    t.segunda = c.segunda;
    t.erro = 2;
    EXPECT_TRUE(Print(t));
    EXPECT_EQ(ReportTexts(), c.texts);
  }
}

TEST_F(TefTest, AVoucherWhoseLastLineHasNoLineFeedIsPrintedOnceAndTheCopyEnds) {
  Tef t;
  t.primeira = {"L1\nL2\nfim sem quebra", "1\n2\n3\n4\nultima"};
  t.segunda = {"sem quebra"};
  EXPECT_TRUE(Print(t));
  EXPECT_EQ(VoucherTexts(), (Strings{"L1\nL2\nfim sem quebra", "sem quebra", "1\n2\n3\n4\n", "ultima"}));
  EXPECT_EQ(Count("Elgin_FechaRelatorioGerencial"), 1u);
}

TEST_F(TefTest, AGroupLongerThanAPrintingCallGoesOnInTheNextCall) {
  // Four lines of 200 characters (one group of 800): the printer takes 620
  // a call, so the group goes in two calls cut at a line end, in the voucher
  // and in a report alike, and every character is printed.
  const std::string linha = std::string(199, 'v') + "\n";
  const std::string via = linha + linha + linha + linha;
  for (const char* tefRed : {"N", "S"}) {
    SCOPED_TRACE(tefRed);
    ASSERT_TRUE(Qor01100::Cupom_NFiscNVinc("", "00", "00000000002500", "Cartao de credit", ""));
    ClearJournal();
    Tef t;
    t.primeira = {via};
    t.segunda = {via};
    t.tefRed = tefRed;
    t.cupom = "000001";
    EXPECT_TRUE(Print(t));
    const Strings sent = std::string(tefRed) == "N" ? VoucherTexts() : ReportTexts();
    std::string all;
    for (const std::string& piece : sent) {
      EXPECT_LE(piece.size(), 620u);
      all += piece;
    }
    EXPECT_EQ(all, std::string(tefRed) == "N" ? via + via : via);
    EXPECT_TRUE(SimState()["document"].is_null());
  }
}

TEST_F(TefTest, AVoucherThatCannotOpenIsPrintedInAReportWhenTheOperatorAsks) {
  ASSERT_EQ(sim.fail("Elgin_AbreComprovanteNaoFiscalVinculado", 0, 1), 0);
  answers.push_back(true);
  Tef t;
  t.primeira = {"A1\n"};
  t.segunda = {"A2\n"};
  t.tipSis = "TAA";  // the report prints second copies whatever the system
  EXPECT_TRUE(Print(t));
  EXPECT_EQ(Questions(), Strings{question});
  EXPECT_EQ(Dialogs().back().request.kind, hostlib::tmAviso);
  EXPECT_EQ(Dialogs().back().request.scheme, "005");
  EXPECT_TRUE(VoucherTexts().empty());
  EXPECT_EQ(ReportTexts(), (Strings{"A1\n", "A2\n"}));
  EXPECT_EQ(Count("Elgin_FechaRelatorioGerencial"), 1u);
}

TEST_F(TefTest, AVoucherOpenedWhoseAnswerWasLostIsPrintedWithoutAQuestion) {
  ASSERT_EQ(sim.lost_answer("Elgin_AbreComprovanteNaoFiscalVinculado", 1), 0);
  Tef t;
  t.primeira = {"A1\n"};
  t.segunda = {"A2\n"};
  EXPECT_TRUE(Print(t));
  EXPECT_TRUE(Questions().empty());
  EXPECT_EQ(VoucherTexts(), (Strings{"A1\n", "A2\n"}));
  EXPECT_EQ(Count("Elgin_AbreComprovanteNaoFiscalVinculado"), 1u);
  EXPECT_EQ(SimState()["counters"]["cdc"], 1);
}

TEST_F(TefTest, AVoucherThatCannotOpenIsFalseWhenTheOperatorDeclinesOrCannotBeAsked) {
  for (bool dialogsAllowed : {true, false}) {
    SCOPED_TRACE(dialogsAllowed);
    ClearJournal();
    dialogs.clear();
    Qor01100::boNUtilTaa = dialogsAllowed;
    ASSERT_EQ(sim.fail("Elgin_AbreComprovanteNaoFiscalVinculado", -1, 1), 0);
    Tef t;
    t.primeira = {"A1\n"};
    EXPECT_FALSE(Print(t));
    EXPECT_EQ(Questions().size(), dialogsAllowed ? 1u : 0u);
    EXPECT_TRUE(ReportTexts().empty());
    EXPECT_TRUE(VoucherTexts().empty());
  }
}

TEST_F(TefTest, APrinterCheckThatFailsIsAskedAgainOrEndsTheCall) {
  ASSERT_EQ(sim.fail("Elgin_VerificaEstadoImpressora", 0, 1), 0);
  answers.push_back(true);
  Tef t;
  t.primeira = {"A1\n"};
  EXPECT_TRUE(Print(t));
  EXPECT_EQ(Questions(), Strings{question});
  EXPECT_EQ(VoucherTexts(), Strings{"A1\n"});

  // A self-service terminal is never asked: the call ends at once.
  ClearJournal();
  dialogs.clear();
  Qor01100::boNUtilTaa = false;
  ASSERT_EQ(sim.fail("Elgin_VerificaEstadoImpressora", 0, 1), 0);
  EXPECT_FALSE(Print(t));
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_EQ(Count("Elgin_AbreComprovanteNaoFiscalVinculado"), 0u);
}

TEST_F(TefTest, APrintFailureOfTheLastTransactionReprintsTheVouchersInAReportWhenTheOperatorAsks) {
  // The voucher is closed, a report opened and the transaction printed
  // again in it (the voucher it printed in is gone).
  ASSERT_EQ(sim.fail("Elgin_UsaComprovanteNaoFiscalVinculado", -1, 1), 0);
  answers.push_back(true);
  Tef t;
  t.primeira = {"A1\n"};
  t.segunda = {"A2\n"};
  EXPECT_TRUE(Print(t));
  EXPECT_EQ(Questions(), Strings{question});
  EXPECT_EQ(VoucherTexts(), Strings{"A1\n"});  // the failed one; the second copy waits
  EXPECT_EQ(ReportTexts(), (Strings{"A1\n", "A2\n"}));
  EXPECT_EQ(Count("Elgin_FechaRelatorioGerencial"), 2u);
  EXPECT_EQ(SimState()["counters"]["cdc"], 1);
  EXPECT_EQ(SimState()["counters"]["grg"], 1);
  EXPECT_NE(Tape().find("A2"), std::string::npos);
}

TEST_F(TefTest, APrintFailureBeforeTheLastTransactionDoesNotStopTheNextButIsNotAPrintedVoucher) {
  // The failed transaction's second copy waits, the next transaction prints
  // normally, and the host is not told the vouchers are printed.
  ASSERT_EQ(sim.fail("Elgin_UsaComprovanteNaoFiscalVinculado", -1, 1), 0);
  Tef t;
  t.primeira = {"A1\n", "B1\n"};
  t.segunda = {"A2\n", "B2\n"};
  EXPECT_FALSE(Print(t));
  EXPECT_TRUE(Questions().empty());
  EXPECT_EQ(VoucherTexts(), (Strings{"A1\n", "B1\n", "B2\n"}));
  EXPECT_EQ(Count("Elgin_FechaRelatorioGerencial"), 1u);
}

TEST_F(TefTest, ADeclinedRetryClosesWhatWasOpenedAndIsNotAPrintedVoucher) {
  // The operator declines to print again after a refused line or a refused
  // closing: the voucher or report is closed before the answer, which is
  // false in either mode, with or without a coupon number.
  struct Case { const char* name; std::string tefRed; const char* cupom; const char* refused; int occurrence; };
  const Case cases[] = {
      {"linked voucher, a line refused", "N", "", "Elgin_UsaComprovanteNaoFiscalVinculado", 1},
      {"report, a line refused, no coupon", "S", "  ", "Elgin_RelatorioGerencial", 2},
      {"report, a line refused, a coupon", "S", "000001", "Elgin_RelatorioGerencial", 2},
      {"report, its closing refused, no coupon", "S", "  ", "Elgin_FechaRelatorioGerencial", 1},
      {"report, its closing refused, a coupon", "S", "000001", "Elgin_FechaRelatorioGerencial", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tef t;
    t.primeira = {"A1\n"};
    t.segunda = {"A2\n"};
    t.tefRed = c.tefRed;
    t.cupom = c.cupom;
    // Where the refused call falls in a clean run of the same vouchers
    // (each run on a receipt of its own: a voucher uses up its payment).
    ASSERT_TRUE(Qor01100::Cupom_NFiscNVinc("", "00", "00000000002500", "Cartao de credit", ""));
    ClearJournal();
    ASSERT_TRUE(Print(t));
    size_t at = 0, seen = 0;
    const Strings names = CallNames();
    for (size_t i = 0; i < names.size() && at == 0; ++i)
      if (names[i] == c.refused && ++seen == static_cast<size_t>(c.occurrence)) at = i + 1;
    ASSERT_GT(at, 0u);
    ASSERT_TRUE(Qor01100::Cupom_NFiscNVinc("", "00", "00000000002500", "Cartao de credit", ""));
    ClearJournal();
    dialogs.clear();
    ASSERT_EQ(sim.fault_call(static_cast<long>(at), "fail", -1), 0);
    answers.push_back(false);
    EXPECT_FALSE(Print(t));
    EXPECT_EQ(Questions(), Strings{question});
    EXPECT_TRUE(SimState()["document"].is_null()) << SimState()["document"].dump();
  }
}

TEST_F(TefTest, APassThatSkipsATransactionAfterAFailedClosingIsNotAPrintedVoucher) {
  // Two transactions in a report: the last one's first copy is refused, the
  // operator asks to print again, and closing the report for the new pass
  // fails. The new pass then skips the first transaction (its copies wait
  // for the failure) and prints the second: the first transaction's vouchers
  // are not on paper, so the answer is false.
  Tef t;
  t.primeira = {"A1\n", "B1\n"};
  t.segunda = {"A2\n", "B2\n"};
  t.erro = 2;
  t.cupom = "000001";
  ASSERT_TRUE(Print(t));
  const Strings names = CallNames();
  size_t at = 0, seen = 0;
  for (size_t i = 0; i < names.size() && at == 0; ++i)
    if (names[i] == "Elgin_RelatorioGerencial" && ++seen == 4) at = i + 1;  // "B1\n"
  ASSERT_GT(at, 0u);
  ClearJournal();
  dialogs.clear();
  ASSERT_EQ(sim.fault_call(static_cast<long>(at), "fail", -1), 0);
  ASSERT_EQ(sim.fail("Elgin_FechaRelatorioGerencial", -1, 1), 0);
  answers.push_back(true);
  EXPECT_FALSE(Print(t));
  EXPECT_EQ(ReportTexts(), (Strings{"A1\n", "A2\n", "B1\n", "B1\n", "B2\n"}));
  EXPECT_TRUE(SimState()["document"].is_null());
}

TEST_F(TefTest, AClosingThatFailsIsRetriedByPrintingAgainInAReport) {
  ASSERT_EQ(sim.fail("Elgin_FechaRelatorioGerencial", -1, 1), 0);
  answers.push_back(true);
  Tef t;
  t.primeira = {"A1\n"};
  t.segunda = {"A2\n"};
  t.tefRed = "S";
  t.cupom = "000001";
  EXPECT_TRUE(Print(t));
  EXPECT_EQ(Questions(), Strings{question});
  // The report left open takes the reprint, then closes.
  EXPECT_EQ(ReportTexts(), (Strings{"A2\n", "A2\n"}));
  EXPECT_EQ(Count("Elgin_FechaRelatorioGerencial"), 2u);
}

}  // namespace
