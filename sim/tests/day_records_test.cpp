// The records the end-of-day operations read (partial totalizers, payment
// methods, non-fiscal totalizers, the detail-memory non-fiscal record, the
// last reduction) agree with what the printer registered during the day:
// discounts, surcharges, cancelled items, a coupon cancelled after its
// closing and one cancelled while open, change, a receipt, a supply and a
// withdrawal.
#include "sim/tests/sim_fixture.h"

namespace simtest {
namespace {

class DayRecordsTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    ASSERT_EQ(ecfsim_program(R"({"payment_methods": [{"slot": 2, "name": "Cartao", "linkable": true}],
                                 "nonfiscal_totalizers": [{"index": 0, "name": "RECEBIMENTO"}]})"),
              0);
    Day();
  }

  static int Item(const char* rate, const char* qty, const char* price) {
    return Elgin_VendeItem(S("1"), S("PRODUTO"), S(rate), S("F"), S(qty), 2, S(price), S("$"), S("0000"));
  }

  // Gross 36,00 = rate 00: 20,00 + 3,00 (cancelled) + 1,00 surcharge + 7,00 (coupon cancelled open);
  // rate 01: 5,00 (coupon cancelled after closing). Discounts 1,00, cancellations 15,00, net 20,00.
  static void Day() {
    ASSERT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), 1);  // COO 1
    ASSERT_EQ(Item("00", "2,000", "10,00"), 1);
    ASSERT_EQ(Elgin_AcrescimoDescontoItemMFD(S("1"), S("D"), S("$"), S("1,00")), 1);
    ASSERT_EQ(Item("00", "1,000", "3,00"), 1);
    ASSERT_EQ(Elgin_CancelaItemGenerico(S("2")), 1);
    ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("A"), S("$"), S("1,00")), 1);
    ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Dinheiro"), S("10,00")), 1);
    ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Cartao"), S("15,00")), 1);  // 5,00 change, from the card
    ASSERT_EQ(Elgin_TerminaFechamentoCupom(S("")), 1);

    ASSERT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), 1);  // COO 2
    ASSERT_EQ(Item("01", "1,000", "5,00"), 1);
    ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("D"), S("$"), S("0")), 1);
    ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Dinheiro"), S("5,00")), 1);
    ASSERT_EQ(Elgin_TerminaFechamentoCupom(S("")), 1);
    ASSERT_EQ(Elgin_CancelaCupom(), 1);  // COO 3

    ASSERT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), 1);  // COO 4
    ASSERT_EQ(Item("00", "1,000", "7,00"), 1);
    ASSERT_EQ(Elgin_CancelaCupom(), 1);

    ASSERT_EQ(Elgin_RecebimentoNaoFiscal(S("00"), S("1000"), S("Dinheiro")), 1);  // COO 5, 10,00
    ASSERT_EQ(Elgin_Suprimento(S("50,00"), S("Dinheiro")), 1);                   // COO 6
    ASSERT_EQ(Elgin_Sangria(S("20,00")), 1);                                     // COO 7
  }

  static std::string Amount(int64_t cents, size_t width) {
    std::string s = std::to_string(cents);
    return std::string(width - s.size(), '0') + s;
  }
};

TEST_F(DayRecordsTest, PartialTotalizersHoldTheNetOfEachRate) {
  Buf b(445);
  ASSERT_EQ(Elgin_VerificaTotalizadoresParciais(b.p()), 1);
  EXPECT_EQ(b.at(1, 14), Amount(2000, 14)) << "rate 00";
  EXPECT_EQ(b.at(15, 14), Amount(0, 14)) << "rate 01: its only coupon was cancelled";
  EXPECT_EQ(b.at(226, 14) + b.at(241, 14) + b.at(256, 14), std::string(42, '0'));
  EXPECT_TRUE(b.intact());
}

TEST_F(DayRecordsTest, PaymentMethodsHoldWhatWasReceivedLessChangeAndCancellations) {
  Buf b(3016);
  ASSERT_EQ(Elgin_VerificaFormasPagamento(b.p()), 1);
  EXPECT_EQ(b.at(1, 16), "Dinheiro        ");
  EXPECT_EQ(b.at(17, 20), Amount(1000 + 500 - 500 + 1000 + 5000, 20)) << "sale, cancelled sale, receipt, supply";
  EXPECT_EQ(b.at(59, 16), "Cartao          ");
  EXPECT_EQ(b.at(75, 20), Amount(1000, 20)) << "15,00 paid, 5,00 change";
  EXPECT_EQ(b.at(117, 16), std::string(16, ' ')) << "a blank description ends the list";
}

TEST_F(DayRecordsTest, NonFiscalRecordsHoldTheReceiptSupplyAndWithdrawal) {
  Buf list(2200);
  ASSERT_EQ(Elgin_VerificaRecebimentoNaoFiscal(list.p()), 1);
  EXPECT_EQ(list.at(1, 4), "0001");
  EXPECT_EQ(list.at(5, 20), Amount(1000, 20));
  EXPECT_EQ(list.at(25, 19), "RECEBIMENTO        ");
  EXPECT_EQ(list.at(69, 19), std::string(19, ' '));
  Buf mfd(1077);
  ASSERT_EQ(Elgin_VerificaRecebimentoNaoFiscalMFD(mfd.p()), 1);
  EXPECT_EQ(mfd.at(972, 14), Amount(2000, 14)) << "withdrawal";
  EXPECT_EQ(mfd.at(1006, 14), Amount(5000, 14)) << "supply";
}

TEST_F(DayRecordsTest, LastReductionRecordHoldsTheDay) {
  Buf before(445);
  ASSERT_EQ(Elgin_VerificaTotalizadoresParciais(before.p()), 1);
  ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);  // COO 8
  Buf r(1278);
  ASSERT_EQ(Elgin_DadosUltimaReducaoMFD(r.p()), 1);
  EXPECT_EQ(r.at(4, 4), "0001") << "CRO";
  EXPECT_EQ(r.at(9, 4), "0001") << "CRZ";
  EXPECT_EQ(r.at(14, 6), "000008") << "COO";
  EXPECT_EQ(r.at(54, 4), "0002") << "cancelled coupons";
  EXPECT_EQ(r.at(316, 18), Amount(3600, 18)) << "grand total";
  EXPECT_EQ(r.at(335, 224), before.at(1, 224)) << "the taxed totalizers as the day left them";
  EXPECT_EQ(r.at(560, 14) + r.at(575, 14) + r.at(590, 14), std::string(42, '0'));
  EXPECT_EQ(r.at(650, 14), Amount(100, 14)) << "discounts";
  EXPECT_EQ(r.at(680, 14), Amount(100, 14)) << "surcharges";
  EXPECT_EQ(r.at(710, 14), Amount(1500, 14)) << "cancellations";
  EXPECT_EQ(r.at(177, 18), Amount(3600, 18)) << "gross sale";
  EXPECT_EQ(r.at(196, 18), Amount(2000, 18)) << "net sale";
  EXPECT_EQ(r.at(230, 14), Amount(5000, 14)) << "supply";
  EXPECT_EQ(r.at(245, 14), Amount(2000, 14)) << "withdrawal";
  EXPECT_TRUE(r.intact());
  Buf date(6);
  ASSERT_EQ(Elgin_DataMovimentoUltimaReducaoMFD(date.p()), 1);
  EXPECT_EQ(date.str(), "050326");
}

}  // namespace
}  // namespace simtest
