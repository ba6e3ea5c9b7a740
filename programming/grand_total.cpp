// The printer's grand total and its record in the fiscal application's
// configuration file "Kalvora.cds": checked against the printer when the
// host asks, brought up to date otherwise.
#include <exception>

#include "driver/command.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/dataset_scope.h"
#include "driver/frame.h"
#include "driver/operations.h"
#include "driver/vendor_call.h"
#include "hostlib/consiste.h"
#include "hostlib/cripto.h"
#include "hostlib/dialogs.h"
#include "hostlib/params.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/text.h"
#include "programming/grand_total.h"
#include "programming/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

// A filter literal: the value in single quotes, a quote inside doubled, so
// that a branch, till or serial holding a quote keeps its meaning.
std::string Literal(const std::string& value) { return "'" + rtl::StringReplace(value, "'", "''") + "'"; }

// The grand total of a file that was never initialised.
constexpr double kUninitialised = 10.10;

// One call's keys and files.
struct Check {
  std::string filial, caixa, serie, esquemaCor, valida;
  std::string mainFile, fallbackFile;
};

Check ReadCheck(const rtl::Variant& Params) {
  Check c;
  c.filial = Text(Params, "CDFILIAL");
  c.caixa = Text(Params, "CDCAIXA");
  c.serie = Text(Params, "NRSERIEIMP");
  c.esquemaCor = Text(Params, "ESQUEMACOR");
  c.valida = Text(Params, "IDVALIDA");
  dsDirCad = HostDirectory();
  c.mainFile = dsDirCad + "Kalvora.cds";
  c.fallbackFile = dsDirCad + "dru" + c.caixa + c.filial + ".cds";
  // A till that died inside a rewrite of the file left its new version
  // beside it: never renamed now, it goes, whether or not this call writes.
  rtl::RemoveAbandonedWrites(c.mainFile);
  return c;
}

// A configuration file that exists but cannot be used: it does not load
// (truncated, garbage) or lacks a field the check reads.
struct UnusableFile {
  std::string file;
};

// The fields the check reads from each file (the till's own file is also
// filtered on the situation).
const char* const kMainFields[] = {"CDFILIAL", "CDCAIXA", "NRSERIEECF", "CAMPO01", "CAMPO02"};

void RequireFields(rtl::ClientDataSet& ds, const std::string& file, bool fallback) {
  for (const char* f : kMainFields)
    if (!ds.FindField(f)) throw UnusableFile{file};
  if (fallback && !ds.FindField("IDSITECFIMPF")) throw UnusableFile{file};
}

// Loads `file`; when `strict`, an existing file that does not load is an UnusableFile.
void LoadFile(rtl::ClientDataSet& ds, const std::string& file, bool strict) {
  if (!strict || !rtl::FileExists(file)) return ds.LoadFromFile(file);
  try {
    ds.LoadFromFile(file);
  } catch (const std::exception&) {
    throw UnusableFile{file};
  }
}

// Loads the configuration and filters it to this till's printer. The main
// file names the printer by the serial the host set in the data module; the
// till's own file by the start parameters, active rows only. When checking
// (`strict`), a file that exists but cannot be used raises UnusableFile
// instead of being passed over. Other failures raise as the loading does.
// True when the record comes from the main file.
bool LoadRecord(rtl::ClientDataSet& ds, const Check& c, bool strict, bool logMissing) {
  std::string filter;
  bool fromMain = true;
  try {
    LoadFile(ds, c.mainFile, strict);
    if (strict) RequireFields(ds, c.mainFile, false);
    filter = "CDFILIAL = " + Literal(c.filial) + " AND CDCAIXA = " + Literal(c.caixa) +
             " AND NRSERIEECF = " + Literal(DataModule().stSerieAtu);
  } catch (const UnusableFile&) {
    throw;
  } catch (const std::exception&) {
    if (logMissing && !rtl::FileExists(c.mainFile) && !rtl::FileExists(c.fallbackFile))
      DebugLog(rtl::Utf8ToCp1252("Atu_TotGeral: verificação do totalizador geral não executada: ") + c.mainFile +
               rtl::Utf8ToCp1252(" e ") + c.fallbackFile + rtl::Utf8ToCp1252(" não encontrados"));
    fromMain = false;
    LoadFile(ds, c.fallbackFile, strict);
    if (strict) RequireFields(ds, c.fallbackFile, true);
    filter = "CDFILIAL = " + Literal(c.filial) + " AND CDCAIXA = " + Literal(c.caixa) +
             " AND NRSERIEECF = " + Literal(c.serie) + " AND IDSITECFIMPF = " + Literal("A");
  }
  ds.SetFiltered(false);
  ds.SetFilter(filter);
  ds.SetFiltered(true);
  ds.First();
  return fromMain;
}

bool CheckApplies(rtl::ClientDataSet& ds) { return !ds.IsEmpty() && ds.FieldByName("CAMPO01").AsString() == "S"; }

// The grand total goes into the record, hidden; the file is replaced as a
// whole (written beside and renamed over), so it always holds either the
// old record or the new one.
void Store(rtl::ClientDataSet& ds, const std::string& mainFile, const std::string& total) {
  ds.Edit();
  ds.FieldByName("CAMPO02").SetAsString(hostlib::Cripto(total, hostlib::kCriptoKey));
  ds.Post();
  ds.SaveToFile(mainFile);
  ds.Close();
}

// The printer's grand total; false when it could not be read. The operator
// is told so in plain words, the run-time's conversion error goes to the log.
bool ReadPrinterTotal(std::string& printerText, const Check& c) {
  try {
    BuscaTotGer("", printerText);
    return true;
  } catch (const std::exception& e) {
    DebugLog("ERRO!!! Elgin_GrandeTotal: " + std::string(e.what()));
    Notice(rtl::Utf8ToCp1252("Não foi possível ler o totalizador geral da impressora fiscal."), hostlib::tmAviso,
           c.esquemaCor);
    return false;
  }
}

}  // namespace

bool ReadGrandTotal(std::string& stValTotGer) {
  const Command leitura = Query("Elgin_GrandeTotal", Elgin_GrandeTotal, stValTotGer);
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
  return Analyse(leitura, codigo);
}

bool BuscaTotGer(const std::string& stIgnorado, std::string& stValTotGer) {
  ReadGrandTotal(stValTotGer);
  return true;
}

bool Atu_TotGeral(const rtl::Variant& Params) {
  TdtmElgin01100& dm = DataModule();
  const Check c = ReadCheck(Params);
  const bool validating = c.valida == "S";
  bool result = true;

  rtl::ClientDataSet& ds = dm.cdsCheckECF;
  // The filter set here is this call's own: neither the next call's loading
  // nor its choice of file sees it.
  DatasetScope scope(ds);
  ds.SetFiltered(false);
  ds.SetFilter("");

  auto invalid = [&](const char* key, const std::string& file) {
    ds.Close();
    Notice(rtl::StringReplace(Msg(key), "%s", file, false), hostlib::tmAviso, c.esquemaCor);
    result = false;
  };
  // Writing the printer's total: a file that cannot be written does not
  // hold it, so the update has failed (see the catch below).
  bool storing = false;
  auto store = [&](const std::string& total) {
    storing = true;
    Store(ds, c.mainFile, total);
    storing = false;
  };

  try {
    LoadRecord(ds, c, validating, true);
    if (CheckApplies(ds)) {
      const std::string stored = hostlib::Uncripto(ds.FieldByName("CAMPO02").AsString(), hostlib::kCriptoKey);
      std::string printerText;
      if (!ReadPrinterTotal(printerText, c)) {
        // A check that could not read the printer has not passed; a record
        // waiting for this total keeps waiting (see MarkGrandTotalPending).
        ds.Close();
        return !validating;
      }
      const double printer = hostlib::RoundDec(rtl::StrToFloat(printerText), 2);
      // An update takes the printer's total, and so does a check of a record
      // still holding the uninitialised value. An empty record, or one that
      // does not hold an amount, is an invalid file: the check cannot pass on
      // it, nor on a total other than the printer's.
      double storedValue = 0;
      const bool holdsAmount = !hostlib::EmptyString(stored) && rtl::TryStrToFloat(stored, storedValue);
      const double storedRounded = hostlib::RoundDec(storedValue, 2);
      if (!validating || (holdsAmount && storedRounded == hostlib::RoundDec(kUninitialised, 2))) {
        store(printerText);
      } else if (!holdsAmount || printer != storedRounded) {
        invalid("ArqConfig_Inv4", c.mainFile);
      }
    }
  } catch (const UnusableFile& u) {
    // Checking against a file that cannot be read would pass on nothing.
    invalid("ArqConfig_Inv", u.file);
    ReportFailure(rtl::StringReplace(Msg("ArqConfig_Inv"), "%s", u.file, false));
  } catch (const std::exception& e) {
    if (storing) {
      // "não" in code page 1252.
      ReportFailure("Atu_TotGeral: totalizador geral n\xE3o gravado em " + c.mainFile + ": " + e.what());
      result = false;
    }
    Notice(e.what(), hostlib::tmAviso, c.esquemaCor);
  }
  return result;
}

void MarkGrandTotalPending(const rtl::Variant& Params) {
  TdtmElgin01100& dm = DataModule();
  const Check c = ReadCheck(Params);
  rtl::ClientDataSet& ds = dm.cdsCheckECF;
  DatasetScope scope(ds);
  ds.SetFiltered(false);
  ds.SetFilter("");
  try {
    // Only the main file is marked: writing it from the till's own file
    // would change which file and row the recording that follows reads.
    if (LoadRecord(ds, c, false, false) && CheckApplies(ds)) Store(ds, c.mainFile, rtl::FloatToStr(kUninitialised));
    else ds.Close();
  } catch (const std::exception&) {
    // The recording that follows the cancellation reports what is wrong.
    ds.Close();
  }
}

}  // namespace Qor01100
