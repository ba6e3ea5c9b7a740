// The two printing channels of every non-fiscal document: the management
// report (opened by a first call with an empty text, filled with text
// blocks, closed) and the voucher linked to a payment of the last coupon or
// receipt (opened against the payment, filled, closed with the same call
// that closes a report). What they send is told to the operation's
// DocumentGuard (driver/document_guard.h), so that a document an operation
// opened is closed on every way out.
#include "coupon/operations.h"
#include "driver/command.h"
#include "driver/document_guard.h"
#include "driver/frame.h"
#include "driver/printer_record.h"
#include "fiscal/operations.h"
#include "hostlib/records.h"
#include "nonfiscal/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {

bool Relatorio_Gerencial_Imp(const std::string& stEsquemaCor, const std::string& stCdFilial,
                             const std::string& stCdCaixa, const std::string& stTexto, const std::string& stIncCer) {
  Command c = Call("Elgin_RelatorioGerencial", Elgin_RelatorioGerencial, RemoveAcentos(stTexto)).Show(boNUtilTaa);
  // The opening call (no text) starts a document: when its answer is lost,
  // the document number tells whether the report is open. A text opens one
  // too when none is open.
  document::Used();
  const bool ok = stTexto.empty() ? Step(c.Probe(record::DocumentNumber)).Run() : Send(c);
  if (!ok && !stTexto.empty()) document::TextRefused();
  // The report counter is recorded only once the printer has taken the text.
  if (ok && !stIncCer.empty()) {
    std::string why;
    // "relatórios" and "não" in code page 1252.
    if (!hostlib::GravaCER(stCdFilial, stCdCaixa, DataMoviFiscal(stEsquemaCor), &why))
      ReportFailure("Contador de relat\xF3rios gerenciais n\xE3o gravado no registro do host: " + why);
  }
  return ok;
}

bool FechRelatGerenc(const std::string& stIgnorado, bool boParam1, bool boParam2) {
  return document::Close(boParam1, boParam2);
}

bool Abre_Comp_NFiscalVinc(const std::string& stIgnorado, const std::string& stParam1, const std::string& stParam2,
                           const std::string& stParam3) {
  document::Used();
  return Step(Call("Elgin_AbreComprovanteNaoFiscalVinculado : " + stParam1 + " - " + " - ",
                   Elgin_AbreComprovanteNaoFiscalVinculado, stParam1, stParam2, stParam3)
                  .Show(true)
                  .Probe(record::DocumentNumber))
      .Run();
}

bool Usa_CompNFis(const std::string& stIgnorado, const std::string& stParam1) {
  document::Used();
  const bool ok = Send(Call("Elgin_UsaComprovanteNaoFiscalVinculado", Elgin_UsaComprovanteNaoFiscalVinculado, stParam1)
                           .Show(boNUtilTaa));
  if (!ok) document::TextRefused();
  return ok;
}

}  // namespace Qor01100
