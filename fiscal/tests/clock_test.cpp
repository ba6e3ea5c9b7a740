// The printer's calendar through the simulated printer: movement date,
// date and time, the clock check and summer time.
#include <string>
#include <vector>

#include "driver/state.h"
#include "fiscal/operations.h"
#include "platform/datetime.h"
#include "tests/support/module_helpers.h"

namespace {

class ClockTest : public qortest::PrinterTest {
 protected:
  // The printer answers its date and time once.
  void PrinterClock(const std::string& ddmmyy, const std::string& hhnnss) {
    ASSERT_EQ(sim.answer("Elgin_DataHoraImpressora", 1, ("[\"" + ddmmyy + "\",\"" + hhnnss + "\"]").c_str(), 1), 0);
  }
  void MovementDate(const std::string& ddmmyy) {
    ASSERT_EQ(sim.answer("Elgin_DataMovimento", 1, ("[\"" + ddmmyy + "\"]").c_str(), 1), 0);
  }
  static rtl::TDateTime D(int y, int m, int d) { return rtl::EncodeDate(y, m, d); }
};

// ---- DataMoviFiscal ----------------------------------------------------------

struct MovementCase {
  const char* name;
  int y, m, d;             // the computer's date
  const char* answer;      // what the printer answers
  int ey, em, ed;          // the movement date expected
};

const MovementCase kMovementCases[] = {
    {"a movement date", 2026, 3, 5, "040326", 2026, 3, 4},
    {"no movement yet gives today", 2026, 12, 31, "000000", 2026, 12, 31},
    {"the century is always the current one", 2026, 3, 5, "311299", 2099, 12, 31},
    {"not a date gives today", 2026, 3, 5, "310226", 2026, 3, 5},
    {"not digits gives today", 2026, 3, 5, "ab0326", 2026, 3, 5},
};

TEST_F(ClockTest, DataMoviFiscalReadsTheMovementDate) {
  for (const MovementCase& c : kMovementCases) {
    SCOPED_TRACE(c.name);
    SetClock(c.y, c.m, c.d, 10, 0, 0);
    MovementDate(c.answer);
    EXPECT_EQ(Qor01100::DataMoviFiscal(""), D(c.ey, c.em, c.ed));
    EXPECT_EQ(Qor01100::inRetorno, 1);
  }
  auto calls = Calls("Elgin_DataMovimento");
  ASSERT_EQ(calls.size(), std::size(kMovementCases));
  EXPECT_EQ(calls[0].args[0], "      ");  // six blanks for the answer
}

TEST_F(ClockTest, DataMoviFiscalTracesTheAnswer) {
  MovementCase c = kMovementCases[0];
  MovementDate(c.answer);
  Qor01100::DataMoviFiscal("");
  auto log = LogMessages();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "Elgin_DataMovimento");
  EXPECT_EQ(log[1], "Retorno da Impressora : 040326");
}

TEST_F(ClockTest, DataMoviFiscalGivesTodayWhenThePrinterDoesNotAnswer) {
  ASSERT_EQ(sim.fail("Elgin_DataMovimento", 0, 1), 0);
  EXPECT_EQ(Qor01100::DataMoviFiscal(""), D(2026, 3, 5));
  EXPECT_EQ(Qor01100::inRetorno, 0);
  EXPECT_TRUE(Dialogs().empty());  // analysed without dialogs
  EXPECT_NE(Qor01100::stMensagemTaa.find(A("Erro de comunicação.")), std::string::npos);
}

// ---- Data_Imp ----------------------------------------------------------------

TEST_F(ClockTest, DataImpJoinsDateAndTime) {
  PrinterClock("050326", "094512");
  std::string dataHora = "old";
  EXPECT_TRUE(Qor01100::Data_Imp("", dataHora));
  EXPECT_EQ(dataHora, "050326094512");
  auto calls = Calls("Elgin_DataHoraImpressora");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], "      ");
  EXPECT_EQ(calls[0].args[1], "      ");
  auto log = LogMessages();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0], "Elgin_DataHoraImpressora050326094512094512");
}

TEST_F(ClockTest, DataImpShowsItsMessagesOnlyWhenDialogsAreAllowed) {
  for (bool dialogsAllowed : {true, false}) {
    SCOPED_TRACE(dialogsAllowed);
    dialogs.clear();
    Qor01100::boNUtilTaa = dialogsAllowed;
    ASSERT_EQ(sim.fail("Elgin_DataHoraImpressora", -1, 1), 0);
    std::string dataHora;
    EXPECT_FALSE(Qor01100::Data_Imp("", dataHora));
    EXPECT_EQ(dataHora, std::string(12, ' '));
    EXPECT_EQ(Dialogs().size(), dialogsAllowed ? 1u : 0u);
  }
}

// ---- VerificaData --------------------------------------------------------------

struct ClockCase {
  const char* name;
  const char* date;  // printer's ddmmyy; the computer is at 05/03/2026 10:00:00
  const char* time;  // printer's hhnnss
  bool ok;
};

const ClockCase kClockCases[] = {
    {"same time", "050326", "100000", true},
    {"14 minutes behind", "050326", "094600", true},
    {"15 minutes behind", "050326", "094500", true},
    {"16 minutes behind", "050326", "094400", false},
    {"14 minutes ahead", "050326", "101400", true},
    {"16 minutes ahead", "050326", "101600", false},
    {"exactly one hour behind", "050326", "090000", false},
    {"one hour and ten minutes ahead", "050326", "111000", false},
    {"a day behind", "040326", "100000", false},
    {"two days behind", "030326", "100000", false},
    {"a year ahead", "050327", "100000", false},
};

TEST_F(ClockTest, VerificaDataChecksThePrinterClock) {
  for (const ClockCase& c : kClockCases) {
    SCOPED_TRACE(c.name);
    dialogs.clear();
    Qor01100::boClieUtil = true;
    PrinterClock(c.date, c.time);
    rtl::TDateTime dt = 0;
    EXPECT_EQ(Qor01100::VerificaData("007", dt, "", "", true), c.ok);
    EXPECT_EQ(dt, D(2026, 3, 5));
    if (c.ok) {
      EXPECT_TRUE(Dialogs().empty());
      EXPECT_TRUE(Qor01100::boClieUtil);
    } else {
      ASSERT_EQ(Dialogs().size(), 1u);
      const hostlib::DialogRequest r = Dialogs()[0].request;
      EXPECT_EQ(r.text, "Data da impressora fiscal difere da data do sistema em mais de 15 minutos.");
      EXPECT_EQ(r.kind, 3);
      EXPECT_EQ(r.scheme, "007");
      EXPECT_FALSE(r.question);
      EXPECT_FALSE(Qor01100::boClieUtil);
    }
  }
}

TEST_F(ClockTest, VerificaDataMessageRuleOnASelfServiceTerminal) {
  // Without dialogs the message is still shown unless the last printer
  // check succeeded; the check fails either way.
  struct Case { bool dialogsAllowed, clieUtil; size_t shown; };
  for (Case c : {Case{true, true, 1}, Case{true, false, 1}, Case{false, false, 1}, Case{false, true, 0}}) {
    SCOPED_TRACE(testing::Message() << c.dialogsAllowed << c.clieUtil);
    dialogs.clear();
    Qor01100::boNUtilTaa = c.dialogsAllowed;
    Qor01100::boClieUtil = c.clieUtil;
    PrinterClock("050326", "093000");
    rtl::TDateTime dt = 0;
    EXPECT_FALSE(Qor01100::VerificaData("", dt, "", "", true));
    EXPECT_EQ(Dialogs().size(), c.shown);
    EXPECT_FALSE(Qor01100::boClieUtil);
  }
}

TEST_F(ClockTest, VerificaDataStopsWhenThePrinterClockCannotBeRead) {
  ASSERT_EQ(sim.fail("Elgin_DataHoraImpressora", 0, 1), 0);
  Qor01100::boClieUtil = true;
  rtl::TDateTime dt = 12345;
  EXPECT_FALSE(Qor01100::VerificaData("", dt, "", "", true));
  EXPECT_EQ(dt, 12345);  // not set
  EXPECT_FALSE(Qor01100::boClieUtil);
}

TEST_F(ClockTest, VerificaDataWithoutAskingThePrinter) {
  rtl::TDateTime dt = 0;
  EXPECT_TRUE(Qor01100::VerificaData("", dt, "", "", false));
  EXPECT_EQ(dt, D(2026, 3, 5));
  EXPECT_TRUE(Calls("Elgin_DataHoraImpressora").empty());

  // The host's own printer time is checked the same way.
  EXPECT_FALSE(Qor01100::VerificaData("", dt, "0503260920", "", false));
  EXPECT_TRUE(Qor01100::VerificaData("", dt, "0503260955", "", false));
}

TEST_F(ClockTest, VerificaDataReturnsTheDateOfStData) {
  struct Case { const char* stData; rtl::TDateTime expected; };
  for (Case c : {Case{"311226", D(2026, 12, 31)}, Case{"010199", D(2099, 1, 1)}, Case{"", D(2026, 3, 5)},
                 Case{"xx0326", D(2026, 3, 5)}, Case{"310226", D(2026, 3, 5)}}) {
    SCOPED_TRACE(c.stData);
    rtl::TDateTime dt = 0;
    EXPECT_TRUE(Qor01100::VerificaData("", dt, "", c.stData, false));
    EXPECT_EQ(dt, c.expected);
  }
}

TEST_F(ClockTest, VerificaDataWithAnUnreadablePrinterTimeKeepsItsResult) {
  // A text that is not a date-time ends the check like a conversion error:
  // today's date, the result as it stood.
  rtl::TDateTime dt = 0;
  EXPECT_TRUE(Qor01100::VerificaData("", dt, "abcdefghij", "311226", false));
  EXPECT_EQ(dt, D(2026, 3, 5));
  EXPECT_TRUE(Dialogs().empty());
}

// ---- Summer time -------------------------------------------------------------

TEST_F(ClockTest, EstadoHorVeraoReadsBitTwoOfTheFiscalFlags) {
  struct Case { int flags; bool summer; };
  for (Case c : {Case{37, true}, Case{33, false}, Case{4, true}, Case{0, false}, Case{251, false}}) {
    SCOPED_TRACE(c.flags);
    ASSERT_EQ(sim.answer("Elgin_FlagsFiscais", 1, ("[" + std::to_string(c.flags) + "]").c_str(), 1), 0);
    EXPECT_EQ(Qor01100::Estado_HorVerao(""), c.summer);
  }
  auto log = LogMessages();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "Elgin_FlagsFiscais");
  EXPECT_EQ(log[1], "Retorno da Impressora : 37");
}

TEST_F(ClockTest, EstadoHorVeraoShowsPrinterErrors) {
  ASSERT_EQ(sim.fail("Elgin_FlagsFiscais", -1, 1), 0);
  EXPECT_FALSE(Qor01100::Estado_HorVerao(""));
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].request.text, A("Erro de execução na função."));
}

TEST_F(ClockTest, MudaHorarioSwitchesSummerTime) {
  EXPECT_TRUE(Qor01100::Muda_Horario());
  EXPECT_EQ(CallNames().front(), "Elgin_ProgramaHorarioVerao");
  EXPECT_EQ(LogMessages().at(0), "Elgin_ProgramaHorarioVerao");

  ASSERT_EQ(sim.fail("Elgin_ProgramaHorarioVerao", -1, 1), 0);
  EXPECT_FALSE(Qor01100::Muda_Horario());
  EXPECT_EQ(Qor01100::inRetorno, -1);
  EXPECT_TRUE(Dialogs().empty());
}

}  // namespace
