// The status analysis that ends every printer command: the vendor's return
// code and the printer's status bytes become log lines, operator messages
// and one verdict.
#include "driver/frame.h"
#include "driver/status_tables.h"
#include "hostlib/dialogs.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

void ShowNotice(const std::string& text, const char* scheme) {
  hostlib::Mensagem(text, "", "N", "N", hostlib::tmInformacao, "", scheme, 0, nullptr);
}

// An error entry: log, collect for the host, show when asked, fail.
void ReportError(const std::string& text, bool boMsg, const char* scheme, bool& result) {
  ImpFisDebug("ERRO!!! " + text);
  stMensagemTaa += " " + text;
  if (boMsg) ShowNotice(text, scheme);
  result = false;
}

// Decodes a status byte by subtracting each weight it reaches, highest first
// (for a byte, a test of bits 7 to 0).
template <size_t N>
void DecodeByte(int value, const status::StatusBit (&table)[N], bool boMsg, bool boFechaCupom,
                bool boAbreCupom, bool& result) {
  for (const status::StatusBit& bit : table) {
    if (value < bit.weight) continue;
    value -= bit.weight;
    const std::string text = Msg(bit.key);
    switch (bit.handling) {
      case status::BitHandling::Error:
        ReportError(text, boMsg, "", result);
        break;
      case status::BitHandling::LowPaper:
        ImpFisDebug("ERRO!!! " + text);
        if (boMsg && boAbreCupom) ShowNotice(text, "");
        break;
      case status::BitHandling::CouponOpen:
        ImpFisDebug("ERRO!!! " + text);
        if (boFechaCupom) {
          inRetorno = Elgin_CancelaCupom != nullptr ? Elgin_CancelaCupom() : 0;
          AnalisaRetorno(inRetorno, false, false, false);
        }
        break;
    }
  }
}

}  // namespace

bool AnalisaRetorno(int inRetorno, bool boMsg, bool boFechaCupom, bool boAbreCupom) {
  bool result = true;
  ImpFisDebug(stImpDebug);
  stImpDebug.clear();

  for (const status::ReturnCodeEntry& e : status::kReturnCodes) {
    if (e.code == inRetorno) {
      ReportError(Msg(e.key), boMsg, e.scheme, result);
      break;
    }
  }

  // The status is always queried, so a command whose code already failed
  // also reports the printer's own status errors. An unbound status entry
  // (driver not started) counts as a failed query instead of a crash.
  int ack = 0, st1 = 0, st2 = 0;
  const int rc = Elgin_VerificaEstadoImpressora != nullptr ? Elgin_VerificaEstadoImpressora(&ack, &st1, &st2) : 0;
  if (rc != 1 || ack == status::kNak) {
    ImpFisDebug(rc != 1 ? "ERRO!!! Ret recebido" : "ERRO!!! NAK recebido");
    const std::string text = Msg("ImpErro");
    stMensagemTaa += " " + text;
    if (boMsg) ShowNotice(text, "");
    return false;
  }
  DecodeByte(st1, status::kStatus1, boMsg, boFechaCupom, boAbreCupom, result);
  DecodeByte(st2, status::kStatus2, boMsg, boFechaCupom, boAbreCupom, result);
  return result;
}

}  // namespace Qor01100
