// The texts of the customer account documents, built without the printer:
// exact lines, cuts, amounts and where a line feed is left out on purpose.
#include <string>
#include <vector>

#include "receipts/receipt_texts.h"
#include "receipts/tests/receipts_fixture.h"

namespace receipts_test {
namespace {

using namespace Qor01100;

class TextsTest : public qortest::ModuleTest {};

std::string Pad(const std::string& s, size_t left, size_t right) {
  return std::string(left, ' ') + s + std::string(right, ' ');
}

const SaleParties kPartes{"0042", "EMPRESA MODELO LTDA", "12345", "MARIA DA SILVA"};

TEST_F(TextsTest, DebitHeaderHasTwoEmptyLinesTheClientAnEmptyLineAndTheConsumer) {
  EXPECT_EQ(DebitHeaderText(kPartes), "\n\n" + Pad("Venda - Debito Consumidor", 11, 12) + "\n" + Dashes() +
                                          "Cliente: 0042\n"
                                          "         EMPRESA MODELO LTDA\n" +
                                          Dashes() + "\nMatricula: 12345\nConsumidor..: MARIA DA SILVA\n" + Dashes() +
                                          Pad("Produtos da Venda", 15, 16) + "\n" + Blanks() +
                                          "CODIGO     NOME          QTDE   VR.UNIT. VR.TOT.\n");
}

TEST_F(TextsTest, CreditSaleHeaderHasOneEmptyLineAndNoneBeforeTheConsumer) {
  EXPECT_EQ(CreditSaleHeaderText(kPartes),
            "\n" + Pad(A("Venda - Crédito Pessoal"), 12, 13) + "\n" + Dashes() +
                "Cliente: 0042\n         EMPRESA MODELO LTDA\n" + Dashes() +
                "Matricula: 12345\nConsumidor..: MARIA DA SILVA\n" + Dashes() + Pad("Produtos da Venda", 15, 16) +
                "\n" + Blanks() + "CODIGO     NOME          QTDE   VR.UNIT. VR.TOT.\n");
}

TEST_F(TextsTest, HeaderLinesAreCutToTheWidthOfThePaper) {
  const std::string longo(60, 'X');
  const std::vector<std::string> linhas = qortest::Lines(DebitHeaderText({longo, longo, longo, longo}));
  for (const std::string& l : linhas) EXPECT_LE(l.size(), 48u) << l;
  EXPECT_EQ(linhas.at(4), "Cliente: " + std::string(39, 'X'));
  EXPECT_EQ(linhas.at(5), std::string(9, ' ') + std::string(39, 'X'));
}

TEST_F(TextsTest, ProductLines) {
  struct Case {
    bool credito;
    Product p;
    std::string expected;
  };
  const Case cases[] = {
      // Code cut to 10, name to 12; quantity and price with two decimals.
      {false, {"1234567890123", "REFRIGERANTE LATA 350", 2, 4.5}, "1234567890 REFRIGERANTE   2,00      4,50\n"},
      {false, {"7", "PAO", 0.5, 12}, "7 PAO   0,50     12,00\n"},
      // The credit line: quantity "0.00#" inside 30 columns, the total truncated to cents.
      {true, {"789", "PAO", 1.5, 3.33}, "789 PAO  1,50" + std::string(17 + 2 + 4, ' ') + "3,33    4,99\n"},
      {true, {"789", "PAO", 2.125, 2}, "789 PAO  2,125" + std::string(16 + 2 + 4, ' ') + "2,00    4,25\n"},
      {true, {"1234567890123", "REFRIGERANTE LATA", 1, 1234.5}, "1234567890 REFRIGERANTE  1,00    1234,50 1234,50\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p.nm + " " + std::to_string(c.p.qt));
    EXPECT_EQ(c.credito ? CreditProductLine(c.p.cd, c.p.nm, c.p.qt, c.p.vr)
                        : DebitProductLine(c.p.cd, c.p.nm, c.p.qt, c.p.vr),
              c.expected);
  }
}

TEST_F(TextsTest, DebitClosingLeavesOutTheLineFeedsAfterTheBalanceAndTheSubsidy) {
  DebitClosing c;
  c.doValor = 10;
  c.ticket = TicketText("77");
  c.stAuxImpSaldCup = "0";
  c.saldoFinal = 50 + 3 - 10;
  c.doPrecoSubsidio = 3;
  const std::string total = "Total Geral" + std::string(26, ' ') + "10,00\n";
  EXPECT_EQ(DebitClosingText(c),
            Blanks() + total + Dashes() + "SENHA PEDIDO:  77\r\n" + "Saldo Final : R$ 43,00" + A("Preço subsidiado: R$ 3,00"));

  // Mode "2": no balance; no ticket; the remark after 48 blanks.
  c.stAuxImpSaldCup = "2";
  c.ticket = TicketText("");
  c.stObs = "SEM ACUCAR";
  c.doPrecoSubsidio = 0;
  EXPECT_EQ(DebitClosingText(c), Blanks() + total + Dashes() + Blanks() + "SEM ACUCAR\n");
}

TEST_F(TextsTest, TheTicketLineIsCutTo48CharactersWithItsLineEnd) {
  DebitClosing c;
  c.stAuxImpSaldCup = "2";
  c.ticket = TicketText(std::string(40, '9'));
  const std::string texto = DebitClosingText(c);
  EXPECT_EQ(texto.substr(texto.size() - 48), "SENHA PEDIDO:  " + std::string(33, '9'));
}

TEST_F(TextsTest, CreditClosingPrintsSubsidyAndComplementOneRightAfterTheOther) {
  CreditClosing c{10, "", "SALDO\n", 1.5, 2};
  EXPECT_EQ(CreditClosingText(c), Blanks() + "Total Geral    " + std::string(28, ' ') + "10,00\n" + Dashes() + "\n" +
                                      "SALDO\n" + A("Preço subsidiado: R$ 1,50") + "Valor complemento: R$ 2,00");
  c = {7.25, TicketText("5"), "", 0, 0};
  EXPECT_EQ(CreditClosingText(c),
            Blanks() + "Total Geral    " + std::string(29, ' ') + "7,25\n" + Dashes() + "SENHA PEDIDO:  5\r\n\n");
}

TEST_F(TextsTest, BalanceModesZeroAndTwo) {
  rtl::ClientDataSet saldos;
  Saldos(saldos, {{"F1", "PAI", 100}, {"F2", "FILHO", 0}, {"F3", "MAE", 20}});
  // "0": the final balance plus every family balance, with its line feed.
  EXPECT_EQ(CreditBalanceText("0", 5, saldos, nullptr, nullptr), "Saldo Final : R$ 125,00\n");
  EXPECT_EQ(CreditBalanceText("2", 5, saldos, nullptr, nullptr), "");
  EXPECT_EQ(CreditBalanceText("9", 5, saldos, nullptr, nullptr), "");
  rtl::ClientDataSet vazio;
  Saldos(vazio, {});
  EXPECT_EQ(CreditBalanceText("0", -2.5, vazio, nullptr, nullptr), "Saldo Final : -R$ 2,50\n");
  EXPECT_EQ(CreditBalanceText("1", 5, vazio, nullptr, nullptr), "");
}

// Mode "1": the balance of each member after the family's balance and loans.
TEST_F(TextsTest, BalanceModeOneCountsTheFamilyAndItsLoans) {
  struct Case {
    const char* name;
    bool familia;        // the family is in cdsFamiliaSaldo (30,00)
    bool aberto;         // cdsEmprestimo is open
    const char* loans;   // loan kinds present: D 5,00, C 7,00
    const char* balance; // printed
  };
  const Case cases[] = {
      {"found, D loan", true, true, "DC", "65,00"},  {"found, C loan only", true, true, "C", "77,00"},
      {"found, no loan", true, true, "", "70,00"},   {"found, loans closed", true, false, "DC", "70,00"},
      {"not found, D loan", false, true, "DC", "95,00"}, {"not found, C loan only", false, true, "C", "100,00"},
      {"not found, loans closed", false, false, "D", "100,00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rtl::ClientDataSet saldos, familia, emprestimo;
    Saldos(saldos, {{"f1", "JOSE", 100}, {"F2", "ZERADO", 0}});
    qortest::MakeTable(familia, {{"CDFAMILISALD", FieldType::String, 10}, {"VRSALDCONFAM", FieldType::Float}},
                       c.familia ? std::vector<qortest::Row>{{"F9", 1.0}, {"F1", 30.0}} : std::vector<qortest::Row>{});
    std::vector<qortest::Row> loans{{"F9", "D", 1.0}};
    for (const char* k = c.loans; *k; ++k) loans.push_back({"F1", std::string(1, *k), *k == 'D' ? 5.0 : 7.0});
    qortest::MakeTable(emprestimo,
                       {{"CDFAMILISALD", FieldType::String, 10},
                        {"IDTPMOVEXT", FieldType::String, 1},
                        {"VRMOVEXTCONS", FieldType::Float}},
                       loans);
    if (!c.aberto) emprestimo.Close();
    const std::string balance = c.balance;
    EXPECT_EQ(CreditBalanceText("1", 0, saldos, &familia, &emprestimo),
              "JOSE" + std::string(21, ' ') + std::string(22 - balance.size(), ' ') + balance + "\n");
  }
}

TEST_F(TextsTest, PurchaseAndCancellationCopies) {
  PurchaseCopy p{"123", "MARIA", "SILVA", 50, 20.5, true};
  const std::string corpo = "\n" + Pad("COMPRA DE CREDITO", 15, 16) + "\n" + Dashes() + "\nNr.Deposito: 123\n" + Blanks() +
                            "Consumidor..: MARIA\nFamilia.....: SILVA\nValor ......: R$ 50,00\n"
                            "Saldo Final : R$ 70,50\n";
  EXPECT_EQ(PurchaseCopyText(p), corpo + Blanks() + Blanks() + Blanks() + Blanks());
  p.primeira = false;
  EXPECT_EQ(PurchaseCopyText(p), corpo);

  EXPECT_EQ(CancellationText({"123", "0042", "MARIA", "SILVA", 50, -1}),
            "\n" + Pad("CANCELAMENTO DE COMPRA DE CREDITO", 7, 8) + "\n" + Dashes() + "\n" +
                A("Cancelamento do depósito: 123\n") + Blanks() +
                "Cliente: 0042\nConsumidor: MARIA\nFamilia.....: SILVA\nValor ......: R$ 50,00\n"
                "Saldo Final : -R$ 1,00\n");
}

TEST_F(TextsTest, FamilyCreditSkipsMembersWithoutBalance) {
  rtl::ClientDataSet saldos;
  Saldos(saldos, {{"F1", "PAI", 12.5}, {"F2", "FILHO", 0}, {"F3", "MAE", -2}});
  bool achou = false;
  const std::string cabeca = "\n" + Pad("SILVA", 21, 22) + "\n" + Blanks();
  EXPECT_EQ(FamilyCreditText("SILVA", &saldos, achou),
            cabeca + "PAI" + std::string(22 + 10, ' ') + "12,50\n" + "MAE" + std::string(22 + 10, ' ') + "-2,00\n" +
                Dashes() + "Saldo Total" + std::string(14 + 10, ' ') + "10,50\n");
  EXPECT_TRUE(achou);
  rtl::ClientDataSet vazio;
  Saldos(vazio, {});
  EXPECT_EQ(FamilyCreditText("SILVA", &vazio, achou),
            cabeca + Dashes() + "Saldo Total" + std::string(14 + 11, ' ') + "0,00\n");
  EXPECT_FALSE(achou);
  EXPECT_EQ(FamilyCreditText("SILVA", nullptr, achou), cabeca + Dashes() + "Saldo Total" + std::string(25, ' ') + "0,00\n");
  EXPECT_FALSE(achou);
}

TEST_F(TextsTest, ReportPieces) {
  EXPECT_EQ(ReportHeaderText("FILIAL CENTRO", "002"), "\n" + Dashes() + Pad("FILIAL CENTRO", 17, 18) + "\n\n" + Dashes() +
                                                          "Caixa: 002" + std::string(16, ' ') + "05/03/2026 10:00\n" +
                                                          Dashes());
  EXPECT_EQ(BalanceTitleText("0099", "JOAO"), Pad(">>> Consulta Saldo <<<", 13, 13) + "\n" + Dashes() + "0099 - JOAO\n\n");
  EXPECT_EQ(BalanceTotalText(3.5), std::string(37, ' ') + std::string(11, '-') + "\nSaldo Total" + std::string(26 + 7, ' ') +
                                       "3,50\n");
  EXPECT_EQ(BalanceLine("  ANA", -12.3, 37, 10), "  ANA" + std::string(32 + 4, ' ') + "-12,30\n");
  EXPECT_EQ(BlockedCaptionText("L1"), "Loja:L1" + std::string(18, ' ') + "05/03/2026 10:00:00\n" + Dashes() +
                                          Pad(">>> Produtos Bloqueados <<<", 10, 11) + "\n" + Dashes() +
                                          "CODIGO     COD. TECLADO NOME\n");
  EXPECT_EQ(BlockedProductLine("123", "45", "SORVETE"), "123        45           SORVETE" + std::string(17, ' ') + "\n");
}

}  // namespace
}  // namespace receipts_test
