// The host's register of printed non-fiscal documents: each document is
// recorded with the printer's counters that identify it.
#include <exception>

#include "coupon/operations.h"
#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "fiscal/operations.h"
#include "hostlib/records.h"
#include "platform/datetime.h"

namespace Qor01100 {

namespace {

bool Among(const std::string& type, std::initializer_list<const char*> types) {
  for (const char* t : types)
    if (type == t) return true;
  return false;
}

}  // namespace

void GravaDocumentosNaoFiscais(const std::string& stNrSerie, const std::string& stEsquemaCor,
                               const std::string& stTipoDocumento, const std::string& stNrVendaRest) {
  try {
    // Counters of the document: the non-fiscal operations (GNF), the
    // operation order (COO), and by kind the management reports (GRG) or
    // the credit/debit vouchers (CDC). Those not read stay empty.
    std::string gnf, grg, cdc;
    if (!Among(stTipoDocumento, {"NC", "LX", "MF"})) NumeroOperacoesNaoFiscais("", gnf);
    const std::string coo = Nr_Cupom("", stEsquemaCor);
    if (Among(stTipoDocumento, {"CM", "RV", "RG"})) ContadorRelatoriosGerenciaisMFD("", grg);
    if (stTipoDocumento == "CC") ContadorComprovantesCreditoMFD("", cdc);
    const rtl::TDateTime movimento = rtl::StrToDate(rtl::DateTimeToStr(DataMoviFiscal(stEsquemaCor)));
    std::string why;
    if (!hostlib::setDocNaoFiscaisECF(stNrSerie, coo, gnf, grg, cdc, stTipoDocumento, stNrVendaRest, rtl::Now(),
                                      movimento, "", &why))
      // "não" in code page 1252.
      ReportFailure("Documento n\xE3o fiscal " + stTipoDocumento + " (COO " + coo +
                    ") n\xE3o gravado no registro do host: " + why);
  } catch (const std::exception& e) {
    // The register never fails the document that was printed.
    DebugLog(std::string("ERRO!!! GravaDocumentosNaoFiscais: ") + e.what());
    Notice(e.what(), hostlib::tmAviso, stEsquemaCor);
  } catch (...) {
    Notice(Msg("ComandoNExec"), hostlib::tmAviso, stEsquemaCor);
  }
}

}  // namespace Qor01100
