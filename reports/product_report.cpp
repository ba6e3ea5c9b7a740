// Relatorio_Produto: the products sold, printed on the management-report
// channel as a plain list or grouped by tax classification, then the
// totals of surcharges, discounts and sales. Lines are 51 columns wide.
#include <exception>

#include "coupon/operations.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/dataset_scope.h"
#include "driver/document_guard.h"
#include "driver/frame.h"
#include "driver/packets.h"
#include "driver/report_text.h"
#include "driver/vendor_call.h"
#include "hostlib/consiste.h"
#include "hostlib/dialogs.h"
#include "nonfiscal/operations.h"
#include "platform/format.h"
#include "reports/operations.h"

namespace Qor01100 {
namespace {

using hostlib::TamFixo;
using hostlib::TamFixoR;

const std::string LF = "\n";

std::string Fixed2(double v) { return rtl::FloatToStrF(v, rtl::FloatFormat::Fixed, 15, 2); }

struct Sums {
  double value = 0, surcharges = 0, discounts = 0, quantity = 0;
};

std::string Header(bool blankAfterColumns) {
  return LF + hostlib::Centraliza(Msg("RelProdutos"), 47) + LF + LF + TamFixo(Msg("Codigo"), 15) +
         TamFixo(Msg("Nome"), 20) + TamFixoR(Msg("Qtde_"), 6) + TamFixoR(Msg("Valor2"), 10) + LF +
         (blankAfterColumns ? LF : "");
}

// The product of the current row, added to the sums.
std::string ProductLine(rtl::ClientDataSet& p, Sums& sums) {
  std::string code = p.FieldByName("CDPRODIMPFIS").AsString();
  if (code.empty()) code = p.FieldByName("CDPRODUTO").AsString();
  const double qty = p.FieldByName("QTPRODVEND").AsFloat(), total = p.FieldByName("VRTOTAL").AsFloat();
  sums.value += total;
  sums.surcharges += p.FieldByName("VRACRE").AsFloat();
  sums.discounts += p.FieldByName("VRDESC").AsFloat();
  sums.quantity += qty;
  return TamFixo(code, 14) + " " + TamFixo(p.FieldByName("NMPRODUTO").AsString(), 19) + " " +
         TamFixoR(Fixed2(qty), 6) + TamFixoR(Fixed2(total), 10) + LF;
}

std::string Totals(const Sums& s) {
  return TamFixo(Msg("Tot_Acre"), 38) + TamFixoR(Fixed2(s.surcharges), 13) + LF + LF + TamFixo(Msg("Tot_Desc"), 38) +
         TamFixoR(Fixed2(s.discounts), 13) + LF + LF + TamFixo(Msg("Tot_Valor"), 32) +
         TamFixoR(Fixed2(s.quantity), 9) + TamFixoR(Fixed2(s.value), 10) + LF + LF + LF;
}

// The caption of a classification without rate ("" for one the report does not know).
std::string ClassCaption(const std::string& cls) {
  if (cls == "F") return Msg("SubTrib");
  if (cls == "N") return Msg("NIncide");
  if (cls == "I") return Msg("Isento");
  return "";
}

void PrintPlain(rtl::ClientDataSet& p) {
  Sums sums;
  ReportBlock(Header(true));
  for (p.First(); !p.Eof(); p.Next()) ReportBlock(ProductLine(p, sums));
  p.Close();
  ReportBlock(LF + Totals(sums));
}

// The per-classification sums, in the order each classification first appears.
void AddToClass(rtl::ClientDataSet& classes, const std::string& cls, double rate, double total) {
  const rtl::Variant key(std::vector<rtl::Variant>{rtl::Variant(cls), rtl::Variant(rate)});
  if (classes.Locate("IDTPIMPOSFIS;VRPERCSITTRIB", key)) {
    classes.Edit();
    classes.FieldByName("VRTOTALALIQ").SetAsFloat(classes.FieldByName("VRTOTALALIQ").AsFloat() + total);
  } else {
    classes.Append();
    classes.FieldByName("VRPERCSITTRIB").SetAsFloat(rate);
    classes.FieldByName("VRTOTALALIQ").SetAsFloat(total);
    classes.FieldByName("IDTPIMPOSFIS").SetAsString(cls);
  }
  classes.Post();
}

// One text with a line per classification; `label` starts as the last rate text listed.
std::string ClassSummary(rtl::ClientDataSet& classes, std::string label) {
  std::string text;
  for (classes.First(); !classes.Eof(); classes.Next()) {
    const double rate = classes.FieldByName("VRPERCSITTRIB").AsFloat();
    const std::string caption = ClassCaption(classes.FieldByName("IDTPIMPOSFIS").AsString());
    if (rate != 0) label = Fixed2(rate);
    else if (!caption.empty()) label = caption;
    text += TamFixo(label, 35) + TamFixoR(Fixed2(classes.FieldByName("VRTOTALALIQ").AsFloat()), 13) + LF;
  }
  return text;
}

void PrintGrouped(rtl::ClientDataSet& p, rtl::ClientDataSet& classes) {
  try {
    classes.Close();
    classes.CreateDataSet();
  } catch (const std::exception&) {
    Notice(Msg("ComandoNExec"), hostlib::tmInformacao, "");
  }
  ReportBlock(Header(false));
  Sums sums;
  std::string curRate, curClass;
  {
    DatasetScope scope(p);
    p.SetIndexName("idxTributacao");
    for (p.First(); !p.Eof(); p.Next()) {
      const std::string rateText = p.FieldByName("VRPEALIMPFIS").AsString();
      const std::string cls = p.FieldByName("IDTPIMPOSFIS").AsString();
      const double rate = p.FieldByName("VRPEALIMPFIS").AsFloat();
      if (rateText != curRate || cls != curClass) {
        curRate = rateText;
        std::string header;
        if (rate != 0) {
          header = Msg("TRIBUTACAO") + "  " + Fixed2(rate) + LF;
          curClass = cls;
        } else if (cls != curClass) {
          const std::string caption = ClassCaption(cls);
          if (!caption.empty()) header = caption + LF;
          curClass = cls;
        }
        ReportBlock(header);
      }
      ReportBlock(ProductLine(p, sums));
      AddToClass(classes, cls, rate, p.FieldByName("VRTOTAL").AsFloat());
    }
  }
  p.Close();
  ReportBlock(TamFixo(Msg("Valor_"), 32) + TamFixoR(Fixed2(sums.quantity), 9) + TamFixoR(Fixed2(sums.value), 10) +
              LF + LF);
  ReportBlock(TamFixo(Msg("TRIBUTADOS"), 35) + LF);
  ReportBlock(ClassSummary(classes, curRate));
  ReportBlock(Totals(sums));
}

}  // namespace

void Relatorio_Produto(const std::string& stIgnorado1, const std::string& stIgnorado2, const std::string& stIgnorado3,
                       const std::string& stCdFilial, const std::string& stCdCaixa, std::string& stCupomDia,
                       rtl::ClientDataSet* cdsProdAux, const std::string& stEmiRelProd,
                       const std::string& stTribRelPro, const std::string& stIdEsquema, bool& boCtrlCupom) {
  TdtmElgin01100& dm = DataModule();
  rtl::ClientDataSet& produtos = dm.cdsProdVend;
  CopyPacket(cdsProdAux, &produtos);

  if (stEmiRelProd == "S") {
    if (!Confirm(Msg("ConfRelProds"), stIdEsquema))
      return;
  } else if (stEmiRelProd != "N") {
    return;
  }
  if (!boCtrlCupom) FechRelatGerenc(stIdEsquema, true, true);
  boCtrlCupom = true;
  if (!produtos.Active() || produtos.IsEmpty()) return;

  DocumentGuard doc;  // the report opened here is closed on every way out
  Relatorio_Gerencial_Imp(stIdEsquema, stCdFilial, stCdCaixa, "", "");
  stCupomDia = Nr_Cupom("", stIdEsquema);
  if (stTribRelPro == "S")
    PrintGrouped(produtos, dm.cdsAliqProduto);
  else
    PrintPlain(produtos);
  FechRelatGerenc(stIdEsquema, true, true);
}

}  // namespace Qor01100
