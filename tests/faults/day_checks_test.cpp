// The day gate's checks on small made-up days: each fault they exist to
// catch is caught, and a faithful day passes.
#include <gtest/gtest.h>

#include "tests/faults/day_checks.h"

namespace daygate {
namespace {

Call Executed(const std::string& fn) { return Call{fn, json::array(), 1, ""}; }
Call Injected(const std::string& fn, const std::string& how) { return Call{fn, json::array(), how == "lost_answer" ? 0 : 1, how}; }

StepRun Op(const std::string& op, json result, std::vector<Call> calls) {
  StepRun s;
  s.op = op;
  s.ran = true;
  s.result = std::move(result);
  s.calls = std::move(calls);
  return s;
}

json Coupon(int coo, std::vector<std::string> codes, bool cancelled = false) {
  json items = json::array();
  for (auto& c : codes)
    items.push_back({{"code", c}, {"cancelled", false}, {"qty", 1.0}, {"price", 2.0}, {"discount", 0.0}, {"surcharge", 0.0}});
  return {{"coo", coo}, {"cancelled", cancelled}, {"items", items}, {"payments", json::array({{{"name", "Dinheiro"}, {"amount", 5.0}}})},
          {"total", 2.0 * static_cast<double>(codes.size())}, {"change", 5.0 - 2.0 * static_cast<double>(codes.size())}};
}

// A clean sale: opening, two items, closing; then a cash supply.
DayRun CleanDay() {
  DayRun d;
  d.exitCode = 0;
  Call item1 = Executed("Elgin_VendeItem"), item2 = Executed("Elgin_VendeItem");
  item1.args = json::array({"A"});
  item2.args = json::array({"B"});
  d.steps = {Op("AbreCupom", true, {Executed("Elgin_AbreCupomMFD")}), Op("VendaItem", true, {item1}),
             Op("VendaItem", true, {item2}),
             Op("FechaCupom", true, {Executed("Elgin_IniciaFechamentoCupom"), Executed("Elgin_EfetuaFormaPagamento"),
                                     Executed("Elgin_TerminaFechamentoCupom")}),
             Op("Suprimento", true, {Executed("Elgin_Suprimento")})};
  d.state = {{"coupons", json::array({Coupon(1, {"A", "B"})})}, {"counters", {{"ccf", 1}}}};
  return d;
}

struct CheckCase {
  const char* name;
  std::function<void(DayRun&)> fault;  // turns the clean day into the faulted one
  const char* finding;                 // part of the finding expected; "" none
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class DayChecksTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(DayChecksTest, FindsWhatTheFaultLeft) {
  const DayRun clean = CleanDay();
  DayRun run = CleanDay();
  GetParam().fault(run);
  const std::vector<std::string> found = CheckDay(clean, run);
  std::string all;
  for (auto& f : found) all += f + "\n";
  if (*GetParam().finding == '\0') {
    EXPECT_TRUE(found.empty()) << all;
  } else {
    EXPECT_NE(all.find(GetParam().finding), std::string::npos) << all;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Days, DayChecksTest,
    ::testing::Values(
        CheckCase{"Faithful", [](DayRun&) {}, ""},
        CheckCase{"ItemSentAgainAfterALostAnswer",
                  [](DayRun& d) {
                    d.steps[1].calls = {Injected("Elgin_VendeItem", "lost_answer"), d.steps[1].calls[0]};
                    d.state["coupons"][0] = Coupon(1, {"A", "A", "B"});
                  },
                  "Elgin_VendeItem carried out 2 times (clean day: 1)"},
        CheckCase{"TrueAlthoughThePrinterDidNotAct",
                  [](DayRun& d) { d.steps[4].calls = {Injected("Elgin_Suprimento", "not_executed")}; },
                  "reported true, the printer carried out Elgin_Suprimento only 0 of 1 times"},
        CheckCase{"FalseAlthoughTheSupplyIsRegistered", [](DayRun& d) { d.steps[4].result = false; },
                  "reported false, yet the printer registered Elgin_Suprimento"},
        CheckCase{"ClosingFalseAlthoughTheCouponClosed", [](DayRun& d) { d.steps[3].result = false; },
                  "the printer kept 1 coupons (COO 1), 0 closings reported true"},
        CheckCase{"FailedItemLeftOnTheCoupon", [](DayRun& d) { d.steps[2].result = false; },
                  "items [A,B], the host's sale [A]"},
        CheckCase{"OpeningFalseAlthoughTheCouponOpened",
                  [](DayRun& d) { d.steps[0].result = false; }, "whose opening (step 1 AbreCupom) was reported failed"},
        CheckCase{"PaymentsOtherThanTheHostsOnes",
                  [](DayRun& d) { d.state["coupons"][0]["payments"][0]["amount"] = 10.0; }, "payments"},
        CheckCase{"ACouponOpenedTwice", [](DayRun& d) { d.state["counters"]["ccf"] = 2; },
                  "the printer opened 2 fiscal coupons, the host was told of 1 openings"},
        CheckCase{"Crashed", [](DayRun& d) { d.signal = 11; }, "ended by signal 11"},
        CheckCase{"Hung", [](DayRun& d) { d.timedOut = true; }, "did not end within its time limit"},
        CheckCase{"StoppedHalfWay", [](DayRun& d) { d.steps[4].ran = false; }, "the session stopped before step 5"}),
    [](const ::testing::TestParamInfo<CheckCase>& i) { return std::string(i.param.name); });

// A cancellation reported true takes the last coupon closed off the list
// the printer must keep.
TEST(DayChecks, ACancelledLastCouponIsNotExpected) {
  DayRun clean = CleanDay(), run = CleanDay();
  run.steps.push_back(Op("Cancela_Cupom_Imp", true, {Executed("Elgin_CancelaCupom")}));
  clean.steps.push_back(Op("Cancela_Cupom_Imp", true, {Executed("Elgin_CancelaCupom")}));
  run.state["coupons"][0]["cancelled"] = true;
  clean.state["coupons"][0]["cancelled"] = true;
  EXPECT_TRUE(CheckDay(clean, run).empty());
  run.state["coupons"][0]["cancelled"] = false;  // the printer did not cancel it
  ASSERT_FALSE(CheckDay(clean, run).empty());
}

}  // namespace
}  // namespace daygate
