// ExportRedZ through the simulated printer: the reduction row, one tax row
// per programmed rate, the non-fiscal and payment rows, the folders, and the
// tables handed back after an error.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver/state.h"
#include "fiscal/operations.h"
#include "platform/text.h"
#include "tests/support/module_helpers.h"
#include "vendor/elgin.h"

namespace {

using nlohmann::json;
using rtl::Variant;

class ReductionExportTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    Qor01100::dsDiretorio = tmp.string() + "/";
    qortest::MakeTable(tipos, {{"CDTIPORECE", rtl::FieldType::String, 3}, {"NMTIPORECE", rtl::FieldType::String, 40}},
                       {{"001", "Dinheiro"}, {"002", "Cartao"}, {"003", "Cheque pre"}});
  }
  void Answer(const char* fn, const json& outs) { ASSERT_EQ(sim.answer(fn, 1, outs.dump().c_str(), 1), 0); }
  bool Export() {
    return Qor01100::ExportRedZ("", "001", "0007", 1, &tipos, &reducao, &formas, &impostos, &naoFiscais);
  }
  // A closed sale of two items (rates 1 and 2) paid in cash, with a coupon discount.
  void Sale() {
    using namespace Qor01100;
    char vazio[] = "";
    ASSERT_EQ(Elgin_AbreCupomMFD(vazio, vazio, vazio), 1);
    char cod[] = "1", desc[] = "ARROZ", a1[] = "00", a2[] = "01", tq[] = "I", q[] = "2", p1[] = "10,00",
         p2[] = "5,00", td[] = "$", d[] = "0000";
    ASSERT_EQ(Elgin_VendeItem(cod, desc, a1, tq, q, 2, p1, td, d), 1);
    ASSERT_EQ(Elgin_VendeItem(cod, desc, a2, tq, q, 2, p2, td, d), 1);
    char tipo[] = "D", modo[] = "$", valor[] = "3,00";
    ASSERT_EQ(Elgin_IniciaFechamentoCupom(tipo, modo, valor), 1);
    char fp[] = "Dinheiro", vp[] = "27,00";
    ASSERT_EQ(Elgin_EfetuaFormaPagamento(fp, vp), 1);
    ASSERT_EQ(Elgin_TerminaFechamentoCupom(vazio), 1);
  }
  static std::vector<std::string> Column(rtl::ClientDataSet& ds, const char* field) {
    std::vector<std::string> out;
    for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName(field).AsString());
    return out;
  }
  rtl::ClientDataSet tipos, reducao, formas, impostos, naoFiscais;
};

TEST_F(ReductionExportTest, DayOfSalesGivesTheFourTables) {
  Sale();
  char sup[] = "50,00", forma[] = "Dinheiro", san[] = "20,00";
  ASSERT_EQ(Qor01100::Elgin_Suprimento(sup, forma), 1);
  ASSERT_EQ(Qor01100::Elgin_Sangria(san), 1);
  EXPECT_TRUE(Export());

  ASSERT_EQ(reducao.RecordCount(), 1);
  reducao.First();
  auto s = [&](const char* f) { return reducao.FieldByName(f).AsString(); };
  auto v = [&](const char* f) { return reducao.FieldByName(f).AsFloat(); };
  EXPECT_EQ(s("NRECFREDZ"), "0007");
  EXPECT_DOUBLE_EQ(reducao.FieldByName("DTREDUCAOZ").AsDateTime(), rtl::Date());
  EXPECT_EQ(s("NRREINIREDZ"), "0001");
  EXPECT_EQ(s("NRREDREDZ"), "0001");
  EXPECT_EQ(s("NRLEITREDZ"), "0000000000");
  EXPECT_EQ(s("NRCANCFREDZ"), "0000000000");
  EXPECT_EQ(s("NRPRIMCFREDZ"), "0000000000");
  EXPECT_EQ(s("NRGERCNFREDZ"), "");
  EXPECT_EQ(s("NRULTCFREDZ"), "0000000004");  // three documents so far: the next is 4
  EXPECT_DOUBLE_EQ(v("VRVENBRUREDZ"), 30.0);
  EXPECT_DOUBLE_EQ(v("VRTOTDESREDZ"), 3.0);
  EXPECT_DOUBLE_EQ(v("VRVENLIQREDZ"), 27.0);
  EXPECT_DOUBLE_EQ(v("VRGTREDZ"), 30.0);
  EXPECT_DOUBLE_EQ(v("VRISSREDZ"), 0.0);
  EXPECT_DOUBLE_EQ(v("VRTOTACRREDZ"), 0.0);
  EXPECT_EQ(s("DSMODMARCAECF"), "QOR SIMULADOR|SIM-ECF MFD");

  // One row per programmed rate (18, 12, 7 and the 5 percent service rate), bases net of the discount.
  EXPECT_EQ(Column(impostos, "CDALIQIMPRZ"), (std::vector<std::string>{"01", "02", "03", "04"}));
  EXPECT_EQ(Column(impostos, "VRALIQIMPRZ"), (std::vector<std::string>{"18", "12", "7", "5"}));
  EXPECT_EQ(Column(impostos, "IDTPIMPREDZ"), (std::vector<std::string>{"T", "T", "T", "T"}));
  double bases = 0;
  for (impostos.First(); !impostos.Eof(); impostos.Next()) {
    const double b = impostos.FieldByName("VRBCALCIMPRZ").AsFloat();
    bases += b;
    EXPECT_DOUBLE_EQ(impostos.FieldByName("VRIMPOSTORZ").AsFloat(),
                     impostos.FieldByName("VRALIQIMPRZ").AsFloat() * b / 100);
  }
  EXPECT_NEAR(bases, 27.0, 1e-9);

  EXPECT_EQ(Column(naoFiscais, "NRTOTNFISCRZ"), (std::vector<std::string>{"29", "30"}));
  EXPECT_EQ(Column(naoFiscais, "VRACUTOTNFIS"), (std::vector<std::string>{"20", "50"}));
  EXPECT_EQ(Column(formas, "CDTIPORECE"), (std::vector<std::string>{"001"}));
  EXPECT_EQ(Column(formas, "VRFORMPGTORZ"), (std::vector<std::string>{"77"}));  // 27 sold + 50 supplied
}

TEST_F(ReductionExportTest, OneTaxRowPerRateUpToTheFirstUnprogrammed) {
  auto rates = [](int n) {
    std::string r;
    for (int i = 1; i <= 16; ++i) r += std::string(i <= n ? "1000" : "0000") + (i < 16 ? "," : "");
    return r;
  };
  for (int n : {0, 2, 16}) {
    SCOPED_TRACE(n);
    Answer("Elgin_RetornoAliquotas", json::array({rates(n)}));
    EXPECT_TRUE(Export());
    EXPECT_EQ(impostos.RecordCount(), n);
  }
}

// Printer methods named alike (the match ignores case) add up into one row;
// a method no host payment type names is left out.
TEST_F(ReductionExportTest, PaymentRowsMergeCaseInsensitively) {
  auto entry = [](const std::string& name, long long cents) {
    std::string digits = std::to_string(cents);
    std::string e = name + std::string(16 - name.size(), ' ') + std::string(20 - digits.size(), '0') + digits;
    return e + std::string(58 - e.size(), '0');
  };
  Answer("Elgin_VerificaFormasPagamento",
         json::array({entry("DINHEIRO", 1000) + entry("Cartao", 250) + entry("dinheiro", 500) +
                      entry("Vale Refeicao", 900) + entry("CHEQUE PRE", 125)}));
  EXPECT_TRUE(Export());
  EXPECT_EQ(Column(formas, "CDTIPORECE"), (std::vector<std::string>{"001", "002", "003"}));
  EXPECT_EQ(Column(formas, "CDTPRECEORIG"), (std::vector<std::string>{"001", "002", "003"}));
  EXPECT_EQ(Column(formas, "VRFORMPGTORZ"), (std::vector<std::string>{"15", "2,5", "1,25"}));
}

// An answer that cannot be read ends the part of the export it feeds; the
// other tables are still built and handed back, and the export answers false
// with the reason in the debug log and stMensagemTaa.
TEST_F(ReductionExportTest, TablesGoBackAsFarAsFilledAfterAnError) {
  Sale();
  std::string bad = "0001" + std::string(20, 'X') + "TOTALIZADOR        ,";
  Answer("Elgin_VerificaRecebimentoNaoFiscal", json::array({bad}));
  Qor01100::stMensagemTaa.clear();
  EXPECT_FALSE(Export());
  EXPECT_EQ(reducao.RecordCount(), 1);
  EXPECT_EQ(impostos.RecordCount(), 4);
  EXPECT_EQ(Column(naoFiscais, "NRTOTNFISCRZ"), (std::vector<std::string>{"29", "30"}));
  EXPECT_EQ(Column(formas, "CDTIPORECE"), (std::vector<std::string>{"001"}));
  bool logged = false;
  for (const std::string& l : LogMessages()) logged |= l.rfind("ERRO!!! ExportRedZ", 0) == 0;
  EXPECT_TRUE(logged);
  EXPECT_NE(Qor01100::stMensagemTaa.find("ExportRedZ"), std::string::npos);
}

// Whatever reading the printer does not answer, every table that does not
// need it is still filled, and the export answers false naming the reading
// (the counters are gone after the reduction: the host must not take
// incomplete tables for the day's figures).
TEST_F(ReductionExportTest, AFailedReadingIsToldAndTheOtherTablesAreFilled) {
  struct Case {
    const char* reading;
    int taxRows, nonFiscalRows, paymentRows;
    const char* emptyField;  // a figure of the reduction row left unknown, or ""
  } cases[] = {
      {"Elgin_NumeroCupom", 4, 2, 1, "NRULTCFREDZ"},
      {"Elgin_DataMovimento", 4, 2, 1, ""},
      {"Elgin_NumeroReducoes", 4, 2, 1, ""},
      {"Elgin_DadosUltimaReducaoMFD", 4, 2, 1, ""},
      {"Elgin_GrandeTotal", 4, 2, 1, "VRGTREDZ"},
      {"Elgin_VendaBruta", 4, 2, 1, "VRVENBRUREDZ"},
      {"Elgin_Acrescimos", 4, 2, 1, "VRTOTACRREDZ"},
      {"Elgin_RetornoAliquotas", 0, 2, 1, ""},
      {"Elgin_VerificaTotalizadoresParciais", 0, 2, 1, "VRISENCREDZ"},
      {"Elgin_VerificaRecebimentoNaoFiscal", 4, 2, 1, ""},
      {"Elgin_VerificaRecebimentoNaoFiscalMFD", 4, 0, 1, ""},
      {"Elgin_VerificaFormasPagamento", 4, 2, 0, ""},
  };
  Sale();
  {
    Qor01100::stMensagemTaa.clear();
    EXPECT_TRUE(Export()) << Qor01100::stMensagemTaa;
    EXPECT_TRUE(Qor01100::stMensagemTaa.empty()) << Qor01100::stMensagemTaa;
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reading);
    Qor01100::stMensagemTaa.clear();
    sim.fail(c.reading, 0, 1);
    EXPECT_FALSE(Export());
    EXPECT_EQ(reducao.RecordCount(), 1);
    EXPECT_EQ(impostos.RecordCount(), c.taxRows);
    EXPECT_EQ(naoFiscais.RecordCount(), c.nonFiscalRows);
    EXPECT_EQ(formas.RecordCount(), c.paymentRows);
    if (*c.emptyField) {
      reducao.First();
      EXPECT_TRUE(reducao.FieldByName(c.emptyField).IsNull()) << reducao.FieldByName(c.emptyField).AsString();
    }
    const std::string& taa = Qor01100::stMensagemTaa;
    EXPECT_NE(taa.find(A("ExportRedZ: dados da redução Z incompletos")), std::string::npos) << taa;
    EXPECT_NE(taa.find(c.reading), std::string::npos) << taa;
    const auto log = LogMessages();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& l) {
      return l.rfind("ERRO!!! ExportRedZ: ", 0) == 0 && l.find(c.reading) != std::string::npos;
    }));
  }
}

TEST_F(ReductionExportTest, CreatesTheFoldersOrTellsTheOperator) {
  EXPECT_TRUE(Export());
  EXPECT_TRUE(std::filesystem::is_directory(tmp / "Dados"));
  EXPECT_TRUE(std::filesystem::is_directory(tmp / "Dados" / "Redu\xE7\xF5" "es"));
  EXPECT_TRUE(DialogTexts().empty());

  std::filesystem::create_directories(tmp / "blocked");
  { std::ofstream(tmp / "blocked" / "file") << "x"; }
  Qor01100::dsDiretorio = (tmp / "blocked" / "file").string() + "/";
  EXPECT_TRUE(Export());
  const auto texts = DialogTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], A("Não foi possível criar o diretório: ") + Qor01100::dsDiretorio + "Dados");
  EXPECT_EQ(reducao.RecordCount(), 1);
}

}  // namespace
