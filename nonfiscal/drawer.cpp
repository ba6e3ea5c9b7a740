// The printer's peripherals and readiness: cash drawer, paper cutter and
// the status check the coupon operations run before they print.
#include "nonfiscal/drawer.h"

#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {

bool Abre_Gaveta_Imp(const std::string& stIgnorado, bool boParam1) {
  inRetorno = Vendor(Elgin_AcionaGaveta);
  stImpDebug = "Elgin_AcionaGaveta";
  return AnalisaRetorno(inRetorno, true, false, false);
}

std::string Estado_Gaveta_Imp(const std::string& stIgnorado) {
  // The library writes the drawer state straight into inRetorno; the
  // call's own code is only analysed.
  const int code = Vendor(Elgin_VerificaEstadoGaveta, &inRetorno);
  const int state = inRetorno;
  stImpDebug = "Elgin_VerificaEstadoGaveta: " + rtl::IntToStr(state);
  if (!AnalisaRetorno(code, true, false, false)) return "";
  return state == 0 ? "00" : "01";
}

bool Aciona_Guilhotina() {
  inRetorno = Vendor(Elgin_AcionaGuilhotinaMFD, 1);
  stImpDebug = "Elgin_AcionaGuilhotinaMFD";
  return AnalisaRetorno(inRetorno, false, false, false);
}

bool Estado_Imp(const std::string& stEsquemaCor, bool boParam1, bool boParam2) {
  bool result = false;
  try {
    int ack = 0, st1 = 0, st2 = 0;
    inRetorno = Vendor(Elgin_VerificaEstadoImpressora, &ack, &st1, &st2);
    result = AnalisaRetorno(inRetorno, boNUtilTaa, false, false);
  } catch (...) {
    // Whatever went wrong (the library or the log failing), the printer
    // is not ready; the check itself never raises.
    result = false;
  }
  boClieUtil = result;
  return result;
}

}  // namespace Qor01100

QOR_PLAIN(bool, Estado_Imp, (const std::string& stEsquemaCor, bool boParam1, bool boParam2),
          (stEsquemaCor, boParam1, boParam2))
QOR_PLAIN(bool, Abre_Gaveta_Imp, (const std::string& stIgnorado, bool boParam1), (stIgnorado, boParam1))
QOR_PLAIN(std::string, Estado_Gaveta_Imp, (const std::string& stIgnorado), (stIgnorado))
QOR_PLAIN(bool, Aciona_Guilhotina, (), ())
