// The fiscal coupon: opening, items, adjustments, cancellations, closing.
#include "sim/tests/sim_fixture.h"

namespace simtest {
namespace {

using nlohmann::json;

class CouponTest : public SimTest {};

TEST_F(CouponTest, SaleWithItemsAdjustmentsPaymentsAndChange) {
  ASSERT_EQ(Elgin_AbreCupomMFD(S("529.982.247-25"), S("Maria da Silva"), S("Rua A, 1")), 1);
  Status st = Query();
  EXPECT_EQ(st.ack, 6);
  EXPECT_EQ(st.st1, 2) << "a coupon is open";
  EXPECT_EQ(st.st2, 0);
  // 2 x 10,50 at 18% = 21,00; discount 12.34 arrives as "1,234" (two implied decimals).
  ASSERT_EQ(Elgin_VendeItem(S("7891234567895"), S("ARROZ 5KG"), S("00"), S("F"), S("2,000"), 3, S("10,500"), S("$"),
                            S("0000")),
            1);
  Buf last(4);
  ASSERT_EQ(Elgin_UltimoItemVendido(last.p()), 1);
  EXPECT_EQ(last.str(), "0001");
  ASSERT_EQ(Elgin_AcrescimoDescontoItemMFD(last.p(), S("D"), S("$"), S("1,234")), 1);
  // 0,350 x 3,00 at 12% = 1,05 with a surcharge of 0.50 ("0,050").
  ASSERT_EQ(Elgin_VendeItem(S("2"), S("BALA"), S("01"), S("F"), S("0,350"), 3, S("3,000"), S("$"), S("0000")), 1);
  ASSERT_EQ(Elgin_AcrescimoDescontoItemMFD(S("0002"), S("A"), S("$"), S("0,050")), 1);
  // Exempt item, then cancelled.
  ASSERT_EQ(Elgin_VendeItem(S("3"), S("LEITE"), S("II"), S("I"), S("1"), 2, S("4,99"), S("$"), S("0000")), 1);
  ASSERT_EQ(Elgin_CancelaItemAnterior(), 1);
  json s = State();
  EXPECT_DOUBLE_EQ(s["document"]["total"].get<double>(), 10.21);
  ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("D"), S("$"), S("1,21")), 1);  // total 9,00
  EXPECT_EQ(Elgin_TerminaFechamentoCupom(S("x")), -1) << "nothing paid yet";
  ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("dinheiro"), S("5,00")), 1) << "names match without regard to case";
  ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Dinheiro"), S("10.00")), 1) << "either decimal separator";
  EXPECT_EQ(Elgin_EfetuaFormaPagamento(S("Dinheiro"), S("1,00")), -1) << "the total is already covered";
  ASSERT_EQ(Elgin_TerminaFechamentoCupom(S("Volte sempre!\nLinha 2\n")), 1);
  st = Query();
  EXPECT_EQ(st.st1, 0);

  s = State();
  EXPECT_TRUE(s["document"].is_null());
  EXPECT_EQ(s["counters"]["coo"], 1);
  EXPECT_EQ(s["counters"]["ccf"], 1);
  auto& t = s["totals"];
  // gross = items + surcharges (cancelled item included); net = gross - cancellations - discounts
  EXPECT_DOUBLE_EQ(t["gross"].get<double>(), 27.54);
  EXPECT_DOUBLE_EQ(t["cancellations"].get<double>(), 4.99);
  EXPECT_DOUBLE_EQ(t["discounts"].get<double>(), 13.55);
  EXPECT_DOUBLE_EQ(t["net"].get<double>(), 9.00);
  EXPECT_DOUBLE_EQ(t["payments"]["Dinheiro"].get<double>(), 9.00) << "the change leaves the drawer";
  double taxedSum = 0;
  for (auto& v : t["taxed"]) taxedSum += v.get<double>();
  EXPECT_NEAR(taxedSum + t["exempt"].get<double>(), 9.00, 1e-9);
  EXPECT_DOUBLE_EQ(s["grand_total"].get<double>(), 27.54);

  std::string tape = Tape();
  EXPECT_NE(tape.find("CUPOM FISCAL"), std::string::npos);
  EXPECT_NE(tape.find("CPF/CNPJ consumidor: 529.982.247-25"), std::string::npos);
  EXPECT_NE(tape.find("001 7891234567895 ARROZ 5KG"), std::string::npos);
  EXPECT_NE(tape.find("2,000 UN x 10,500  01T18,00%"), std::string::npos);
  EXPECT_NE(tape.find("CANCELAMENTO ITEM 003"), std::string::npos);
  EXPECT_NE(tape.find("TROCO R$"), std::string::npos);
  EXPECT_NE(tape.find("Volte sempre!"), std::string::npos);
  std::istringstream lines(tape);
  std::string line;
  while (std::getline(lines, line)) {
    // 48 columns: count characters, not UTF-8 bytes.
    size_t chars = 0;
    for (unsigned char ch : line) chars += (ch & 0xC0) != 0x80;
    EXPECT_LE(chars, 48u) << line;
  }
}

TEST_F(CouponTest, SubtotalDiscountIsSpreadOverTheRatesAndAddsUp) {
  OpenCouponWith({{"00", "1,000", "10,000"}, {"01", "1,000", "20,000"}, {"03", "1,000", "30,000"}});
  ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("d"), S("%"), S("10,00")), 1);
  json s = State();
  EXPECT_DOUBLE_EQ(s["document"]["total"].get<double>(), 54.00);
  auto& taxed = s["totals"]["taxed"];
  EXPECT_DOUBLE_EQ(taxed[0].get<double>(), 9.00);
  EXPECT_DOUBLE_EQ(taxed[1].get<double>(), 18.00);
  EXPECT_DOUBLE_EQ(taxed[3].get<double>(), 27.00);
  EXPECT_DOUBLE_EQ(s["totals"]["discounts_icms"].get<double>(), 3.00);
  EXPECT_DOUBLE_EQ(s["totals"]["discounts_iss"].get<double>(), 3.00) << "position 03 is a service rate";
}

TEST_F(CouponTest, CancellingTheOpenCouponUndoesItsTotals) {
  OpenCouponWith({{"00", "1,000", "10,000"}});
  ASSERT_EQ(Elgin_AcrescimoDescontoItemMFD(S("0001"), S("D"), S("$"), S("0,100")), 1);
  ASSERT_EQ(Elgin_CancelaCupom(), 1);
  json s = State();
  EXPECT_TRUE(s["document"].is_null());
  EXPECT_EQ(s["counters"]["cfc"], 1);
  EXPECT_DOUBLE_EQ(s["totals"]["net"].get<double>(), 0.0);
  EXPECT_DOUBLE_EQ(s["totals"]["gross"].get<double>(), 10.00);
  EXPECT_DOUBLE_EQ(s["totals"]["cancellations"].get<double>(), 10.00);
  EXPECT_DOUBLE_EQ(s["totals"]["discounts"].get<double>(), 0.0);
  EXPECT_EQ(Query().st1, 0);
}

TEST_F(CouponTest, LastCouponCanBeCancelledUntilAnotherCouponOpens) {
  Sale("10,000", "10,00");
  ASSERT_EQ(Elgin_RelatorioGerencial(S("texto\n")), 1) << "a report in between does not matter";
  ASSERT_EQ(Elgin_FechaRelatorioGerencial(), 1);
  int flags = 0;
  ASSERT_EQ(Elgin_FlagsFiscais(&flags), 1);
  EXPECT_EQ(flags & 32, 32) << "cancellation allowed";
  ASSERT_EQ(Elgin_CancelaCupom(), 1);
  json s = State();
  EXPECT_EQ(s["counters"]["coo"], 3) << "the cancellation is a document of its own";
  EXPECT_DOUBLE_EQ(s["totals"]["net"].get<double>(), 0.0);
  EXPECT_DOUBLE_EQ(s["totals"]["payments"]["Dinheiro"].get<double>(), 0.0);
  EXPECT_EQ(Elgin_CancelaCupom(), -1) << "already cancelled";
  EXPECT_EQ(Query().st2, 4 | 1);

  Sale("5,000", "5,00");
  OpenCouponWith({{"00", "1,000", "1,000"}});
  ASSERT_EQ(Elgin_CancelaCupom(), 1) << "cancels the open one";
  EXPECT_EQ(Elgin_CancelaCupom(), -1) << "the coupon before it is no longer the last";
}

TEST_F(CouponTest, FlagsAndIndicatorsFollowTheCoupon) {
  int flags = -1, ind = -1;
  ASSERT_EQ(Elgin_FlagsFiscais(&flags), 1);
  EXPECT_EQ(flags, 0);
  OpenCouponWith({{"00", "1,000", "1,000"}});
  ASSERT_EQ(Elgin_FlagsFiscais(&flags), 1);
  EXPECT_EQ(flags, 33);
  ASSERT_EQ(Elgin_ProgramaHorarioVerao(), -1) << "not with a coupon open";
  ASSERT_EQ(Elgin_LeIndicadores(&ind), 1);
  EXPECT_EQ(ind, 14336 | 1 | 16);
  ASSERT_EQ(Elgin_CancelaCupom(), 1);
  ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
  SetClock("2026-03-06T08:00:00");
  ASSERT_EQ(Elgin_ProgramaHorarioVerao(), 1);
  OpenCouponWith({{"00", "1,000", "1,000"}});
  ASSERT_EQ(Elgin_FlagsFiscais(&flags), 1);
  EXPECT_EQ(flags, 37) << "summer time";
}

TEST_F(CouponTest, ItemAmountsFollowTheStatedDecimalsAndRounding) {
  OpenCouponWith({});
  // 3 x 0,333 = 0,999 -> 1,00 rounded
  ASSERT_EQ(Elgin_VendeItem(S("1"), S("A"), S("00"), S("I"), S("3"), 3, S("0,333"), S("$"), S("0000")), 1);
  // digit-only texts: quantity with 3 implied decimals, price with the stated decimals
  ASSERT_EQ(Elgin_VendeItem(S("2"), S("B"), S("00"), S("F"), S("1500"), 2, S("250"), S("$"), S("0000")), 1);
  // 10% item discount given with the item
  ASSERT_EQ(Elgin_VendeItem(S("3"), S("C"), S("FF"), S("F"), S("1,000"), 2, S("20,00"), S("%"), S("1000")), 1);
  json s = State();
  auto& items = s["document"]["items"];
  EXPECT_DOUBLE_EQ(items[0]["total"].get<double>(), 1.00);
  EXPECT_DOUBLE_EQ(items[1]["total"].get<double>(), 3.75);
  EXPECT_DOUBLE_EQ(items[2]["discount"].get<double>(), 2.00);
  EXPECT_DOUBLE_EQ(s["totals"]["substitution"].get<double>(), 18.00);
  ASSERT_EQ(Elgin_CancelaCupom(), 1);
  ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
  SetClock("2026-03-06T08:00:00");
  ASSERT_EQ(Elgin_ProgramaTruncamento(), 1);
  OpenCouponWith({{"00", "3,000", "0,333"}});
  EXPECT_DOUBLE_EQ(State()["document"]["items"][0]["total"].get<double>(), 0.99) << "truncated";
}

TEST_F(CouponTest, ItemCancellationByNumber) {
  OpenCouponWith({{"00", "1,000", "1,000"}, {"00", "1,000", "2,000"}, {"00", "1,000", "3,000"}});
  ASSERT_EQ(Elgin_CancelaItemGenerico(S("0002")), 1);
  EXPECT_EQ(Elgin_CancelaItemGenerico(S("0002")), -1) << "twice";
  EXPECT_EQ(Query().st2, 4 | 1);
  EXPECT_EQ(Elgin_CancelaItemGenerico(S("0009")), -2) << "no such item";
  EXPECT_EQ(Elgin_CancelaItemGenerico(S("")), -2);
  EXPECT_DOUBLE_EQ(State()["document"]["total"].get<double>(), 4.00);
  ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("A"), S("$"), S("0,50")), 1);
  EXPECT_EQ(Elgin_CancelaItemGenerico(S("0001")), -1) << "not after the closing started";
  EXPECT_EQ(Elgin_VendeItem(S("1"), S("A"), S("00"), S("F"), S("1,000"), 2, S("1,00"), S("$"), S("0000")), -1);
}

TEST_F(CouponTest, ExtendedDescriptionGoesToTheNextItem) {
  std::string longName(150, 'X');
  ASSERT_EQ(Elgin_AumentaDescricaoItem(S(longName)), 1);
  OpenCouponWith({{"00", "1,000", "1,000"}});
  EXPECT_EQ(State()["document"]["items"][0]["description"], longName);
  ASSERT_EQ(Elgin_VendeItem(S("2"), S("CURTO"), S("00"), S("F"), S("1,000"), 2, S("1,00"), S("$"), S("0000")), 1);
  EXPECT_EQ(State()["document"]["items"][1]["description"], "CURTO");
}

TEST_F(CouponTest, ItemByDepartment) {
  OpenCouponWith({});
  ASSERT_EQ(Elgin_VendeItemDepartamento(S("10"), S("CAFE"), S("01"), S("8,990"), S("2,000"), S(""), S("1,00"),
                                        S("01"), S("KG")),
            1);
  json it = State()["document"]["items"][0];
  EXPECT_DOUBLE_EQ(it["total"].get<double>(), 17.98);
  EXPECT_DOUBLE_EQ(it["discount"].get<double>(), 1.00);
  EXPECT_EQ(Elgin_VendeItemDepartamento(S("10"), S("CAFE"), S("01"), S("8,990"), S("2,000"), S("1,00"), S("1,00"),
                                        S("01"), S("KG")),
            -2)
      << "a discount and a surcharge at once";
}

}  // namespace
}  // namespace simtest
