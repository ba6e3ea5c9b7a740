// The small account reports the host prints on request into the document it
// has open: the header, the family balance inquiry, the negative balances
// per consumer type, the blocked products and a free statement.
#include "driver/dataset_scope.h"
#include "driver/document_guard.h"
#include "driver/frame.h"
#include "driver/text_blocks.h"
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

// A filter literal: the text in single quotes, a quote inside it doubled.
std::string Literal(const std::string& s) { return "'" + rtl::StringReplace(s, "'", "''") + "'"; }

std::string Tracos() { return hostlib::Replicate("-", 48) + "\n"; }

// The consumers of one type with their negative balances, then the type's
// total; the first type's text starts with the report title.
void PrintConsumerKind(rtl::ClientDataSet& tipos, rtl::ClientDataSet& saldos, std::string texto) {
  texto += TextField(tipos, "NMTIPOCONS") + "\n";
  double total = 0;
  for (saldos.First(); !saldos.Eof(); saldos.Next()) {
    const double saldo = AmountField(saldos, "SALDONEGATIVO");
    texto += BalanceLine("  " + TextField(saldos, "NMCONSUMIDOR"), saldo, 37, 10);
    total += saldo;
    ReportBlock(texto);
    texto.clear();
  }
  ReportBlock(BalanceTotalText(total));
}

}  // namespace

bool Cabecalho(const std::string& stIgnorado, const std::string& stEsquemaCor, const std::string& stNomeFilial,
               const std::string& stCaixa, const std::string& stCracCOns, const std::string& stNmCons) {
  ReportBlock(ReportHeaderText(stNomeFilial, stCaixa));
  return true;
}

bool ImpSaldo(const std::string& stIgnorado, rtl::ClientDataSet* cdsSaldFam, const std::string& stCracCOns,
              const std::string& stNmCons) {
  DocumentGuard doc;  // the report is closed here, also after an error in the host's table
  ReportBlock(BalanceTitleText(stCracCOns, stNmCons));
  std::string linhas;
  double soma = 0;
  if (Usavel(cdsSaldFam)) {
    CursorScope cursor(*cdsSaldFam);
    for (; !cdsSaldFam->Eof(); cdsSaldFam->Next()) {
      const double saldo = AmountField(*cdsSaldFam, "SALDOFAM");
      linhas += BalanceLine(TextField(*cdsSaldFam, "NMFAMILISALD"), saldo, 37, 11);
      soma += saldo;
    }
  }
  // One block as long as it fits; a long family goes on in further blocks.
  ReportBlock(linhas + BalanceTotalText(soma));
  FechRelatGerenc("", true, false);
  return true;
}

bool SaldoNegativo(const std::string& stCdFilial, const std::string& stEsquemaCor, rtl::ClientDataSet* cdsTipoCons,
                   rtl::ClientDataSet* cdsSaldoNeg, const std::string& stNomeFilial, const std::string& stCaixa,
                   const std::string& stCracCOns, const std::string& stNmCons) {
  if (!Usavel(cdsTipoCons) || !Usavel(cdsSaldoNeg)) return false;
  DocumentGuard doc;
  bool impresso = false;
  CursorScope cursorTipos(*cdsTipoCons);
  CursorScope cursorSaldos(*cdsSaldoNeg);
  DatasetScope filtro(*cdsSaldoNeg);  // the host's filter comes back before its cursor
  for (; !cdsTipoCons->Eof(); cdsTipoCons->Next()) {
    cdsSaldoNeg->SetFiltered(false);
    cdsSaldoNeg->SetFilter("CDTIPOCONS = " + Literal(TextField(*cdsTipoCons, "CDTIPOCONS")));
    cdsSaldoNeg->SetFiltered(true);
    if (cdsSaldoNeg->IsEmpty()) continue;
    std::string inicio = Tracos();
    if (!impresso) {
      Cabecalho(stCdFilial, stEsquemaCor, stNomeFilial, stCaixa, stCracCOns, stNmCons);
      inicio = NegativeTitleText();
    }
    PrintConsumerKind(*cdsTipoCons, *cdsSaldoNeg, inicio);
    impresso = true;
  }
  if (impresso) FechRelatGerenc("", true, false);
  return impresso;
}

bool ImprimeProdBloq(const std::string& stIgnorado, const std::string& stIgnorado2, const std::string& stEsquemaCor,
                     rtl::ClientDataSet* cdsProdutoblq) {
  DocumentGuard doc;  // the host's open voucher is closed here, also after an error
  const bool comDados = Usavel(cdsProdutoblq) && !cdsProdutoblq->IsEmpty();
  VoucherPrint(stEsquemaCor, BlockedBranchText(comDados ? TextField(*cdsProdutoblq, "NMFILIAL") : ""));
  VoucherPrint(stEsquemaCor, BlockedCaptionText(comDados ? TextField(*cdsProdutoblq, "CDLOJA") : ""));
  if (comDados) {
    CursorScope cursor(*cdsProdutoblq);
    for (cdsProdutoblq->First(); !cdsProdutoblq->Eof(); cdsProdutoblq->Next())
      VoucherPrint(stEsquemaCor, BlockedProductLine(TextField(*cdsProdutoblq, "CDPRODUTO"),
                                                    TextField(*cdsProdutoblq, "CDPROTECLADO"),
                                                    TextField(*cdsProdutoblq, "NMPRODUTO")));
  }
  VoucherPrint(stEsquemaCor, MakerFooterText());
  FechRelatGerenc("", true, false);
  return true;
}

bool Extrato(const std::string& stRelat, const std::string& stEsquemaCor) {
  DocumentGuard doc;
  // Whole lines, a block as soon as it holds 442 characters, as the formatted
  // check prints; a block that grew past what the printer takes goes on in
  // the next call instead of being refused or cut.
  for (const std::string& bloco : LineBlocks(stRelat, 442)) ReportBlock(bloco);
  return FechRelatGerenc(stEsquemaCor, boNUtilTaa, false);
}

}  // namespace Qor01100
