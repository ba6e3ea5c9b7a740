// Fiscal-memory readings over a range of dates or of reduction numbers:
// printed by the printer, or sent by it to the vendor library's file and
// copied from there, dated and named, into the fiscal-menu folder.
#include <exception>
#include <string>

#include "driver/command.h"
#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "driver/printer_record.h"
#include "fiscal/fiscal_menu.h"
#include "fiscal/operations.h"
#include "hostlib/dialogs.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/text.h"
#include "session/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {

namespace {

// The reading's command; its trace names the entry point, the range and the
// flag, then the printer's return code.
template <class F>
Command Reading(const std::string& name, F* const& entry, const std::string& inicial, const std::string& final,
                const std::string& flag) {
  Command c = Call(name, entry, inicial, final, flag);
  const std::string trace = name + " :  - " + inicial + " - " + final + " - " + flag + "\r\nRetorno da Impressora : ";
  c.TraceWith([trace] { return trace + rtl::IntToStr(inRetorno); });
  return c;
}

Command Printed(const std::string& inicial, const std::string& final, const std::string& flag,
                const std::string& tipo) {
  // "DATA" exactly: any other text, "Data" included, is a range of reduction numbers.
  if (tipo == "DATA")
    return Reading("Elgin_LeituraMemoriaFiscalData", Elgin_LeituraMemoriaFiscalData, inicial, final, flag);
  return Reading("Elgin_LeituraMemoriaFiscalReducao", Elgin_LeituraMemoriaFiscalReducao, inicial, final, flag);
}

Command ToFile(const std::string& inicial, const std::string& final, const std::string& flag,
               const std::string& tipo) {
  if (tipo == "DATA")
    return Reading("Elgin_LeituraMemoriaFiscalSerialData", Elgin_LeituraMemoriaFiscalSerialData, inicial, final, flag);
  return Reading("Elgin_LeituraMemoriaFiscalSerialReducao", Elgin_LeituraMemoriaFiscalSerialReducao, inicial, final,
                 flag);
}

// The vendor's reading file, removed before each reading: a reading the
// printer accepts without the library writing a new file then finds none,
// instead of the previous reading. 0, or the system's error number when an
// old file could not be removed (it must then not be taken for the new one).
int RemoveOldReading(const std::string& pasta) {
  const std::string arquivo = pasta + "IMPRESSAO.txt";
  int erro = 0;
  if (!rtl::FileExists(arquivo) || rtl::DeleteFile(arquivo, erro)) return 0;
  DebugLog("ERRO!!! EmiteLeituraMemoriaFiscalSerial: " + arquivo + " (Erro - " + rtl::IntToStr(erro) + ")");
  return erro;
}

void CopyFailed(int erro, const std::string& stEsquemaCor) {
  Notice("Erro ao gerar arquivo de mem\xF3ria fiscal. (Erro - " + rtl::IntToStr(erro) + ")", hostlib::tmAviso,
         stEsquemaCor);
}

// Copies the vendor's reading file into the fiscal-menu folder under its
// dated name, signs it when the range was by date, and tells the operator.
// The copy is written beside its name and renamed: a full disk leaves no
// empty or partial file, and the success notice follows only a whole copy.
void CopyReading(const std::string& pasta, const std::string& flag, const std::string& tipo,
                 const std::string& stEsquemaCor) {
  // The stamp has minutes without a leading zero (ddmmyyyyhhmss).
  const std::string nome = FiscalMenuFolder() + (flag == "C" ? "LMFC_" : "LMFS_") +
                           rtl::FormatDateTime("ddmmyyyyhhmss", rtl::Now()) + ".txt";
  int erro = 0;
  if (rtl::CopyFileAtomic(pasta + "IMPRESSAO.txt", nome, erro)) {
    if (tipo == "DATA") geraEad(nome);
    // "memória" in code page 1252.
    Notice("Leitura de mem\xF3ria fiscal gerada com sucesso no diret\xF3rio: " + nome, hostlib::tmInformacao,
           stEsquemaCor);
  } else {
    CopyFailed(erro, stEsquemaCor);
  }
}

}  // namespace

bool EmiteLeituraMemoriaFiscal(const std::string& stEsquemaCor, const std::string& stparamInicial,
                               const std::string& stparamFinal, const std::string& stFlagLeitura,
                               const std::string& idtipoLeitura, const std::string& stNrSerie) {
  try {
    // A printed reading is a document of the printer: sent once, a lost
    // answer decided by the document number, recorded once the printer holds it.
    Step leitura(Printed(stparamInicial, stparamFinal, stFlagLeitura, idtipoLeitura).Probe(record::DocumentNumber));
    const bool ok = leitura.Run();
    if (leitura.Registered()) GravaDocumentosNaoFiscais(stNrSerie, stEsquemaCor, "MF", "");
    return ok;
  } catch (const std::exception&) {
    return false;
  }
}

bool EmiteLeituraMemoriaFiscalSerial(const rtl::Variant& arParams, rtl::Variant& oleRetorno) {
  try {
    const std::string stEsquemaCor = arParams[0].AsString();
    const std::string inicial = arParams[1].AsString(), final = arParams[2].AsString();
    const std::string flag = arParams[3].AsString(), tipo = arParams[4].AsString();
    // The library's folder is known before the reading, so that its old file goes first.
    const std::string pasta = retornaPathElgin();
    const int stale = pasta == "ARQ_N_ENC" ? 0 : RemoveOldReading(pasta);
    if (!Send(ToFile(inicial, final, flag, tipo))) return false;
    if (pasta == "ARQ_N_ENC") {
      // "configuração" and "não" in code page 1252.
      Notice("Arquivo de configura\xE7\xE3o da Elgin n\xE3o encontrado (ELGIN.INI).", hostlib::tmAviso, stEsquemaCor);
      return false;
    }
    if (stale != 0)
      CopyFailed(stale, stEsquemaCor);
    else
      CopyReading(pasta, flag, tipo, stEsquemaCor);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace Qor01100
