// The module's shared state as a test (or a host that links the module) sees
// it: one copy of each variable, written by the module and by its user alike.
#include <string>

#include "module/Qor01100.h"
#include "tests/support/module_fixture.h"

namespace {

class StateTest : public qortest::ModuleTest {};

// Every variable is set here, through this binary's references, and reset
// by the module's own code: a variable the module kept a copy of for itself
// would still hold the value set here.
TEST_F(StateTest, TheModuleResetsTheVariablesItsUserSees) {
  using namespace Qor01100;
  inRetorno = 5;
  stRetorno = "r";
  stImpDebug = "d";
  stMensagemTaa = "m";
  boNUtilTaa = false;
  boClieUtil = true;
  boImpFiscalOK = true;
  stAliquotaIss = "a";
  IdTotParcCV = "01";
  IdTotParcVCons = "02";
  dsDirCad = "c";
  dsDiretorio = "e";
  inRetornoErro = 6;
  inRetornoFuncao = 7;
  stRetornoErro = "x";
  stRetornoFuncao = "f";
  stTamRetorno = "t";
  stParametro = "p";
  inCanalSerial = 3;

  ResetStateForTesting();

  EXPECT_EQ(inRetorno, 0);
  EXPECT_EQ(stRetorno, "");
  EXPECT_EQ(stImpDebug, "");
  EXPECT_EQ(stMensagemTaa, "");
  EXPECT_TRUE(boNUtilTaa);
  EXPECT_FALSE(boClieUtil);
  EXPECT_FALSE(boImpFiscalOK);
  EXPECT_EQ(stAliquotaIss, "");
  EXPECT_EQ(IdTotParcCV, "");
  EXPECT_EQ(IdTotParcVCons, "");
  EXPECT_EQ(dsDirCad, "");
  EXPECT_EQ(dsDiretorio, "");
  EXPECT_EQ(inRetornoErro, 0);
  EXPECT_EQ(inRetornoFuncao, 0);
  EXPECT_EQ(stRetornoErro, "");
  EXPECT_EQ(stRetornoFuncao, "");
  EXPECT_EQ(stTamRetorno, "");
  EXPECT_EQ(stParametro, "");
  EXPECT_EQ(inCanalSerial, 0);
}

// The other way round: a value set here is the one an operation reads.
TEST_F(StateTest, AnOperationReadsTheValueItsUserSet) {
  Qor01100::stImpDebug = "Elgin_Marcador";
  Qor01100::AnalisaRetorno(1, false, false, false);  // logs the pending trace first
  const auto log = LogMessages();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "Elgin_Marcador");
  EXPECT_EQ(Qor01100::stImpDebug, "") << "and the module's clearing of it is seen here";
}

}  // namespace
