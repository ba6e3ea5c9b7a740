// Closing what an operation opened (see document_guard.h).
#include "driver/document_guard.h"

#include <string>

#include "driver/command.h"
#include "driver/frame.h"
#include "driver/printer_record.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {

namespace {

// What the channels told. The module runs on the host's thread, one
// operation at a time.
struct Tracker {
  std::uint64_t openings = 0;  // commands sent that open a document or print into one
  std::uint64_t refusals = 0;  // text blocks the printer did not take
  bool mayBeOpen = false;      // such a command since the last close the printer took
};

Tracker& Track() {
  static Tracker t;
  return t;
}

std::string Named(record::OpenDocument d) {
  return rtl::Utf8ToCp1252(d == record::OpenDocument::Report ? "Relatório gerencial" : "Comprovante não fiscal vinculado");
}

}  // namespace

namespace document {

void Used() {
  ++Track().openings;
  Track().mayBeOpen = true;
}

void TextRefused() { ++Track().refusals; }

bool Close(bool boMsg, bool boFechaCupom, bool keepCode) {
  const bool ok = Send(Call("Elgin_FechaRelatorioGerencial", Elgin_FechaRelatorioGerencial)
                           .Show(boMsg)
                           .CancelOpenCoupon(boFechaCupom)
                           .KeepInRetorno(keepCode));
  if (ok) Track().mayBeOpen = false;
  return ok;
}

bool CloseLeftOpen(const std::string& why) {
  const std::optional<record::OpenDocument> open = record::NonFiscalDocument();
  if (!open) return false;
  if (*open == record::OpenDocument::None) {
    Track().mayBeOpen = false;
    return false;
  }
  ImpFisDebug(Named(*open) + rtl::Utf8ToCp1252(" aberto na impressora: fechado ") + why);
  Close(boNUtilTaa, false, false);
  return true;
}

}  // namespace document

DocumentGuard::DocumentGuard() : openings_(Track().openings), refusals_(Track().refusals) {}

DocumentGuard::~DocumentGuard() {
  if (Track().openings == openings_ || !Track().mayBeOpen) return;
  try {
    // When the printer cannot tell, the close goes anyway: with nothing
    // open it is refused and changes nothing.
    if (!record::NonFiscalDocument()) {
      ImpFisDebug(rtl::Utf8ToCp1252("Documento não fiscal talvez aberto ao fim da operação: fechamento enviado"));
      document::Close(boNUtilTaa, false, false);
      return;
    }
    document::CloseLeftOpen(rtl::Utf8ToCp1252("ao fim da operação que o abriu"));
  } catch (...) {
    // A guard never throws: the operation's own answer or error goes to the host.
  }
}

bool DocumentGuard::TextPrinted() const { return Track().refusals == refusals_; }

}  // namespace Qor01100
