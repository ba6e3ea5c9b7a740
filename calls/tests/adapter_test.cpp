// The adapter registry: kinds strings, the check of kinds against the C++
// parameter types, the frame's adapters.
#include <cxxabi.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "calls/adapter.h"
#include "calls/caller.h"

namespace {

struct KindsCase {
  const char* spec;
  std::vector<std::string> kinds;
  const char* result;
};
void PrintTo(const KindsCase& c, std::ostream* os) { *os << "\"" << c.spec << "\""; }

class ParseKindsTest : public ::testing::TestWithParam<KindsCase> {};

TEST_P(ParseKindsTest, SplitsParametersAndResult) {
  const auto& c = GetParam();
  std::vector<std::string> kinds{"stale"};
  std::string result = "stale";
  qorhost::ParseKinds(c.spec, kinds, result);
  EXPECT_EQ(kinds, c.kinds);
  EXPECT_EQ(result, c.result);
}

INSTANTIATE_TEST_SUITE_P(
    KindStrings, ParseKindsTest,
    ::testing::Values(KindsCase{"", {}, ""}, KindsCase{"text", {"text"}, ""},
                      KindsCase{"text,dataset", {"text", "dataset"}, ""},
                      KindsCase{" text& , int ", {"text&", "int"}, ""},
                      KindsCase{"text->datetime", {"text"}, "datetime"}, KindsCase{"->datetime", {}, "datetime"},
                      KindsCase{"list,result", {"list", "result"}, ""}, KindsCase{"text,,int", {"text", "", "int"}, ""}));

struct NamesCase {
  const char* declarations;
  std::vector<std::string> names;
};
void PrintTo(const NamesCase& c, std::ostream* os) { *os << "\"" << c.declarations << "\""; }

class ParameterNamesTest : public ::testing::TestWithParam<NamesCase> {};

TEST_P(ParameterNamesTest, TakesTheLastIdentifierOfEachDeclaration) {
  EXPECT_EQ(qorhost::ParameterNames(GetParam().declarations), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Declarations, ParameterNamesTest,
    ::testing::Values(NamesCase{"()", {}}, NamesCase{"(rtl::Variant& Params)", {"Params"}},
                      NamesCase{"(const std::string& stA, int32_t inB)", {"stA", "inB"}},
                      NamesCase{"(rtl::StringList* stlCupomTef, rtl::Variant& oleRetorno)", {"stlCupomTef", "oleRetorno"}},
                      NamesCase{"(std::map<std::string, int> mapa, bool bo = true)", {"mapa", "bo"}},
                      NamesCase{"(  double doValor  )", {"doValor"}}));

TEST(Adapters, ListedOperationsCarryTheirParameterNames) {
  const qorhost::Adapter* a = qorhost::FindAdapter("FechaCupom");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->names, (std::vector<std::string>{"arParams", "stlCupomTef", "oleRetorno"}));
  EXPECT_EQ(qorhost::ParameterLabel(*a, 2), "oleRetorno: result&");
  EXPECT_EQ(qorhost::ParameterList(*a), "arParams: list, stlCupomTef: strings, oleRetorno: result&");
  // Every operation of the lists has one name per parameter.
  for (const auto& [name, adapter] : qorhost::Adapters()) {
    if (name.rfind("Qht", 0) != 0) {
      EXPECT_EQ(adapter.names.size(), adapter.kinds.size()) << name;
    }
  }
}

TEST(Adapters, FrameOperationsAreRegistered) {
  const qorhost::Adapter* a = qorhost::FindAdapter("GetValue");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->kinds, std::vector<std::string>{"text"});
  EXPECT_EQ(a->resultKind, "real");
  a = qorhost::FindAdapter("ImpFisDebug");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->kinds, std::vector<std::string>{"text"});
  EXPECT_EQ(a->resultKind, "none");
  a = qorhost::FindAdapter("StopImpFiscal");
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->kinds.empty());
  EXPECT_EQ(a->resultKind, "bool");
  EXPECT_EQ(qorhost::FindAdapter("NaoExiste"), nullptr);
}

// Signatures only: the adapters are built from the type, never called here.
using TwoTexts = bool(const std::string&, std::string&);
using ADate = double();

using ::testing::ExitedWithCode;

TEST(AdaptersDeathTest, ABrokenAdapterStopsTheProgramNamingTheOperation) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  using R = qorhost::Registrar<TwoTexts>;
  EXPECT_EXIT(R("Wrong1", "text"), ExitedWithCode(qorhost::kExitAdapterBroken), "Wrong1.*1 parameter kind.*2 parameter");
  EXPECT_EXIT(R("Wrong2", "text,int&"), ExitedWithCode(qorhost::kExitAdapterBroken), "Wrong2: parameter 2 is declared \"int&\"");
  EXPECT_EXIT(R("Wrong3", "text,texto&"), ExitedWithCode(qorhost::kExitAdapterBroken), "Wrong3: parameter 2 has the unknown kind");
  EXPECT_EXIT(R("Wrong4", "text,text&->text"), ExitedWithCode(qorhost::kExitAdapterBroken), "Wrong4: result kind \"text\"");
  EXPECT_EXIT(R("GetValue", "text,text&"), ExitedWithCode(qorhost::kExitAdapterBroken), "GetValue has two adapters");
}

TEST(Adapters, ADoubleResultMayBeADateTime) {
  qorhost::Registrar<ADate> r("QhtADate", "->datetime");
  ASSERT_NE(qorhost::FindAdapter("QhtADate"), nullptr);
  EXPECT_EQ(qorhost::FindAdapter("QhtADate")->resultKind, "datetime");
}

TEST(Adapters, DataModuleSymbolIsTheDecoratedCreator) {
  int status = 0;
  char* name = abi::__cxa_demangle(qorhost::kDataModuleSymbol, nullptr, nullptr, &status);
  ASSERT_EQ(status, 0);
  EXPECT_STREQ(name, "Qor01100::DataModule()");
  std::free(name);
}

}  // namespace
