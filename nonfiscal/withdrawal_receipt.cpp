// GeraReciboSangria: the withdrawal receipt in two copies, the closing
// report of a shift, and the end of the day: the operator's questions, the
// closing reports of the day and the export of the Z-reduction data.
#include "coupon/operations.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/document_guard.h"
#include "driver/frame.h"
#include "driver/packets.h"
#include "driver/report_text.h"
#include "driver/vendor_call.h"
#include "fiscal/operations.h"
#include "hostlib/consiste.h"
#include "nonfiscal/closing_report.h"
#include "nonfiscal/operations.h"
#include "platform/text.h"
#include "reports/operations.h"

namespace Qor01100 {
namespace {

using closing::Amount;
using closing::Dashes;
using hostlib::TamFixo;
using hostlib::TamFixoR;

const std::string LF = "\n";

bool Ask(const std::string& key, const std::string& scheme) {
  return Confirm(Msg(key), scheme);
}

// The number of the day's first document is kept once known.
void KeepFirst(std::string& stCupomDia, const std::string& coupon) {
  if (hostlib::EmptyString(stCupomDia)) stCupomDia = coupon;
}

// One copy of the withdrawal receipt; `counter` counts its lines on from
// the previous copy and decides one extra blank line.
struct Copy {
  const char* title;
  const char* signer;  // caption of the signature line
  const char* code;
  const char* name;
};

struct Receipt {
  std::string tipo, descricao, envelope;
  bool withdrawal = false;
  int counter = 0;
};

void PrintCopy(const Copy& c, bool first, Receipt& r, rtl::ClientDataSet& mov, rtl::ClientDataSet& oper) {
  std::string text;
  if (first) {
    text += LF;
    ++r.counter;
  }
  text += hostlib::Centraliza(Msg(c.title), 48) + LF + Dashes();
  ++r.counter;
  if (!hostlib::EmptyString(r.tipo)) text += Msg("Motivo") + r.tipo + LF;
  if (!hostlib::EmptyString(r.descricao)) text += Msg("Observacao") + r.descricao + LF;
  if (!hostlib::EmptyString(r.tipo) || !hostlib::EmptyString(r.descricao)) text += Dashes();
  if (r.envelope == "S") text += Msg("Envelope") + " ";
  text += TamFixo(Msg("Modalidade"), 25) + " " + TamFixoR(Msg("Valor_"), 15) + LF;
  r.counter += 2;
  ReportBlock(text);
  ReportBlock(" ");

  double total = 0;
  if (mov.Active()) {
    for (mov.First(); !mov.Eof(); mov.Next()) {
      const double v = mov.FieldByName(r.withdrawal ? "VRFECHADIG" : "VRFECHAINF").AsFloat();
      total += v;
      ++r.counter;
      ReportBlock(mov.FieldByName("NRENVELOPE").AsString() + " " + TamFixo(mov.FieldByName("NMTIPORECE").AsString(), 25) +
                  " " + TamFixoR(Amount(v), 15) + LF);
    }
  }
  text = TamFixo(Msg("Sangrias"), 27) + TamFixoR(Amount(total), 15) + LF + LF;
  r.counter += 2;
  if ((r.counter - 3) % 10 == 0) {
    text += LF;
    ++r.counter;
  }
  std::string sign = Msg(c.signer) + " : ";
  if (oper.Active()) {
    oper.First();
    sign += oper.FieldByName(c.code).AsString() + " " + oper.FieldByName(c.name).AsString();
  }
  text += Dashes() + rtl::Copy(sign, 1, 48) + LF;
  r.counter += 2;
  ReportBlock(text);
}

// What the stages of the operation share.
struct Day {
  const std::string& serie;
  const std::string& porta;
  const std::string& filial;
  const std::string& caixa;
  const std::string& esquema;
  const std::string& emiRelProd;
  const std::string& tribRelPro;
  std::string& cupomDia;
  rtl::ClientDataSet* prodAux;
  std::string coupon;  // the last report's coupon number
  double credit = 0;   // credit purchases of the shift
};

// Opens a management report; once open, its coupon number is kept.
bool OpenReport(Day& d) {
  const bool opened = Relatorio_Gerencial_Imp(d.esquema, d.filial, d.caixa, "", "");
  if (opened) {
    d.coupon = Nr_Cupom("", d.esquema);
    KeepFirst(d.cupomDia, d.coupon);
  }
  return opened;
}

// The product report; `flag` false says the receipt's report is still open.
void ProductReport(Day& d, bool& flag) {
  Relatorio_Produto("", "A", d.serie, d.filial, d.caixa, d.coupon, d.prodAux, d.emiRelProd, d.tribRelPro, d.esquema,
                    flag);
  KeepFirst(d.cupomDia, d.coupon);
}

void WithdrawalReceipt(Day& d, Receipt& r, const std::string& leituraX) {
  if (leituraX == "S" && Leitura_X_Imp(d.serie, d.porta, d.esquema, "")) KeepFirst(d.cupomDia, Nr_Cupom("", d.esquema));
  const bool opened = Relatorio_Gerencial_Imp(d.esquema, d.filial, d.caixa, "", "");
  d.coupon = Nr_Cupom("", d.esquema);
  KeepFirst(d.cupomDia, d.coupon);
  if (!opened) return;
  TdtmElgin01100& dm = DataModule();
  PrintCopy({"RecSangria3", "Superv", "CDSUPERVISOR", "NMSUPERVISOR"}, true, r, dm.cdsMovFecha, dm.cdsOperadorSup);
  PrintCopy({"RecSangria1", "Operador", "CDOPERADOR", "NMOPERADOR"}, false, r, dm.cdsMovFecha, dm.cdsOperadorSup);
}

// The closing report of the shift, after its product report.
void ShiftClosing(Day& d, rtl::ClientDataSet* callerMovAbertura) {
  TdtmElgin01100& dm = DataModule();
  bool flag = false;
  ProductReport(d, flag);
  if (!dm.cdsMovTot.Active() || dm.cdsMovTot.IsEmpty()) return;
  if (flag) OpenReport(d);
  const bool movements = callerMovAbertura != nullptr && callerMovAbertura->Active() && !callerMovAbertura->IsEmpty();
  closing::Print({Msg("RelFechamento"), closing::SumOf(d.prodAux, "VRTOTAL"), d.credit,
                  movements ? &dm.cdsMovAbertura : nullptr});
  FechRelatGerenc("", true, true);
}

// The closing reports of the day: a product report and the general closing report.
void DayClosing(Day& d, rtl::ClientDataSet* prodFechamento) {
  TdtmElgin01100& dm = DataModule();
  bool flag = true;
  ProductReport(d, flag);
  if (!dm.cdsMovTot.Active() || dm.cdsMovTot.IsEmpty()) return;
  if (flag) OpenReport(d);
  closing::Print({Msg("relFechamentoGeral"), closing::SumOf(prodFechamento, "VRTOTAL"), d.credit, &dm.cdsMovTot});
  FechRelatGerenc("", true, true);
}

// The last Z reduction's data into the caller's four tables.
// The tables go to the host whatever the export answered; the answer says
// whether they hold the whole day (ExportRedZ told the host why not).
bool ExportReduction(const std::string& esquema, const std::string& ecf, int32_t tipo, rtl::ClientDataSet* redz,
                     rtl::ClientDataSet* forma, rtl::ClientDataSet* imposto, rtl::ClientDataSet* totNFis) {
  TdtmElgin01100& dm = DataModule();
  const bool whole = ExportRedZ("", esquema, ecf, tipo, &dm.cdsTipoReceAux, &dm.cdsRedzAux01, &dm.cdsFormRedzAux01,
                                &dm.cdsImpostoRedzAux01, &dm.cdsTotNFisAux01);
  CopyPacket(&dm.cdsRedzAux01, redz);
  CopyPacket(&dm.cdsFormRedzAux01, forma);
  CopyPacket(&dm.cdsImpostoRedzAux01, imposto);
  CopyPacket(&dm.cdsTotNFisAux01, totNFis);
  return whole;
}

}  // namespace

bool GeraReciboSangria(const std::string& stCdPortaImpFis, const std::string& stNrSerie,
                       const std::string& stCdFilial, const std::string& stCdCaixa, const std::string& stECF,
                       int32_t idTipoImpFis, std::string& stCupomDia, rtl::ClientDataSet* cdsMovFechaAux,
                       rtl::ClientDataSet* cdsSangriaAux, rtl::ClientDataSet* cdsProdAux,
                       rtl::ClientDataSet* cdsOperSup, rtl::ClientDataSet* cdsMovTotAux,
                       rtl::ClientDataSet* cdsMovAbertura, rtl::ClientDataSet* cdsProdFechamento,
                       rtl::ClientDataSet* cdsExtratoCons, rtl::TDateTime dtAberCaixa, bool boImpRelSan,
                       bool boImprimeRedZ, bool Reducao, rtl::ClientDataSet* cdsRedzAux,
                       rtl::ClientDataSet* cdsFormRedzAux, rtl::ClientDataSet* cdsImpostoRedzAux,
                       rtl::ClientDataSet* cdsTotNFisAux, bool& boReduziu, rtl::ClientDataSet* cdsTipoRece,
                       const std::string& stEmiRelProd, const std::string& stTribRelPro,
                       const std::string& stImpLeituraX, const std::string& idImpEnvelope,
                       const std::string& stIdEsquema, bool boSangria, bool boFechDiaAnterior,
                       bool boAccessImpRedz, const std::string& stTipoSangria, const std::string& stDescSangria) {
  TdtmElgin01100& dm = DataModule();
  // Every report opened here (the receipt's, the closing reports) is closed
  // on every way out: an error from the host's tables, or a receipt's report
  // left open when the product report was declined.
  DocumentGuard doc;
  boReduziu = false;
  if (!boFechDiaAnterior) {
    CopyPacket(cdsMovFechaAux, &dm.cdsMovFecha);
    CopyPacket(cdsSangriaAux, &dm.cdsSangria);
    CopyPacket(cdsOperSup, &dm.cdsOperadorSup);
    CopyPacket(cdsTipoRece, &dm.cdsTipoReceAux);
    CopyPacket(cdsMovAbertura, &dm.cdsMovAbertura);
  }
  CopyPacket(cdsMovTotAux, &dm.cdsMovTot);
  Day d{stNrSerie, stCdPortaImpFis, stCdFilial, stCdCaixa, stIdEsquema, stEmiRelProd, stTribRelPro, stCupomDia,
        cdsProdAux, "", 0};
  if (cdsExtratoCons != nullptr && cdsExtratoCons->Active())
    d.credit = cdsExtratoCons->FieldByName("VRCARGACREDITO").AsFloat();

  if (boImpRelSan) {
    Receipt r{stTipoSangria, stDescSangria, idImpEnvelope, boSangria};
    WithdrawalReceipt(d, r, stImpLeituraX);
    if (boSangria) FechRelatGerenc("", true, true);
    else ShiftClosing(d, cdsMovAbertura);
  }
  if (boSangria) return false;

  if (!boFechDiaAnterior) {
    if (Ask("AbreCaixa", stIdEsquema)) return true;
    if (!boImprimeRedZ || !boAccessImpRedz || !Ask("ConfReducao", stIdEsquema)) return false;
  }
  if (Ask("ConfRelFechamento", stIdEsquema)) DayClosing(d, cdsProdFechamento);
  if (!boFechDiaAnterior) {
    // Exported means the whole day went to the host: an incomplete export
    // leaves boReduziu false, its reason in stMensagemTaa.
    boReduziu =
        ExportReduction(stIdEsquema, stECF, idTipoImpFis, cdsRedzAux, cdsFormRedzAux, cdsImpostoRedzAux, cdsTotNFisAux);
  }
  return false;
}

}  // namespace Qor01100
