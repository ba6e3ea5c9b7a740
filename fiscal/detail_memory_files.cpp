// Files drawn from the printer's memories for the host's fiscal menu: the
// mirror of the detail memory and the official file made from the memory
// image, both written into the fiscal-menu folder.
//
// The intermediate files ("download.txt", "memorias.tdm") lie in the
// printer library's folder and are removed before they are written again,
// so a step that fails can never hand an earlier run's data to the next
// step as if it were this run's.
#include <string>

#include "driver/command.h"
#include "driver/frame.h"
#include "fiscal/fiscal_menu.h"
#include "fiscal/operations.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/text.h"
#include "session/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

const std::string kSemIni = rtl::Utf8ToCp1252("ARQUIVO DE CONFIGURACAO DA ELGIN NÃO ENCONTRADO (ELGIN.INI).");
const std::string kErroDownload = rtl::Utf8ToCp1252("ERRO AO REALIZAR DOWNLOAD DA MEMÓRIA MFD.");
const std::string kEspelhoGerado =
    rtl::Utf8ToCp1252("ARQUIVO ESPELHO DE MEMORIA DE FITA DETALHE GERADO COM SUCESSO NO DIRETÓRIO: ");
const std::string kErroEspelho = rtl::Utf8ToCp1252("ERRO AO REALIZAR GERAÇÃO DO ESPELHO MFD.");
const std::string kNaoGerado = rtl::Utf8ToCp1252("Não foi possível gerar o arquivo.");
const std::string kSomenteData = "Favor utilizar somente data para a impressora Elgin";

// What each further library's loading tells the operator.
struct LoadTexts {
  std::string missing, failed;
};
const LoadTexts kLeituraTexts = {rtl::Utf8ToCp1252("Leitura.dll não encontrada."), "Erro de carga da Leitura.dll."};
const LoadTexts kAtoTexts = {rtl::Utf8ToCp1252("Ato17.dll não encontrada."), "Erro de carga da Ato17.dll."};

void Warn(const std::string& text, const std::string& scheme = "") { Notice(text, hostlib::tmAviso, scheme); }

// A file command of the printer library, logged as its name, its arguments
// separated by " - " and the printer's return code.
template <class F, class... A>
Command FileCommand(const std::string& name, F* const& entry, const A&... args) {
  std::string desc = name + " :";
  const char* sep = " ";
  ((desc += sep + std::string(args), sep = " - "), ...);
  return Call("", entry, args...).TraceWith([desc] { return Trace(desc, rtl::IntToStr(inRetorno)); });
}

// Loads a further library; false (after the operator's message) when the
// file cannot be made without it. An error raised while loading is shown and
// the run goes on.
bool Load(FurtherLibrary (*bind)(), const LoadTexts& texts) {
  try {
    switch (bind()) {
      case FurtherLibrary::Bound:
        return true;
      case FurtherLibrary::NoLibrary:
        Warn(texts.missing);
        return false;
      case FurtherLibrary::NoEntryPoint:
        Warn(kNaoGerado);
        return false;
    }
  } catch (...) {
    Warn(texts.failed);
  }
  return true;
}

// A short date of the host ("dd/mm/yyyy") as the generator wants it: "ddmmyy".
std::string GeneratorDate(const std::string& shortDate) {
  return rtl::FormatDateTime("ddmmyy", rtl::StrToDate(shortDate));
}

}  // namespace

bool geraEspelhoMfd(const rtl::Variant& arParams, rtl::Variant& oleRetorno) {
  const std::string stEsquemaCor = arParams[0].AsString();
  const std::string stparamInicial = arParams[6].AsString();
  const std::string stparamFinal = arParams[7].AsString();
  const std::string stTipoGeracao = arParams[8].AsString();

  const std::string pasta = retornaPathElgin();
  if (pasta == "ARQ_N_ENC") {
    Warn(kSemIni, stEsquemaCor);
    return false;
  }
  // The user number is needed by a range of coupon numbers only.
  const std::string usuario = stTipoGeracao == "2" ? "1" : "";
  const std::string download = pasta + "download.txt";
  rtl::DeleteFile(download);
  if (!Send(FileCommand("Elgin_DownloadMFD", Elgin_DownloadMFD, download, stTipoGeracao, stparamInicial,
                        stparamFinal, usuario)
                .Show(true)))
    Warn(kErroDownload, stEsquemaCor);  // the conversion below then finds no download and says so

  const std::string espelho =
      FiscalMenuFolder() + "Espelho_MFD_" + rtl::FormatDateTime("ddmmyyyyhhnnss", rtl::Now()) + ".txt";
  const bool ok = Send(FileCommand("Elgin_FormatoDadosMFD", Elgin_FormatoDadosMFD, download, espelho,
                                   std::string("0"), stTipoGeracao, stparamInicial, stparamFinal, std::string("1"))
                           .Show(true));
  if (ok)
    Notice(kEspelhoGerado + espelho, hostlib::tmInformacao, stEsquemaCor);
  else
    Warn(kErroEspelho, stEsquemaCor);
  return ok;
}

bool Gera_ArquivoMFD(const rtl::Variant& arParams, rtl::Variant& oleRetorno) {
  const std::string stTipoDownload = arParams[0].AsString();
  const std::string stDadoInicial = arParams[1].AsString();
  const std::string stDadoFinal = arParams[2].AsString();
  const std::string stTipoGera = arParams[3].AsString();
  const std::string stNumSerie = arParams[4].AsString();
  const std::string usuario = stTipoDownload == "D" ? "" : "01";

  if (!Load(BindLeitura, kLeituraTexts) || !Load(BindAto17, kAtoTexts)) return false;

  // The memory image is read from the printer into the library's folder.
  const std::string imagem = retornaPathElgin() + "memorias.tdm";
  rtl::DeleteFile(imagem);
  CallOnly(Call("", DLLReadDefineBaudRate, 115200).KeepInRetorno(false));
  CallOnly(Call("", DLLReadLeMemorias, retornaPortaElgin(), imagem, stNumSerie, 1).KeepInRetorno(false));

  std::string inicio, fim;
  if (stTipoDownload == "D") {
    inicio = GeneratorDate(stDadoInicial);
    fim = GeneratorDate(stDadoFinal);
  }
  // The serial number comes from the host: it names a file of the fiscal
  // menu's folder or nothing at all.
  const std::string nome = stTipoGera == "MFD" ? stNumSerie + "_" + inicio + "_" + fim + ".txt" : "AtoCotepe.txt";
  if (!IsPlainFileName(nome)) {
    Warn(kNaoGerado);
    return false;
  }
  if (stTipoDownload == "C") {
    Notice(kSomenteData, hostlib::tmInformacao, "");
    return false;
  }
  // The converter answers 0 when it wrote the file; a converter that throws did not.
  return CallOnly(Call("", DLLATO17GeraArquivo, imagem, FiscalMenuFolder() + nome, inicio, fim, 'D', usuario, "MF")
                      .OnThrow(-1)) == 0;
}

}  // namespace Qor01100
