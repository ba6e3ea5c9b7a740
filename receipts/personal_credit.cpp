// Personal credit, a prepaid account: the purchase of credit and its
// cancellation (a management-report copy and non-fiscal receipts against the
// printer's credit totalizers), the family's balances, and the voucher of a
// sale paid with credit.
#include <exception>
#include <optional>

#include "coupon/operations.h"
#include "driver/amounts.h"
#include "driver/dataset_scope.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/document_guard.h"
#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "hostlib/consiste.h"
#include "nonfiscal/operations.h"
#include "platform/text.h"
#include "receipts/operations.h"
#include "receipts/print_blocks.h"
#include "receipts/receipt_texts.h"

namespace Qor01100 {

namespace {

bool Usavel(rtl::ClientDataSet* ds) { return ds != nullptr && ds->Active(); }

std::string TextField(rtl::ClientDataSet& ds, const char* campo) { return ds.FieldByName(campo).AsString(); }
double AmountField(rtl::ClientDataSet& ds, const char* campo) { return ds.FieldByName(campo).AsFloat(); }

// The payment's name as the receipt names it: the original payment type's
// name for the kinds "1" and "2", the type's own otherwise; 16 characters.
std::string PaymentName(rtl::ClientDataSet& pagamentos) {
  const std::string tipo = TextField(pagamentos, "IDTIPORECE");
  return rtl::Copy(TextField(pagamentos, tipo == "1" || tipo == "2" ? "NMTIPORECEORIG" : "NMTIPORECE"), 1, 16);
}

// One non-fiscal receipt per payment against the purchase totalizer. A
// receipt the printer refuses ends the registration: the purchase is not
// reported as registered when one of its payments is not.
bool RegisterPayments(rtl::ClientDataSet& pagamentos, const std::string& stEsquemacor) {
  const std::string totalizador = DataModule().IdTotCompCred;
  bool ok = false;
  for (pagamentos.First(); !pagamentos.Eof(); pagamentos.Next()) {
    ok = Cupom_NFiscNVinc(stEsquemacor, totalizador, DigitAmount(AmountField(pagamentos, "VRMOVIVEND")),
                          PaymentName(pagamentos), "");
    if (!ok) break;
  }
  return ok;
}

}  // namespace

bool Compr_CredPessoal(const std::string& stIgnorado, const std::string& stIgnorado2, const std::string& stIgnorado3,
                       const std::string& stCdFilial, const std::string& stCdCaixa, const std::string& stEsquemacor,
                       std::string& stCupomDia, std::string& stContadorGNF, rtl::ClientDataSet* cdsMovCaixaCred,
                       double doSald, const std::string& stNmConsCred, const std::string& stNrDeposi,
                       const std::string& stImpComCredPe, const std::string& stPaisIntegra,
                       const std::string& stIdTipoImpNF1, const std::string& stCdPortImpNF1,
                       const std::string& stNrVendaNFisc, const std::string& stNmRazSocFili,
                       const std::string& stNmCaixa, const std::string& stDsEndeFili, const std::string& stNmMunicipio,
                       const std::string& stCdInscMuni, const std::string& stNRSERIEECF,
                       const std::string& stDsObsCupFis, bool boUtilizaImpFiscal, const std::string& stNmFamilia,
                       const std::string& stCartao, const std::string& stPrxDocNFiscEcf) {
  DocumentGuard doc;
  const bool temPagamentos = Usavel(cdsMovCaixaCred);
  std::optional<CursorScope> cursor;
  if (temPagamentos) cursor.emplace(*cdsMovCaixaCred);
  PurchaseCopy via{stNrDeposi, stNmConsCred, stNmFamilia, 0, doSald, true};
  if (temPagamentos)
    for (cdsMovCaixaCred->First(); !cdsMovCaixaCred->Eof(); cdsMovCaixaCred->Next())
      via.pago += AmountField(*cdsMovCaixaCred, "VRMOVIVEND");

  const bool aberto = Relatorio_Gerencial_Imp(stEsquemacor, stCdFilial, stCdCaixa, "", "");
  try {
    stCupomDia = Nr_Cupom("", stEsquemacor);
  } catch (const std::exception&) {
    Notice(Msg("ComandoNExec"), hostlib::tmAviso, stEsquemacor);
  }
  if (aberto) {
    ReportBlock(PurchaseCopyText(via), kShortBlock);
    via.primeira = false;
    ReportBlock(PurchaseCopyText(via), kShortBlock);
  }
  FechRelatGerenc("", boNUtilTaa, false);
  if (!aberto || !temPagamentos) return false;
  return RegisterPayments(*cdsMovCaixaCred, stEsquemacor);
}

bool Cancela_Cred_Pessoal(const std::string& stIgnorado, const std::string& stIgnorado2, const std::string& stCdFilial,
                          const std::string& stCdCaixa, const std::string& stEsquemaCor, std::string& stCupomDia,
                          const std::string& stDeposito, const std::string& stCliente, const std::string& stConsumidor,
                          const std::string& stCdTpRece, const std::string& stNmTpRece, double doValor,
                          double doValorSald, const std::string& stNmFamilia) {
  DocumentGuard doc;
  const bool aberto = Relatorio_Gerencial_Imp(stEsquemaCor, stCdFilial, stCdCaixa, "", "");
  stCupomDia = Nr_Cupom("", stEsquemaCor);
  if (aberto) ReportBlock(CancellationText({stDeposito, stCliente, stConsumidor, stNmFamilia, doValor, doValorSald}));
  FechRelatGerenc("", true, false);
  // Registered even when the copy could not be printed; the name goes whole.
  return Cupom_NFiscNVinc(stEsquemaCor, DataModule().IdTotCancCred, DigitAmount(doValor), stNmTpRece, "");
}

bool Saldo_CredPessoal(const std::string& stIgnorado, const std::string& stIgnorado2, const std::string& stEsquemaCor,
                       const std::string& stNmCons, rtl::ClientDataSet* cdsSaldCred) {
  DocumentGuard doc;  // the host's open voucher is closed here, also after an error
  std::optional<CursorScope> cursor;
  if (Usavel(cdsSaldCred)) cursor.emplace(*cdsSaldCred);
  bool achou = false;
  const std::string texto = FamilyCreditText(stNmCons, cdsSaldCred, achou);
  VoucherPrint(stEsquemaCor, texto);
  FechRelatGerenc("", true, false);
  return achou;
}

bool Imp_CompVenCred(const std::string& stEsquemaCor, const rtl::Variant& oleProdutos, const rtl::Variant& oleSaldCred,
                     double doValor, const std::string& stFormPagVCons, const std::string& stCdConsumidor,
                     const std::string& stNmConsumidor, const std::string& stCdClie, const std::string& stNmClie,
                     const std::string& stSenhaCupom, double doVrSaldo, double doPrecoSubsidio, double doVrComplemento,
                     const std::string& stAuxImpSaldCup) {
  TdtmElgin01100& dm = DataModule();
  DocumentGuard doc;
  rtl::ClientDataSet& produtos = dm.cdsProdCred;
  produtos.SetData(oleProdutos);
  dm.cdsSaldCred.SetData(oleSaldCred);
  const double saldoFinal = doVrSaldo + doPrecoSubsidio + doVrComplemento - doValor;
  const std::string ticket = TicketText(stSenhaCupom);
  if (!(hostlib::RoundDec(doValor, 2) > 0)) return true;

  const std::string cupom = Nr_Cupom("", stEsquemaCor);
  if (!Abre_Comp_NFiscalVinc(stEsquemaCor, rtl::Copy(stFormPagVCons, 1, 16), DigitAmount(doValor), cupom))
    return false;
  if (!VoucherPrint(stEsquemaCor, CreditSaleHeaderText({stCdClie, stNmClie, stCdConsumidor, stNmConsumidor})))
    return false;
  if (produtos.Active())
    for (produtos.First(); !produtos.Eof(); produtos.Next())
      if (!VoucherPrint(stEsquemaCor, CreditProductLine(TextField(produtos, "CDARVPROD"), TextField(produtos, "NMPRODUTO"),
                                                        AmountField(produtos, "QTPRODCOMVEN"),
                                                        AmountField(produtos, "VRPRECCOMVEN"))))
        return false;
  const std::string saldo =
      CreditBalanceText(stAuxImpSaldCup, saldoFinal, dm.cdsSaldCred, &dm.cdsFamiliaSaldo, &dm.cdsEmprestimo);
  if (!VoucherPrint(stEsquemaCor, CreditClosingText({doValor, ticket, saldo, doPrecoSubsidio, doVrComplemento})))
    return false;
  return FechRelatGerenc(stEsquemaCor, true, false);
}

}  // namespace Qor01100
