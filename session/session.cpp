// The printer session: driver start, the port opening sequence (clock,
// power, a management report or linked voucher left open, a coupon left
// open), the status-only printer check, the printer's
// identification at cash opening, and the vendor library's "ELGIN.INI".
#include "session/operations.h"

#include <exception>

#include "driver/command.h"
#include "driver/frame.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/document_guard.h"
#include "driver/status_tables.h"
#include "driver/vendor_call.h"
#include "fiscal/clock.h"
#include "hostlib/consiste.h"
#include "hostlib/dialogs.h"
#include "hostlib/params.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/stringlist.h"
#include "platform/text.h"
#include "programming/grand_total.h"
#include "programming/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

// Cancels the coupon the printer or the host's sale files show as open and
// records the printer's grand total, without validating it. The record is
// marked as waiting first: should the process die after the cancellation,
// or the reading of the new total fail, the next check records the
// printer's total instead of comparing it with the old one.
void CancelOpenCoupon(const rtl::Variant& record, bool keepCode) {
  MarkGrandTotalPending(record);
  CallOnly(Call("Elgin_CancelaCupom", Elgin_CancelaCupom).KeepInRetorno(keepCode));
  Atu_TotGeral(record);
}

// The value of name in an INI file (first line whose name matches,
// sections ignored); "ARQ_N_ENC" when the file does not exist.
bool IniValue(const std::string& file, const char* name, std::string& value) {
  if (!rtl::FileExists(file)) return false;
  rtl::StringList lines;
  lines.SetText(rtl::ReadFileBytes(file));
  value = lines.Values(name);
  return true;
}

// "ELGIN.INI" in the host folder. dsDirCad is set by the grand-total
// check or by the host; before either, the host folder is asked directly,
// never the process's current folder.
std::string HostIni() { return (dsDirCad.empty() ? HostDirectory() : dsDirCad) + "ELGIN.INI"; }

std::string IniPath(const char* name) {
  std::string value;
  if (!IniValue(HostIni(), name, value)) return "ARQ_N_ENC";
  if (value.empty() || value.back() != '\\') value += "\\";
  return value;
}

}  // namespace

bool StartImpFiscal(rtl::Variant& Params) {
  try {
    // Only read here (the port opening reads its own keys): a missing or
    // unconvertible value is reported and the start goes on. The printer
    // type is read as the integer it is everywhere else in the host.
    Text(Params, "CDFILIAL");
    Text(Params, "CDCAIXA");
    Text(Params, "NRSERIEIMP");
    Text(Params, "ESQUEMA");
    Text(Params, "CDPORTAIMPFIS");
    hostlib::RecebeParams(Params, "IDTIPOIMPFIS").AsInteger();
    boNUtilTaa = !hostlib::RecebeParams(Params, "BOUTILTAA").AsBoolean();
  } catch (const std::exception& e) {
    Notice(rtl::Utf8ToCp1252("Erro no recebimento dos parâmetros da função: StartImpFiscal - Qor_00300.bpl") +
               "\r" + e.what(),
           hostlib::tmAviso, "001");
  }
  if (!BindElgin()) return false;
  if (!AbrePorta(Params)) return false;
  boImpFiscalOK = true;
  return true;
}

bool AbrePorta(const rtl::Variant& Params) {
  DataModule();
  const std::string filial = Text(Params, "CDFILIAL");
  const std::string caixa = Text(Params, "CDCAIXA");
  const std::string serie = Text(Params, "NRSERIE");
  const std::string esquemaCor = Text(Params, "ESQUEMACOR");
  const std::string porta = Text(Params, "CDPORTAIMPFIS");

  const Command abre = Call("", Elgin_AbrePortaSerial).Show(true);
  int code = CallOnly(abre);
  if (!Analyse(abre, code) || code == -5) code = 0;
  if (code == 0) {
    DebugLog("ERRO!!! Abrindo porta " + porta);
    Notice(Msg("ErroPorta"), hostlib::tmAviso, esquemaCor);
    return false;
  }

  rtl::TDateTime dtDate = 0;
  if (!VerificaData(esquemaCor, dtDate, "", "", true)) return false;  // it showed its own message

  if (CallOnly(Call("", Elgin_VerificaImpressoraLigada)) == -6) {
    DebugLog("ERRO!!! " + Msg("ImpDeslig"));
    Notice(Msg("ImpDeslig"), hostlib::tmAviso, esquemaCor);
    return false;
  }

  const std::string dir = HostDirectory();
  // A management report or linked voucher that the printer still holds (the
  // host died while printing it) would refuse every sale: closed and logged.
  // Before the coupon checks, so that a cancellation is not refused behind it.
  document::CloseLeftOpen(rtl::Utf8ToCp1252("na abertura da porta (documento deixado aberto por uma execução interrompida)"));
  int flags = 0;
  CallOnly(Call("", Elgin_FlagsFiscais, &flags));

  const rtl::Variant record = rtl::Variant::Record({{"CDFILIAL", filial},
                                                    {"CDCAIXA", caixa},
                                                    {"NRSERIEIMP", serie},
                                                    {"ESQUEMACOR", esquemaCor},
                                                    {"IDVALIDA", "N"}});
  // Fiscal flags 33 and 37, or the host's files of a sale in progress: a
  // coupon was left open by an interrupted sale.
  if (flags == 33 || flags == 37 || rtl::FileExists(dir + "cdsVenda.cds") ||
      rtl::FileExists(dir + "cdsItensCancelados.cds"))
    CancelOpenCoupon(record, true);

  int ack = 0, st1 = 0, st2 = 0;
  CallOnly(Call("", Elgin_VerificaEstadoImpressora, &ack, &st1, &st2).KeepInRetorno(false));
  if (st1 == 2) CancelOpenCoupon(record, false);  // coupon open and nothing else wrong
  return true;
}

bool FechaPorta() { return CallOnly(Call("", Elgin_FechaPortaSerial).KeepInRetorno(false)) == 1; }

bool ImpressoraOk(const std::string& stEsquemaCor, bool boMsg, bool boFechaCupom, bool boAbreCupom) {
  bool result = true;
  int ack = 0, st1 = 0, st2 = 0;
  // A query that does not answer 1 (printer off, port closed) says nothing
  // about the printer: not ready, as for a refused frame.
  const int code = CallOnly(Call("", Elgin_VerificaEstadoImpressora, &ack, &st1, &st2).KeepInRetorno(false));
  if (code != 1 || ack == status::kNak) {
    DebugLog(code != 1 ? "ERRO!!! Ret recebido" : "ERRO!!! NAK recebido");
    if (boMsg) Notice(Msg("ImpErro"), hostlib::tmInformacao, stEsquemaCor);
    return false;
  }
  // Unlike the status analysis, an error or low-paper bit is logged only
  // when it is also shown, and nothing is collected in stMensagemTaa.
  auto onBit = [&](const status::StatusBit& bit) {
    const std::string text = Msg(bit.key);
    switch (bit.handling) {
      case status::BitHandling::Error:
        if (boMsg) {
          DebugLog("ERRO!!! " + text);
          Notice(text, hostlib::tmInformacao, stEsquemaCor);
        }
        result = false;
        break;
      case status::BitHandling::LowPaper:
        if (boMsg && boAbreCupom) {
          DebugLog("ERRO!!! " + text);
          Notice(text, hostlib::tmInformacao, stEsquemaCor);
        }
        break;
      case status::BitHandling::CouponOpen:
        status::CancelCouponReportedOpen(text, boFechaCupom);
        break;
    }
  };
  status::DecodeStatus(st1, st2, onBit);
  return result;
}

bool Carrega_Dados_Impressora(rtl::Variant& Params) {
  std::string esquema, dataAtu, ecf, red, serie, dataMov;
  try {
    esquema = Text(Params, "ESQUEMA");
    dataAtu = Text(Params, "DATAATUIMP");
    ecf = Text(Params, "ECFIMP");
    red = Text(Params, "REDIMP");
    serie = Text(Params, "SERIEIMP");
    dataMov = Text(Params, "DATAIMP");
  } catch (const std::exception& e) {
    Notice(rtl::Utf8ToCp1252("Erro no recebimento dos parâmetros da função: Carrega_Dados_Impressora - "
                             "Qor_00100.bpl") +
               "\r" + e.what(),
           hostlib::tmAviso, "001");
  }
  bool result = true;

  // Movement date; "000000" means no movement yet: today, ddmmyy.
  Send(Query("Elgin_DataMovimento", Elgin_DataMovimento, dataMov));
  if (dataMov == "000000") dataMov = TodayDdMmYy();

  // Each further query runs only when the one before answered something;
  // a skipped query leaves the value the host passed.
  if (hostlib::EmptyString(dataMov)) {
    result = false;
  } else {
    std::string date, time;
    Send(Call("", Elgin_DataHoraImpressora, Into(date), Into(time)).TraceWith([&] {
      dataAtu = date + time;
      return "Elgin_DataHoraImpressora" + dataAtu + time;
    }));
  }

  if (hostlib::EmptyString(dataAtu)) {
    result = false;
  } else {
    Send(Query("Elgin_NumeroCaixa", Elgin_NumeroCaixa, ecf));
  }

  if (hostlib::EmptyString(ecf)) {
    result = false;
  } else {
    const Command leitura = Query("Elgin_NumeroSerie : ", Elgin_NumeroSerie, serie);
    const int code = CallOnly(leitura);
    Analyse(leitura, code);
    if (code == 1) result = true;
  }

  int indicators = 0;
  CallOnly(Call("", Elgin_LeIndicadores, &indicators));
  if (indicators == 14368) {
    // The day's Z reduction is already issued: the till cannot open today.
    Notice(Msg("REDZ_EMIT"), hostlib::tmInformacao, esquema);
    rtl::Terminate();
  }

  Params = rtl::Variant::Record(
      {{"DATAATUIMP", dataAtu}, {"ECFIMP", ecf}, {"REDIMP", red}, {"SERIEIMP", serie}, {"DATAIMP", dataMov}});
  return result;
}

std::string retornaPathElgin() { return IniPath("Path"); }

std::string retornaPathRFDElgin() { return IniPath("PathRFD"); }

std::string retornaPortaElgin() {
  std::string value;
  const std::string file = rtl::IncludeTrailingPathDelimiter(rtl::CurrentEnv()->SystemDirectory()) + "ELGIN.INI";
  return IniValue(file, "Porta", value) ? value : "ARQ_N_ENC";
}

}  // namespace Qor01100

