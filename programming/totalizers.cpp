// The printer's non-fiscal totalizers: found by name in the printer's list,
// named where missing, their two-digit indices kept for the operations
// that register supply, withdrawals, vouchers and credit movements.
#include "driver/command.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "hostlib/dialogs.h"
#include "platform/errors.h"
#include "platform/text.h"
#include "programming/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

// The printer's list holds entries of 20 characters: a name of 19
// characters padded with blanks, then a separator.
constexpr int kEntry = 20;
constexpr int kName = 19;

std::string NameOf(const std::string& text) { return rtl::Trim(rtl::Copy(text, 1, kName)); }

// Names a new totalizer at position i and takes i as its index.
void Name(int& i, std::string& index, const std::string& text) {
  index = TwoDigit(i);
  // A refusal does not stop the others.
  Send(Call("Elgin_NomeiaTotalizadorNaoSujeitoIcms : " + rtl::IntToStr(i) + " - " + text,
            Elgin_NomeiaTotalizadorNaoSujeitoIcms, i, text));
  ++i;
}

}  // namespace

void CarregaTotalizador(std::string& stTotCV, std::string& stTotCred, std::string& stTotCompCred,
                        std::string& stTotCancCred, std::string& stTotRelatorio, const std::string& stEsquemaCor,
                        int32_t idTipoImpFis, rtl::ClientDataSet* cdsRecebimento) {
  TdtmElgin01100& dm = DataModule();
  dm.IdTotRelatorio.clear();
  // Every 20 characters of the buffer count as one position, so the buffer
  // must hold the printer's answer alone: whatever an earlier call left in
  // stRetorno is discarded, not parsed as totalizers.
  Send(Query("Elgin_VerificaTotalizadoresNaoFiscais", Elgin_VerificaTotalizadoresNaoFiscais, stRetorno));

  std::string supply, withdrawal;
  stTotCV.clear();
  stTotCred.clear();
  stTotCompCred.clear();
  stTotCancCred.clear();

  struct Wanted {
    const char* key;
    std::string* index;
  };
  const Wanted wanted[] = {
      {"Suprimento", &supply},         {"Sangria", &withdrawal},       {"CV-EMITIDO", &stTotCV},
      {"VENDA-CONS", &stTotCred},      {"Compra-Cred", &stTotCompCred}, {"RELATORIO", &dm.IdTotRelatorio},
      {"Canc-Cred", &stTotCancCred},
  };

  int i = 0;
  while (!stRetorno.empty()) {
    try {
      const std::string entry = NameOf(stRetorno);
      for (const Wanted& w : wanted)
        if (entry == NameOf(Msg(w.key))) *w.index = TwoDigit(i);
    } catch (const rtl::Exception&) {
      Notice(Msg("ComandoNExec"), hostlib::tmAviso, stEsquemaCor);
    }
    ++i;
    rtl::Delete(stRetorno, 1, kEntry);
  }

  // The missing ones are named after the last position of the list.
  if (supply.empty()) Name(i, supply, Msg("Suprimento"));
  if (withdrawal.empty()) Name(i, withdrawal, Msg("Sangria"));
  if (stTotCV.empty()) Name(i, stTotCV, Msg("CV-EMITIDO"));
  if (stTotCompCred.empty()) Name(i, stTotCompCred, Msg("Compra-Cred"));
  if (dm.IdTotRelatorio.empty()) Name(i, dm.IdTotRelatorio, Msg("Relatorio"));
  if (stTotCred.empty()) Name(i, stTotCred, Msg("VENDA-CONS"));
  if (stTotCancCred.empty()) Name(i, stTotCancCred, Msg("Canc-Cred"));

  IdTotParcCV = stTotCV;
  IdTotParcVCons = stTotCred;
  dm.IdTotCompCred = stTotCompCred;
  dm.IdTotCancCred = stTotCancCred;
}

bool Nomeia_TotParcial(const std::string& stParam1, const std::string& stParam2, const std::string& stParam3,
                       const std::string& stParam4, bool boParam1, bool boParam2) {
  return true;
}

bool VerificaTotalizador() { return !rtl::Trim(DataModule().IdTotCompCred).empty(); }

}  // namespace Qor01100

