// The printer's tax rates: both rate lists read from the printer and the
// rate table cdsAliqImpFis built from them for the host.
#include "driver/command.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "hostlib/consiste.h"
#include "platform/errors.h"
#include "platform/format.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "programming/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

// Both lists: all rates into stRetorno (trimmed), the service-tax rates
// into stAliquotaIss. Each list is "RRRR," repeated, ended by "0000".
// Returns the verdict of the second read.
bool ReadRateLists() {
  Send(Query("Elgin_RetornoAliquotas", Elgin_RetornoAliquotas, stRetorno));
  const bool ok = Send(Query("Elgin_VerificaAliquotasIss", Elgin_VerificaAliquotasIss, stAliquotaIss));
  stRetorno = rtl::Trim(stRetorno);
  return ok;
}

void AddRate(rtl::ClientDataSet& ds, const std::string& code, double value, const std::string& kind) {
  ds.Append();
  ds.FieldByName("CDALIQIMPFIS").SetAsString(code);
  ds.FieldByName("VRALIQIMPFIS").SetAsFloat(value);
  ds.FieldByName("IDALIQIMPFIS").SetAsString(kind);
  ds.Post();
}

}  // namespace

void CarregaAliquota(const std::string& stIgnorado, rtl::ClientDataSet* cdsAliqImpFis_Ret) {
  TdtmElgin01100& dm = DataModule();
  ReadRateLists();

  rtl::ClientDataSet& ds = dm.cdsAliqImpFis;
  ds.Close();
  ds.CreateDataSet();
  int i = 1;
  while (!hostlib::EmptyString(stRetorno)) {
    const std::string rate = rtl::Copy(stRetorno, 1, 4);
    if (rate == "0000") break;  // end of the list
    try {
      // 1800 is 18.00 %; a rate also in the service-tax list is a service rate.
      const double value =
          rtl::StrToFloat(rtl::Copy(rate, 1, 2) + rtl::Settings().DecimalSeparator + rtl::Copy(rate, 3, 2));
      AddRate(ds, TwoDigit(i - 1), value, rtl::Pos(rate, stAliquotaIss) == 0 ? "T" : "S");
    } catch (const rtl::Exception&) {
      // A rate the table cannot take is left out; the others still load.
      if (ds.State() != rtl::DataSetState::Browse) ds.Cancel();
    }
    ++i;
    if (rtl::Copy(stAliquotaIss, 1, 4) == rate) rtl::Delete(stAliquotaIss, 1, 5);
    rtl::Delete(stRetorno, 1, 5);
  }
  // Non-incidence, exemption and tax substitution.
  AddRate(ds, "NN", 0, "N");
  AddRate(ds, "II", 0, "I");
  AddRate(ds, "FF", 0, "F");

  if (cdsAliqImpFis_Ret != nullptr) cdsAliqImpFis_Ret->SetData(ds.Data());
}

bool Retorno_Aliquotas_Imp(const std::string& stIgnorado) { return ReadRateLists(); }

}  // namespace Qor01100

