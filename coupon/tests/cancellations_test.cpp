// Cancellations through the simulated printer: the item number sent, the
// dialogs of each operation, the coupon cancellation with its number and the
// grand-total record, and a lost answer decided by the printer's record.
#include <string>
#include <vector>

#include "coupon/operations.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "hostlib/cripto.h"
#include "platform/format.h"
#include "programming/operations.h"
#include "tests/support/module_helpers.h"

namespace {

using nlohmann::json;
using rtl::Variant;

class CancellationTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    Qor01100::DataModule().stSerieAtu = "ECFSIM00000000000001";
  }
  void TearDown() override {
    Qor01100::DataModule().stSerieAtu.clear();
    PrinterTest::TearDown();
  }

  // A coupon with `items` items of 10,99 x 2 open on the printer; the journal starts after it.
  void OpenCoupon(int items) {
    Variant abre = Variant::Record({{"ESQUEMACOR", Variant("001")}, {"INCLUICPF", Variant("")},
                                    {"INCLUINOME", Variant("")},    {"INCLUIENDERECO", Variant("")},
                                    {"CUPNR", Variant("")},         {"CONTCUPOM", Variant("")},
                                    {"IDUTILTEF", Variant("N")},    {"INTTEFERRO", Variant(0)},
                                    {"UTILTEF", Variant(false)}});
    ASSERT_TRUE(Qor01100::AbreCupom(abre));
    for (int i = 0; i < items; ++i) {
      Variant item = qortest::ItemRecord("78910001" + std::to_string(i), "ITEM " + std::to_string(i + 1), 2, 10.99);
      ASSERT_TRUE(Qor01100::VendaItem(item));
    }
    ClearJournal();
  }

  std::vector<bool> ItemsCancelled() const {
    std::vector<bool> out;
    const json state = SimState();
    for (const json& it : state["document"]["items"]) out.push_back(it["cancelled"].get<bool>());
    return out;
  }

  // Cancela_Cupom_Imp's list: scheme, show messages, cancel an open coupon, -, branch, till, serial.
  static Variant CancelParams(bool boMsg = true) {
    return Variant(std::vector<Variant>{Variant("001"), Variant(boMsg), Variant(false), Variant(),
                                        Variant("0001"), Variant("01"), Variant("ECFSIM00000000000001")});
  }

  // The fiscal application's configuration with this printer's record (grand-total check on).
  void WriteConfiguration(const std::string& total) {
    const rtl::FieldType S = rtl::FieldType::String;
    rtl::ClientDataSet ds;
    qortest::MakeTable(ds,
                       {{"CDFILIAL", S, 4}, {"CDCAIXA", S, 3}, {"NRSERIEECF", S, 20}, {"IDSITECFIMPF", S, 1},
                        {"CAMPO01", S, 1}, {"CAMPO02", S, 40}},
                       {{"0001", "01", "ECFSIM00000000000001", "A", "S", hostlib::Cripto(total, hostlib::kCriptoKey)}});
    ds.SaveToFile((hostDir / "Kalvora.cds").string());
  }
  std::string StoredTotal() const {
    rtl::ClientDataSet ds;
    ds.LoadFromFile((hostDir / "Kalvora.cds").string());
    ds.First();
    return hostlib::Uncripto(ds.FieldByName("CAMPO02").AsString(), hostlib::kCriptoKey);
  }
};

TEST_F(CancellationTest, ItemNumberIsTheSecondToFifthCharacter) {
  struct Case {
    std::string nrSeq, sent;
  } cases[] = {{"00002", "0002"}, {"X0001YZ", "0001"}, {"1", ""}, {"", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nrSeq);
    ClearJournal();
    Qor01100::Cancela_ItGenerico("", c.nrSeq, "", "", "", "", "", "", "", 0, 0);
    ASSERT_EQ(ArgsOf("Elgin_CancelaItemGenerico"), (std::vector<json>{json::array({c.sent})}));
    EXPECT_TRUE(Dialogs().empty());
  }
}

TEST_F(CancellationTest, ItemCancellationByNumber) {
  OpenCoupon(3);
  EXPECT_TRUE(Qor01100::Cancela_ItGenerico("", "00002", "", "", "", "", "", "", "", 0, 0));
  EXPECT_EQ(ItemsCancelled(), (std::vector<bool>{false, true, false}));
  EXPECT_EQ(Qor01100::inRetorno, 1);
  const std::vector<std::string> log = LogMessages();
  EXPECT_NE(std::find(log.begin(), log.end(), "Elgin_CancelaItemGenerico : 0002"), log.end());
}

TEST_F(CancellationTest, RefusedItemCancellationShowsNoDialog) {
  OpenCoupon(1);
  ASSERT_TRUE(Qor01100::Cancela_ItGenerico("", "00001", "", "", "", "", "", "", "", 0, 0));
  EXPECT_FALSE(Qor01100::Cancela_ItGenerico("", "00001", "", "", "", "", "", "", "", 0, 0));  // already cancelled
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_FALSE(Qor01100::stMensagemTaa.empty());
}

TEST_F(CancellationTest, LastItemCancellation) {
  OpenCoupon(2);
  EXPECT_TRUE(Qor01100::Cancela_UltimoItem("", ""));
  EXPECT_EQ(ItemsCancelled(), (std::vector<bool>{false, true}));
  EXPECT_EQ(Calls("Elgin_CancelaItemAnterior").size(), 1u);
  const std::vector<std::string> log = LogMessages();
  EXPECT_NE(std::find(log.begin(), log.end(), "Elgin_CancelaItemAnterior"), log.end());
}

TEST_F(CancellationTest, RefusedLastItemCancellationShowsTheDialog) {
  // No coupon open: nothing to cancel.
  EXPECT_FALSE(Qor01100::Cancela_UltimoItem("", ""));
  EXPECT_FALSE(Dialogs().empty());
}

TEST_F(CancellationTest, LostAnswerOfAnItemCancellationIsDecidedByThePrinter) {
  // The printer cancelled the item but its answer was lost: the cancellation
  // happened, so it is reported as done, and a host that believed it failed
  // would otherwise cancel the item before it too.
  struct Case {
    const char* fn;
    bool byNumber;
  } cases[] = {{"Elgin_CancelaItemAnterior", false}, {"Elgin_CancelaItemGenerico", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fn);
    OpenCoupon(2);
    ASSERT_EQ(sim.lost_answer(c.fn, 1), 0);
    const bool ok = c.byNumber ? Qor01100::Cancela_ItGenerico("", "00002", "", "", "", "", "", "", "", 0, 0)
                               : Qor01100::Cancela_UltimoItem("", "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Calls(c.fn).size(), 1u);
    EXPECT_EQ(ItemsCancelled(), (std::vector<bool>{false, true}));
    Variant ret = Variant::CreateArray(1);
    ASSERT_TRUE(Qor01100::Cancela_Cupom_Imp(CancelParams(false), ret));
  }
}

TEST_F(CancellationTest, OpenCouponIsCancelledAndTheGrandTotalRecorded) {
  WriteConfiguration("0,00");
  OpenCoupon(1);
  Variant ret = Variant::CreateArray(1);
  EXPECT_TRUE(Qor01100::Cancela_Cupom_Imp(CancelParams(), ret));
  EXPECT_EQ(ret[0].AsString(), "000001");
  EXPECT_TRUE(SimState()["document"].is_null());
  EXPECT_TRUE(SimState()["coupons"][0]["cancelled"].get<bool>());
  const std::vector<std::string> names = CallNames();
  const auto cancel = std::find(names.begin(), names.end(), "Elgin_CancelaCupom");
  ASSERT_NE(cancel, names.end());
  EXPECT_NE(std::find(cancel, names.end(), "Elgin_GrandeTotal"), names.end());
  std::string printer;
  Qor01100::BuscaTotGer("", printer);
  EXPECT_EQ(StoredTotal(), printer);
  EXPECT_EQ(StoredTotal(), rtl::FloatToStr(21.98));
}

TEST_F(CancellationTest, CouponNumberIsReadAsANumberAndFittedToSixCharacters) {
  OpenCoupon(1);
  Variant ret = Variant::CreateArray(1);
  ASSERT_EQ(sim.answer("Elgin_NumeroCupom", 1, R"(["  0123"])", 1), 0);
  ASSERT_TRUE(Qor01100::Cancela_Cupom_Imp(CancelParams(), ret));
  EXPECT_EQ(ret[0].AsString(), "000123");
}

TEST_F(CancellationTest, NoCouponNumberMeansNothingIsCancelled) {
  WriteConfiguration("0,00");
  OpenCoupon(1);
  ASSERT_EQ(sim.fail("Elgin_NumeroCupom", 0, 1), 0);
  Variant ret = Variant::CreateArray(1);
  EXPECT_FALSE(Qor01100::Cancela_Cupom_Imp(CancelParams(), ret));
  EXPECT_TRUE(ret[0].IsEmpty());
  EXPECT_TRUE(Calls("Elgin_CancelaCupom").empty());
  EXPECT_TRUE(Calls("Elgin_GrandeTotal").empty());
  EXPECT_FALSE(SimState()["document"].is_null());
}

TEST_F(CancellationTest, CouponNumberThatIsNotANumberIsSentEmpty) {
  WriteConfiguration("0,00");
  OpenCoupon(1);
  ASSERT_EQ(sim.answer("Elgin_NumeroCupom", 1, R"(["12AB  "])", 1), 0);
  Variant ret = Variant::CreateArray(1);
  EXPECT_TRUE(Qor01100::Cancela_Cupom_Imp(CancelParams(), ret));
  EXPECT_EQ(ret[0].AsString(), "");
  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{A("Comando não executado pela impressora fiscal.")}));
  EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), 1u);
}

TEST_F(CancellationTest, RefusedCancellationStillRecordsTheGrandTotal) {
  // Nothing to cancel: no coupon was issued.
  WriteConfiguration("0,00");
  struct Case {
    bool boMsg;
    bool dialogs;
  } cases[] = {{false, false}, {true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.boMsg);
    dialogs.clear();
    ClearJournal();
    Variant ret = Variant::CreateArray(1);
    EXPECT_FALSE(Qor01100::Cancela_Cupom_Imp(CancelParams(c.boMsg), ret));
    EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), 1u);
    EXPECT_EQ(Calls("Elgin_GrandeTotal").size(), 1u);
    EXPECT_EQ(!Dialogs().empty(), c.dialogs);
  }
}

TEST_F(CancellationTest, LostAnswerOfTheCouponCancellationIsDecidedByThePrinter) {
  OpenCoupon(1);
  ASSERT_EQ(sim.lost_answer("Elgin_CancelaCupom", 1), 0);
  Variant ret = Variant::CreateArray(1);
  EXPECT_TRUE(Qor01100::Cancela_Cupom_Imp(CancelParams(), ret));
  EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), 1u);
  EXPECT_TRUE(SimState()["document"].is_null());

  // An answer lost on a command the printer did not carry out stays a failure.
  OpenCoupon(1);
  ASSERT_EQ(sim.fail("Elgin_CancelaCupom", 0, 1), 0);
  EXPECT_FALSE(Qor01100::Cancela_Cupom_Imp(CancelParams(false), ret));
  EXPECT_FALSE(SimState()["document"].is_null());
}

}  // namespace
