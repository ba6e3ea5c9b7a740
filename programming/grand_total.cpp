// The printer's grand total and its record in the fiscal application's
// configuration file "Kalvora.cds": checked against the printer when the
// host asks, brought up to date otherwise.
#include <exception>

#include "driver/command.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/dataset_scope.h"
#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "hostlib/consiste.h"
#include "hostlib/cripto.h"
#include "hostlib/dialogs.h"
#include "hostlib/params.h"
#include "platform/errors.h"
#include "platform/format.h"
#include "platform/text.h"
#include "programming/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

// A filter literal: the value in single quotes, a quote inside doubled, so
// that a branch, till or serial holding a quote keeps its meaning.
std::string Literal(const std::string& value) { return "'" + rtl::StringReplace(value, "'", "''") + "'"; }

// The grand total of a file that was never initialised.
constexpr double kUninitialised = 10.10;

}  // namespace

bool BuscaTotGer(const std::string& stIgnorado, std::string& stValTotGer) {
  const Command leitura = Query("Elgin_GrandeTotal", Elgin_GrandeTotal, 18, stValTotGer);
  const int codigo = CallOnly(leitura);
  double value = 0;
  try {
    value = GetValue(stValTotGer);
  } catch (const rtl::Exception&) {
    // The conversion error reaches the caller, but the printer's own
    // report of what went wrong is logged and collected first.
    Analyse(leitura, codigo);
    throw;
  }
  stValTotGer = rtl::FloatToStr(value);
  Analyse(leitura, codigo);
  return true;
}

bool Atu_TotGeral(const rtl::Variant& Params) {
  TdtmElgin01100& dm = DataModule();
  const std::string filial = Text(Params, "CDFILIAL");
  const std::string caixa = Text(Params, "CDCAIXA");
  const std::string serie = Text(Params, "NRSERIEIMP");
  const std::string esquemaCor = Text(Params, "ESQUEMACOR");
  const std::string valida = Text(Params, "IDVALIDA");
  bool result = true;

  dsDirCad = HostDirectory();
  const std::string mainFile = dsDirCad + "Kalvora.cds";
  rtl::ClientDataSet& ds = dm.cdsCheckECF;
  // The filter set below is this call's own: neither the next call's loading
  // nor its choice of file sees it.
  DatasetScope scope(ds);
  ds.SetFiltered(false);
  ds.SetFilter("");

  auto invalid = [&] {
    ds.Close();
    Notice(rtl::StringReplace(Msg("ArqConfig_Inv4"), "%s", mainFile, false), hostlib::tmAviso, esquemaCor);
    result = false;
  };
  // The printer's grand total goes into the record, hidden; the file is
  // replaced as a whole (written beside and renamed over), so it always
  // holds either the old record or the new one.
  auto store = [&](const std::string& printerText) {
    ds.Edit();
    ds.FieldByName("CAMPO02").SetAsString(hostlib::Cripto(printerText, hostlib::kCriptoKey));
    ds.Post();
    ds.SaveToFile(mainFile);
    ds.Close();
  };

  try {
    // The main file names the printer by the serial the host set in the
    // data module; the till's own file by the start parameters, active rows only.
    std::string filter;
    try {
      ds.LoadFromFile(mainFile);
      filter = "CDFILIAL = " + Literal(filial) + " AND CDCAIXA = " + Literal(caixa) +
               " AND NRSERIEECF = " + Literal(dm.stSerieAtu);
    } catch (const std::exception&) {
      ds.LoadFromFile(dsDirCad + "dru" + caixa + filial + ".cds");
      filter = "CDFILIAL = " + Literal(filial) + " AND CDCAIXA = " + Literal(caixa) +
               " AND NRSERIEECF = " + Literal(serie) + " AND IDSITECFIMPF = " + Literal("A");
    }
    ds.SetFiltered(false);
    ds.SetFilter(filter);
    ds.SetFiltered(true);
    ds.First();

    if (!ds.IsEmpty() && ds.FieldByName("CAMPO01").AsString() == "S") {
      const std::string stored = hostlib::Uncripto(ds.FieldByName("CAMPO02").AsString(), hostlib::kCriptoKey);
      std::string printerText;
      try {
        BuscaTotGer("", printerText);
      } catch (const std::exception&) {
        // A check that could not read the printer has not passed.
        if (valida == "S") result = false;
        throw;
      }
      const double printer = hostlib::RoundDec(rtl::StrToFloat(printerText), 2);

      if (valida != "S") {
        store(printerText);
      } else {
        double storedValue = 0;
        // An empty record, or one that does not hold an amount, is an
        // invalid file: the check cannot pass on it.
        if (hostlib::EmptyString(stored) || !rtl::TryStrToFloat(stored, storedValue)) {
          invalid();
        } else if (hostlib::RoundDec(storedValue, 2) == hostlib::RoundDec(kUninitialised, 2)) {
          store(printerText);
        } else if (printer != hostlib::RoundDec(storedValue, 2)) {
          invalid();
        }
      }
    }
  } catch (const std::exception& e) {
    Notice(e.what(), hostlib::tmAviso, esquemaCor);
  }
  return result;
}

}  // namespace Qor01100

