// Whole texts printed as one management report: the generic report the
// host composes, and the formatted check that also answers the coupon
// number. The text goes in blocks of whole lines whose print results are
// not examined; only the closing decides the answer.
#include "coupon/operations.h"
#include "driver/command.h"
#include "driver/frame.h"
#include "driver/text_blocks.h"
#include "fiscal/operations.h"
#include "nonfiscal/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {

namespace {

// A block sent as it is; the printer's verdict on it is not examined.
void PrintBlock(const std::string& block) { CallOnly(Call("", Elgin_RelatorioGerencial, block)); }

}  // namespace

bool Relatorio_Generico(const std::string& stEsquemaCor, const std::string& stIgnorado1,
                        const std::string& stIgnorado2, const std::string& stRelat, const std::string& stNrSerie,
                        const std::string& stIndice) {
  CallOnly(Call("", Elgin_AbreRelatorioGerencial));
  for (const std::string& block : LineBlocks(stRelat, 50)) PrintBlock(RemoveAcentos(block));
  const bool ok = FechRelatGerenc(stEsquemaCor, boNUtilTaa, false);
  if (ok) GravaDocumentosNaoFiscais(stNrSerie, stEsquemaCor, "RG", "");
  return ok;
}

bool Conferencia_Formatada(const std::string& stEsquemaCor, const std::string& stCdFilial,
                           const std::string& stCdCaixa, const std::string& stNrSerie, const std::string& stIndice,
                           std::string& stCupomDia, const std::string& stRelat) {
  Relatorio_Gerencial_Imp(stEsquemaCor, stCdFilial, stCdCaixa, "", "");
  stCupomDia = Nr_Cupom("", stEsquemaCor);
  // The printer takes at most 620 characters per block.
  for (const std::string& block : LineBlocks(stRelat, 442)) PrintBlock(block.substr(0, 620));
  return FechRelatGerenc(stEsquemaCor, true, false);
}

}  // namespace Qor01100
