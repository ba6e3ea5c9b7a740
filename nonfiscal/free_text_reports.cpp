// Whole texts printed as one management report: the generic report the
// host composes, and the formatted check that also answers the coupon
// number. The text goes in blocks of whole lines, each in pieces the printer
// takes (nothing is cut off); every block is sent, and the answer is false
// when the printer did not take one of them or the closing failed. Only a
// report printed whole is registered.
#include "coupon/operations.h"
#include "driver/document_guard.h"
#include "driver/frame.h"
#include "driver/report_text.h"
#include "driver/text_blocks.h"
#include "fiscal/operations.h"
#include "nonfiscal/operations.h"

namespace Qor01100 {

bool Relatorio_Generico(const std::string& stEsquemaCor, const std::string& stIgnorado1,
                        const std::string& stIgnorado2, const std::string& stRelat, const std::string& stNrSerie,
                        const std::string& stIndice) {
  DocumentGuard doc;
  ReportOpening("Elgin_AbreRelatorioGerencial");
  for (const std::string& block : LineBlocks(stRelat, 50)) ReportBlock(RemoveAcentos(block));
  const bool ok = FechRelatGerenc(stEsquemaCor, boNUtilTaa, false) && doc.TextPrinted();
  if (ok) GravaDocumentosNaoFiscais(stNrSerie, stEsquemaCor, "RG", "");
  return ok;
}

bool Conferencia_Formatada(const std::string& stEsquemaCor, const std::string& stCdFilial,
                           const std::string& stCdCaixa, const std::string& stNrSerie, const std::string& stIndice,
                           std::string& stCupomDia, const std::string& stRelat) {
  DocumentGuard doc;
  Relatorio_Gerencial_Imp(stEsquemaCor, stCdFilial, stCdCaixa, "", "");
  stCupomDia = Nr_Cupom("", stEsquemaCor);
  for (const std::string& block : LineBlocks(stRelat, 442)) ReportBlock(block);
  return FechRelatGerenc(stEsquemaCor, true, false) && doc.TextPrinted();
}

}  // namespace Qor01100
