// The consumer-debit voucher: a sale charged to a consumer's account,
// printed as the linked voucher of the coupon's consumer-debit payment.
#include "coupon/operations.h"
#include "driver/amounts.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/document_guard.h"
#include "driver/frame.h"
#include "hostlib/consiste.h"
#include "nonfiscal/operations.h"
#include "platform/text.h"
#include "receipts/operations.h"
#include "receipts/print_blocks.h"
#include "receipts/receipt_texts.h"

namespace Qor01100 {

bool Comp_DebitoCons(const std::string& stEsquemaCor, const rtl::Variant& oleProdutos, double doValor,
                     const std::string& stFormPagVCons, const std::string& stCdConsumidor,
                     const std::string& stNmConsumidor, const std::string& stCdClie, const std::string& stNmClie,
                     const std::string& stSenhaCupom, double doVrSaldo, double doPrecoSubsidio, double doVrComplemento,
                     const std::string& stAuxImpSaldCup, const std::string& stObs,
                     const std::string& stIdParImpRLimVDC, const std::string& stVrMaxDeb,
                     const std::string& stVrLimDeb, const rtl::Variant& oleVrSaldConsumi) {
  rtl::ClientDataSet& produtos = DataModule().cdsProdDeb;
  // A voucher that stops at a refused line or an error in the host's
  // products is closed before the answer.
  DocumentGuard doc;
  produtos.SetData(oleProdutos);
  DebitClosing fecho;
  fecho.doValor = doValor;
  fecho.ticket = TicketText(stSenhaCupom);
  fecho.stAuxImpSaldCup = stAuxImpSaldCup;
  fecho.saldoFinal = doVrSaldo + doPrecoSubsidio - doValor;
  fecho.stObs = stObs;
  fecho.doPrecoSubsidio = doPrecoSubsidio;
  if (!(hostlib::RoundDec(doValor, 2) > 0)) return true;

  const std::string cupom = Nr_Cupom("", stEsquemaCor);
  if (!Abre_Comp_NFiscalVinc(stEsquemaCor, rtl::Copy(stFormPagVCons, 1, 16), DigitAmount(doValor), cupom))
    return false;
  if (!VoucherPrint(stEsquemaCor, DebitHeaderText({stCdClie, stNmClie, stCdConsumidor, stNmConsumidor}), kShortBlock))
    return false;
  if (produtos.Active())
    for (produtos.First(); !produtos.Eof(); produtos.Next()) {
      const std::string linha =
          DebitProductLine(produtos.FieldByName("CDARVPROD").AsString(), produtos.FieldByName("NMPRODUTO").AsString(),
                           produtos.FieldByName("QTPRODCOMVEN").AsFloat(),
                           produtos.FieldByName("VRPRECCOMVEN").AsFloat());
      if (!VoucherPrint(stEsquemaCor, linha)) return false;
    }
  if (!VoucherPrint(stEsquemaCor, DebitClosingText(fecho), kShortBlock)) return false;
  return FechRelatGerenc("", true, false);
}

}  // namespace Qor01100
