// The session runner against the real module loaded by name, as qorhost
// does: the shared state it reads and writes is the module's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "driver/datamodule/dtmElgin01100.h"
#include "host/session.h"
#include "platform/library.h"

namespace {

using qorhost::Json;

void* Module() {
  static void* lib = rtl::LoadLibraryByName("Pkg_Qor01100.dll");
  return lib;
}

TEST(RealModule, StateIsReadAndWrittenInTheModuleAndTheDataModuleIsCreatedForStSerieAtu) {
  ASSERT_NE(Module(), nullptr);
  auto symbol = [](const std::string& n) { return rtl::GetLibrarySymbol(Module(), n); };
  auto* dm = static_cast<TdtmElgin01100**>(symbol("dtmElgin01100"));
  ASSERT_NE(dm, nullptr);
  ASSERT_EQ(*dm, nullptr) << "nothing in this test program creates the data module before";

  rtl::ConfigurableEnv env;
  std::ostringstream out, err;
  qorhost::SessionRunner runner(symbol, qorhost::SimControl{}, env, {}, out, err);
  ASSERT_EQ(runner.Run(Json::parse(R"({"steps": [
      {"set": {"stSerieAtu": "SÉRIE 1", "dsDiretorio": "/tmp/saída/", "inRetornoErro": 3, "boNUtilTaa": false}}]})")),
            0)
      << err.str();

  ASSERT_NE(*dm, nullptr);
  EXPECT_EQ((*dm)->stSerieAtu, "S\xC9RIE 1");
  EXPECT_EQ(*static_cast<std::string*>(symbol("dsDiretorio")), "/tmp/sa\xED" "da/");
  EXPECT_EQ(*static_cast<int32_t*>(symbol("inRetornoErro")), 3);
  EXPECT_FALSE(*static_cast<bool*>(symbol("boNUtilTaa")));
  // Every shared-state variable is exported under the name qorhost reads.
  const Json line = Json::parse(out.str().substr(0, out.str().find('\n')));
  EXPECT_EQ(line["state"].size(), 19u) << line.dump();

  // A second set reuses the same data module.
  TdtmElgin01100* first = *dm;
  ASSERT_EQ(runner.Run(Json::parse(R"({"steps": [{"set": {"stSerieAtu": "2"}}]})")), 0) << err.str();
  EXPECT_EQ(*dm, first);
  EXPECT_EQ(first->stSerieAtu, "2");
  *static_cast<bool*>(symbol("boNUtilTaa")) = true;
}

// Every operation the module's lists name, as qorhost registers it.
struct Listed {
  const char* name;
  bool planned;
};
const Listed kListed[] = {
#define QOR_OP(ret, name, params, args, kinds) {#name, false},
#define QOR_PLANNED(ret, name, params, args, kinds) {#name, true},
#define QOR_DECORATED(ret, name, params)
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
};

TEST(RealModule, EveryListedOperationIsAdaptedAndExportedAsListed) {
  ASSERT_NE(Module(), nullptr);
  for (const Listed& op : kListed) {
    const qorhost::Adapter* a = qorhost::FindAdapter(op.name);
    ASSERT_NE(a, nullptr) << op.name << " is listed but qorhost has no adapter for it";
    EXPECT_EQ(a->planned, op.planned) << op.name;
    const bool exported = rtl::GetLibrarySymbol(Module(), op.name) != nullptr;
    EXPECT_EQ(exported, !op.planned) << op.name << (op.planned ? " is exported but listed as planned" : " is not exported");
  }
  // And no adapter names something that is not one of the module's operations.
  // (A plain pair, not a structured binding: clang refuses a binding captured by a lambda.)
  for (const auto& entry : qorhost::Adapters()) {
    const std::string& name = entry.first;
    if (name.rfind("Qht", 0) == 0) continue;  // the fake operations of this test program
    EXPECT_NE(std::find_if(std::begin(kListed), std::end(kListed), [&](const Listed& l) { return name == l.name; }),
              std::end(kListed))
        << name;
  }
}

}  // namespace
