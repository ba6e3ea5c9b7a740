// The product report through the simulated printer: the blocks each layout
// sends (51-column lines, group headers, per-classification summary,
// totals), the question, the report state handed in and out.
#include <algorithm>
#include <string>
#include <vector>

#include "hostlib/consiste.h"
#include "platform/text.h"
#include "reports/operations.h"
#include "tests/support/module_helpers.h"

namespace {

using rtl::Variant;

struct Product {
  std::string impfis, codigo, nome;
  double qtde, total, acre, desc;
  std::string tipo;  // IDTPIMPOSFIS
  Variant aliq;      // VRPEALIMPFIS (null: none)
};

class ProductReportTest : public qortest::PrinterTest {
 protected:
  void Fill(const std::vector<Product>& rows) {
    const rtl::FieldType S = rtl::FieldType::String, F = rtl::FieldType::Float;
    qortest::MakeTable(produtos,
                       {{"CDPRODIMPFIS", S, 20}, {"CDPRODUTO", S, 20}, {"NMPRODUTO", S, 50}, {"QTPRODVEND", F},
                        {"VRTOTAL", F}, {"VRACRE", F}, {"VRDESC", F}, {"IDTPIMPOSFIS", S, 1}, {"VRPEALIMPFIS", F}},
                       {});
    for (const Product& p : rows) {
      qortest::AppendRecord(produtos, {{"CDPRODIMPFIS", p.impfis}, {"CDPRODUTO", p.codigo}, {"NMPRODUTO", p.nome},
                                       {"QTPRODVEND", p.qtde}, {"VRTOTAL", p.total}, {"VRACRE", p.acre},
                                       {"VRDESC", p.desc}, {"IDTPIMPOSFIS", p.tipo}});
      if (!p.aliq.IsNull() && !p.aliq.IsEmpty()) {  // a product without rate keeps its field null
        produtos.Edit();
        produtos.FieldByName("VRPEALIMPFIS").SetAsFloat(p.aliq.AsDouble());
        produtos.Post();
      }
    }
  }
  void Run(const std::string& emite, const std::string& trib, bool ctrl = true) {
    ctrlCupom = ctrl;
    Qor01100::Relatorio_Produto("", "A", "SERIE", "0001", "01", cupomDia, &produtos, emite, trib, "001", ctrlCupom);
  }
  // The texts sent to the open report, without the opening's empty text.
  std::vector<std::string> Blocks() const {
    std::vector<std::string> out;
    for (const auto& a : ArgsOf("Elgin_RelatorioGerencial")) out.push_back(a[0].get<std::string>());
    if (!out.empty() && out.front().empty()) out.erase(out.begin());
    return out;
  }
  rtl::ClientDataSet produtos;
  std::string cupomDia = "host";
  bool ctrlCupom = true;
};

const std::vector<Product> kTres = {
    {"7891000100103", "10", "ARROZ TIPO 1 5KG", 2, 21.98, 0, 1.98, "T", Variant(18.0)},
    {"", "20", "CAFE TORRADO E MOIDO EXTRA FORTE 500G", 1, 16, 1, 0, "T", Variant(12.0)},
    {"123456789012345678", "30", "LEITE", 12.5, 1234.5, 0, 0, "F", Variant(0.0)},
};

TEST_F(ProductReportTest, PlainLayoutLines) {
  Fill(kTres);
  Run("N", "N");
  // The header and the totals are each one text.
  const std::vector<std::string> expected = {
      ("\n             RELATORIO DE PRODUTOS             \n\n"
       "CODIGO         NOME                  QTDE  VLR.TOT.\n\n"),
      "7891000100103  ARROZ TIPO 1 5KG      2,00     21,98\n",
      "20             CAFE TORRADO E MOID   1,00     16,00\n",  // no printer code: the product code; name cut at 19
      "12345678901234 LEITE                12,50   1234,50\n",  // code cut at 14
      ("\nTotal de Acréscimos                            1,00\n\n"
       "Total de Descontos                             1,98\n\n"
       "Total das Vendas                    15,50   1272,48\n\n\n"),
  };
  EXPECT_EQ(Blocks(), expected);
  for (const std::string& b : Blocks())
    for (const std::string& line : qortest::Lines(b))
      if (!line.empty() && line.find("RELATORIO") == std::string::npos) {
        EXPECT_EQ(rtl::Utf8ToCp1252(line).size(), 51u) << line;
      }
  EXPECT_EQ(CallNames().back(), "Elgin_VerificaEstadoImpressora");
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_EQ(cupomDia, "000001");
  EXPECT_TRUE(ctrlCupom);
}

// Sorted by classification and rate; one header per group, none for the
// second product of a group, an empty one for a zero rate of the same
// classification; then the summary per classification and the totals.
TEST_F(ProductReportTest, GroupedLayoutHeadersAndSummary) {
  Fill({{"1", "", "A18", 1, 10, 0, 0, "T", Variant(18.0)},
        {"2", "", "B12", 1, 5, 0, 0, "T", Variant(12.0)},
        {"3", "", "C18", 2, 20, 0.5, 0, "T", Variant(18.0)},
        {"4", "", "DF", 1, 3, 0, 0, "F", Variant()},
        {"5", "", "EF", 1, 4, 0, 0, "F", Variant(0.0)},
        {"6", "", "GI", 1, 6, 0, 0, "I", Variant(0.0)},
        {"7", "", "HN", 1, 7, 0, 1, "N", Variant(0.0)}});
  Run("N", "S");
  auto line = [](const std::string& code, const std::string& name, const std::string& q, const std::string& v) {
    return hostlib::TamFixo(code, 14) + " " + hostlib::TamFixo(name, 19) + " " + hostlib::TamFixoR(q, 6) +
           hostlib::TamFixoR(v, 10) + "\n";
  };
  // The header, the summary and the totals are each one text.
  const std::vector<std::string> expected = {
      ("\n             RELATORIO DE PRODUTOS             \n\n"
       "CODIGO         NOME                  QTDE  VLR.TOT.\n"),
      "Subst. Trib.\n", line("4", "DF", "1,00", "3,00"),
      "", line("5", "EF", "1,00", "4,00"),
      "Isento :\n", line("6", "GI", "1,00", "6,00"),
      "Não Incide\n", line("7", "HN", "1,00", "7,00"),
      "Tributacao  12,00\n", line("2", "B12", "1,00", "5,00"),
      "Tributacao  18,00\n", line("1", "A18", "1,00", "10,00"), line("3", "C18", "2,00", "20,00"),
      "VALOR                                8,00     55,00\n\n",
      "Tributados                         \n",
      ("Subst. Trib.                                7,00\n"
       "Isento :                                    6,00\n"
       "Não Incide                                  7,00\n"
       "12,00                                       5,00\n"
       "18,00                                      30,00\n"),
      ("Total de Acréscimos                            0,50\n\n"
       "Total de Descontos                             1,00\n\n"
       "Total das Vendas                     8,00     55,00\n\n\n"),
  };
  EXPECT_EQ(Blocks(), expected);
}

// The summary goes as one text; past the 620 characters a printing call
// takes, it goes on in the next call, cut at a line end: no line is lost.
TEST_F(ProductReportTest, ALongSummaryGoesOnInTheNextCall) {
  std::vector<Product> rows;
  for (int i = 1; i <= 14; ++i) rows.push_back({std::to_string(i), "", "P", 1, 1, 0, 0, "T", Variant(double(i))});
  Fill(rows);
  Run("N", "S");
  const auto blocks = Blocks();
  ASSERT_GE(blocks.size(), 3u);
  const std::string first = blocks[blocks.size() - 3], rest = blocks[blocks.size() - 2];
  EXPECT_EQ(first.size(), 12u * 49);  // 14 lines of 49 are 686
  EXPECT_EQ(rest.size(), 2u * 49);
  EXPECT_EQ(first.substr(0, 49), "1,00                                        1,00\n");
  EXPECT_EQ(rest.substr(49), "14,00                                       1,00\n");
}

TEST_F(ProductReportTest, TheQuestionAndTheReportState) {
  Fill(kTres);
  struct Case {
    std::string emite;
    bool answer;
    bool ctrlIn;
    bool prints;
    bool asked;
    bool closesFirst;
  } cases[] = {
      {"N", false, true, true, false, false},  {"S", true, true, true, true, false},
      {"S", false, false, false, true, false}, {"", false, false, false, false, false},
      {"X", false, false, false, false, false}, {"N", false, false, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.emite + (c.ctrlIn ? " in" : " out"));
    ClearJournal();
    dialogs.clear();
    answers.push_back(c.answer);
    Run(c.emite, "N", c.ctrlIn);
    answers.clear();
    EXPECT_EQ(!Blocks().empty(), c.prints);
    const auto texts = DialogTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), A("Confirma impressão do Relatório de Produtos?")),
              c.asked ? 1 : 0);
    EXPECT_EQ(ctrlCupom, c.prints || c.ctrlIn);
    const auto names = CallNames();
    EXPECT_EQ(!names.empty() && names.front() == "Elgin_FechaRelatorioGerencial", c.closesFirst);
  }
}

TEST_F(ProductReportTest, EmptyTableOnlySettlesTheReportState) {
  Fill({});
  Run("N", "N", false);
  EXPECT_TRUE(ctrlCupom);
  EXPECT_TRUE(Calls("Elgin_RelatorioGerencial").empty());
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_EQ(cupomDia, "host");
}

}  // namespace
