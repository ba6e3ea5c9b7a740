// The exchange voucher: a free text printed as a management report.
#include <string>

#include "coupon/operations.h"
#include "driver/command.h"
#include "nonfiscal/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

// Size of the exchange voucher's blocks: lines are gathered until a block
// holds at least kBlockFill characters; the printer takes at most
// kBlockMax characters per call.
constexpr std::size_t kBlockFill = 422;
constexpr std::size_t kBlockMax = 620;

// The next block of `text` from `pos`: whole lines (each up to and including
// its line feed, or the rest) until the block holds kBlockFill characters.
std::string NextBlock(const std::string& text, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < text.size() && pos - start < kBlockFill) {
    const std::size_t lf = text.find('\n', pos);
    pos = lf == std::string::npos ? text.size() : lf + 1;
  }
  return text.substr(start, pos - start);
}

}  // namespace

bool Cupom_Troca(const std::string& stEsquemaCor, const std::string& stCdFilial, const std::string& stCdCaixa,
                 const std::string& stTexto) {
  Relatorio_Gerencial_Imp(stEsquemaCor, stCdFilial, stCdCaixa, "", "");  // the first block opens it when this failed
  // Every character of the voucher reaches the printer: a block longer than
  // the printer takes goes in several calls. The first block the printer
  // refuses ends the printing, and the voucher is reported as not printed.
  bool printed = true;
  std::size_t pos = 0;
  while (printed && pos < stTexto.size()) {
    const std::string block = NextBlock(stTexto, pos);
    for (std::size_t at = 0; printed && at < block.size(); at += kBlockMax)
      printed = Send(Call("Elgin_RelatorioGerencial", Elgin_RelatorioGerencial, block.substr(at, kBlockMax)));
  }
  // The report is closed even after a refused block, so no document stays open.
  const bool closed = FechRelatGerenc(stEsquemaCor, true, false);
  return printed && closed;
}

}  // namespace Qor01100
