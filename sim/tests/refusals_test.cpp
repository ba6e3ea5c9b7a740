// Commands in the wrong state or with bad arguments get the vendor's codes
// and the status bits of a refusal, and change nothing.
#include <functional>

#include "sim/tests/sim_fixture.h"

namespace simtest {
namespace {

enum class Start { Idle, CouponItems, CouponPaying, ReportOpen, VoucherOpen, DayClosed };

struct Case {
  const char* what;
  Start setup;
  std::function<int()> call;
  int ret;
  int st1;  // expected status byte 1 (coupon-open bit included)
  int st2;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

class RefusalsTest : public SimTest, public ::testing::WithParamInterface<Case> {
 protected:
  void Prepare(Start s) {
    switch (s) {
      case Start::Idle:
        break;
      case Start::CouponItems:
        OpenCouponWith({{"00", "1,000", "10,000"}});
        break;
      case Start::CouponPaying:
        OpenCouponWith({{"00", "1,000", "10,000"}});
        ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("D"), S("$"), S("0")), 1);
        break;
      case Start::ReportOpen:
        ASSERT_EQ(Elgin_AbreRelatorioGerencial(), 1);
        break;
      case Start::VoucherOpen:
        ASSERT_EQ(Elgin_ProgramaFormaPagamentoMFD(S("Cartao"), S("1")), 1);
        OpenCouponWith({{"00", "1,000", "10,000"}});
        ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("D"), S("$"), S("0")), 1);
        ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Cartao"), S("10,00")), 1);
        ASSERT_EQ(Elgin_TerminaFechamentoCupom(S("")), 1);
        ASSERT_EQ(Elgin_AbreComprovanteNaoFiscalVinculado(S("Cartao"), S(""), S("")), 1);
        break;
      case Start::DayClosed:
        ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
        break;
    }
  }
};

TEST_P(RefusalsTest, RefusedWithCodeAndStatus) {
  const Case& c = GetParam();
  Prepare(c.setup);
  std::string before = State()["counters"].dump() + State()["totals"].dump() + State()["document"].dump();
  EXPECT_EQ(c.call(), c.ret);
  Status st = Query();
  EXPECT_EQ(st.ret, 1);
  EXPECT_EQ(st.ack, 6);
  EXPECT_EQ(st.st1, c.st1);
  EXPECT_EQ(st.st2, c.st2);
  std::string after = State()["counters"].dump() + State()["totals"].dump() + State()["document"].dump();
  EXPECT_EQ(after, before) << "a refused command changes nothing";
  // The next good command clears the refusal's bits.
  Buf coo(6);
  ASSERT_EQ(Elgin_NumeroCupom(coo.p()), 1);
  EXPECT_EQ(Query().st2, 0);
}

int Item(const char* rate, const char* qty = "1,000", const char* price = "1,00", int dec = 2) {
  return Elgin_VendeItem(S("1"), S("ITEM"), S(rate), S("F"), S(qty), dec, S(price), S("$"), S("0000"));
}

const Case kCases[] = {
    {"item without a coupon", Start::Idle, [] { return Item("00"); }, -1, 0, 1},
    {"payment without a coupon", Start::Idle, [] { return Elgin_EfetuaFormaPagamento(S("Dinheiro"), S("1,00")); }, -1, 0, 1},
    {"closing without a coupon", Start::Idle, [] { return Elgin_TerminaFechamentoCupom(S("")); }, -1, 0, 1},
    {"cancel with nothing to cancel", Start::Idle, [] { return Elgin_CancelaCupom(); }, -1, 0, 4 | 1},
    {"close a report that is not open", Start::Idle, [] { return Elgin_FechaRelatorioGerencial(); }, -1, 0, 1},
    {"voucher text without a voucher", Start::Idle, [] { return Elgin_UsaComprovanteNaoFiscalVinculado(S("x")); }, -1, 0, 1},
    {"voucher without a sale", Start::Idle,
     [] { return Elgin_AbreComprovanteNaoFiscalVinculado(S("Dinheiro"), S(""), S("")); }, -1, 0, 1},
    {"invalid CPF", Start::Idle, [] { return Elgin_AbreCupomMFD(S("123.456.789-00"), S(""), S("")); }, -2, 8, 1},
    {"supply of zero", Start::Idle, [] { return Elgin_Suprimento(S("0,00"), S("Dinheiro")); }, -2, 8, 1},
    {"negative withdrawal", Start::Idle, [] { return Elgin_Sangria(S("-5,00")); }, -2, 8, 1},
    {"supply in an unknown method", Start::Idle, [] { return Elgin_Suprimento(S("5,00"), S("Vale")); }, -24, 0, 1},
    {"receipt on an unnamed totalizer", Start::Idle,
     [] { return Elgin_RecebimentoNaoFiscal(S("05"), S("1,00"), S("Dinheiro")); }, -25, 0, 1},
    {"report text longer than a block", Start::Idle, [] { return Elgin_RelatorioGerencial(S(std::string(621, 'x'))); }, -2, 8, 1},
    {"unknown reading", Start::Idle, [] { Buf b(10); return Elgin_ExecutaLeitura(S("LeTudo"), S("A=1"), b.p()); }, -2, 4, 1},
    {"cutter mode", Start::Idle, [] { return Elgin_AcionaGuilhotinaMFD(7); }, -2, 8, 1},
    {"second coupon", Start::CouponItems, [] { return Elgin_AbreCupomMFD(S(""), S(""), S("")); }, -1, 2, 1},
    {"rate not programmed", Start::CouponItems, [] { return Item("07"); }, -3, 2, 16 | 1},
    {"rate code unknown", Start::CouponItems, [] { return Item("XX"); }, -2, 2 | 8, 1},
    {"rate value not programmed", Start::CouponItems, [] { return Item("2500"); }, -3, 2, 16 | 1},
    {"price with more decimals than stated", Start::CouponItems, [] { return Item("00", "1,000", "1,005", 2); }, -2, 2 | 8, 1},
    {"quantity of zero", Start::CouponItems, [] { return Item("00", "0,000"); }, -2, 2 | 8, 1},
    {"item discount as large as the item", Start::CouponItems,
     [] { return Elgin_AcrescimoDescontoItemMFD(S("0001"), S("D"), S("$"), S("10,00")); }, -2, 2 | 8, 1},
    {"payment before the closing started", Start::CouponItems,
     [] { return Elgin_EfetuaFormaPagamento(S("Dinheiro"), S("10,00")); }, -1, 2, 1},
    {"report while a coupon is open", Start::CouponItems, [] { return Elgin_RelatorioGerencial(S("x")); }, -1, 2, 1},
    {"receipt while a coupon is open", Start::CouponItems,
     [] { return Elgin_RecebimentoNaoFiscal(S("00"), S("1,00"), S("Dinheiro")); }, -1, 2, 1},
    {"reduction while a coupon is open", Start::CouponItems, [] { return Elgin_ReducaoZ(S(""), S("")); }, -1, 2, 1},
    {"X reading while a coupon is open", Start::CouponItems, [] { return Elgin_LeituraX(); }, -1, 2, 1},
    {"programming while a coupon is open", Start::CouponItems,
     [] { return Elgin_ProgramaFormaPagamentoMFD(S("Vale"), S("0")); }, -1, 2, 1},
    {"subtotal discount as large as the total", Start::CouponItems,
     [] { return Elgin_IniciaFechamentoCupom(S("D"), S("$"), S("10,00")); }, -2, 2 | 8, 1},
    {"payment in an unknown method", Start::CouponPaying,
     [] { return Elgin_EfetuaFormaPagamento(S("Bitcoin"), S("10,00")); }, -24, 2, 1},
    {"closing before it is paid", Start::CouponPaying, [] { return Elgin_TerminaFechamentoCupom(S("")); }, -1, 2, 1},
    {"item after the closing started", Start::CouponPaying, [] { return Item("00"); }, -1, 2, 1},
    {"last item cancelled after the closing started", Start::CouponPaying, [] { return Elgin_CancelaItemAnterior(); },
     -1, 2, 4 | 1},
    {"coupon while a report is open", Start::ReportOpen, [] { return Elgin_AbreCupomMFD(S(""), S(""), S("")); }, -1, 0, 1},
    {"cancel while a report is open", Start::ReportOpen, [] { return Elgin_CancelaCupom(); }, -1, 0, 4 | 1},
    {"voucher text in a report", Start::ReportOpen, [] { return Elgin_UsaComprovanteNaoFiscalVinculado(S("x")); }, -1, 0, 1},
    {"report text in a voucher", Start::VoucherOpen, [] { return Elgin_RelatorioGerencial(S("x")); }, -1, 0, 1},
    {"supply on a closed day", Start::DayClosed, [] { return Elgin_Suprimento(S("5,00"), S("Dinheiro")); }, -1, 0, 1},
    {"report on a closed day", Start::DayClosed, [] { return Elgin_AbreRelatorioGerencial(); }, -1, 0, 1},
    {"second reduction", Start::DayClosed, [] { return Elgin_ReducaoZ(S(""), S("")); }, -1, 0, 1},
    {"reduction with a bad date", Start::Idle, [] { return Elgin_ReducaoZ(S("320326"), S("")); }, -2, 8, 1},
};

INSTANTIATE_TEST_SUITE_P(Table, RefusalsTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) {
                           std::string n = i.param.what;
                           for (auto& ch : n)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

class PhysicalTest : public SimTest {};

TEST_F(PhysicalTest, PaperCoverPowerAndPort) {
  ASSERT_EQ(ecfsim_set_paper(1), 0);
  EXPECT_EQ(Query().st1, 64) << "low paper still prints";
  Sale("1,000", "1,00");
  ASSERT_EQ(ecfsim_set_paper(2), 0);
  EXPECT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), -1);
  EXPECT_EQ(Query().st1, 128);
  Buf coo(6);
  EXPECT_EQ(Elgin_NumeroCupom(coo.p()), 1) << "queries answer without paper";
  ASSERT_EQ(ecfsim_set_paper(0), 0);
  ASSERT_EQ(ecfsim_set_cover(1), 0);
  EXPECT_EQ(Elgin_LeituraX(), -1);
  EXPECT_EQ(Query().st1, 16);
  ASSERT_EQ(ecfsim_set_cover(0), 0);

  ASSERT_EQ(ecfsim_set_power(0), 0);
  EXPECT_EQ(Elgin_VerificaImpressoraLigada(), -6);
  EXPECT_EQ(Query().ret, -6);
  EXPECT_EQ(Elgin_AbrePortaSerial(), -6);
  ASSERT_EQ(ecfsim_set_power(1), 0);
  EXPECT_EQ(Elgin_VerificaImpressoraLigada(), 1);

  ASSERT_EQ(Elgin_FechaPortaSerial(), 1);
  EXPECT_EQ(Elgin_NumeroCupom(coo.p()), 0) << "no port, no communication";
  EXPECT_EQ(Query().ret, 0);
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  EXPECT_EQ(Query().ret, 1);
}

TEST_F(PhysicalTest, DrawerAndCutter) {
  int open = -1;
  ASSERT_EQ(Elgin_VerificaEstadoGaveta(&open), 1);
  EXPECT_EQ(open, 0);
  ASSERT_EQ(Elgin_AcionaGaveta(), 1);
  ASSERT_EQ(Elgin_VerificaEstadoGaveta(&open), 1);
  EXPECT_EQ(open, 1);
  ASSERT_EQ(ecfsim_set_drawer(0), 0);
  ASSERT_EQ(Elgin_VerificaEstadoGaveta(&open), 1);
  EXPECT_EQ(open, 0);
  // The cut count is the session's (a reset keeps it): one more cut.
  const int64_t cuts = State()["session"]["cuts"].get<int64_t>();
  ASSERT_EQ(Elgin_AcionaGuilhotinaMFD(1), 1);
  EXPECT_EQ(State()["session"]["cuts"].get<int64_t>(), cuts + 1);
}

}  // namespace
}  // namespace simtest
