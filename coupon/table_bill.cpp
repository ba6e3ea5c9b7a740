// The restaurant's table bill, printed before the sale as a voucher linked
// to a one-cent non-fiscal receipt, and the list of tables and tabs still
// open, printed as a management report.
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

namespace Qor01100 {

namespace {

const std::string kLf = "\n";
std::string Blanks() { return std::string(48, ' ') + kLf; }
std::string Dashes() { return hostlib::Replicate("-", 48) + kLf; }

std::string BillHeading(const std::string& stMesa, const std::string& stEmissao) {
  return Blanks() + Blanks() + Dashes() + Blanks() + std::string(15, ' ') + Msg("Aber_mesa") + kLf + Blanks() +
         Msg("Mesa") + ": " + stMesa + kLf + Msg("Emissao") + ": " + stEmissao + kLf + Dashes();
}

std::string BillColumns() {
  return hostlib::TamFixo(Msg("Codigo"), 11) + hostlib::TamFixo(Msg("Nome"), 4) + kLf +
         hostlib::TamFixoR(Msg("Qtde_"), 4) + hostlib::TamFixoR(Msg("VrUnit"), 12) +
         hostlib::TamFixoR(Msg("Valor2"), 32) + kLf + kLf;
}

std::string BillItem(rtl::ClientDataSet& ds) {
  const double qtde = ds.FieldByName("QTPRODCOMVEN").AsFloat();
  const double preco = ds.FieldByName("VRPRECCOMVEN").AsFloat();
  return ds.FieldByName("CDARVPROD").AsString() + " " + ds.FieldByName("NMPRODUTO").AsString() + kLf +
         FormatAmount("0.000", qtde) + "   X " + FixedAmount(preco) + "     " +
         hostlib::TamFixoR(FixedAmount(hostlib::Trunc2(preco * qtde)), 27) + kLf;
}

std::string BillAdjustments(double doVrTxSer, double doAcresci, double doVrDesc) {
  std::string t = Blanks();
  if (doVrTxSer > 0) t += Msg("Tx_Serv") + ": " + hostlib::TamFixoR(FixedAmount(doVrTxSer), 30) + kLf;
  if (doAcresci > 0) t += Msg("Acrescimo") + ": " + hostlib::TamFixoR(FixedAmount(doAcresci), 35) + kLf;
  if (doVrDesc > 0) t += Msg("Desconto") + ": " + hostlib::TamFixoR(FixedAmount(doVrDesc), 37) + kLf;
  return t;
}

std::string BillTotal(double doTotal) {
  return Dashes() + Msg("Total") + ": " + hostlib::TamFixoR(FixedAmount(hostlib::Trunc2(doTotal)), 35) + kLf +
         Blanks() + Msg("Velmara");
}

// The section an open table or tab is listed under, from the first three
// characters of its description.
enum class Section { None, Tables, Delivery, Counter };

Section SectionOf(const std::string& dsComanda) {
  const std::string kind = dsComanda.substr(0, 3);
  if (kind == "RES" || kind == "PKR") return Section::Tables;
  if (kind == "DLV") return Section::Delivery;
  return Section::Counter;
}

std::string SectionHeading(Section s) {
  // "Nrº" in code page 1252.
  const std::string nr = "Nr\xBA";
  switch (s) {
    case Section::Tables:
      return "\n\nMesas Abertas:\n" + nr + " da Mesa      Data/Hora de abertura\n";
    case Section::Delivery:
      return "\n\nComandas Corvana Abertas:\n" + nr + " da Comanda   Data/Hora de abertura\n";
    default:
      return "\n\nComandas Abertas:\n" + nr + " da Comanda   Data/Hora de abertura\n";
  }
}

std::string OpenTableLine(rtl::ClientDataSet& ds, Section s) {
  const std::string openedAt = ds.FieldByName("DTHRABERMESA").AsString();
  if (s == Section::Tables) return ds.FieldByName("NRMESA").AsString() + std::string(13, ' ') + openedAt + kLf;
  return ds.FieldByName("DSCOMANDA").AsString() + std::string(7, ' ') + openedAt + kLf;
}

}  // namespace

bool Abertura_Mesa(const std::string& stIgnorado1, const std::string& stEsquemaCor, const std::string& stIgnorado3,
                   const std::string& stMesa, const std::string& stNmGarcom, const std::string& stEmissao,
                   const rtl::Variant& DADOS, double doVrDesc, double doConsMin, double doCouver, double doVrTxSer,
                   double doQtPessoas, double doTotal, double doAcresci) {
  TdtmElgin01100& dm = DataModule();
  DocumentGuard doc;
  const std::string valor = DigitAmount(0.01);
  LoadedDataset itens(dm.cdsParcProdutos, DADOS);
  const std::string forma = Msg("RelGerencial").substr(0, 16);

  // The one-cent receipt the bill is linked to; the bill prints whatever the printer said.
  Cupom_NFiscNVinc(stEsquemaCor, dm.IdTotRelatorio, valor, forma, "");
  const std::string recibo = Nr_Cupom("", stEsquemaCor);
  const bool aberto = Abre_Comp_NFiscalVinc(stEsquemaCor, forma, valor, recibo);

  // Every block is sent, in pieces the voucher takes (nothing cut off).
  auto imprime = [&](const std::string& bloco) {
    for (const std::string& peca : LimitedBlocks(bloco, kReportBlock)) Usa_CompNFis(stEsquemaCor, peca);
  };
  imprime(BillHeading(stMesa, stEmissao));
  imprime(BillColumns());
  rtl::ClientDataSet& ds = dm.cdsParcProdutos;
  for (ds.First(); !ds.Eof(); ds.Next()) imprime(BillItem(ds));
  imprime(BillAdjustments(doVrTxSer, doAcresci, doVrDesc));
  imprime(BillTotal(doTotal));
  FechRelatGerenc(stEsquemaCor, true, false);
  // A bill the printer did not take whole is not a printed bill.
  return aberto && doc.TextPrinted();
}

bool ImprimeMesasAbertas(rtl::ClientDataSet* cdsParams, const std::string& stCdFilial, const std::string& stCdCaixa,
                         const std::string& stEsquemaCor, const std::string& stNrSerie,
                         const rtl::Variant& oleMesasAbertas) {
  // Declared first: an error after the report opened closes it before the answer.
  DocumentGuard doc;
  try {
    rtl::ClientDataSet& ds = DataModule().cdsMesaAberQor;
    LoadedDataset mesas(ds, oleMesasAbertas);
    Relatorio_Gerencial_Imp(stEsquemaCor, stCdFilial, stCdCaixa, "", "");
    // "Emissão" in code page 1252.
    ReportBlock("               Mesas Abertas\n\nData Emiss\xE3o: " +
                rtl::FormatDateTime("dd/mm/yyyy hh:nn:ss", rtl::Now()) + kLf);
    Section atual = Section::None;
    for (ds.First(); !ds.Eof(); ds.Next()) {
      const Section s = SectionOf(ds.FieldByName("DSCOMANDA").AsString());
      if (s != atual) {
        atual = s;
        ReportBlock(SectionHeading(s));
      }
      ReportBlock(OpenTableLine(ds, s));
    }
    ReportBlock(kLf);
    FechRelatGerenc(stEsquemaCor, true, false);
    // A list the printer did not take whole is neither reported nor registered as printed.
    if (!doc.TextPrinted()) return false;
    GravaDocumentosNaoFiscais(stNrSerie, stEsquemaCor, "RG", "");
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace Qor01100
