// The account reports through the simulated printer: they print into the
// document the host has open, close it where they should, and leave the
// host's datasets (filter, cursor) as they found them.
#include <string>
#include <vector>

#include "receipts/receipt_texts.h"
#include "receipts/tests/receipts_fixture.h"

namespace receipts_test {
namespace {

class AccountReportsTest : public ReceiptTest {
 protected:
  void OpenReport() {
    ASSERT_TRUE(Qor01100::Relatorio_Gerencial_Imp("", "", "", "", ""));
    ClearJournal();
  }
  static void Familia(rtl::ClientDataSet& ds, int membros) {
    std::vector<qortest::Row> rows;
    for (int i = 1; i <= membros; ++i) rows.push_back({"MEMBRO " + std::to_string(i), double(i)});
    qortest::MakeTable(ds, {{"NMFAMILISALD", FieldType::String, 40}, {"SALDOFAM", FieldType::Float}}, rows);
  }
  static std::string Linha(const std::string& nome, const std::string& valor) {
    return nome + std::string(48 - nome.size() - valor.size(), ' ') + valor + "\n";
  }
};

TEST_F(AccountReportsTest, TheHeaderGoesIntoTheOpenReportUnexamined) {
  OpenReport();
  EXPECT_TRUE(Qor01100::Cabecalho("", "", "FILIAL CENTRO", "002", "", ""));
  EXPECT_EQ(CallNames(), (std::vector<std::string>{"Elgin_RelatorioGerencial"}));
  EXPECT_EQ(Texts("Elgin_RelatorioGerencial"), (std::vector<std::string>{Qor01100::ReportHeaderText("FILIAL CENTRO", "002")}));
  EXPECT_NE(Tape().find("Caixa: 002                05/03/2026 10:00"), std::string::npos);
}

TEST_F(AccountReportsTest, BalanceInquiryFromTheCurrentMemberThenCloses) {
  OpenReport();
  rtl::ClientDataSet fam;
  Familia(fam, 3);
  fam.First();
  fam.Next();  // the host's cursor on the second member
  EXPECT_TRUE(Qor01100::ImpSaldo("", &fam, "0099", "JOAO"));
  EXPECT_EQ(Texts("Elgin_RelatorioGerencial"),
            (std::vector<std::string>{Qor01100::BalanceTitleText("0099", "JOAO"),
                                      Linha("MEMBRO 2", "2,00") + Linha("MEMBRO 3", "3,00") +
                                          std::string(37, ' ') + std::string(11, '-') + "\n" +
                                          Linha("Saldo Total", "5,00")}));
  EXPECT_EQ(CallNames().at(CallNames().size() - 2), "Elgin_FechaRelatorioGerencial");
  // The cursor is where the host left it.
  EXPECT_EQ(fam.RecNo(), 2);
  EXPECT_FALSE(fam.Eof());
}

TEST_F(AccountReportsTest, BalanceInquiryOfAnEmptyFamilyStillPrintsTheTotal) {
  OpenReport();
  rtl::ClientDataSet fam;
  Familia(fam, 0);
  EXPECT_TRUE(Qor01100::ImpSaldo("", &fam, "0099", "JOAO"));
  EXPECT_EQ(Texts("Elgin_RelatorioGerencial").at(1),
            std::string(37, ' ') + std::string(11, '-') + "\n" + Linha("Saldo Total", "0,00"));
}

TEST_F(AccountReportsTest, ALongFamilyIsNotCutItGoesOnInFurtherBlocks) {
  OpenReport();
  rtl::ClientDataSet fam;
  Familia(fam, 15);  // 15 lines of 49 and the total: more than one block holds
  fam.First();
  EXPECT_TRUE(Qor01100::ImpSaldo("", &fam, "0099", "JOAO"));
  const std::vector<std::string> textos = Texts("Elgin_RelatorioGerencial");
  ASSERT_EQ(textos.size(), 3u);
  EXPECT_LE(textos[1].size(), 620u);
  const std::string tudo = textos[1] + textos[2];
  EXPECT_NE(tudo.find(Linha("MEMBRO 15", "15,00")), std::string::npos);
  EXPECT_EQ(tudo.substr(tudo.size() - 49), Linha("Saldo Total", "120,00"));
  EXPECT_NE(Tape().find(Linha("Saldo Total", "120,00").substr(0, 48)), std::string::npos);
}

class NegativeBalanceTest : public AccountReportsTest {
 protected:
  void SetUp() override {
    AccountReportsTest::SetUp();
    qortest::MakeTable(tipos, {{"CDTIPOCONS", FieldType::String, 5}, {"NMTIPOCONS", FieldType::String, 30}},
                       {{"T1", "ALUNOS"}, {"T'2", "PROFESSORES"}, {"T3", "FUNCIONARIOS"}});
    qortest::MakeTable(saldos,
                       {{"CDTIPOCONS", FieldType::String, 5},
                        {"NMCONSUMIDOR", FieldType::String, 40},
                        {"SALDONEGATIVO", FieldType::Float}},
                       {{"T'2", "ANA", -10.5}, {"T3", "BIA", -1.0}, {"T'2", "CAIO", -2.0}, {"T9", "ZE", 5.0}});
  }
  rtl::ClientDataSet tipos, saldos;
};

TEST_F(NegativeBalanceTest, HeaderOnceThenEachTypeWithItsConsumersAndTotal) {
  OpenReport();
  // The host's own filter and cursor on the balances.
  saldos.SetFilter("SALDONEGATIVO < 0");
  saldos.SetFiltered(true);
  saldos.First();
  saldos.Next();
  tipos.First();
  EXPECT_TRUE(Qor01100::SaldoNegativo("0001", "", &tipos, &saldos, "FILIAL CENTRO", "002", "", ""));
  const std::string total = std::string(37, ' ') + std::string(11, '-') + "\n";
  const std::string negativo = Qor01100::NegativeTitleText();
  EXPECT_EQ(Texts("Elgin_RelatorioGerencial"),
            (std::vector<std::string>{
                Qor01100::ReportHeaderText("FILIAL CENTRO", "002"),
                negativo + "PROFESSORES\n" + "  ANA" + std::string(32 + 4, ' ') + "-10,50\n",
                "  CAIO" + std::string(31 + 5, ' ') + "-2,00\n",
                total + Linha("Saldo Total", "-12,50"),
                Dashes() + "FUNCIONARIOS\n" + "  BIA" + std::string(32 + 5, ' ') + "-1,00\n",
                total + Linha("Saldo Total", "-1,00"),
            }));
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  // The host finds its datasets as it left them.
  EXPECT_EQ(saldos.Filter(), "SALDONEGATIVO < 0");
  EXPECT_TRUE(saldos.Filtered());
  EXPECT_EQ(saldos.RecordCount(), 3);
  EXPECT_EQ(saldos.RecNo(), 2);
  EXPECT_EQ(tipos.RecNo(), 1);
}

TEST_F(NegativeBalanceTest, WithoutNegativeBalancesNothingIsPrintedOrClosed) {
  OpenReport();
  tipos.Last();  // from the current type to the end: only T3
  saldos.SetFilter("CDTIPOCONS <> 'T3'");
  saldos.SetFiltered(true);
  // The operation's own filter replaces the host's while it runs, so T3 still has BIA;
  // with no type left at all nothing is printed.
  tipos.Next();
  EXPECT_FALSE(Qor01100::SaldoNegativo("0001", "", &tipos, &saldos, "F", "002", "", ""));
  EXPECT_TRUE(CallNames().empty());
  EXPECT_TRUE(tipos.Eof());
  rtl::ClientDataSet semSaldos;
  qortest::MakeTable(semSaldos,
                     {{"CDTIPOCONS", FieldType::String, 5},
                      {"NMCONSUMIDOR", FieldType::String, 40},
                      {"SALDONEGATIVO", FieldType::Float}},
                     {{"T9", "ZE", -5.0}});
  tipos.First();
  EXPECT_FALSE(Qor01100::SaldoNegativo("0001", "", &tipos, &semSaldos, "F", "002", "", ""));
  EXPECT_TRUE(CallNames().empty());
  EXPECT_FALSE(semSaldos.Filtered());
}

TEST_F(AccountReportsTest, BlockedProductsGoIntoTheOpenVoucher) {
  AccountReceipt();
  ASSERT_TRUE(Qor01100::Abre_Comp_NFiscalVinc("", kConta, "00000000000100", ""));
  ClearJournal();
  rtl::ClientDataSet bloq;
  qortest::MakeTable(bloq,
                     {{"NMFILIAL", FieldType::String, 40},
                      {"CDLOJA", FieldType::String, 4},
                      {"CDPRODUTO", FieldType::String, 10},
                      {"CDPROTECLADO", FieldType::String, 10},
                      {"NMPRODUTO", FieldType::String, 40}},
                     {{"FILIAL CENTRO", "L1", "123", "45", "SORVETE"}, {"FILIAL CENTRO", "L1", "124", "46", "BALA"}});
  EXPECT_TRUE(Qor01100::ImprimeProdBloq("", "", "", &bloq));
  EXPECT_EQ(Texts("Elgin_UsaComprovanteNaoFiscalVinculado"),
            (std::vector<std::string>{Qor01100::BlockedBranchText("FILIAL CENTRO"),
                                      Qor01100::BlockedCaptionText("L1"),
                                      Qor01100::BlockedProductLine("123", "45", "SORVETE"),
                                      Qor01100::BlockedProductLine("124", "46", "BALA"),
                                      Qor01100::MakerFooterText()}));
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_NE(Tape().find(">>> Produtos Bloqueados <<<"), std::string::npos);
}

TEST_F(AccountReportsTest, AStatementGoesInWholeLinesAndIsClosedWithTheDialogSetting) {
  const std::string longa = std::string(400, 'A') + "\n";
  EXPECT_TRUE(Qor01100::Extrato("SALDO ANTERIOR  10,00\nCOMPRA  -2,50\n", "001"));
  EXPECT_EQ(Texts("Elgin_RelatorioGerencial"), (std::vector<std::string>{"SALDO ANTERIOR  10,00\nCOMPRA  -2,50\n"}));
  ClearJournal();
  // Two long lines make one block of 802 characters: more than the printer
  // takes in a call, so it goes in two, nothing lost.
  EXPECT_TRUE(Qor01100::Extrato(longa + longa + "FIM\n", "001"));
  EXPECT_EQ(Texts("Elgin_RelatorioGerencial"), (std::vector<std::string>{longa, longa, "FIM\n"}));
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  // The closing's answer is the result; its messages follow the dialog setting.
  Qor01100::boNUtilTaa = true;
  EXPECT_FALSE(Qor01100::Extrato("", "001"));
  EXPECT_FALSE(DialogTexts().empty());
}

}  // namespace
}  // namespace receipts_test
