// The two fault modes of an exactly-once check: an answer lost after the
// printer acted, and a command acknowledged but not executed; and the
// snapshot of the fiscal coupons a check compares against.
#include "sim/tests/sim_fixture.h"

namespace simtest {
namespace {

using nlohmann::json;

class FaultModeTest : public SimTest {
 protected:
  static int SellOne(const char* code = "1") {
    return Elgin_VendeItem(S(code), S("ARROZ"), S("00"), S("F"), S("1,000"), 2, S("10,00"), S("$"), S("0000"));
  }
  json LastJournal() const { return Journal().back(); }
};

TEST_F(FaultModeTest, LostAnswerActsThenAnswersZeroWithoutOutputs) {
  OpenCouponWith({});
  ASSERT_EQ(ecfsim_lost_answer("Elgin_VendeItem", 1), 0);
  EXPECT_EQ(SellOne(), 0);
  json doc = State()["document"];
  ASSERT_EQ(doc["items"].size(), 1u) << "the printer registered the item";
  EXPECT_EQ(doc["total"], 10.0);
  EXPECT_NE(Tape().find("ARROZ"), std::string::npos) << "and printed it";
  json j = LastJournal();
  EXPECT_EQ(j["injected"], "lost_answer");
  EXPECT_EQ(j["ret"], 0);
  EXPECT_EQ(j["acted"], 1);
  EXPECT_EQ(SellOne("2"), 1) << "only the next call";
  Status st = Query();
  EXPECT_EQ(st.st2 & 1, 0) << "an executed command leaves no not-executed bit";
}

TEST_F(FaultModeTest, LostAnswerWritesNoneOfTheOutputs) {
  Sale("5,00", "5,00");
  ASSERT_EQ(ecfsim_lost_answer("Elgin_NumeroCupom", 1), 0);
  Buf coo(6, 'x');
  EXPECT_EQ(Elgin_NumeroCupom(coo.p()), 0);
  EXPECT_EQ(coo.str(), "xxxxxx");
  ASSERT_EQ(ecfsim_lost_answer("Elgin_VerificaEstadoImpressora", 1), 0);
  int ack = -7, st1 = -7, st2 = -7;
  EXPECT_EQ(Elgin_VerificaEstadoImpressora(&ack, &st1, &st2), 0);
  EXPECT_EQ(ack, -7);
  EXPECT_EQ(st1, -7);
  EXPECT_EQ(st2, -7);
  ASSERT_EQ(ecfsim_lost_answer("Elgin_DataHoraImpressora", 1), 0);
  Buf d(6), t(6);
  EXPECT_EQ(Elgin_DataHoraImpressora(d.p(), t.p()), 0);
  EXPECT_EQ(d.str() + t.str(), std::string(12, ' '));
  EXPECT_TRUE(d.intact() && t.intact());
}

TEST_F(FaultModeTest, LostAnswerOfARefusedCommandStillRefused) {
  ASSERT_EQ(ecfsim_lost_answer("Elgin_VendeItem", 1), 0);
  EXPECT_EQ(SellOne(), 0) << "no coupon open: refused, and the refusal is lost too";
  EXPECT_EQ(LastJournal()["acted"], -1);
  EXPECT_EQ(Query().st2 & 1, 1) << "the status tells the command was not executed";
}

TEST_F(FaultModeTest, NotExecutedAnswersOneWithoutActingAndTheStatusSaysSo) {
  OpenCouponWith({});
  ASSERT_EQ(ecfsim_not_executed("Elgin_VendeItem", 2), 0);
  EXPECT_EQ(SellOne(), 1);
  EXPECT_TRUE(State()["document"]["items"].empty());
  EXPECT_EQ(Tape().find("ARROZ"), std::string::npos);
  EXPECT_EQ(LastJournal()["injected"], "not_executed");
  Status st = Query();
  EXPECT_EQ(st.ret, 1);
  EXPECT_EQ(st.st2 & 1, 1);
  EXPECT_EQ(st.st1 & 2, 2) << "the printer's own condition is still reported";
  EXPECT_EQ(Query().st2 & 1, 1) << "until the next executed command";
  EXPECT_EQ(SellOne(), 1) << "the second injected call";
  EXPECT_EQ(SellOne(), 1);
  EXPECT_EQ(State()["document"]["items"].size(), 1u);
  EXPECT_EQ(Query().st2 & 1, 0);
}

TEST_F(FaultModeTest, NotExecutedWritesNoOutputs) {
  ASSERT_EQ(ecfsim_not_executed("Elgin_NumeroCupom", 1), 0);
  Buf coo(6);
  EXPECT_EQ(Elgin_NumeroCupom(coo.p()), 1);
  EXPECT_EQ(coo.str(), "      ");
}

TEST_F(FaultModeTest, UnknownEntryPointsAreRefusedWithAReason) {
  EXPECT_EQ(ecfsim_lost_answer("Elgin_Nada", 1), -2);
  char why[128] = {0};
  EXPECT_GT(ecfsim_last_error(why, sizeof why), 0);
  EXPECT_NE(std::string(why).find("Elgin_Nada"), std::string::npos) << why;
  EXPECT_EQ(ecfsim_not_executed(nullptr, 1), -2);
  EXPECT_EQ(ecfsim_not_executed("Elgin_VendeItem", 0), 0);
  EXPECT_EQ(ecfsim_last_error(why, sizeof why), 0) << "a success clears the reason";
}

TEST_F(FaultModeTest, ResetClearsBothModes) {
  ASSERT_EQ(ecfsim_lost_answer("Elgin_AbreCupomMFD", -1), 0);
  ASSERT_EQ(ecfsim_not_executed("Elgin_AbreCupomMFD", -1), 0);
  ASSERT_EQ(ecfsim_reset(), 0);
  ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  EXPECT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), 1);
  EXPECT_FALSE(LastJournal().contains("injected"));
}

// A fault armed by position: the n-th call from then on, whatever its entry point.
struct PositionCase {
  const char* kind;
  int code;
  int ret;           // what the faulted item sale returns
  size_t items;      // items on the coupon after it
  const char* injected;
};

class FaultByPositionTest : public FaultModeTest, public ::testing::WithParamInterface<PositionCase> {};

TEST_P(FaultByPositionTest, LandsOnTheNthCallOnly) {
  const PositionCase& c = GetParam();
  OpenCouponWith({});
  ASSERT_EQ(ecfsim_fault_call(3, c.kind, c.code), 0);
  Buf coo(6);
  EXPECT_EQ(Elgin_NumeroCupom(coo.p()), 1) << "the first call";
  EXPECT_EQ(Query().ret, 1) << "the second call, another entry point";
  if (std::string(c.kind) == "raise") {
    EXPECT_THROW(SellOne(), std::runtime_error);
  } else {
    EXPECT_EQ(SellOne(), c.ret);
  }
  EXPECT_EQ(LastJournal()["injected"], c.injected);
  EXPECT_EQ(State()["document"]["items"].size(), c.items);
  EXPECT_EQ(SellOne("2"), 1) << "the next call is not faulted";
  EXPECT_FALSE(LastJournal().contains("injected"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, FaultByPositionTest,
                         ::testing::Values(PositionCase{"fail", 0, 0, 0, "fail"}, PositionCase{"fail", -27, -27, 0, "fail"},
                                           PositionCase{"raise", 0, 0, 0, "raise"},
                                           PositionCase{"lost_answer", 0, 0, 1, "lost_answer"},
                                           PositionCase{"not_executed", 0, 1, 0, "not_executed"}));

TEST_F(FaultModeTest, FaultByPositionGoesFirstAndTheEntryPointsInjectionWaits) {
  OpenCouponWith({});
  ASSERT_EQ(ecfsim_fail("Elgin_VendeItem", -4, 1), 0);
  ASSERT_EQ(ecfsim_fault_call(1, "lost_answer", 0), 0);
  EXPECT_EQ(SellOne(), 0);
  EXPECT_EQ(LastJournal()["injected"], "lost_answer");
  EXPECT_EQ(SellOne("2"), -4) << "the failure armed for the entry point takes its next call";
  EXPECT_EQ(State()["document"]["items"].size(), 1u);
}

TEST_F(FaultModeTest, FaultByPositionRefusesWhatItCannotDoAndIsCleared) {
  EXPECT_EQ(ecfsim_fault_call(1, "explode", 0), -2);
  EXPECT_EQ(ecfsim_fault_call(-1, "fail", 0), -2);
  EXPECT_EQ(ecfsim_fault_call(1, nullptr, 0), -2);
  ASSERT_EQ(ecfsim_fault_call(1, "fail", 0), 0);
  ASSERT_EQ(ecfsim_fault_call(0, "", 0), 0) << "n 0 clears";
  EXPECT_EQ(Elgin_AbrePortaSerial(), 1);
  ASSERT_EQ(ecfsim_fault_call(1, "fail", 0), 0);
  ASSERT_EQ(ecfsim_reset(), 0);
  EXPECT_EQ(Elgin_AbrePortaSerial(), 1) << "a reset clears it";
}

TEST_F(FaultModeTest, JournalNotesGoBetweenTheCalls) {
  ASSERT_EQ(ecfsim_journal_note("step 7"), 0);
  EXPECT_EQ(Elgin_AbrePortaSerial(), 1);
  const auto lines = Journal();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], json({{"note", "step 7"}}));
  EXPECT_EQ(lines.back()["fn"], "Elgin_AbrePortaSerial");
}

TEST_F(FaultModeTest, SnapshotListsTheCouponsWithItemsPaymentsAndChange) {
  Sale("7,50", "10,00");
  OpenCouponWith({{"00", "2,000", "3,00"}, {"01", "1,000", "1,25"}});
  ASSERT_EQ(Elgin_CancelaItemGenerico(S("2")), 1);
  ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("D"), S("$"), S("0,50")), 1);
  ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Dinheiro"), S("3,00")), 1);
  ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Dinheiro"), S("3,00")), 1);
  ASSERT_EQ(Elgin_TerminaFechamentoCupom(S("")), 1);
  ASSERT_EQ(Elgin_CancelaCupom(), 1) << "the last coupon, after its closing";
  json s = State();
  json c = s["coupons"];
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0]["total"], 7.5);
  EXPECT_EQ(c[0]["paid"], 10.0);
  EXPECT_EQ(c[0]["change"], 2.5);
  EXPECT_EQ(c[0]["cancelled"], false);
  EXPECT_EQ(c[0]["items"].size(), 1u);
  EXPECT_EQ(c[1]["items"].size(), 2u);
  EXPECT_EQ(c[1]["items"][1]["cancelled"], true);
  EXPECT_EQ(c[1]["items"][0]["total"], 6.0);
  EXPECT_EQ(c[1]["discount"], 0.5);
  EXPECT_EQ(c[1]["total"], 5.5);
  EXPECT_EQ(c[1]["payments"].size(), 2u);
  EXPECT_EQ(c[1]["change"], 0.5);
  EXPECT_EQ(c[1]["cancelled"], true);
  EXPECT_EQ(c[1]["coo"], 2);
  EXPECT_EQ(c[1]["ccf"], 2);
  EXPECT_EQ(s["grand_total"], 7.5 + 7.25 + 0.0) << "the grand total keeps what was sold";
}

}  // namespace
}  // namespace simtest
