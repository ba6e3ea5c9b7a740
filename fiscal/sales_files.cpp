// The daily sales files in the official layout, over a range of days: the
// vendor library converts each day's detail memory into a file of its record
// folder, and the file it wrote for that day is signed.
#include <exception>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "driver/command.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/loaded_dataset.h"
#include "driver/vendor_call.h"
#include "fiscal/operations.h"
#include "hostlib/dialogs.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/stringlist.h"
#include "platform/text.h"
#include "session/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {

namespace {

// A date of the range: the locale's short date, or else DDMMYY.
rtl::TDateTime RangeDate(const std::string& text) {
  rtl::TDateTime d;
  if (rtl::TryStrToDate(text, d)) return d;
  return rtl::StrToDate(rtl::Copy(text, 1, 2) + "/" + rtl::Copy(text, 3, 2) + "/20" + rtl::Copy(text, 5, 2));
}

// The "ZP" files of the record folder, with what tells a rewritten file
// from an untouched one.
using Snapshot = std::map<std::string, std::pair<int64_t, int64_t>>;

Snapshot SalesFiles(const std::string& pasta) {
  Snapshot files;
  rtl::FileSearch busca;
  rtl::SearchRec r;
  for (int rc = busca.FindFirst(pasta + "ZP*.*", r); rc == 0; rc = busca.FindNext(r))
    if (!r.IsDirectory) files[r.Name] = {r.Size, r.WriteTime};
  return files;
}

// The files the conversion of one day wrote: new in the folder, or rewritten.
std::vector<std::string> WrittenSince(const Snapshot& antes, const std::string& pasta) {
  std::vector<std::string> novos;
  for (const auto& [nome, marca] : SalesFiles(pasta)) {
    auto it = antes.find(nome);
    if (it == antes.end() || it->second != marca) novos.push_back(pasta + nome);
  }
  return novos;
}

// Converts and signs one day; false when the day produced no file.
bool ConvertDay(rtl::TDateTime dia, const std::string& pasta) {
  const std::string texto = rtl::DateToStr(dia);  // dd/mm/yyyy
  const std::string ddmmyy = rtl::Copy(texto, 1, 2) + rtl::Copy(texto, 4, 2) + rtl::Copy(texto, 9, 2);
  const Snapshot antes = SalesFiles(pasta);
  const int code = CallOnly(Call("", RFD_ConvertedaMFDData, ddmmyy, ddmmyy));
  DebugLog("RFD_ConvertedaMFDData - " + ddmmyy + " - Retorno: " + rtl::IntToStr(code));
  if (code != 1) return false;
  // Only what this day's conversion wrote is signed: a file of another day,
  // or none at all, is never signed in its place.
  const std::vector<std::string> escritos = WrittenSince(antes, pasta);
  for (const std::string& arquivo : escritos) {
    DebugLog("Gera Ead. Arquivo: " + arquivo);
    geraEad(arquivo);
    DebugLog("Gerado Ead.");
  }
  return !escritos.empty();
}

}  // namespace

bool GeraCatGenerica(const rtl::Variant& arParams, rtl::StringList* stlArqsCat) {
  try {
    TdtmElgin01100& dm = DataModule();
    LoadedDataset parametros(dm.cdsParametros, arParams[0]);
    const std::string esquema = dm.cdsParametros.FieldByName("IDESQUEMA").AsString();
    const rtl::TDateTime inicio = RangeDate(arParams[1].AsString());
    const rtl::TDateTime fim = RangeDate(arParams[2].AsString());
    if (stlArqsCat != nullptr) stlArqsCat->Clear();  // handed back new and empty

    const std::string pasta = retornaPathRFDElgin();
    bool gerado = false;
    rtl::StringList semMovimento;
    for (rtl::TDateTime dia = inicio; dia <= fim; dia += 1) {
      if (ConvertDay(dia, pasta)) gerado = true;
      else semMovimento.Add(rtl::DateToStr(dia));
    }
    if (semMovimento.Count() > 0)
      Notice(Msg2("Erro_NMovDia"), hostlib::tmInformacao, esquema, semMovimento.Text());
    return gerado;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace Qor01100
