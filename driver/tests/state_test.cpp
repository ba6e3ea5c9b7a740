// The module's shared state as a test (or a host that links the module) sees
// it: one copy of each variable, written by the module and by its user alike.
#include <string>

#include "driver/frame.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "tests/support/module_fixture.h"

namespace {

class StateTest : public qortest::ModuleTest {};

int32_t Changed(int32_t v) { return v + 5; }
bool Changed(bool v) { return !v; }
std::string Changed(const std::string& v) { return v + "x"; }

// Every variable of the list is changed here, through this binary's
// references, and reset by the module's own code: a variable the module kept
// a copy of for itself would still hold the value set here.
TEST_F(StateTest, TheModuleResetsTheVariablesItsUserSees) {
  using namespace Qor01100;
#define QOR_STATE(type, name, init, kind) QOR_STATE_IF_VALUE_##kind(name = Changed(type init);)
#include "driver/state.def"
#undef QOR_STATE

  ResetStateForTesting();

#define QOR_STATE(type, name, init, kind) QOR_STATE_IF_VALUE_##kind(EXPECT_EQ(name, type init) << #name;)
#include "driver/state.def"
#undef QOR_STATE
  EXPECT_TRUE(boNUtilTaa) << "initial values as listed";
  EXPECT_EQ(inRetorno, 0);
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
