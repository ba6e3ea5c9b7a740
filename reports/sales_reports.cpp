// The restaurant flow's small management reports: the sale registry printed
// when a table or tab opens, the products moved between tables, and the
// receipt-types text the host composes. Each closes the report it opened
// on every way out (DocumentGuard); a list or text the printer did not take
// whole is not registered as printed, and the receipt-types text then
// answers false.
#include <string>
#include <utility>
#include <vector>

#include "coupon/operations.h"
#include "driver/amounts.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/document_guard.h"
#include "driver/frame.h"
#include "driver/loaded_dataset.h"
#include "driver/report_text.h"
#include "driver/text_blocks.h"
#include "fiscal/operations.h"
#include "hostlib/consiste.h"
#include "nonfiscal/operations.h"
#include "platform/format.h"
#include "reports/operations.h"

namespace Qor01100 {

namespace {

const std::string kLf = "\n";
std::string Blanks() { return std::string(48, ' ') + kLf; }
std::string Dashes() { return hostlib::Replicate("-", 48) + kLf; }

std::string RegistryHeader(const std::string& stAuxMesa) {
  // "Relatório" in code page 1252.
  const std::string titulo = stAuxMesa.size() == 4 ? "       Relat\xF3rio de abertura da mesa "
                                                   : "   Relat\xF3rio de abertura da comanda ";
  return Blanks() + titulo + stAuxMesa + kLf + Blanks() + Dashes() + std::string(15, ' ') + Msg("RegVen") + kLf +
         Dashes() + kLf + hostlib::TamFixo(Msg("Codigo"), 11) + hostlib::TamFixo(Msg("Nome"), 4) + kLf +
         hostlib::TamFixoR(Msg("Qtde_"), 4) + hostlib::TamFixoR(Msg("VrUnit"), 12) +
         hostlib::TamFixoR(Msg("Valor2"), 32) + kLf + kLf;
}

std::string RegistryItem(rtl::ClientDataSet& ds) {
  const double qtde = ds.FieldByName("STQTDE").AsFloat();
  const double valor = ds.FieldByName("STVALOR").AsFloat();
  return ds.FieldByName("CDPROD").AsString() + " " + ds.FieldByName("NMPROD").AsString() + kLf + FixedAmount(qtde) +
         "   X " + FixedAmount(valor) + "     " + hostlib::TamFixoR(FixedAmount(qtde * valor), 29) + kLf;
}

std::string TransferGroupHeader(rtl::ClientDataSet& ds) {
  // "Código" in code page 1252.
  return "Mes Origem: " + ds.FieldByName("NRMESADSCOMORIT").AsString() +
         " -> Mesa Destino: " + ds.FieldByName("NRMESA").AsString() + kLf +
         "C\xF3" "digo  -  Nome Produto   -    Qtde. -  Vr Unit." + kLf;
}

std::string TransferLine(rtl::ClientDataSet& ds) {
  const std::string produto = ds.FieldByName("CDPRODUTO").AsString() + " " +
                              hostlib::TamFixo(ds.FieldByName("NMPRODUTO").AsString(), 19) + " " +
                              FixedAmount(ds.FieldByName("QTPRODCOMVEN").AsFloat());
  return hostlib::TamFixo(produto, 37) + " " +
         hostlib::TamFixoR(CurrencyAmount(ds.FieldByName("VRPRECCOMVEN").AsFloat()), 10) + kLf;
}

}  // namespace

bool RegistroVenda(const std::string& stIgnorado1, const std::string& stIgnorado2, const std::string& stEsquemaCor,
                   rtl::ClientDataSet* cdsItems, const std::string& stAuxMesa) {
  TdtmElgin01100& dm = DataModule();
  DocumentGuard doc;  // an error from the host's items closes the report before it reaches the host
  rtl::ClientDataSet& itens = dm.cdsItemsReg;
  LoadedDataset loaded(itens, cdsItems != nullptr ? cdsItems->Data() : rtl::Variant());
  Nr_Cupom("", stEsquemaCor);  // read as the registry always did; not printed

  ReportBlock(RegistryHeader(stAuxMesa));
  for (itens.First(); !itens.Eof(); itens.Next()) ReportBlock(RegistryItem(itens));
  ReportBlock(Blanks() + Dashes() + Msg("Velmara"));
  FechRelatGerenc("", true, false);
  return true;
}

void imprimeProdutosTransf(const std::string& stCdFilial, const std::string& stCdCaixa,
                           const std::string& stEsquemaCor, const std::string& stNrSerie,
                           const rtl::Variant& oleProdTransf) {
  rtl::ClientDataSet& produtos = DataModule().cdsProdutoTransf;
  DocumentGuard doc;
  LoadedDataset loaded(produtos, oleProdTransf);
  Relatorio_Gerencial_Imp(stEsquemaCor, stCdFilial, stCdCaixa, "", "");
  // "Emissão" in code page 1252.
  ReportBlock("Data Emiss\xE3o: " + rtl::FormatDateTime("dd/mm/yyyy hh:nn:ss", rtl::Now()) + "\n\n\n");

  // The group is the pair (destination, origin), compared as a pair: the two
  // texts run together could make different pairs look alike ("1"+"23", "12"+"3").
  bool impresso = false;
  std::pair<std::string, std::string> grupo;
  for (produtos.First(); !produtos.Eof(); produtos.Next()) {
    std::string texto;
    const std::pair<std::string, std::string> deste{produtos.FieldByName("NRMESA").AsString(),
                                                    produtos.FieldByName("NRMESADSCOMORIT").AsString()};
    if (deste != grupo) {
      if (impresso) texto = kLf;
      impresso = true;
      grupo = deste;
      texto += TransferGroupHeader(produtos);
    }
    ReportBlock(texto + TransferLine(produtos));
  }
  ReportBlock(kLf);
  FechRelatGerenc(stEsquemaCor, true, false);
  if (doc.TextPrinted()) GravaDocumentosNaoFiscais(stNrSerie, stEsquemaCor, "RG", "");
}

bool imprimeTipoRece(const std::string& stIgnorado1, const std::string& stIgnorado2, const std::string& stEsquemaCor,
                     const std::string& stNrSerie, const std::string& stRelat) {
  DocumentGuard doc;
  ReportOpening("");
  for (const std::string& peca : LineBlocks(stRelat, 50)) ReportBlock(RemoveAcentos(peca));
  const bool ok = FechRelatGerenc(stEsquemaCor, boNUtilTaa, false) && doc.TextPrinted();
  if (ok) GravaDocumentosNaoFiscais(stNrSerie, stEsquemaCor, "RG", "");
  return ok;
}

}  // namespace Qor01100
