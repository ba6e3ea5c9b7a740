// The printer's tax rates: both rate lists read from the printer and the
// rate table cdsAliqImpFis built from them for the host.
#include <cstring>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "hostlib/consiste.h"
#include "platform/errors.h"
#include "platform/format.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "programming/rates_totalizers.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

// An entry point that is not bound (driver not started) answers 0, the
// code of a communication failure, instead of crashing.
template <class F, class... A>
int Vendor(F* f, A... a) {
  return f != nullptr ? f(a...) : 0;
}

std::string Answer(const std::string& buf) { return buf.substr(0, std::strlen(buf.c_str())); }

// Both lists: all rates into stRetorno (trimmed), the service-tax rates
// into stAliquotaIss. Each list is "RRRR," repeated, ended by "0000".
// Returns the verdict of the second read.
bool ReadRateLists() {
  stRetorno.assign(79, ' ');
  inRetorno = Vendor(Elgin_RetornoAliquotas, stRetorno.data());
  stRetorno = Answer(stRetorno);
  stImpDebug = Trace("Elgin_RetornoAliquotas", stRetorno);
  AnalisaRetorno(inRetorno, false, false, false);

  stAliquotaIss.assign(79, ' ');
  inRetorno = Vendor(Elgin_VerificaAliquotasIss, stAliquotaIss.data());
  stAliquotaIss = Answer(stAliquotaIss);
  stImpDebug = Trace("Elgin_VerificaAliquotasIss", stAliquotaIss);
  const bool ok = AnalisaRetorno(inRetorno, false, false, false);
  stRetorno = rtl::Trim(stRetorno);
  return ok;
}

// A position as two digits with a leading zero ("00", "01", ...).
std::string TwoDigit(int i) { return i >= 0 && i < 10 ? "0" + rtl::IntToStr(i) : rtl::IntToStr(i); }

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

QOR_PLAIN(void, CarregaAliquota, (const std::string& stIgnorado, rtl::ClientDataSet* cdsAliqImpFis_Ret),
          (stIgnorado, cdsAliqImpFis_Ret))
QOR_PLAIN(bool, Retorno_Aliquotas_Imp, (const std::string& stIgnorado), (stIgnorado))
