// Drawer, cutter and printer readiness through the simulated printer.
#include <string>
#include <vector>

#include "driver/state.h"
#include "nonfiscal/operations.h"
#include "tests/support/module_helpers.h"
#include "vendor/operations.h"

namespace {

class DrawerTest : public qortest::PrinterTest {};

TEST_F(DrawerTest, EstadoGavetaGivesTheStateCodeAndLeavesTheStateInInRetorno) {
  struct Case { int ret; int state; const char* code; };
  const Case cases[] = {{1, 0, "00"}, {1, 1, "01"}, {1, 7, "01"}, {0, 1, ""}, {-1, 0, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.ret << "/" << c.state);
    const size_t logBefore = DebugLog().size();
    ASSERT_EQ(sim.answer("Elgin_VerificaEstadoGaveta", c.ret, ("[" + std::to_string(c.state) + "]").c_str(), 1), 0);
    EXPECT_EQ(Qor01100::Estado_Gaveta_Imp(""), c.code);
    EXPECT_EQ(Qor01100::inRetorno, c.state);  // the drawer state, not the call's code
    EXPECT_EQ(LogMessages().at(logBefore), "Elgin_VerificaEstadoGaveta: " + std::to_string(c.state));
  }
}

TEST_F(DrawerTest, EstadoGavetaShowsWhyThePrinterDidNotAnswer) {
  ASSERT_EQ(sim.fail("Elgin_VerificaEstadoGaveta", 0, 1), 0);
  EXPECT_EQ(Qor01100::Estado_Gaveta_Imp(""), "");
  EXPECT_EQ(DialogTexts().at(0), A("Erro de comunicação."));
}

TEST_F(DrawerTest, AbreGavetaOpensTheDrawer) {
  EXPECT_TRUE(Qor01100::Abre_Gaveta_Imp("", false));
  EXPECT_EQ(CallNames().at(0), "Elgin_AcionaGaveta");
  EXPECT_EQ(LogMessages().at(0), "Elgin_AcionaGaveta");
  EXPECT_EQ(Qor01100::inRetorno, 1);

  ASSERT_EQ(sim.fail("Elgin_AcionaGaveta", -1, 1), 0);
  EXPECT_FALSE(Qor01100::Abre_Gaveta_Imp("", true));
  EXPECT_EQ(DialogTexts(), std::vector<std::string>{A("Erro de execução na função.")});
}

TEST_F(DrawerTest, AcionaGuilhotinaCutsWithoutEverShowingAMessage) {
  EXPECT_TRUE(Qor01100::Aciona_Guilhotina());
  auto calls = Calls("Elgin_AcionaGuilhotinaMFD");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], 1);
  EXPECT_EQ(LogMessages().at(0), "Elgin_AcionaGuilhotinaMFD");

  ASSERT_EQ(sim.set_power(0), 0);
  EXPECT_FALSE(Qor01100::Aciona_Guilhotina());
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(DrawerTest, EstadoImpSetsBoClieUtilToItsVerdict) {
  Qor01100::boClieUtil = false;
  EXPECT_TRUE(Qor01100::Estado_Imp("", false, false));
  EXPECT_TRUE(Qor01100::boClieUtil);
  EXPECT_EQ(CallNames(),
            (std::vector<std::string>{"Elgin_VerificaEstadoImpressora", "Elgin_VerificaEstadoImpressora"}));

  ASSERT_EQ(sim.force_status(6, 128, 0, 2), 0);  // paper out
  EXPECT_FALSE(Qor01100::Estado_Imp("", false, false));
  EXPECT_FALSE(Qor01100::boClieUtil);
  EXPECT_EQ(DialogTexts(), std::vector<std::string>{"Impressora fiscal sem papel."});
}

TEST_F(DrawerTest, EstadoImpOnASelfServiceTerminalShowsNothing) {
  Qor01100::boNUtilTaa = false;
  Qor01100::boClieUtil = true;
  ASSERT_EQ(sim.set_power(0), 0);
  EXPECT_FALSE(Qor01100::Estado_Imp("", false, false));
  EXPECT_FALSE(Qor01100::boClieUtil);
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_FALSE(Qor01100::stMensagemTaa.empty());  // still collected for the host
}

TEST_F(DrawerTest, EstadoImpNeverRaises) {
  Qor01100::boClieUtil = true;
  ASSERT_EQ(sim.raise("Elgin_VerificaEstadoImpressora", 1), 0);
  bool result = true;
  EXPECT_NO_THROW(result = Qor01100::Estado_Imp("", false, false));
  EXPECT_FALSE(result);
  EXPECT_FALSE(Qor01100::boClieUtil);
}

TEST_F(DrawerTest, BeforeTheDriverStartsEveryOperationFailsCleanly) {
  Qor01100::StopImpFiscal();
  EXPECT_FALSE(Qor01100::Abre_Gaveta_Imp("", false));
  EXPECT_EQ(Qor01100::Estado_Gaveta_Imp(""), "");
  EXPECT_FALSE(Qor01100::Aciona_Guilhotina());
  EXPECT_FALSE(Qor01100::Estado_Imp("", false, false));
  EXPECT_TRUE(Journal().empty());
}

}  // namespace
