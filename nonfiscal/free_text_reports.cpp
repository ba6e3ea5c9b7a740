// Whole texts printed as one management report: the generic report the
// host composes, and the formatted check that also answers the coupon
// number. The text goes in blocks of whole lines whose print results are
// not examined; only the closing decides the answer.
#include "coupon/operations.h"
#include "driver/command.h"
#include "driver/frame.h"
#include "driver/report_text.h"
#include "driver/text_blocks.h"
#include "fiscal/operations.h"
#include "nonfiscal/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {

bool Relatorio_Generico(const std::string& stEsquemaCor, const std::string& stIgnorado1,
                        const std::string& stIgnorado2, const std::string& stRelat, const std::string& stNrSerie,
                        const std::string& stIndice) {
  CallOnly(Call("Elgin_AbreRelatorioGerencial", Elgin_AbreRelatorioGerencial));
  // Blocks go whole: a generic report has no cut of its own.
  for (const std::string& block : LineBlocks(stRelat, 50))
    ReportBlock(RemoveAcentos(block), static_cast<int>(block.size()));
  const bool ok = FechRelatGerenc(stEsquemaCor, boNUtilTaa, false);
  if (ok) GravaDocumentosNaoFiscais(stNrSerie, stEsquemaCor, "RG", "");
  return ok;
}

bool Conferencia_Formatada(const std::string& stEsquemaCor, const std::string& stCdFilial,
                           const std::string& stCdCaixa, const std::string& stNrSerie, const std::string& stIndice,
                           std::string& stCupomDia, const std::string& stRelat) {
  Relatorio_Gerencial_Imp(stEsquemaCor, stCdFilial, stCdCaixa, "", "");
  stCupomDia = Nr_Cupom("", stEsquemaCor);
  // A block that grew past the printer's 620 characters loses its tail.
  for (const std::string& block : LineBlocks(stRelat, 442)) ReportBlock(block);
  return FechRelatGerenc(stEsquemaCor, true, false);
}

}  // namespace Qor01100
