// Whole texts printed as management reports: the generic report and the
// formatted check.
#include <functional>
#include <string>
#include <vector>

#include "hostlib/records.h"
#include "nonfiscal/operations.h"
#include "tests/support/module_helpers.h"

namespace {

using Strings = std::vector<std::string>;

class FreeTextTest : public qortest::PrinterTest {
 protected:
  Strings Blocks() {
    Strings out;
    for (const auto& a : ArgsOf("Elgin_RelatorioGerencial")) out.push_back(a[0].get<std::string>());
    return out;
  }
  size_t Registered(const std::string& type) {
    size_t n = 0;
    for (const std::string& r : hostlib::ReadRecords())
      if (r.find("\"docType\":\"" + type + "\"") != std::string::npos) ++n;
    return n;
  }
  static std::string Line(char c, size_t width) { return std::string(width - 1, c) + "\n"; }
};

TEST_F(FreeTextTest, TheGenericReportSendsBlocksOfWholeLinesOfAtLeastFiftyCharacters) {
  struct Case { const char* name; std::string text; Strings blocks; };
  const std::string a = Line('a', 30), b = Line('b', 30), c = Line('c', 30);
  const Case cases[] = {
      {"three short lines", "UM\nDOIS\nTRES\n", {"UM\nDOIS\nTRES\n"}},
      {"a block closes on the line that reaches fifty", a + b + c, {a + b, c}},
      {"a last line without line feed", a + b + "fim", {a + b, "fim"}},
      {"backslashes become bars", "C:\\DADOS\n", {"C:|DADOS\n"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ClearJournal();
    EXPECT_TRUE(Qor01100::Relatorio_Generico("001", "", "", k.text, "SERIE", ""));
    EXPECT_EQ(CallNames().at(0), "Elgin_AbreRelatorioGerencial");
    EXPECT_EQ(Blocks(), k.blocks);
    EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  }
  EXPECT_EQ(Registered("RG"), std::size(cases));
  EXPECT_NE(Tape().find("C:|DADOS"), std::string::npos);
}

TEST_F(FreeTextTest, TheGenericReportIsRegisteredOnlyWhenPrintedWholeAndClosed) {
  // A refused closing, or a block the printer did not take (refused, not
  // answered, the library throwing): false, nothing registered, every
  // block still sent, and no report left open.
  const std::string texto = Line('a', 60) + Line('b', 60) + Line('c', 10);
  struct Case { const char* name; const char* fn; std::function<void(qortest::Sim&, const char*)> fault; };
  const Case cases[] = {
      {"closing refused", "Elgin_FechaRelatorioGerencial", [](qortest::Sim& s, const char* f) { s.fail(f, -1, 1); }},
      {"block refused", "Elgin_RelatorioGerencial", [](qortest::Sim& s, const char* f) { s.fail(f, -1, 1); }},
      {"block not answered", "Elgin_RelatorioGerencial", [](qortest::Sim& s, const char* f) { s.fail(f, 0, 1); }},
      {"the library throws on a block", "Elgin_RelatorioGerencial",
       [](qortest::Sim& s, const char* f) { s.raise(f, 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearJournal();
    c.fault(sim, c.fn);
    EXPECT_FALSE(Qor01100::Relatorio_Generico("001", "", "", texto, "SERIE", ""));
    EXPECT_EQ(Registered("RG"), 0u);
    EXPECT_EQ(Blocks(), (Strings{Line('a', 60), Line('b', 60), Line('c', 10)}));
    EXPECT_TRUE(SimState()["document"].is_null()) << SimState()["document"].dump();
  }
  ClearJournal();
  EXPECT_TRUE(Qor01100::Relatorio_Generico("001", "", "", texto, "SERIE", ""));
  EXPECT_EQ(Registered("RG"), 1u);
}

TEST_F(FreeTextTest, TheFormattedCheckSendsBlocksOf442CharactersInPiecesOfAt620) {
  struct Case { const char* name; std::string text; Strings blocks; };
  const std::string l100 = Line('x', 100), l300 = Line('y', 300);
  const std::string big = l300 + l100 + Line('z', 250);  // 650: past the printer's limit
  const Case cases[] = {
      {"short text", "Conferência\\OK\n", {"Conferência\\OK\n"}},
      {"five lines of a hundred reach 442 on the fifth", l100 + l100 + l100 + l100 + l100 + l100,
       {l100 + l100 + l100 + l100 + l100, l100}},
      // The printer takes 620 characters a call: the rest goes in the next
      // call, cut at a line end, and nothing is lost.
      {"a block past 620 goes on in the next call", big + "fim\n", {l300 + l100, Line('z', 250), "fim\n"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ClearJournal();
    std::string cupom = "?";
    EXPECT_TRUE(Qor01100::Conferencia_Formatada("001", "0001", "002", "", "", cupom, A(k.text)));
    Strings expected{""};  // the opening
    for (const auto& b : k.blocks) expected.push_back(b);
    EXPECT_EQ(Blocks(), expected);
    EXPECT_EQ(cupom.size(), 6u);
  }
  EXPECT_EQ(Registered("RG"), 0u);
}

TEST_F(FreeTextTest, TheFormattedCheckIsFalseWhenABlockWasNotTaken) {
  // The first of two blocks refused: the second is still sent, the report
  // closes, the coupon number is answered, and the check is not reported
  // as printed.
  const std::string texto = Line('x', 450) + "fim\n";
  std::string cupom;
  ASSERT_TRUE(Qor01100::Conferencia_Formatada("001", "0001", "002", "", "", cupom, texto));
  const Strings names = CallNames();
  size_t at = 0, seen = 0;
  for (size_t i = 0; i < names.size() && at == 0; ++i)
    if (names[i] == "Elgin_RelatorioGerencial" && ++seen == 2) at = i + 1;
  ASSERT_GT(at, 0u);
  ClearJournal();
  cupom.clear();
  ASSERT_EQ(sim.fault_call(static_cast<long>(at), "fail", -1), 0);
  EXPECT_FALSE(Qor01100::Conferencia_Formatada("001", "0001", "002", "", "", cupom, texto));
  EXPECT_EQ(Blocks(), (Strings{"", Line('x', 450), "fim\n"}));
  EXPECT_EQ(cupom.size(), 6u);
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_TRUE(SimState()["document"].is_null());
}

TEST_F(FreeTextTest, TheFormattedCheckAnswersTheCouponNumberEvenWhenPrintingFails) {
  ASSERT_TRUE(Qor01100::Suprimento("", "", 10, false));  // COO 1
  ASSERT_EQ(sim.fail("Elgin_RelatorioGerencial", -1, -1), 0);
  std::string cupom;
  EXPECT_FALSE(Qor01100::Conferencia_Formatada("001", "", "", "", "", cupom, "TEXTO\n"));
  EXPECT_EQ(cupom, "000001");
  ASSERT_EQ(sim.fail("Elgin_RelatorioGerencial", 0, 0), 0);
}

}  // namespace
