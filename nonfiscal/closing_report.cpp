// The closing report of a shift and the general closing report of the day.
#include "nonfiscal/closing_report.h"

#include "driver/frame.h"
#include "driver/report_text.h"
#include "hostlib/consiste.h"
#include "platform/format.h"
#include "platform/text.h"

namespace Qor01100::closing {
namespace {

using hostlib::TamFixo;
using hostlib::TamFixoR;

const std::string LF = "\n";

std::string Line(const std::string& caption, double v) { return TamFixo(caption, 33) + TamFixoR(Amount(v), 15) + LF; }

// The movement totals by record type: "1" and "5" withdrawals (each printed
// and summed), "2" counter-vouchers issued, "3" supply, "4" counter-vouchers
// received (each of these three the last record's amount).
struct Movements {
  double withdrawals = 0, issued = 0, supply = 0, received = 0;
};

Movements Walk(rtl::ClientDataSet* ds) {
  Movements m;
  if (ds == nullptr || !ds->Active()) return m;
  for (ds->First(); !ds->Eof(); ds->Next()) {
    const std::string type = ds->FieldByName("IDTIPOREG").AsString();
    const double v = ds->FieldByName("VRSAIDA").AsFloat();
    if (type == "1" || type == "5") {
      ReportBlock(Line(ds->FieldByName("NMTIPORECE").AsString(), v));
      m.withdrawals += v;
    } else if (type == "2") {
      m.issued = v;
    } else if (type == "3") {
      m.supply = v;
    } else if (type == "4") {
      m.received = v;
    }
  }
  return m;
}

}  // namespace

std::string Amount(double v) { return rtl::FloatToStrF(v, rtl::FloatFormat::Fixed, 15, 2); }

std::string Dashes() { return hostlib::Replicate("-", 48) + LF; }

double SumOf(rtl::ClientDataSet* ds, const char* field) {
  double sum = 0;
  if (ds == nullptr || !ds->Active()) return sum;
  for (ds->First(); !ds->Eof(); ds->Next()) sum += ds->FieldByName(field).AsFloat();
  ds->First();
  return sum;
}

void Print(const Report& r) {
  ReportBlock(hostlib::Centraliza(r.title, 47) + LF + LF + TamFixo(Msg("Vendas"), 35) + TamFixoR(Amount(r.sales), 13) +
              LF + TamFixo("Compra de Credito", 35) + TamFixoR(Amount(r.credit), 13) + LF + Dashes());
  const Movements m = Walk(r.movements);
  // In cents, so a balanced shift is a surplus of 0.00 and not a shortage of a rounding rest.
  const double balance =
      hostlib::RoundDec(m.withdrawals + m.received - m.issued - m.supply - r.sales - r.credit, 2);
  ReportBlock(Line(Msg("CV-RECEBIDO") + "(+)", m.received) + Line(Msg("CV-EMITIDO") + "(-)", m.issued) +
              Line(rtl::AnsiUpperCase(Msg("Suprimento")) + "(-)", m.supply) + Dashes() +
              Line(Msg("Sangrias"), m.withdrawals + m.received - m.supply - m.issued) + LF +
              Line(Msg(balance < 0 ? "Falta" : "Sobra"), balance));
}

}  // namespace Qor01100::closing
