// The one command path: calling, storing the code, the trace, the policy
// for a throwing library, whole text answers, and the exactly-once step.
#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>

#include "driver/command.h"
#include "driver/state.h"
#include "tests/support/module_helpers.h"
#include "vendor/elgin.h"
#include "vendor/operations.h"

namespace {

using Qor01100::Call;
using Qor01100::Query;
using Qor01100::Send;
using Qor01100::Step;

class CommandTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    Qor01100::stMensagemTaa.clear();
    Qor01100::inRetorno = 77;
  }
};

TEST_F(CommandTest, StoresTheCodeWritesTheTraceAndAnalyses) {
  EXPECT_TRUE(Send(Call("Elgin_AcionaGaveta", Qor01100::Elgin_AcionaGaveta)));
  EXPECT_EQ(Qor01100::inRetorno, 1);
  EXPECT_TRUE(Qor01100::stImpDebug.empty()) << "the analysis logs and clears the trace";
  const auto log = LogMessages();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(std::find(log.begin(), log.end(), "Elgin_AcionaGaveta"), log.end());
  EXPECT_EQ(CallNames(), (std::vector<std::string>{"Elgin_AcionaGaveta", "Elgin_VerificaEstadoImpressora"}));
}

TEST_F(CommandTest, ACodeKeptOutOfInRetorno) {
  sim.fail("Elgin_AcionaGaveta", -1, 1);
  EXPECT_FALSE(Send(Call("Elgin_AcionaGaveta", Qor01100::Elgin_AcionaGaveta).KeepInRetorno(false)));
  EXPECT_EQ(Qor01100::inRetorno, 77);
}

TEST_F(CommandTest, AnUnboundEntryPointIsACommunicationFailure) {
  Qor01100::StopImpFiscal();
  EXPECT_FALSE(Send(Call("Elgin_AcionaGaveta", Qor01100::Elgin_AcionaGaveta)));
  EXPECT_EQ(Qor01100::inRetorno, 0);
  EXPECT_TRUE(Journal().empty());
}

TEST_F(CommandTest, AThrowingLibraryIsAFailedCommandWithItsTextReported) {
  sim.raise("Elgin_AcionaGaveta", 1);
  bool ok = true;
  EXPECT_NO_THROW(ok = Send(Call("Elgin_AcionaGaveta", Qor01100::Elgin_AcionaGaveta)));
  EXPECT_FALSE(ok);
  EXPECT_EQ(Qor01100::inRetorno, 0);
  const std::string raised = "simulated fault in Elgin_AcionaGaveta";
  const auto log = LogMessages();
  EXPECT_NE(std::find(log.begin(), log.end(), "ERRO!!! " + raised), log.end());
  EXPECT_EQ(Qor01100::stMensagemTaa.rfind(" " + raised, 0), 0u);
  EXPECT_TRUE(Dialogs().empty()) << "shown only when the command asks for it";
}

TEST_F(CommandTest, AThrowingFurtherLibraryAnswersTheFailureCodeItNames) {
  // A library whose 0 means success (the file converter) must not read a throw as success.
  sim.raise("Elgin_AcionaGaveta", 1);
  int code = 0;
  EXPECT_NO_THROW(code = Qor01100::CallOnly(Call("", Qor01100::Elgin_AcionaGaveta).OnThrow(-1)));
  EXPECT_EQ(code, -1);
  EXPECT_EQ(Qor01100::inRetorno, -1);
  const auto log = LogMessages();
  EXPECT_NE(std::find(log.begin(), log.end(), "ERRO!!! simulated fault in Elgin_AcionaGaveta"), log.end());
}

TEST_F(CommandTest, AThrowingLibraryIsShownWhenTheCommandAsks) {
  sim.raise("Elgin_AcionaGaveta", 1);
  EXPECT_FALSE(Send(Call("Elgin_AcionaGaveta", Qor01100::Elgin_AcionaGaveta).ShowThrow("001")));
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].request.scheme, "001");
  EXPECT_FALSE(Dialogs()[0].request.question);
}

TEST_F(CommandTest, TextArgumentsAreFreshBuffersOnEverySend) {
  const Qor01100::Command c = Call("Elgin_NumeroCupom", Qor01100::Elgin_NumeroCupom, std::string(6, ' '));
  EXPECT_TRUE(Send(c));
  EXPECT_TRUE(Send(c));
  const auto args = ArgsOf("Elgin_NumeroCupom");
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[1][0], "      ") << "the second send does not see what the first one wrote";
}

TEST_F(CommandTest, ATextAnswerKeepsTheWholeBuffer) {
  sim.answer("Elgin_NumeroCupom", 1, R"(["12\u00003"])", 1);
  std::string out;
  EXPECT_TRUE(Send(Query("Elgin_NumeroCupom", Qor01100::Elgin_NumeroCupom, out)));
  EXPECT_EQ(out, std::string("12\0003  ", 6));
}

// ------------------------------------------------------------ exactly once

// A probe over the simulated printer's own record: the number of items of
// the open document.
std::optional<std::string> ItemCount(qortest::ModuleTest& t) {
  (void)t;
  std::string buf(4, ' ');
  if (Qor01100::Vendor(Qor01100::Elgin_UltimoItemVendido, buf.data()) != 1) return std::nullopt;
  return buf;
}

class StepTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    std::string a, b, c;
    ASSERT_EQ(Qor01100::Elgin_AbreCupomMFD(a.data(), b.data(), c.data()), 1);
    ClearJournal();
  }
  Qor01100::Command Item() {
    return Call("Elgin_VendeItem", Qor01100::Elgin_VendeItem, "1", "PAO", "II", "F", "1,000", 3, "2,000", "$", "0000")
        .Probe([this] { return ItemCount(*this); });
  }
  size_t Items() { return SimState()["document"]["items"].size(); }
};

TEST_F(StepTest, NotExecutedIsSentAgain) {
  sim.fail("Elgin_VendeItem", 1, 1);
  sim.force_status(6, 0, 1, 1);
  Step s(Item());
  EXPECT_FALSE(s.Run());
  EXPECT_FALSE(s.Registered());
  EXPECT_TRUE(s.Run());
  EXPECT_EQ(Calls("Elgin_VendeItem").size(), 2u);
  EXPECT_EQ(Items(), 1u);
}

TEST_F(StepTest, ExecutedWithAStatusErrorIsNotSentAgain) {
  sim.force_status(6, 16, 0, 1);  // printer error bit, command executed
  Step s(Item());
  EXPECT_FALSE(s.Run());
  EXPECT_TRUE(s.Registered());
  EXPECT_TRUE(s.Run());
  EXPECT_EQ(Calls("Elgin_VendeItem").size(), 1u);
  EXPECT_EQ(Items(), 1u);
}

TEST_F(StepTest, NoAnswerAndNothingRegisteredIsSentAgain) {
  sim.fail("Elgin_VendeItem", 0, 1);
  Step s(Item());
  EXPECT_FALSE(s.Run());
  EXPECT_FALSE(s.Registered());
  EXPECT_TRUE(s.Run());
  EXPECT_EQ(Calls("Elgin_VendeItem").size(), 2u);
  EXPECT_EQ(Items(), 1u);
}

TEST_F(StepTest, AnUnansweredStatusAfterCodeOneIsExecuted) {
  // The printer answered 1: it acted, whatever the status query after it
  // says. The status is asked once more at once; answered, the step is done.
  sim.fail("Elgin_VerificaEstadoImpressora", 0, 1);
  Step s(Item());
  EXPECT_TRUE(s.Run());
  EXPECT_TRUE(s.Done());
  EXPECT_EQ(Calls("Elgin_VendeItem").size(), 1u);
  EXPECT_EQ(Calls("Elgin_VerificaEstadoImpressora").size(), 2u);
  EXPECT_EQ(Items(), 1u);
  // Still unanswered the second time: registered, failed; a retry only asks the status.
  sim.fail("Elgin_VerificaEstadoImpressora", 0, 2);
  Step t(Item());
  EXPECT_FALSE(t.Run());
  EXPECT_TRUE(t.Registered());
  EXPECT_TRUE(t.Run());
  EXPECT_EQ(Calls("Elgin_VendeItem").size(), 2u);
  EXPECT_EQ(Items(), 2u);
}

TEST_F(StepTest, ALostAnswerOfARegisteredCommandSucceedsWithoutSendingAgain) {
  // The item reaches the printer, then the library answers 0.
  sim.lost_answer("Elgin_VendeItem", 1);
  Step s(Item());
  EXPECT_TRUE(s.Run());
  EXPECT_TRUE(s.Done());
  EXPECT_TRUE(s.Run());
  EXPECT_EQ(Calls("Elgin_VendeItem").size(), 1u);
  EXPECT_EQ(Items(), 1u);
}

TEST_F(StepTest, AnUnreadableRecordIsReadAgainBeforeSending) {
  sim.lost_answer("Elgin_VendeItem", 1);
  int readings = 0;  // the second reading (after the lost answer) fails
  Step s(Item().Probe([&]() -> std::optional<std::string> {
    if (++readings == 2) return std::nullopt;
    return ItemCount(*this);
  }));
  EXPECT_FALSE(s.Run());
  EXPECT_FALSE(s.Registered());
  EXPECT_TRUE(s.Run());
  EXPECT_EQ(Calls("Elgin_VendeItem").size(), 1u);
  EXPECT_EQ(Items(), 1u);
}

// An item the printer answers with a coupon-open bit, sent with the
// cancellation of an open coupon: the analysis cancels, and the
// cancellation's own analysis reads the status again. The item's outcome
// comes from the status read for the item, never from the cancellation's.
TEST_F(StepTest, TheOutcomeIsReadFromTheCommandsOwnStatus) {
  struct Case {
    const char* name;
    bool itemTaken;
    int st1, st2;  // the status answered for the item
  } cases[] = {
      // The item is refused (not executed); the cancellation succeeds and its
      // status is clean: the item must not count as registered.
      {"item refused, cancellation done", false, 2, 1},
      // The item is taken with a printer error; the cancellation is refused
      // and its status says "not executed": the item must not be sent again.
      {"item taken, cancellation refused", true, 2 | 16, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (SimState()["document"].is_null()) {
      std::string a, b, d;
      ASSERT_EQ(Qor01100::Elgin_AbreCupomMFD(a.data(), b.data(), d.data()), 1);
    }
    const size_t before = Items();
    ClearJournal();
    if (!c.itemTaken) sim.fail("Elgin_VendeItem", 1, 1);
    sim.force_status(6, c.st1, c.st2, 1);
    if (c.itemTaken) sim.not_executed("Elgin_CancelaCupom", 1);
    Step s(Item().CancelOpenCoupon());
    EXPECT_FALSE(s.Run());
    EXPECT_EQ(s.Registered(), c.itemTaken);
    const size_t taken = c.itemTaken ? before + 1 : 0;  // a refused item's coupon was cancelled
    EXPECT_EQ(Items(), taken);
    // Asked again, the step never doubles the item nor claims one the printer lacks.
    const bool again = s.Run();
    EXPECT_LE(Items(), before + 1);
    if (again) {
      EXPECT_EQ(Items(), before + 1);
    }
    int executed = 0;
    for (const auto& call : Calls("Elgin_VendeItem")) executed += call.ret == 1 && call.injected.empty() ? 1 : 0;
    EXPECT_LE(executed, 1);
  }
}

// Something raises after the printer answered (here the host's dialog, shown
// for the analysis' message): the answer is undecided and the printer's
// record decides, as for a lost answer. Nothing reaches the caller, and the
// item is never sent twice.
TEST_F(StepTest, AnExceptionAfterTheCallReturnedLeavesTheRecordToDecide) {
  struct Case {
    const char* name;
    bool itemTaken;
  } cases[] = {{"the printer took the item", true}, {"the printer refused the item", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t before = Items();
    ClearJournal();
    if (c.itemTaken)
      sim.force_status(6, 16, 0, 1);  // taken, with a printer error to show
    else
      sim.fail("Elgin_VendeItem", -1, 1);
    bool showing = true;
    hostlib::SetDialogHandler([&](const hostlib::DialogRequest&) -> bool {
      if (showing) throw std::runtime_error("the host cannot show a dialog now");
      return false;
    });
    Qor01100::stMensagemTaa.clear();
    Step s(Item().Show(true));
    bool ok = false;
    ASSERT_NO_THROW(ok = s.Run());
    EXPECT_EQ(ok, c.itemTaken);
    EXPECT_EQ(s.Registered(), c.itemTaken);
    EXPECT_NE(Qor01100::stMensagemTaa.find("the host cannot show a dialog now"), std::string::npos);
    showing = false;
    EXPECT_TRUE(s.Run());
    EXPECT_EQ(Items(), before + 1);
    int executed = 0;
    for (const auto& call : Calls("Elgin_VendeItem")) executed += call.ret == 1 ? 1 : 0;
    EXPECT_EQ(executed, 1);
  }
}

TEST_F(StepTest, TheRetryLoopEndsAsTheOperatorSays) {
  int attempts = 0;
  auto failing = [&] { ++attempts; return attempts >= 3; };
  int asked = 0;
  EXPECT_EQ(Qor01100::RetryLoop(failing, [&] { ++asked; return true; }), Qor01100::RetryEnd::Succeeded);
  EXPECT_EQ(asked, 2);
  attempts = -10;
  EXPECT_EQ(Qor01100::RetryLoop(failing, [] { return false; }), Qor01100::RetryEnd::Declined);
  Qor01100::boNUtilTaa = false;
  EXPECT_EQ(Qor01100::RetryLoop(failing, [] { return true; }), Qor01100::RetryEnd::Failed);
  Qor01100::boNUtilTaa = true;
}

}  // namespace
