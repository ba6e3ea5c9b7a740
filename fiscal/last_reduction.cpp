// DadosUltimaRedZ: the last Z reduction's counters and totals into the
// host's result array, its taxed totalizers into a table.
#include <exception>

#include "driver/command.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "fiscal/operations.h"
#include "fiscal/reduction_records.h"
#include "hostlib/consiste.h"
#include "platform/datetime.h"
#include "platform/format.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

namespace last = records::last;
using records::Take;

// The host creates the result array with room for elements 0 to 48.
constexpr size_t kResultElements = 49;

std::string Money(double v) { return rtl::FormatFloat("00.00", v); }
double Amount(const std::string& record, records::Span f) { return GetValue(Take(record, f)); }

// A result array the operation may fill; otherwise the reason, logged and
// collected for the host, and nothing is written.
bool ResultArrayFits(const rtl::Variant& oleRetorno) {
  const size_t n = oleRetorno.IsArray() ? oleRetorno.ArrayLength() : 0;
  if (n >= kResultElements) return true;
  const std::string text = "DadosUltimaRedZ: o vetor de retorno tem " + rtl::IntToStr(static_cast<int64_t>(n)) +
                           " elementos; sao necessarios " + rtl::IntToStr(kResultElements) + ".";
  DebugLog("ERRO!!! " + text);
  stMensagemTaa += " " + text;
  return false;
}

// The movement date of the last reduction (DDMMYY) as a date.
rtl::TDateTime LastMovementDate() {
  std::string ddmmyy;
  CallOnly(Call("", Elgin_DataMovimentoUltimaReducaoMFD, Into(ddmmyy)));
  return rtl::StrToDate(rtl::Copy(ddmmyy, 1, 2) + "/" + rtl::Copy(ddmmyy, 3, 2) + "/" + rtl::Copy(ddmmyy, 5, 2));
}

// One cdsImposto row per positive taxed totalizer; a zero one keeps its
// position number, so the rows carry the printer's rate positions.
void FillTaxedTotalizers(std::string taxed) {
  std::string rates;
  CallOnly(Call("", Elgin_RetornoAliquotas, Into(rates)));
  DebugLog("Elgin_RetornoAliquotas: " + rates);

  rtl::ClientDataSet& imposto = DataModule().cdsImposto;
  imposto.Close();
  imposto.CreateDataSet();
  for (int n = 1; !taxed.empty(); ++n) {
    const double v = GetValue(rtl::Copy(taxed, 1, records::kTotalizerWidth));
    if (v > 0) {
      const double rate = GetValue(rtl::Copy(rates, 1, records::kRateWidth));
      imposto.Append();
      imposto.FieldByName("CDIMPOSTO").SetAsString("00");
      imposto.FieldByName("CDALIQIMPFIS").SetAsString(hostlib::Ajusta(rtl::IntToStr(n), 2));
      imposto.FieldByName("VRVENDIDO").SetAsString(Money(v));
      imposto.FieldByName("VRALIQIMPFIS").SetAsString(Money(rate));
      imposto.FieldByName("VRIMPOSTO").SetAsString(Money(hostlib::Trunc2(v / 100 * rate)));
      imposto.Post();
    }
    rtl::Delete(rates, 1, records::kRateStep);
    rtl::Delete(taxed, 1, records::kTotalizerWidth);
  }
}

// The record read well: every element and the table, in the printer's order.
void ReadRecord(const std::string& rec, rtl::Variant& ar, rtl::ClientDataSet* cdsTotalizadores) {
  const std::string crz = Take(rec, last::kCrz), cro = Take(rec, last::kCro);
  ar[12] = rtl::Variant(crz);
  ar[11] = rtl::Variant(cro);
  ar[13] = rtl::Variant(Take(rec, last::kCoo));

  double gross = 0;
  for (int i = 0; i < records::kTaxedCount; ++i)
    gross += GetValue(rtl::Copy(rec, last::kTaxed.pos + records::kTotalizerWidth * i, records::kTotalizerWidth));
  // Exemption, non-incidence, substitution, discounts and cancellations
  // count into the gross sale; surcharges do not.
  const struct {
    records::Span field;
    size_t element;
    bool gross;
  } totals[] = {{last::kExemption, 27, true},  {last::kNonIncidence, 28, true}, {last::kSubstitution, 29, true},
                {last::kDiscounts, 33, true},  {last::kSurcharges, 35, false},  {last::kCancellations, 37, true}};
  for (const auto& t : totals) {
    const double v = Amount(rec, t.field);
    ar[t.element] = rtl::Variant(Money(v));
    if (t.gross) gross += v;
  }
  const double net = gross - Amount(rec, last::kCancellations) - Amount(rec, last::kDiscounts);
  ar[47] = rtl::Variant(Money(gross));
  ar[48] = rtl::Variant(Money(net));

  const rtl::TDateTime movement = LastMovementDate();
  ar[46] = rtl::Variant::FromDateTime(movement);
  const std::string cancelled = hostlib::Ajusta(Take(rec, last::kCancelledCoupons), 4);
  ar[25] = rtl::Variant(Money(Amount(rec, last::kGrandTotal)));

  FillTaxedTotalizers(Take(rec, last::kTaxed));
  if (cdsTotalizadores != nullptr) cdsTotalizadores->SetData(DataModule().cdsImposto.Data());

  ar[0] = rtl::Variant(crz);
  ar[1] = rtl::Variant(cro);
  ar[2] = rtl::Variant(gross);
  ar[3] = rtl::Variant::FromDateTime(movement);
  ar[4] = rtl::Variant(cancelled);
}

}  // namespace

bool DadosUltimaRedZ(const rtl::Variant& arParams, rtl::Variant& oleRetorno,
                     rtl::ClientDataSet* cdsTotalizadorParciaisTributados) {
  if (!ResultArrayFits(oleRetorno)) return false;
  try {
    const std::string stEsquemaCor = arParams[0].AsString();  // read, as every caller passes it; not used
    std::string rec;
    const bool ok = Send(Call("", Elgin_DadosUltimaReducaoMFD, Into(rec)).TraceWith([&rec] {
      return "Elgin_DadosUltimaReducaoMFD: " + rec;
    }));
    if (!ok) {
      oleRetorno[0] = rtl::Variant(std::string());
      oleRetorno[1] = rtl::Variant(std::string());
      oleRetorno[2] = rtl::Variant(int32_t{0});
      oleRetorno[3] = rtl::Variant(rtl::Date() - 1000);
      oleRetorno[4] = rtl::Variant(std::string());
      return false;
    }
    ReadRecord(rec, oleRetorno, cdsTotalizadorParciaisTributados);
    return true;
  } catch (const std::exception& e) {
    // A field that is not an amount or a date, or a table error: what was
    // written stays written.
    DebugLog(std::string("ERRO!!! DadosUltimaRedZ: ") + e.what());
    return false;
  }
}

}  // namespace Qor01100
