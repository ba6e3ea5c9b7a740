// A management report or linked voucher that an operation opens is closed
// on every way out of the operation: a refused line, a failed close, the
// operator's "no" to printing again, an exception from the host's data or
// from the vendor library. While one is open the printer refuses every
// other document, so a till left with it could not sell.
//
// The channels tell this file what they send (nonfiscal/channels.cpp and
// driver/report_text.h): a command that opens a document or prints into one
// (a report line opens a report when none is open), a close the printer
// took, a text block it did not take. An operation holds a
// `DocumentGuard` for its whole body:
//
//   bool Relatorio_Generico(...) {
//     DocumentGuard doc;
//     ...open, print, FechRelatGerenc(...) as the contract says...
//     return closed && doc.TextPrinted();
//   }
//
// The guard does nothing on a way out where the operation's own close was
// taken (the contract's call sequence stays as it is) or where the
// operation neither opened nor printed into a document. An operation that
// finishes a document the host opened (prints into it and closes it) holds
// a guard too: it closes that document on every way out. Otherwise, when it ends, it asks the printer
// whether a report or voucher is open (its indicators) and closes it, quietly
// for the host's return code (inRetorno is left as the operation left it);
// when the printer cannot say, it sends the close anyway (a close with
// nothing open is refused and changes nothing). Guards nest: an operation
// that calls another one's printing keeps its own guard.
#pragma once
#include <cstdint>
#include <string>

#include "driver/export.h"

namespace Qor01100 {

namespace document {

// A command that opens a management report or linked voucher, or prints
// into one (a report line opens a report when none is open), is being sent.
QOR_API void Used();
// The printer did not take a text block (its answer was not 1, or the
// status analysis of a voucher line refused it).
QOR_API void TextRefused();
// The one close of a management report or linked voucher:
// Elgin_FechaRelatorioGerencial through the command path, analysed with
// the flags given; its code goes to inRetorno unless `keepCode` is false.
QOR_API bool Close(bool boMsg, bool boFechaCupom, bool keepCode = true);
// Closes a report or voucher that the printer shows open, and logs it with
// `why`; false when none is open or the printer cannot say.
QOR_API bool CloseLeftOpen(const std::string& why);

}  // namespace document

class QOR_API DocumentGuard {
 public:
  DocumentGuard();
  ~DocumentGuard();
  DocumentGuard(const DocumentGuard&) = delete;
  DocumentGuard& operator=(const DocumentGuard&) = delete;

  // No text block was refused since the guard began.
  bool TextPrinted() const;

 private:
  std::uint64_t openings_, refusals_;
};

}  // namespace Qor01100
