// Personal credit through the simulated printer: the purchase and its
// cancellation (report copies, receipts against the credit totalizers), the
// family balances and the voucher of a sale paid with credit.
#include <algorithm>
#include <string>
#include <vector>

#include "driver/amounts.h"
#include "driver/family_balance.h"
#include "receipts/receipt_texts.h"
#include "receipts/tests/receipts_fixture.h"

namespace receipts_test {
namespace {

class PersonalCreditTest : public ReceiptTest {
 protected:
  struct Payment {
    std::string id, nome, original;
    double valor;
  };
  static void Pagamentos(rtl::ClientDataSet& ds, const std::vector<Payment>& rows) {
    std::vector<qortest::Row> linhas;
    for (const Payment& p : rows) linhas.push_back({p.valor, p.id, p.nome, p.original});
    qortest::MakeTable(ds,
                       {{"VRMOVIVEND", FieldType::Float},
                        {"IDTIPORECE", FieldType::String, 1},
                        {"NMTIPORECE", FieldType::String, 40},
                        {"NMTIPORECEORIG", FieldType::String, 40}},
                       linhas);
  }
  bool Compra(rtl::ClientDataSet& pagamentos, std::string& cupom) {
    std::string gnf;
    return Qor01100::Compr_CredPessoal("", "", "", "0001", "002", "", cupom, gnf, &pagamentos, 20.5, "MARIA", "123", "",
                                       "", "", "", "", "", "", "", "", "", "", "", true, "SILVA", "", "");
  }
  bool Cancela(const std::string& nomePagamento, std::string& cupom) {
    return Qor01100::Cancela_Cred_Pessoal("", "", "0001", "002", "", cupom, "123", "0042", "MARIA", "9",
                                          nomePagamento, 15.5, 5, "SILVA");
  }
  Qor01100::PurchaseCopy Via(double pago, bool primeira) { return {"123", "MARIA", "SILVA", pago, 20.5, primeira}; }
};

TEST_F(PersonalCreditTest, APurchasePrintsTwoCopiesThenOneReceiptPerPayment) {
  rtl::ClientDataSet pagamentos;
  // Kinds "1" and "2" name the original payment type; the others their own.
  Pagamentos(pagamentos, {{"1", "Troco", "Dinheiro", 30}, {"3", "Cartao Credito", "Outro", 19.5}, {"2", "X", "Dinheiro", 0.5}});
  std::string cupom;
  EXPECT_TRUE(Compra(pagamentos, cupom));
  EXPECT_EQ(Texts("Elgin_RelatorioGerencial"),
            (std::vector<std::string>{"", Qor01100::PurchaseCopyText(Via(50, true)),
                                      Qor01100::PurchaseCopyText(Via(50, false))}));
  EXPECT_EQ(ArgsOf("Elgin_RecebimentoNaoFiscal"),
            (std::vector<nlohmann::json>{{"01", "00000000003000", "Dinheiro"},
                                         {"01", "00000000001950", "Cartao Credito"},
                                         {"01", "00000000000050", "Dinheiro"}}));
  // The copies' report is closed before the receipts are registered.
  const std::vector<std::string> nomes = CallNames();
  EXPECT_LT(std::find(nomes.begin(), nomes.end(), "Elgin_FechaRelatorioGerencial") - nomes.begin(),
            std::find(nomes.begin(), nomes.end(), "Elgin_RecebimentoNaoFiscal") - nomes.begin());
  EXPECT_EQ(cupom.size(), 6u);
  EXPECT_NE(Tape().find("Saldo Final : R$ 70,50"), std::string::npos);
  EXPECT_EQ(SimState()["counters"]["gnf"], 4);  // the report and three receipts
}

TEST_F(PersonalCreditTest, APurchaseWithoutPaymentsPrintsZeroAndRegistersNothing) {
  rtl::ClientDataSet pagamentos;
  Pagamentos(pagamentos, {});
  std::string cupom;
  EXPECT_FALSE(Compra(pagamentos, cupom));
  EXPECT_EQ(Texts("Elgin_RelatorioGerencial").at(1), Qor01100::PurchaseCopyText(Via(0, true)));
  EXPECT_NE(Texts("Elgin_RelatorioGerencial").at(1).find("Saldo Final : R$ 20,50"), std::string::npos);
  EXPECT_TRUE(Calls("Elgin_RecebimentoNaoFiscal").empty());
}

// A purchase whose first payment the printer refuses is not reported as
// registered, even when a later one would have been accepted.
TEST_F(PersonalCreditTest, ARefusedPaymentEndsThePurchaseAsFailed) {
  rtl::ClientDataSet pagamentos;
  Pagamentos(pagamentos, {{"1", "", "Dinheiro", 30}, {"3", "Cartao Credito", "", 20}});
  ASSERT_EQ(sim.fail("Elgin_RecebimentoNaoFiscal", -1, 1), 0);
  std::string cupom;
  EXPECT_FALSE(Compra(pagamentos, cupom));
  EXPECT_EQ(Calls("Elgin_RecebimentoNaoFiscal").size(), 1u);
}

TEST_F(PersonalCreditTest, APurchaseWhoseReportDidNotOpenPrintsAndRegistersNothingButCloses) {
  rtl::ClientDataSet pagamentos;
  Pagamentos(pagamentos, {{"1", "", "Dinheiro", 30}});
  ASSERT_EQ(sim.fail("Elgin_RelatorioGerencial", -1, 1), 0);
  std::string cupom;
  EXPECT_FALSE(Compra(pagamentos, cupom));
  EXPECT_EQ(Calls("Elgin_RelatorioGerencial").size(), 1u);
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_TRUE(Calls("Elgin_RecebimentoNaoFiscal").empty());
}

TEST_F(PersonalCreditTest, ACancellationPrintsOneCopyAndRegistersAgainstTheCancellationTotalizer) {
  std::string cupom;
  EXPECT_TRUE(Cancela("Dinheiro", cupom));
  EXPECT_EQ(Texts("Elgin_RelatorioGerencial"),
            (std::vector<std::string>{"", Qor01100::CancellationText({"123", "0042", "MARIA", "SILVA", 15.5, 5})}));
  EXPECT_EQ(ArgsOf("Elgin_RecebimentoNaoFiscal"), (std::vector<nlohmann::json>{{"02", "00000000001550", "Dinheiro"}}));
  EXPECT_EQ(cupom.size(), 6u);
  EXPECT_NE(Tape().find("CANCELAMENTO DE COMPRA DE CREDITO"), std::string::npos);
}

TEST_F(PersonalCreditTest, TheCancellationIsRegisteredEvenWithoutItsCopyAndWithTheWholeName) {
  ASSERT_EQ(sim.fail("Elgin_RelatorioGerencial", -1, 1), 0);
  std::string cupom;
  Cancela("Dinheiro em especie da loja", cupom);
  EXPECT_EQ(Calls("Elgin_RelatorioGerencial").size(), 1u);
  EXPECT_EQ(ArgsOf("Elgin_RecebimentoNaoFiscal"),
            (std::vector<nlohmann::json>{{"02", "00000000001550", "Dinheiro em especie da loja"}}));
}

TEST_F(PersonalCreditTest, FamilyBalancesGoIntoTheOpenVoucher) {
  AccountReceipt();
  ASSERT_TRUE(Qor01100::Abre_Comp_NFiscalVinc("", kConta, "00000000000100", ""));
  ClearJournal();
  rtl::ClientDataSet saldos;
  Saldos(saldos, {{"F1", "PAI", 12.5}, {"F2", "FILHO", 0}});
  EXPECT_TRUE(Qor01100::Saldo_CredPessoal("", "", "", "SILVA", &saldos));
  bool achou = false;
  EXPECT_EQ(Texts("Elgin_UsaComprovanteNaoFiscalVinculado"),
            (std::vector<std::string>{Qor01100::FamilyCreditText("SILVA", &saldos, achou)}));
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  rtl::ClientDataSet vazio;
  Saldos(vazio, {});
  EXPECT_FALSE(Qor01100::Saldo_CredPessoal("", "", "", "SILVA", &vazio));
}

TEST_F(PersonalCreditTest, ALargeFamilyKeepsEveryMemberAndItsTotal) {
  AccountReceipt();
  ASSERT_TRUE(Qor01100::Abre_Comp_NFiscalVinc("", kConta, "00000000000100", ""));
  ClearJournal();
  std::vector<Member> membros;
  for (int i = 1; i <= 14; ++i) membros.push_back({"F" + std::to_string(i), "MEMBRO " + std::to_string(i), double(i)});
  rtl::ClientDataSet saldos;
  Saldos(saldos, membros);
  EXPECT_TRUE(Qor01100::Saldo_CredPessoal("", "", "", "SILVA", &saldos));
  const std::vector<std::string> textos = Texts("Elgin_UsaComprovanteNaoFiscalVinculado");
  ASSERT_EQ(textos.size(), 2u);
  EXPECT_LE(textos[0].size(), 620u);
  EXPECT_EQ(textos[0].back(), '\n');
  bool achou = false;
  EXPECT_EQ(textos[0] + textos[1], Qor01100::FamilyCreditText("SILVA", &saldos, achou));
  EXPECT_NE(textos[1].find("Saldo Total" + std::string(25 - 11 + 15 - 6, ' ') + "105,00\n"), std::string::npos);
}

class CreditSaleTest : public ReceiptTest {
 protected:
  bool Venda(double valor, const std::string& modo, double subsidio = 0, double complemento = 0) {
    return Qor01100::Imp_CompVenCred("", Produtos({{"P1", "CAFE", 1.5, 3.33}}),
                                     SaldosPacote({{"F1", "PAI", 100}, {"F2", "FILHO", 0}, {"F3", "MAE", 20}}), valor,
                                     "Conta Consumidor Credito", "12345", "MARIA", "0042", "EMPRESA", "", 50, subsidio,
                                     complemento, modo);
  }
  std::string Fecho() { return Texts("Elgin_UsaComprovanteNaoFiscalVinculado").back(); }
  static std::string Inicio(double valor) {
    return Blanks() + "Total Geral    " + std::string(33 - Qor01100::FormatAmount("0.00", valor).size(), ' ') +
           Qor01100::FormatAmount("0.00", valor) + "\n" + Dashes() + "\n";
  }
};

TEST_F(CreditSaleTest, TheVoucherIsLinkedAndPrintedWithTheHeaderTheProductsAndTheClosing) {
  AccountReceipt();
  ASSERT_TRUE(Venda(10, "0", 1, 2));
  EXPECT_EQ(ArgsOf("Elgin_AbreComprovanteNaoFiscalVinculado").at(0)[0], "Conta Consumidor");
  EXPECT_EQ(ArgsOf("Elgin_AbreComprovanteNaoFiscalVinculado").at(0)[1], "00000000001000");
  const std::vector<std::string> textos = Texts("Elgin_UsaComprovanteNaoFiscalVinculado");
  ASSERT_EQ(textos.size(), 3u);
  EXPECT_EQ(textos[0], Qor01100::CreditSaleHeaderText({"0042", "EMPRESA", "12345", "MARIA"}));
  EXPECT_EQ(textos[1], "P1 CAFE  1,50" + std::string(17 + 2 + 4, ' ') + "3,33    4,99\n");
  // Mode "0": 50 + 1 + 2 - 10 and the family's 120.
  EXPECT_EQ(textos[2], Inicio(10) + "Saldo Final : R$ 163,00\n" + A("Preço subsidiado: R$ 1,00") +
                           "Valor complemento: R$ 2,00");
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
}

TEST_F(CreditSaleTest, BalanceModeOnePrintsEachMemberAfterTheFamilyAndLoans) {
  TdtmElgin01100& dm = Qor01100::DataModule();
  qortest::MakeTable(dm.cdsFamiliaSaldo, {{"CDFAMILISALD", FieldType::String, 10}, {"VRSALDCONFAM", FieldType::Float}},
                     {{"F1", 30.0}});
  qortest::MakeTable(dm.cdsEmprestimo,
                     {{"CDFAMILISALD", FieldType::String, 10},
                      {"IDTPMOVEXT", FieldType::String, 1},
                      {"VRMOVEXTCONS", FieldType::Float}},
                     {{"F1", "C", 7.0}, {"F3", "D", 5.0}});
  AccountReceipt();
  ASSERT_TRUE(Venda(10, "1"));
  EXPECT_EQ(Fecho(), Inicio(10) + Qor01100::FamilyBalanceLine("PAI", 77) + Qor01100::FamilyBalanceLine("MAE", 15));
  EXPECT_EQ(Qor01100::FamilyBalanceLine("PAI", 77), "PAI" + std::string(22 + 17, ' ') + "77,00\n");
}

TEST_F(CreditSaleTest, BalanceModeTwoAndOthersPrintNoBalance) {
  for (const char* modo : {"2", "7"}) {
    SCOPED_TRACE(modo);
    AccountReceipt();
    ASSERT_TRUE(Venda(10, modo));
    EXPECT_EQ(Fecho(), Inicio(10));
  }
}

TEST_F(CreditSaleTest, EarlyReturns) {
  ExpectEarlyReturns([&](double valor) { return Venda(valor, "0"); });
}

}  // namespace
}  // namespace receipts_test
