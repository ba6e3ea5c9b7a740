// The consumer-debit voucher through the simulated printer: the linked
// voucher's opening, its blocks as the printer received them, the closing
// and the early returns.
#include <string>
#include <vector>

#include "coupon/operations.h"
#include "receipts/receipt_texts.h"
#include "receipts/tests/receipts_fixture.h"

namespace receipts_test {
namespace {

using Qor01100::Comp_DebitoCons;

class ConsumerDebitTest : public ReceiptTest {
 protected:
  bool Debito(double valor, const std::string& saldoModo = "0", const std::string& senha = "77",
              const std::string& nome = "MARIA DA SILVA") {
    return Comp_DebitoCons("", Produtos({{"P1", "CAFE", 1, 4}, {"P2", "PAO DE QUEIJO", 2, 3}}), valor,
                           "Conta Consumidor Empresa", "12345", nome, "0042", "EMPRESA MODELO", senha, 50, 3, 9,
                           saldoModo, "", "", "", "", rtl::Variant());
  }
};

TEST_F(ConsumerDebitTest, TheVoucherIsLinkedToTheAccountPaymentAndPrintedInBlocks) {
  AccountReceipt();
  const std::string coo = Qor01100::Nr_Cupom("", "");
  ClearJournal();
  ASSERT_TRUE(Debito(10));

  // Opened against the payment (name cut to 16) with the 14-digit amount and the last document's number.
  EXPECT_EQ(ArgsOf("Elgin_AbreComprovanteNaoFiscalVinculado"),
            (std::vector<nlohmann::json>{{"Conta Consumidor", "00000000001000", coo}}));
  const std::vector<std::string> textos = Texts("Elgin_UsaComprovanteNaoFiscalVinculado");
  ASSERT_EQ(textos.size(), 4u);
  EXPECT_EQ(textos[0], Qor01100::DebitHeaderText({"0042", "EMPRESA MODELO", "12345", "MARIA DA SILVA"}));
  EXPECT_EQ(textos[1], "P1 CAFE   1,00      4,00\n");
  EXPECT_EQ(textos[2], "P2 PAO DE QUEIJ   2,00      3,00\n");  // the name cut to 12
  // Final balance: 50,00 + 3,00 of subsidy - 10,00; neither it nor the subsidy ends the line.
  EXPECT_EQ(textos[3], Blanks() + "Total Geral" + std::string(26, ' ') + "10,00\n" + Dashes() +
                           "SENHA PEDIDO:  77\r\nSaldo Final : R$ 43,00" + A("Preço subsidiado: R$ 3,00"));
  EXPECT_EQ(CallNames().back(), "Elgin_VerificaEstadoImpressora");
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_NE(Tape().find("Venda - Debito Consumidor"), std::string::npos);
  EXPECT_NE(Tape().find("Saldo Final : R$ 43,00"), std::string::npos);
}

TEST_F(ConsumerDebitTest, WithoutTicketOrBalanceTheirTextsAreLeftOut) {
  AccountReceipt();
  ASSERT_TRUE(Debito(10, "2", ""));
  const std::string fecho = Texts("Elgin_UsaComprovanteNaoFiscalVinculado").back();
  EXPECT_EQ(fecho.find("SENHA"), std::string::npos);
  EXPECT_EQ(fecho.find("Saldo Final"), std::string::npos);
  EXPECT_EQ(fecho, Blanks() + "Total Geral" + std::string(26, ' ') + "10,00\n" + Dashes() + A("Preço subsidiado: R$ 3,00"));
}

TEST_F(ConsumerDebitTest, AHeaderLongerThanTheShortBlockGoesOnInASecondBlock) {
  AccountReceipt();
  const std::string longo(60, 'N');
  ASSERT_TRUE(Comp_DebitoCons("", Produtos({}), 10, kConta, longo, longo, longo, longo, "", 50, 0, 0, "0", "", "", "",
                              "", rtl::Variant()));
  const std::vector<std::string> textos = Texts("Elgin_UsaComprovanteNaoFiscalVinculado");
  ASSERT_EQ(textos.size(), 3u);
  EXPECT_LE(textos[0].size(), 492u);
  EXPECT_EQ(textos[0] + textos[1], Qor01100::DebitHeaderText({longo, longo, longo, longo}));
  EXPECT_EQ(textos[1], Blanks() + "CODIGO     NOME          QTDE   VR.UNIT. VR.TOT.\n");
}

TEST_F(ConsumerDebitTest, EarlyReturns) {
  ExpectEarlyReturns([&](double valor) { return Debito(valor); });
}

}  // namespace
}  // namespace receipts_test
