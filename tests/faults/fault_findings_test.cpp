// Single cases beside the fault loops: the harness puts the fault on the
// call it names, and the faults the loops found, each on its own.
#include "tests/faults/fault_session.h"

namespace faults {
namespace {

class FaultCaseTest : public FaultSession {
 protected:
  // Starts the driver (with the host's payment methods when asked) and opens the sale's coupon.
  void StartAndOpen(bool tef, bool payments = false) {
    Variant start = StartRecord();
    ASSERT_TRUE(Qor01100::StartImpFiscal(start));
    if (payments) {
      rtl::ClientDataSet tipos;
      TiposRece(tipos);
      Qor01100::CarregaRecebimento("", "001", 1, &tipos);
    }
    Variant abre = AbreCupomRecord(tef);
    ASSERT_TRUE(Qor01100::AbreCupom(abre));
  }
  bool Sell(const Item& it, bool tef) {
    Variant p = VendaItemRecord(it, tef);
    return Qor01100::VendaItem(p);
  }
  // Calls of fn the module has made so far.
  static int Seen(int fn) { return Interposer::Get().perFn[static_cast<size_t>(fn)]; }
  std::vector<int> Returns(const std::string& fn) const {
    std::vector<int> out;
    for (auto& c : Calls(fn)) out.push_back(c.ret);
    return out;
  }
};

TEST_F(FaultCaseTest, TheFaultLandsOnTheCallItNames) {
  struct Case {
    const char* name;
    bool persistent;
    std::vector<int> returns;  // of the three item sales
  } cases[] = {
      {"the second call only", false, {1, 0, 1}},
      {"the second call and every later one", true, {1, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshSession(kPlain, false);
    Interposer::Get().armed = Injection{k_Elgin_VendeItem, 2, Fault::Fail, 0, c.persistent};
    StartAndOpen(false);
    for (const Item& it : kItems) Sell(it, false);
    EXPECT_EQ(Returns("Elgin_VendeItem"), c.returns);
    EXPECT_EQ(JournalCalls(), Interposer::Get().sequence) << "every call of the module reaches the printer once";
  }
}

// The printer accepts an item but the status query that follows gets no
// answer, nor does the one asked again at once; the operator is asked
// whether to print again and says yes. The
// item is on the coupon already: the retry must not sell it a second time
// (which leaves a first copy without its discount or surcharge, charges the
// customer twice, and still answers true).
TEST_F(FaultCaseTest, ARetriedItemWhoseStatusAnswerWasLostIsSoldOnce) {
  for (const Scenario& sc : {kPlain, kTransfer}) {
    for (size_t i = 0; i < std::size(kItems); ++i) {
      SCOPED_TRACE(std::string(sc.name) + ", item " + std::to_string(i + 1));
      FreshSession(sc, true);
      StartAndOpen(sc.tef);
      for (size_t k = 0; k < i; ++k) ASSERT_TRUE(Sell(kItems[k], sc.tef));
      // The item's printer check comes first (a status query and its
      // analysis), then the sale and the status query of its analysis.
      const int status = Seen(k_Elgin_VerificaEstadoImpressora);
      Injection lost{k_Elgin_VerificaEstadoImpressora, status + 3, Fault::Fail, 0, false};
      lost.times = 2;
      Interposer::Get().armed = lost;
      EXPECT_TRUE(Sell(kItems[i], sc.tef));
      EXPECT_EQ(op_.saidYes, 1);
      const json items = SimState()["document"]["items"];
      ASSERT_TRUE(items.is_array());
      int copies = 0;
      for (auto& x : items) copies += x["code"] == kItems[i].code ? 1 : 0;
      EXPECT_EQ(copies, 1) << items.dump();
      EXPECT_EQ(items.size(), i + 1);
      if (!items.empty()) {
        EXPECT_EQ(Num(items.back()["discount"]), kItems[i].discount);
        EXPECT_EQ(Num(items.back()["surcharge"]), kItems[i].surcharge);
      }
    }
  }
}

// The same in the closing of an electronic-funds-transfer sale: the card
// payment is accepted, its status answer is lost twice, the operator says yes. The
// payment must not be registered again (a second card payment covers the
// total, the cash payment is then refused and the coupon cannot be closed).
TEST_F(FaultCaseTest, ARetriedPaymentWhoseStatusAnswerWasLostIsRegisteredOnce) {
  FreshSession(kTransfer, true);
  StartAndOpen(true, true);
  for (const Item& it : kItems) ASSERT_TRUE(Sell(it, true));
  // The closing's printer check (a status query and its analysis), the start
  // of the closing and its analysis, then the card payment and its analysis.
  Injection lost{k_Elgin_VerificaEstadoImpressora, Seen(k_Elgin_VerificaEstadoImpressora) + 4, Fault::Fail, 0, false};
  lost.times = 2;
  Interposer::Get().armed = lost;
  Variant ret = Variant::CreateArray(4);
  rtl::StringList voucher;
  const bool closed = Qor01100::FechaCupom(FechaCupomList(true), &voucher, ret);
  EXPECT_GE(op_.saidYes, 1);
  const json s = SimState();
  std::vector<json> card;
  for (auto& c : Calls("Elgin_EfetuaFormaPagamento"))
    if (c.args[0] == "Cartao Credito" && c.ret == 1) card.push_back(c.args);
  EXPECT_EQ(card.size(), 1u) << "the card payment reaches the printer once";
  EXPECT_TRUE(closed) << s["document"].dump();
  EXPECT_TRUE(s["document"].is_null()) << "the coupon is closed";
}

}  // namespace
}  // namespace faults
