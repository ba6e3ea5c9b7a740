// The exchange voucher: a free text printed as a management report.
#include <string>

#include "coupon/operations.h"
#include "driver/document_guard.h"
#include "driver/report_text.h"
#include "driver/text_blocks.h"
#include "nonfiscal/operations.h"

namespace Qor01100 {

bool Cupom_Troca(const std::string& stEsquemaCor, const std::string& stCdFilial, const std::string& stCdCaixa,
                 const std::string& stTexto) {
  DocumentGuard doc;
  Relatorio_Gerencial_Imp(stEsquemaCor, stCdFilial, stCdCaixa, "", "");  // the first block opens it when this failed
  // Whole lines gathered into blocks of at least 422 characters, each sent
  // straight to the printer. Every character of the voucher is sent: a block
  // longer than the printer takes goes in several calls, and a block the
  // printer refused does not stop the next. The voucher is reported printed
  // only when the printer took every block and the report closed.
  for (const std::string& block : LineBlocks(stTexto, 422)) ReportBlock(block);
  return FechRelatGerenc(stEsquemaCor, true, false) && doc.TextPrinted();
}

}  // namespace Qor01100
