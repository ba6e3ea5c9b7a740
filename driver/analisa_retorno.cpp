// The status analysis that ends every printer command: the vendor's return
// code and the printer's status bytes become log lines, operator messages
// and one verdict.
#include "driver/command.h"
#include "driver/frame.h"
#include "driver/status_tables.h"
#include "driver/vendor_call.h"
#include "hostlib/dialogs.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

// An error entry: log, collect for the host, show when asked, fail.
void ReportError(const std::string& text, bool boMsg, const char* scheme, bool& result) {
  DebugLog("ERRO!!! " + text);
  stMensagemTaa += " " + text;
  if (boMsg) Notice(text, hostlib::tmInformacao, scheme);
  result = false;
}

// The status query; a library that throws counts as a query that failed.
int QueryStatus(int& ack, int& st1, int& st2) {
  try {
    return Vendor(Elgin_VerificaEstadoImpressora, &ack, &st1, &st2);
  } catch (...) {
    return 0;
  }
}

}  // namespace

// The cancellation's code is analysed but not stored: inRetorno keeps the
// code of the command whose status reported the coupon (a query that leaves
// inRetorno alone leaves it alone also when it cancels).
void status::CancelCouponReportedOpen(const std::string& text, bool boFechaCupom) {
  DebugLog("ERRO!!! " + text);
  if (boFechaCupom) Send(Call("", Elgin_CancelaCupom).KeepInRetorno(false));
}

status::Verdict status::Judge(int code, bool boMsg, bool boFechaCupom, bool boAbreCupom) {
  Verdict v;
  v.ok = true;
  DebugLog(stImpDebug);
  stImpDebug.clear();

  for (const ReturnCodeEntry& e : kReturnCodes) {
    if (e.code == code) {
      ReportError(Msg(e.key), boMsg, e.scheme, v.ok);
      break;
    }
  }

  // The status is always queried, so a command whose code already failed
  // also reports the printer's own status errors. An unbound status entry
  // (driver not started) counts as a failed query instead of a crash.
  int ack = 0, st1 = 0, st2 = 0;
  const int rc = QueryStatus(ack, st1, st2);
  v.status = {rc == 1 && ack != kNak, st1, st2};
  if (!v.status.answered) {
    DebugLog(rc != 1 ? "ERRO!!! Ret recebido" : "ERRO!!! NAK recebido");
    const std::string text = Msg("ImpErro");
    stMensagemTaa += " " + text;
    if (boMsg) Notice(text, hostlib::tmInformacao, "");
    v.ok = false;
    return v;
  }
  // Every error bit is also collected in stMensagemTaa; a low-paper bit is
  // logged always and shown only on the coupon opening.
  auto onBit = [&](const StatusBit& bit) {
    const std::string text = Msg(bit.key);
    switch (bit.handling) {
      case BitHandling::Error:
        ReportError(text, boMsg, "", v.ok);
        break;
      case BitHandling::LowPaper:
        DebugLog("ERRO!!! " + text);
        if (boMsg && boAbreCupom) Notice(text, hostlib::tmInformacao, "");
        break;
      case BitHandling::CouponOpen:
        CancelCouponReportedOpen(text, boFechaCupom);
        break;
    }
  };
  DecodeStatus(st1, st2, onBit);
  return v;
}

bool AnalisaRetorno(int inRetorno, bool boMsg, bool boFechaCupom, bool boAbreCupom) {
  return status::Judge(inRetorno, boMsg, boFechaCupom, boAbreCupom).ok;
}

}  // namespace Qor01100
