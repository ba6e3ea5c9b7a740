// The exchange voucher: a free text printed as a management report.
#include <string>

#include "coupon/operations.h"
#include "driver/command.h"
#include "driver/report_text.h"
#include "driver/text_blocks.h"
#include "nonfiscal/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {

bool Cupom_Troca(const std::string& stEsquemaCor, const std::string& stCdFilial, const std::string& stCdCaixa,
                 const std::string& stTexto) {
  Relatorio_Gerencial_Imp(stEsquemaCor, stCdFilial, stCdCaixa, "", "");  // the first block opens it when this failed
  // Whole lines gathered into blocks of at least 422 characters. Every
  // character of the voucher reaches the printer: a block longer than the
  // printer takes goes in several calls. The first piece the printer refuses
  // ends the printing, and the voucher is reported as not printed.
  bool printed = true;
  for (const std::string& block : LineBlocks(stTexto, 422))
    for (std::size_t at = 0; printed && at < block.size(); at += kReportBlock)
      printed = Send(Call("Elgin_RelatorioGerencial", Elgin_RelatorioGerencial, block.substr(at, kReportBlock)));
  // The report is closed even after a refused block, so no document stays open.
  const bool closed = FechRelatGerenc(stEsquemaCor, true, false);
  return printed && closed;
}

}  // namespace Qor01100
