// The fiscal application's identification report: who made it, its
// version and main program, the checksums of its files and the printers it
// may drive, printed as a management report. The identification fields
// arrive encoded and are decoded one by one; the checksums come from the
// host's files in its registry folder.
#include <exception>
#include <string>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/document_guard.h"
#include "driver/frame.h"
#include "driver/loaded_dataset.h"
#include "driver/report_text.h"
#include "driver/vendor_call.h"
#include "fiscal/operations.h"
#include "hostlib/cripto.h"
#include "hostlib/dialogs.h"
#include "nonfiscal/operations.h"
#include "platform/files.h"
#include "platform/format.h"

namespace Qor01100 {

namespace {

const std::string LF = "\n";

// The host's registry folder: dsDirCad, or the host program's folder before anything set it.
std::string RegistryFolder() { return dsDirCad.empty() ? HostDirectory() : dsDirCad; }
std::string ChecksumList() { return RegistryFolder() + "Dados\\Cadastros\\ArquivosKvxMd5.cds"; }
std::string ConfigFile() { return RegistryFolder() + "Kalvora.cds"; }

std::string Decoded(rtl::ClientDataSet& ds, const char* field) {
  return hostlib::Uncripto(ds.FieldByName(field).AsString(), hostlib::kCriptoKey);
}

// Texts in code page 1252.
const std::string kIdentificacao = "Identifica\xE7\xE3o";

std::string Identification(rtl::ClientDataSet& paf, rtl::ClientDataSet& md5) {
  std::string t = "          " + kIdentificacao + " do Paf-Ecf" + LF + LF;
  t += "Data Emiss\xE3o: " + rtl::FormatDateTime("dd/mm/yyyy hh:nn:ss", rtl::Now()) + LF + LF + LF;
  t += "Nr do Laudo:  " + Decoded(paf, "NRLAUDO") + LF + LF;
  t += kIdentificacao + " da Empresa: " + LF;
  t += "CNPJ         : " + Decoded(paf, "NRCNPJVELMARA") + LF;
  t += "Raz\xE3o Social : " + Decoded(paf, "DSRAZAOSOCIDRU") + LF;
  t += "Endere\xE7o     : " + Decoded(paf, "DSENDEVELMARA") + LF;
  t += "Telefone     : " + Decoded(paf, "DSTELEFONEDRU") + LF;
  t += "Resp.T\xE9" "cnico: " + Decoded(paf, "NMRESPONSIST") + LF + LF;
  t += kIdentificacao + " PAF-ECF: " + LF;
  t += "Nome Comercial: " + Decoded(paf, "DSNOMECOMERCIAL") + LF;
  t += "Vers\xE3o        : " + Decoded(paf, "DSVERSAOKALVORA") + LF + LF;
  t += "Principal Exe : " + Decoded(paf, "NMEXEKALVORA") + LF;
  // Without the checksum list the line stays, with no checksum: it never
  // shows what an earlier report left in the dataset.
  std::string md5Principal;
  if (rtl::FileExists(ChecksumList())) {
    md5.LoadFromFile(ChecksumList());
    md5.First();
    md5Principal = md5.FieldByName("NUMEROMD5").AsString();
  }
  return t + "MD5           : " + md5Principal + LF + LF;
}

std::string Checksums(rtl::ClientDataSet& md5, rtl::ClientDataSet& ecfs) {
  std::string t;
  if (rtl::FileExists(ConfigFile())) {
    md5.LoadFromFile(ConfigFile());
    t += "Arquivo Texto : ARQUIVOSKVXMD5.TXT" + LF;
    t += "MD-5          : " + Decoded(md5, "MD5ARQUIVOTXT") + LF + LF;
  }
  if (rtl::FileExists(ChecksumList())) {
    md5.LoadFromFile(ChecksumList());
    t += "Rela\xE7\xE3o de Arquivos" + LF + std::string(48, '-') + LF + LF;
    for (md5.First(); !md5.Eof(); md5.Next())
      t.append("Arquivo: ").append(md5.FieldByName("DSARQUIVO").AsString()).append(LF).append("MD5    : ")
          .append(md5.FieldByName("NUMEROMD5").AsString()).append(LF).append(LF);
  }
  t += "Versao ER PAF-ECF: 02.06" + LF + LF + LF;
  if (!ecfs.IsEmpty()) {
    t += LF + "Rela\xE7\xE3o de Ecf's" + LF + LF;
    for (ecfs.First(); !ecfs.Eof(); ecfs.Next()) t += ecfs.FieldByName("NRSERIEIMPRPERS").AsString() + LF;
  }
  return t + LF;
}

}  // namespace

void ImprimeDadosPaf(const rtl::Variant& arParams, rtl::Variant& oleRetorno) {
  std::string stEsquemaCor;
  DocumentGuard doc;
  bool aberto = false;
  try {
    stEsquemaCor = arParams[2].AsString();
    TdtmElgin01100& dm = DataModule();
    LoadedDataset paf(dm.cdsDadosPaf, arParams[3]);
    LoadedDataset ecfs(dm.cdsBuscaNrSerieEcf, arParams[4]);
    LoadedDataset md5(dm.cdsArquivosKvxMd5);  // the checksum files are loaded into it below
    ReportOpening("");
    aberto = true;
    // Each text in pieces the printer takes, cut at line ends: a long list
    // of files or printers goes on in the next piece.
    ReportBlock(Identification(dm.cdsDadosPaf, dm.cdsArquivosKvxMd5));
    ReportBlock(Checksums(dm.cdsArquivosKvxMd5, dm.cdsBuscaNrSerieEcf));
  } catch (const std::exception& e) {
    Notice(e.what(), hostlib::tmAviso, stEsquemaCor);
  }
  // Closed also after an error, as the contract says; the guard closes what
  // this close did not.
  if (aberto) FechRelatGerenc(stEsquemaCor, true, false);
}

}  // namespace Qor01100
