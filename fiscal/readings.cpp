// The X reading, the Z reduction and the printed fiscal-memory readings.
//
// Each is a document of the printer (it takes the next COO), so each is sent
// once: a lost answer is decided by the printer's document number. The X
// reading and the Z reduction are recorded in the host's register of
// documents whenever the printer holds them, even when a status error (paper
// running out, say) makes the verdict false: the document was printed.
#include <string>

#include "coupon/operations.h"
#include "driver/command.h"
#include "driver/frame.h"
#include "driver/printer_record.h"
#include "fiscal/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

// Sends a reading or reduction with the operator's dialogs and records it as
// `tipo` in the register once the printer holds it; the analysis' verdict.
bool Document(Command c, const std::string& stNrSerie, const std::string& stEsquemaCor, const char* tipo) {
  Step step(std::move(c.Show(true).Probe(record::DocumentNumber)));
  const bool ok = step.Run();
  if (step.Registered()) GravaDocumentosNaoFiscais(stNrSerie, stEsquemaCor, tipo, "");
  return ok;
}

}  // namespace

bool Leitura_X_Imp(const std::string& stNrSerie, const std::string& stIgnorado, const std::string& stEsquemaCor,
                   const std::string& Vinc) {
  return Document(Call("Elgin_LeituraX", Elgin_LeituraX), stNrSerie, stEsquemaCor, "LX");
}

bool Reducao_Z_Imp(const std::string& stNrSerie, const std::string& stIgnorado, const std::string& stEsquemaCor,
                   const std::string& Vinc) {
  // The printer's own date, time and movement date; their codes are kept
  // but not analysed (blanks stand for what the printer did not answer).
  std::string data, hora, movimento;
  CallOnly(Call("", Elgin_DataHoraImpressora, Into(data), Into(hora)));
  CallOnly(Call("", Elgin_DataMovimento, Into(movimento)));
  return Document(Call("Elgin_ReducaoZ", Elgin_ReducaoZ, Answer(movimento), Answer(hora)), stNrSerie, stEsquemaCor,
                  "RZ");
}

bool Memoria_Fiscal_Imp(const std::string& stIgnorado, const std::string& stTipMemo, const std::string& stParam1,
                        const std::string& stParam2, const std::string& stParam3) {
  Command leitura;
  if (stTipMemo == "D")
    leitura = Call("Elgin_LeituraMemoriaFiscalData : " + stParam1 + " - " + stParam2, Elgin_LeituraMemoriaFiscalData,
                   stParam1, stParam2, stParam3);
  else if (stTipMemo == "R")
    leitura = Call("Elgin_LeituraMemoriaFiscalReducao : " + stParam1 + " - " + stParam2,
                   Elgin_LeituraMemoriaFiscalReducao, stParam1, stParam2, stParam3);
  else
    return false;
  return Step(leitura.Show(true).Probe(record::DocumentNumber)).Run();
}

}  // namespace Qor01100
