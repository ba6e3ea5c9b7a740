// Binding the printer maker's library.
#include <set>
#include <string>

#include "driver/state.h"
#include "tests/support/module_fixture.h"
#include "vendor/elgin.h"
#include "vendor/operations.h"

namespace {

using qortest::ModuleTest;

// Every entry-point variable of the printer library, in bind order.
std::vector<std::pair<std::string, void*>> EntryPoints() {
  return {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) {#name, reinterpret_cast<void*>(Qor01100::name)},
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
  };
}

// An Env whose libraries lack the named entry points, or that loads no library.
class HidingEnv : public rtl::EnvWrapper {
 public:
  explicit HidingEnv(rtl::Env* t) : rtl::EnvWrapper(t) {}
  std::set<std::string> hidden;
  bool noLibrary = false;
  std::vector<std::string> asked;
  void* LoadLibrary(const std::string& n) override { return noLibrary ? nullptr : EnvWrapper::LoadLibrary(n); }
  void* GetProcAddress(void* l, const std::string& n) override {
    asked.push_back(n);
    return hidden.count(n) ? nullptr : EnvWrapper::GetProcAddress(l, n);
  }
};

class BindingTest : public ModuleTest {};

TEST_F(BindingTest, BindsAll95InBindOrder) {
  HidingEnv hiding(&env);
  rtl::ScopedEnv scoped(&hiding);
  ASSERT_TRUE(Qor01100::BindElgin());
  auto eps = EntryPoints();
  ASSERT_EQ(eps.size(), 95u);
  ASSERT_EQ(hiding.asked.size(), 95u);
  for (size_t i = 0; i < eps.size(); ++i) {
    EXPECT_EQ(hiding.asked[i], eps[i].first);
    EXPECT_NE(eps[i].second, nullptr) << eps[i].first;
  }
  EXPECT_EQ(hiding.asked.front(), "Elgin_AbrePortaSerial");
  EXPECT_EQ(hiding.asked[1], "RFD_ConvertedaMFDData");
  EXPECT_EQ(hiding.asked.back(), "Elgin_CodigoBarrasUPCEMFD");
  EXPECT_NE(Qor01100::ImpFisDLLHandle, nullptr);
}

TEST_F(BindingTest, MissingLastEntryPointLeavesEverythingUnbound) {
  HidingEnv hiding(&env);
  hiding.hidden.insert("Elgin_CodigoBarrasUPCEMFD");
  rtl::ScopedEnv scoped(&hiding);
  EXPECT_FALSE(Qor01100::BindElgin());
  for (auto& [name, p] : EntryPoints()) EXPECT_EQ(p, nullptr) << name;
  // Quiet for the operator; the reason reaches the debug log.
  EXPECT_EQ(LogMessages(), std::vector<std::string>{"ERRO!!! Elgin.dll: entry point Elgin_CodigoBarrasUPCEMFD missing"});
  EXPECT_TRUE(dialogs.empty());
}

TEST_F(BindingTest, MissingLibraryFailsQuietly) {
  HidingEnv hiding(&env);
  hiding.noLibrary = true;
  rtl::ScopedEnv scoped(&hiding);
  EXPECT_FALSE(Qor01100::BindElgin());
  EXPECT_EQ(Qor01100::ImpFisDLLHandle, nullptr);
  for (auto& [name, p] : EntryPoints()) EXPECT_EQ(p, nullptr) << name;
  // The log line says what the environment answered, without loading the library again to word it.
  EXPECT_EQ(LogMessages(), std::vector<std::string>{"ERRO!!! Elgin.dll: the library could not be loaded"});
  EXPECT_TRUE(dialogs.empty());
}

TEST_F(BindingTest, StopClearsBindingsButKeepsHandleAndFlag) {
  ASSERT_TRUE(Qor01100::BindElgin());
  void* handle = Qor01100::ImpFisDLLHandle;
  Qor01100::boImpFiscalOK = true;
  EXPECT_TRUE(Qor01100::StopImpFiscal());
  for (auto& [name, p] : EntryPoints()) EXPECT_EQ(p, nullptr) << name;
  EXPECT_EQ(Qor01100::ImpFisDLLHandle, handle);
  EXPECT_TRUE(Qor01100::boImpFiscalOK);
  // A second binding loads again and rebinds everything.
  EXPECT_TRUE(Qor01100::BindElgin());
  EXPECT_NE(Qor01100::Elgin_VendeItem, nullptr);
}

TEST_F(BindingTest, StopBeforeAnyStartChangesNothing) {
  EXPECT_TRUE(Qor01100::StopImpFiscal());
  EXPECT_EQ(Qor01100::Elgin_AbrePortaSerial, nullptr);
  EXPECT_FALSE(Qor01100::boImpFiscalOK);
}

}  // namespace
