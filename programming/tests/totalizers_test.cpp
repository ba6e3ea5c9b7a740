// Non-fiscal totalizers: found by name in the printer's list, the missing
// ones named after the list, their indices handed to the host.
#include <string>
#include <utility>
#include <vector>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "programming/operations.h"
#include "tests/support/module_helpers.h"

namespace {

using Named = std::pair<int, std::string>;  // position, name

// The indices CarregaTotalizador hands back.
struct Indices {
  std::string cv, cred, compCred, cancCred, relatorio;
};

class TotalizersTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    Qor01100::stRetorno.clear();
  }
  // The printer's list: nine entries of 19 characters, separated by commas.
  static std::string List(const std::vector<std::string>& names) {
    std::string s;
    for (size_t i = 0; i < 9; ++i) {
      std::string n = i < names.size() ? names[i] : "";
      n.resize(19, ' ');
      s += n;
      if (i < 8) s += ",";
    }
    return s;
  }
  void PrinterList(const std::string& list) {
    ASSERT_EQ(sim.answer("Elgin_VerificaTotalizadoresNaoFiscais", 1, ("[\"" + list + "\"]").c_str(), 1), 0);
  }
  std::vector<Named> NamingCalls() const {
    std::vector<Named> out;
    for (const auto& c : Calls("Elgin_NomeiaTotalizadorNaoSujeitoIcms"))
      out.emplace_back(c.args[0].get<int>(), c.args[1].get<std::string>());
    return out;
  }

  Indices Load(const std::string& esquema = "001") {
    Indices r;
    r.relatorio = "host";
    Qor01100::CarregaTotalizador(r.cv, r.cred, r.compCred, r.cancCred, r.relatorio, esquema, 1, nullptr);
    return r;
  }
};

const std::vector<std::string> kAllSeven = {"Suprimento", "Sangria", "CONTRA-VALE EMITIDO", "VENDA CONSUMIDOR",
                                            "Cred Pessoal", "Relatorios", "Canc Credito"};

TEST_F(TotalizersTest, APrinterWithoutTheTotalizersGetsThemAfterItsList) {
  PrinterList(List({}));
  Indices r = Load();
  EXPECT_EQ(NamingCalls(), (std::vector<Named>{{9, "Suprimento"},
                                               {10, "Sangria"},
                                               {11, "CONTRA-VALE EMITIDO"},
                                               {12, "Cred Pessoal"},
                                               {13, "Relatorios"},
                                               {14, "VENDA CONSUMIDOR"},
                                               {15, "Canc Credito"}}));
  EXPECT_EQ(r.cv, "11");
  EXPECT_EQ(r.compCred, "12");
  EXPECT_EQ(r.cred, "14");
  EXPECT_EQ(r.cancCred, "15");
  EXPECT_EQ(r.relatorio, "host");  // not the operation's to set
  auto& dm = Qor01100::DataModule();
  EXPECT_EQ(dm.IdTotRelatorio, "13");
  EXPECT_EQ(Qor01100::IdTotParcCV, "11");
  EXPECT_EQ(Qor01100::IdTotParcVCons, "14");
  EXPECT_EQ(dm.IdTotCompCred, "12");
  EXPECT_EQ(dm.IdTotCancCred, "15");
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(TotalizersTest, TheListIsReadWithABufferOf179Blanks) {
  PrinterList(List(kAllSeven));
  Load();
  auto calls = Calls("Elgin_VerificaTotalizadoresNaoFiscais");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], std::string(179, ' '));
}

TEST_F(TotalizersTest, NamingTraceNamesPositionAndText) {
  PrinterList(List({"Suprimento", "Sangria", "CONTRA-VALE EMITIDO", "VENDA CONSUMIDOR", "Cred Pessoal",
                    "Relatorios"}));
  Load();
  EXPECT_EQ(NamingCalls(), (std::vector<Named>{{9, "Canc Credito"}}));
  bool found = false;
  for (const std::string& l : DebugLog())
    if (l.find("Elgin_NomeiaTotalizadorNaoSujeitoIcms : 9 - Canc Credito") != std::string::npos) found = true;
  EXPECT_TRUE(found);
}

struct FoundCase {
  const char* name;
  std::vector<std::string> list;
  std::vector<Named> named;
  Indices expected;  // cv, cred, compCred, cancCred, relatorio (data-module field)
};

TEST_F(TotalizersTest, TotalizersFoundInTheList) {
  const std::vector<FoundCase> cases = {
      {"all seven in order", kAllSeven, {}, {"02", "03", "04", "06", "05"}},
      {"withdrawal third, the others named",
       {"", "", "Sangria"},
       {{9, "Suprimento"},
        {10, "CONTRA-VALE EMITIDO"},
        {11, "Cred Pessoal"},
        {12, "Relatorios"},
        {13, "VENDA CONSUMIDOR"},
        {14, "Canc Credito"}},
       {"10", "13", "11", "14", "12"}},
      {"names compare trimmed", {"  Suprimento", "Sangria  ", "CONTRA-VALE EMITIDO", " VENDA CONSUMIDOR",
                                 "Cred Pessoal", "Relatorios", "Canc Credito"},
       {}, {"02", "03", "04", "06", "05"}},
      {"case matters", {"SUPRIMENTO", "Sangria", "CONTRA-VALE EMITIDO", "VENDA CONSUMIDOR", "Cred Pessoal",
                        "Relatorios", "Canc Credito"},
       {{9, "Suprimento"}}, {"02", "03", "04", "06", "05"}},
      {"last entry wins", {"Sangria", "Suprimento", "CONTRA-VALE EMITIDO", "VENDA CONSUMIDOR", "Cred Pessoal",
                           "Relatorios", "Canc Credito", "", "CONTRA-VALE EMITIDO"},
       {}, {"08", "03", "04", "06", "05"}},
  };
  for (const FoundCase& c : cases) {
    SCOPED_TRACE(c.name);
    ClearJournal();
    PrinterList(List(c.list));
    Indices r = Load();
    EXPECT_EQ(NamingCalls(), c.named);
    EXPECT_EQ(r.cv, c.expected.cv);
    EXPECT_EQ(r.cred, c.expected.cred);
    EXPECT_EQ(r.compCred, c.expected.compCred);
    EXPECT_EQ(r.cancCred, c.expected.cancCred);
    EXPECT_EQ(Qor01100::DataModule().IdTotRelatorio, c.expected.relatorio);
  }
}

TEST_F(TotalizersTest, TextLeftInStRetornoIsNotTakenForTotalizers) {
  // An earlier query's answer left in the shared buffer must not shift the
  // positions of the printer's list.
  Qor01100::stRetorno = "1800,1200,0500,0000 and more text from an earlier call";
  PrinterList(List(kAllSeven));
  Indices r = Load();
  EXPECT_TRUE(NamingCalls().empty());
  EXPECT_EQ(r.cv, "02");
  EXPECT_EQ(r.cancCred, "06");
  EXPECT_EQ(Qor01100::DataModule().IdTotRelatorio, "05");
}

TEST_F(TotalizersTest, ARefusedNamingDoesNotStopTheOthers) {
  PrinterList(List({}));
  ASSERT_EQ(sim.fail("Elgin_NomeiaTotalizadorNaoSujeitoIcms", -25, 1), 0);
  Indices r = Load();
  EXPECT_EQ(NamingCalls().size(), 7u);
  EXPECT_EQ(r.cancCred, "15");
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_NE(Qor01100::stMensagemTaa.find(A("Totalizador não fiscal não programado.")), std::string::npos);
}

TEST_F(TotalizersTest, VerificaTotalizadorTellsWhetherTheCreditTotalizerIsKnown) {
  auto& dm = Qor01100::DataModule();
  for (auto [value, known] : {std::pair<const char*, bool>{"04", true}, {"", false}, {"  ", false}}) {
    SCOPED_TRACE(value);
    dm.IdTotCompCred = value;
    EXPECT_EQ(Qor01100::VerificaTotalizador(), known);
  }
  PrinterList(List(kAllSeven));
  Load();
  EXPECT_TRUE(Qor01100::VerificaTotalizador());
}

TEST_F(TotalizersTest, NomeiaTotParcialDoesNothing) {
  EXPECT_TRUE(Qor01100::Nomeia_TotParcial("01", "X", "", "", true, false));
  EXPECT_TRUE(Journal().empty());
}

}  // namespace
