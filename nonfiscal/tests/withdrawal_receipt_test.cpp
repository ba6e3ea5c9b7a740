// GeraReciboSangria through the simulated printer: the receipt's two copies
// and its line counter, the closing report of the shift with its surplus or
// shortage, the end-of-day questions, the closing reports of the day, the
// export of the Z-reduction data and a previous day's closing.
#include <algorithm>
#include <string>
#include <vector>

#include "coupon/operations.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "nonfiscal/operations.h"
#include "platform/text.h"
#include "tests/support/module_helpers.h"
#include "vendor/elgin.h"

namespace {

using rtl::FieldType;
using rtl::Variant;
const FieldType S = FieldType::String, F = FieldType::Float;

const std::string kDashes = std::string(48, '-') + "\n";

struct Movement {
  std::string tipo;
  std::string nome;
  double valor;
};

class WithdrawalReceiptTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    Qor01100::dsDiretorio = tmp.string() + "/";
    Fechamento({{"000123", "DINHEIRO", 100, 90}, {"", "CARTAO", 50, 50}});
    qortest::MakeTable(operSup, {{"CDSUPERVISOR", S, 10}, {"NMSUPERVISOR", S, 40}, {"CDOPERADOR", S, 10},
                                 {"NMOPERADOR", S, 40}},
                       {{"07", "MARIA SUPERVISORA", "12", "JOAO OPERADOR"}});
    Produtos(prodAux, 60);
    Produtos(prodDia, 250);
    qortest::MakeTable(extrato, {{"VRCARGACREDITO", F}}, {{10.0}});
    qortest::MakeTable(tipos, {{"CDTIPORECE", S, 3}, {"NMTIPORECE", S, 40}}, {{"001", "DINHEIRO"}});
    Movimentos(movTot, {{"1", "SANGRIA DINHEIRO", 80}});
    Movimentos(movAbertura, {{"1", "SANGRIA DINHEIRO", 80}});
  }
  struct Closing {
    std::string envelope, nome;
    double informado, digitado;
  };
  void Fechamento(const std::vector<Closing>& rows) {
    std::vector<qortest::Row> data;
    for (const Closing& f : rows) data.push_back({f.envelope, f.nome, f.informado, f.digitado});
    movFecha.Close();
    movFecha.ClearFieldDefs();
    qortest::MakeTable(movFecha, {{"NRENVELOPE", S, 6}, {"NMTIPORECE", S, 40}, {"VRFECHAINF", F}, {"VRFECHADIG", F}},
                       data);
  }
  static void Movimentos(rtl::ClientDataSet& ds, const std::vector<Movement>& rows) {
    std::vector<qortest::Row> data;
    for (const Movement& m : rows) data.push_back({m.tipo, m.nome, m.valor});
    ds.Close();
    ds.ClearFieldDefs();
    qortest::MakeTable(ds, {{"IDTIPOREG", S, 1}, {"NMTIPORECE", S, 40}, {"VRSAIDA", F}}, data);
  }
  static void Produtos(rtl::ClientDataSet& ds, double total) {
    qortest::MakeTable(ds, {{"CDPRODIMPFIS", S, 20}, {"CDPRODUTO", S, 20}, {"NMPRODUTO", S, 50}, {"QTPRODVEND", F},
                            {"VRTOTAL", F}, {"VRACRE", F}, {"VRDESC", F}, {"IDTPIMPOSFIS", S, 1}, {"VRPEALIMPFIS", F}},
                       {{"1", "1", "ARROZ", 1.0, total, 0.0, 0.0, "T", 18.0}});
  }

  // The switches of one call, as a host sets them.
  struct Call {
    bool impRelSan = true, imprimeRedZ = true, sangria = true, diaAnterior = false, accessRedZ = true;
    std::string emiRelProd = "", tipo = "", desc = "", envelope = "S", leituraX = "N";
  };
  bool Run(const Call& c) {
    return Qor01100::GeraReciboSangria("COM1", "SERIE", "0001", "01", "0001", 1, cupomDia, &movFecha, &sangria,
                                       &prodAux, &operSup, &movTot, &movAbertura, &prodDia, &extrato, 0.0,
                                       c.impRelSan, c.imprimeRedZ, false, &redz, &forma, &imposto, &totNFis, reduziu,
                                       &tipos, c.emiRelProd, "N", c.leituraX, c.envelope, "001", c.sangria,
                                       c.diaAnterior, c.accessRedZ, c.tipo, c.desc);
  }
  // The texts sent to open reports (the openings' empty texts left out).
  std::vector<std::string> Blocks() const {
    std::vector<std::string> out;
    for (const auto& a : ArgsOf("Elgin_RelatorioGerencial"))
      if (!a[0].get<std::string>().empty()) out.push_back(a[0].get<std::string>());
    return out;
  }
  std::string Tail(size_t fromEnd) const {
    const auto b = Blocks();
    return b.size() > fromEnd ? b[b.size() - 1 - fromEnd] : "";
  }

  rtl::ClientDataSet movFecha, sangria, prodAux, operSup, movTot, movAbertura, prodDia, extrato, tipos;
  rtl::ClientDataSet redz, forma, imposto, totNFis;
  std::string cupomDia;
  bool reduziu = true;
};

TEST_F(WithdrawalReceiptTest, WithdrawalReceiptInTwoCopies) {
  Call c;
  c.tipo = "TROCO";
  c.desc = "COFRE";
  EXPECT_FALSE(Run(c));
  const std::string head = "MODALIDADE" + std::string(15, ' ') + " " + std::string(10, ' ') + "VALOR\n";
  const std::vector<std::string> expected = {
      "\n" + std::string(13, ' ') + "RECIBO SAIDA NUMERARIO" + std::string(13, ' ') + "\n" + kDashes +
          "Motivo: TROCO\n" + A("Observação: COFRE\n") + kDashes + "NR.ENV " + head,
      " ",
      "000123 DINHEIRO                            90,00\n",  // the amount typed in a withdrawal
      " CARTAO                              50,00\n",  // no envelope: the blank still separates
      "TOTAL SANGRIAS                      140,00\n\n" + kDashes + "Supervisor : 07 MARIA SUPERVISORA\n",
      std::string(10, ' ') + "SAIDA DE NUMERARIO - SANGRIA" + std::string(10, ' ') + "\n" + kDashes +
          "Motivo: TROCO\n" + A("Observação: COFRE\n") + kDashes + "NR.ENV " + head,
      " ",
      "000123 DINHEIRO                            90,00\n",
      " CARTAO                              50,00\n",  // no envelope: the blank still separates
      "TOTAL SANGRIAS                      140,00\n\n" + kDashes + "Operador : 12 JOAO OPERADOR\n",
  };
  std::vector<std::string> got;
  for (const std::string& b : Blocks()) got.push_back(rtl::Utf8ToCp1252(b));
  EXPECT_EQ(got, expected);
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_TRUE(DialogTexts().empty());
  EXPECT_FALSE(reduziu);
  EXPECT_EQ(cupomDia, "000001");
}

// Without reason or remark there is no reason block and no second line of
// hyphens; without envelopes the header has no "NR.ENV", but every line
// still starts with the envelope number. The shift's typed-in amounts are
// those informed by the operator.
TEST_F(WithdrawalReceiptTest, NoReasonNoEnvelopeHeader) {
  Call c;
  c.envelope = "N";
  c.sangria = false;
  c.imprimeRedZ = false;
  Run(c);
  const auto b = Blocks();
  ASSERT_GE(b.size(), 3u);
  EXPECT_EQ(b[0], "\n" + std::string(13, ' ') + "RECIBO SAIDA NUMERARIO" + std::string(13, ' ') + "\n" + kDashes +
                      "MODALIDADE" + std::string(26, ' ') + "VALOR\n");
  EXPECT_EQ(b[2], "000123 DINHEIRO                           100,00\n");
}

// The counter runs over both copies: an extra blank line before the
// hyphens of each copy whose count (less 3) reaches a multiple of ten.
TEST_F(WithdrawalReceiptTest, ExtraBlankLineFollowsTheLineCounter) {
  const struct {
    int lines;
    bool first, second;
  } cases[] = {{7, true, false}, {17, true, false}, {5, false, true}, {0, false, true}, {3, false, false}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.lines);
    std::vector<Closing> rows(static_cast<size_t>(k.lines), Closing{"1", "DINHEIRO", 1, 1});
    Fechamento(rows);
    ClearJournal();
    Run(Call());
    const auto b = Blocks();
    const size_t perCopy = 3 + static_cast<size_t>(k.lines);
    ASSERT_EQ(b.size(), 2 * perCopy);
    auto extra = [](const std::string& block) { return block.find("\n\n\n" + kDashes) != std::string::npos; };
    EXPECT_EQ(extra(b[perCopy - 1]), k.first);
    EXPECT_EQ(extra(b[2 * perCopy - 1]), k.second);
  }
}

// The shift's closing: sales from the shift's products, credit purchases,
// the withdrawals listed, then SOBRA or FALTA of the balance.
TEST_F(WithdrawalReceiptTest, ShiftClosingBalance) {
  const struct {
    std::vector<Movement> movs;
    std::string last;  // the balance line
    std::string sangrias;
  } cases[] = {
      // 80 + 20 - 0 - 0 - 60 - 10 = 30
      {{{"1", "SANGRIA DINHEIRO", 80}, {"4", "CV RECEBIDO", 20}}, "SOBRA" + std::string(28, ' ') + "          30,00\n",
       "100,00"},
      // 40 + 5 (type 5) - 7.5 (supply: the last of two) - 60 - 10 = -32.5
      {{{"1", "SANGRIA", 40}, {"5", "SANGRIA CHEQUE", 5}, {"3", "SUPR", 99}, {"3", "SUPR", 7.5}},
       "FALTA" + std::string(28, ' ') + "         -32,50\n", "37,50"},
      // 60 + 10 - 60 - 10 = 0: a surplus of 0,00
      {{{"1", "SANGRIA", 60}, {"2", "CV EMITIDO", 10}, {"4", "CV RECEBIDO", 20}},
       "SOBRA" + std::string(28, ' ') + "           0,00\n", "70,00"},
  };
  for (const auto& k : cases) {
    Movimentos(movAbertura, k.movs);
    ClearJournal();
    Call c;
    c.sangria = false;
    c.imprimeRedZ = false;
    Run(c);
    const std::string last = Tail(0);
    ASSERT_GE(last.size(), k.last.size());
    EXPECT_EQ(last.substr(last.size() - k.last.size()), k.last);
    EXPECT_NE(last.find("TOTAL SANGRIAS" + std::string(19, ' ')), std::string::npos);
    EXPECT_NE(last.find(k.sangrias + "\n\n"), std::string::npos) << last;
  }
  EXPECT_EQ(Tail(0).substr(0, 48), "CONTRA-VALE RECEBIDO(+)                    20,00");
}

TEST_F(WithdrawalReceiptTest, ShiftClosingFirstBlockAndTheReports) {
  Call c;
  c.sangria = false;
  c.imprimeRedZ = false;
  c.emiRelProd = "N";
  Run(c);
  // The receipt's report is closed by the product report, which opens its own; the closing opens a third.
  const auto names = CallNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "Elgin_FechaRelatorioGerencial"), 3);
  const auto b = Blocks();
  auto first = std::find_if(b.begin(), b.end(), [](const std::string& s) { return s.find("FECHAMENTO") != s.npos; });
  ASSERT_NE(first, b.end());
  EXPECT_EQ(*first, std::string(12, ' ') + "RELATORIO DE FECHAMENTO" + std::string(12, ' ') + "\n\n" +
                        "TOTAL VENDAS" + std::string(23, ' ') + "        60,00\n" + "Compra de Credito" +
                        std::string(18, ' ') + "        10,00\n" + kDashes);
  EXPECT_EQ(*(first + 1), "SANGRIA DINHEIRO" + std::string(17, ' ') + "          80,00\n");
  const auto texts = DialogTexts();
  EXPECT_EQ(texts, (std::vector<std::string>{"Deseja abrir o caixa?"}));
}

TEST_F(WithdrawalReceiptTest, OpeningTheTillAgainEndsTheDayStage) {
  answers = {true};
  Call c;
  c.impRelSan = false;
  c.sangria = false;
  EXPECT_TRUE(Run(c));
  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{"Deseja abrir o caixa?"}));
  EXPECT_FALSE(reduziu);
  EXPECT_TRUE(Blocks().empty());
}

// Either gate closed ends the operation before the reduction question.
TEST_F(WithdrawalReceiptTest, GatesOfTheReductionQuestion) {
  for (int gate = 0; gate < 2; ++gate) {
    dialogs.clear();
    Call c;
    c.impRelSan = false;
    c.sangria = false;
    (gate == 0 ? c.imprimeRedZ : c.accessRedZ) = false;
    EXPECT_FALSE(Run(c));
    EXPECT_EQ(DialogTexts(), (std::vector<std::string>{"Deseja abrir o caixa?"}));
    EXPECT_FALSE(reduziu);
  }
}

// The day's closing: reduction confirmed, closing reports printed, data exported.
TEST_F(WithdrawalReceiptTest, EndOfDayPrintsTheGeneralClosingAndExports) {
  answers = {false, true, true};
  Call c;
  c.impRelSan = false;
  c.sangria = false;
  c.emiRelProd = "N";
  EXPECT_FALSE(Run(c));
  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{"Deseja abrir o caixa?", A("Confirma impressão da redução z?"),
                                                     A("Confirma impressão dos relatórios de fechamento?")}));
  const auto b = Blocks();
  auto title = std::find_if(b.begin(), b.end(), [](const std::string& s) { return s.find("relFechamentoGeral") != s.npos; });
  ASSERT_NE(title, b.end());
  EXPECT_NE(title->find("TOTAL VENDAS" + std::string(23, ' ') + "       250,00\n"), std::string::npos);
  EXPECT_TRUE(reduziu);
  ASSERT_TRUE(redz.Active());
  EXPECT_EQ(redz.RecordCount(), 1);
  EXPECT_EQ(redz.FieldByName("NRECFREDZ").AsString(), "0001");
  EXPECT_EQ(imposto.RecordCount(), 4);
  EXPECT_EQ(totNFis.RecordCount(), 2);
  EXPECT_TRUE(forma.Active());
}

TEST_F(WithdrawalReceiptTest, DecliningTheClosingReportsStillExports) {
  answers = {false, true, false};
  Call c;
  c.impRelSan = false;
  c.sangria = false;
  EXPECT_FALSE(Run(c));
  EXPECT_TRUE(Blocks().empty());
  EXPECT_TRUE(reduziu);
  EXPECT_EQ(redz.RecordCount(), 1);
}

// The export could not read the printer's payment list: the host still gets
// the tables, but it learns that they are not the whole day (the reduction
// is not counted as exported, and stMensagemTaa says why).
TEST_F(WithdrawalReceiptTest, AnIncompleteExportIsNotReportedAsExported) {
  answers = {false, true, false};
  Call c;
  c.impRelSan = false;
  c.sangria = false;
  sim.fail("Elgin_VerificaFormasPagamento", 0, 1);
  Qor01100::stMensagemTaa.clear();
  EXPECT_FALSE(Run(c));
  EXPECT_FALSE(reduziu);
  EXPECT_EQ(redz.RecordCount(), 1);
  EXPECT_EQ(imposto.RecordCount(), 4);
  EXPECT_NE(Qor01100::stMensagemTaa.find("Elgin_VerificaFormasPagamento"), std::string::npos)
      << Qor01100::stMensagemTaa;
  EXPECT_EQ(Calls("Elgin_VerificaFormasPagamento").size(), 1u);
}

// A previous day: no question before the closing reports, no export, and
// the data module keeps the tables it had (only the day's totals are taken).
TEST_F(WithdrawalReceiptTest, PreviousDayClosing) {
  answers = {true};
  Call c;
  c.impRelSan = false;
  c.sangria = false;
  c.diaAnterior = true;
  c.emiRelProd = "N";
  Qor01100::DataModule().cdsMovFecha.Close();
  EXPECT_FALSE(Run(c));
  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{A("Confirma impressão dos relatórios de fechamento?")}));
  EXPECT_FALSE(reduziu);
  EXPECT_FALSE(redz.Active());
  EXPECT_TRUE(Calls("Elgin_DadosUltimaReducaoMFD").empty());
  EXPECT_FALSE(Qor01100::DataModule().cdsMovFecha.Active());
  const auto b = Blocks();
  EXPECT_TRUE(std::any_of(b.begin(), b.end(), [](const std::string& s) { return s.find("relFechamentoGeral") != s.npos; }));
}

TEST_F(WithdrawalReceiptTest, PlainWithdrawalWithoutReceiptDoesNothing) {
  Call c;
  c.impRelSan = false;
  EXPECT_FALSE(Run(c));
  EXPECT_TRUE(Journal().empty());
  EXPECT_TRUE(DialogTexts().empty());
  EXPECT_FALSE(reduziu);
}

// The day's first document number is kept once known.
TEST_F(WithdrawalReceiptTest, FirstDocumentOfTheDayIsNeverReplaced) {
  cupomDia = "000042";
  Call c;
  c.leituraX = "S";
  Run(c);
  EXPECT_EQ(cupomDia, "000042");
  cupomDia = "  ";
  Run(c);
  EXPECT_EQ(cupomDia, "000003");  // the X reading of this second call
}

// A receipt report that does not open prints nothing of the receipt; the closing still runs.
TEST_F(WithdrawalReceiptTest, ReceiptReportThatDoesNotOpen) {
  ASSERT_EQ(sim.fail("Elgin_RelatorioGerencial", -1, 1), 0);
  Run(Call());
  EXPECT_TRUE(Blocks().empty());
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
}

}  // namespace

namespace {

TEST_F(WithdrawalReceiptTest, NoWayOutLeavesTheReceiptsReportOpen) {
  // The shift's receipt report stays open for the product report to close;
  // when the operator declines that report and there are no movements to
  // close the shift with, or the host's operator table lacks the field of
  // the receipt's signature line, the report is closed before GeraReciboSangria ends, and the
  // next coupon opens.
  struct Case { const char* name; std::string emiRelProd; bool answer; bool emptyMovements; bool badTable; };
  const Case cases[] = {
      {"product report declined, no movements", "S", false, true, false},
      {"product report not asked for, no movements", "X", false, true, false},
      {"an operator table without the supervisor's code", "N", false, false, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ClearJournal();
    dialogs.clear();
    answers = {k.answer};
    if (k.emptyMovements) Movimentos(movTot, {});
    if (k.badTable) {
      operSup.Close();
      operSup.ClearFieldDefs();
      qortest::MakeTable(operSup, {{"NMSUPERVISOR", S, 40}}, {{"MARIA"}});
    }
    Call c;
    c.sangria = false;
    c.imprimeRedZ = false;
    c.emiRelProd = k.emiRelProd;
    if (k.badTable) {
      EXPECT_ANY_THROW(Run(c));
    } else {
      Run(c);
    }
    EXPECT_GE(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
    EXPECT_TRUE(SimState()["document"].is_null()) << SimState()["document"].dump();
    rtl::Variant cupom = qortest::CouponRecord();
    EXPECT_TRUE(Qor01100::AbreCupom(cupom));
    ASSERT_EQ(Qor01100::Elgin_CancelaCupom(), 1);  // the sale is not part of this test
    Movimentos(movTot, {{"1", "SANGRIA DINHEIRO", 80}});
  }
}

}  // namespace
