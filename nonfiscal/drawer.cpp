// The printer's peripherals and readiness: cash drawer, paper cutter and
// the status check the coupon operations run before they print.
#include "nonfiscal/operations.h"

#include "driver/command.h"
#include "driver/frame.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {

bool Abre_Gaveta_Imp(const std::string& stIgnorado, bool boParam1) {
  return Send(Call("Elgin_AcionaGaveta", Elgin_AcionaGaveta).Show(true));
}

std::string Estado_Gaveta_Imp(const std::string& stIgnorado) {
  // The library writes the drawer state straight into inRetorno; the
  // call's own code is only analysed.
  const bool ok = Send(Call("", Elgin_VerificaEstadoGaveta, &inRetorno)
                           .KeepInRetorno(false)
                           .TraceWith([] { return "Elgin_VerificaEstadoGaveta: " + rtl::IntToStr(inRetorno); })
                           .Show(true));
  if (!ok) return "";
  return inRetorno == 0 ? "00" : "01";
}

bool Aciona_Guilhotina() {
  return Send(Call("Elgin_AcionaGuilhotinaMFD", Elgin_AcionaGuilhotinaMFD, 1));
}

bool Estado_Imp(const std::string& stEsquemaCor, bool boParam1, bool boParam2) {
  bool result = false;
  try {
    int ack = 0, st1 = 0, st2 = 0;
    result = Send(Call("", Elgin_VerificaEstadoImpressora, &ack, &st1, &st2).Show(boNUtilTaa));
  } catch (...) {
    // Whatever went wrong (the library or the log failing), the printer
    // is not ready; the check itself never raises.
    result = false;
  }
  boClieUtil = result;
  return result;
}

}  // namespace Qor01100

