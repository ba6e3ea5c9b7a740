// Operator dialogs: the handler, the answers and the log.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "hostlib/dialogs.h"

namespace {

using namespace hostlib;

// Each test starts with no handler and an empty log, and leaves them so.
class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = SetDialogHandler(nullptr);
    TakeDialogLog();
  }
  void TearDown() override {
    SetDialogHandler(saved_);
    TakeDialogLog();
  }
  DialogHandler saved_;
};

TEST_F(Dialogs, HandlerReceivesAllArguments) {
  std::vector<DialogRequest> seen;
  SetDialogHandler([&](const DialogRequest& r) {
    seen.push_back(r);
    return true;
  });
  EXPECT_TRUE(Mensagem("Deseja abrir o caixa?", "", "N", "S", tmConfirmacao, "", "001", 0, nullptr));
  ASSERT_EQ(seen.size(), 1u);
  const DialogRequest& r = seen[0];
  EXPECT_EQ(r.text, "Deseja abrir o caixa?");
  EXPECT_EQ(r.arg2, "");
  EXPECT_EQ(r.arg3, "N");
  EXPECT_TRUE(r.question);
  EXPECT_EQ(r.kind, tmConfirmacao);
  EXPECT_EQ(r.arg6, "");
  EXPECT_EQ(r.scheme, "001");
  EXPECT_EQ(r.arg8, 0);
}

TEST_F(Dialogs, QuestionOrNotice) {
  struct Case {
    const char* yesNo;
    bool question;
  } const cases[] = {{"S", true}, {"s", true}, {"N", false}, {"", false}, {"X", false}};
  bool lastQuestion = false;
  SetDialogHandler([&](const DialogRequest& r) {
    lastQuestion = r.question;
    return false;
  });
  for (const Case& c : cases) {
    Mensagem("t", "", "N", c.yesNo, tmAviso, "", "", 0, nullptr);
    EXPECT_EQ(lastQuestion, c.question) << "'" << c.yesNo << "'";
  }
}

TEST_F(Dialogs, EveryDialogIsLoggedWithItsAnswer) {
  std::vector<bool> answers = {true, false};
  size_t next = 0;
  SetDialogHandler([&](const DialogRequest&) { return answers[next++]; });
  EXPECT_TRUE(Mensagem("primeira", "", "N", "S", tmAviso, "", "002", 0, nullptr));
  EXPECT_FALSE(Mensagem("segunda", "", "N", "S", tmAviso, "", "002", 0, nullptr));
  ShowMessage("aviso");

  ASSERT_EQ(DialogLog().size(), 3u);
  std::vector<DialogRecord> log = TakeDialogLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].request.text, "primeira");
  EXPECT_TRUE(log[0].answer);
  EXPECT_EQ(log[1].request.text, "segunda");
  EXPECT_FALSE(log[1].answer);
  // ShowMessage: a notice of kind 0 without colour scheme.
  EXPECT_EQ(log[2].request.text, "aviso");
  EXPECT_FALSE(log[2].request.question);
  EXPECT_EQ(log[2].request.kind, tmInformacao);
  EXPECT_EQ(log[2].request.scheme, "");
  // Taking the log empties it.
  EXPECT_TRUE(DialogLog().empty());
  EXPECT_TRUE(TakeDialogLog().empty());
}

TEST_F(Dialogs, WithoutHandlerTheAnswerIsNoAndTheDialogIsStillLogged) {
  EXPECT_FALSE(Mensagem("Confirma impressão?", "", "N", "S", tmConfirmacao, "", "", 0, nullptr));
  std::vector<DialogRecord> log = TakeDialogLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].request.text, "Confirma impressão?");
  EXPECT_TRUE(log[0].request.question);
  EXPECT_FALSE(log[0].answer);
}

TEST_F(Dialogs, SetDialogHandlerReturnsThePreviousOne) {
  SetDialogHandler([](const DialogRequest&) { return true; });
  DialogHandler previous = SetDialogHandler([](const DialogRequest&) { return false; });
  ASSERT_TRUE(static_cast<bool>(previous));
  EXPECT_TRUE(previous(DialogRequest{}));
  EXPECT_FALSE(Mensagem("t", "", "N", "S", 1, "", "", 0, nullptr));
  DialogHandler last = SetDialogHandler(nullptr);
  EXPECT_FALSE(last(DialogRequest{}));
}

TEST_F(Dialogs, HandlerThatRaisesIsLoggedAsNoAndTheErrorGoesOn) {
  SetDialogHandler([](const DialogRequest&) -> bool { throw std::runtime_error("janela fechada"); });
  EXPECT_THROW(Mensagem("t", "", "N", "S", 1, "", "", 0, nullptr), std::runtime_error);
  std::vector<DialogRecord> log = TakeDialogLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_FALSE(log[0].answer);
}

TEST_F(Dialogs, HandlerMayShowAnotherDialog) {
  // A host handler that itself reports through Mensagem must not deadlock.
  SetDialogHandler([](const DialogRequest& r) {
    if (r.text == "externa") ShowMessage("interna");
    return true;
  });
  EXPECT_TRUE(Mensagem("externa", "", "N", "S", 1, "", "", 0, nullptr));
  std::vector<DialogRecord> log = TakeDialogLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].request.text, "interna");
  EXPECT_EQ(log[1].request.text, "externa");
}

}  // namespace
