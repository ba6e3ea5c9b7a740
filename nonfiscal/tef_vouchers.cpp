// The card-payment (TEF) vouchers of a sale: for each transaction a first
// and a second copy, printed in one open document that is closed once after
// the last transaction, with the operator's question whether to print again
// when the printer fails.
//
// Normal mode prints in the voucher linked to the coupon's payment (first
// and second copies) when the host uses full vouchers (stIdUtilCupTefRed
// "N"), otherwise only the second copies in a management report; the
// self-service and unattended systems ("APC", "TAA") print no second copy.
// Fallback mode (the host reports an earlier failure with inErro 2, or an
// opening failed and the operator asked to print again) prints both copies
// of every transaction in a management report.
//
// Texts go to the printer four lines at a time (a group longer than one
// printing call takes goes on in the next call). A voucher whose last line
// has no line feed prints that line with its group, once.
//
// After a print failure and a yes to the question, the vouchers are printed
// again in a new management report; the new pass prints in fallback mode
// when the failed pass printed in the linked voucher, since that voucher is
// no longer open to print in.
//
// A voucher whose text the printer did not take is not a printed voucher:
// when the last pass left one (the operator declined to print again, or a
// transaction before the last failed and the pass went on), the answer is
// false, whatever the coupon number, so the host never confirms a card
// transaction on a voucher that is not on paper. The voucher or report
// opened here is closed on every way out (DocumentGuard), the operator's
// "no" included.
#include "coupon/operations.h"
#include "driver/amounts.h"
#include "driver/document_guard.h"
#include "driver/frame.h"
#include "driver/report_text.h"
#include "driver/text_blocks.h"
#include "driver/vendor_call.h"
#include "hostlib/consiste.h"
#include "nonfiscal/operations.h"

namespace Qor01100 {

namespace {

class TefPrint {
 public:
  TefPrint(const std::string& filial, const std::string& caixa, const std::string& esquema, rtl::StringList* primeira,
           rtl::StringList* segunda, const std::string& cupom, const std::string& idUtilCupTefRed,
           const std::string& tipSis)
      : filial_(filial), caixa_(caixa), esquema_(esquema), primeira_(primeira), segunda_(segunda), cupom_(cupom),
        linked_(idUtilCupTefRed == "N"), secondCopies_(tipSis != "APC" && tipSis != "TAA") {}

  bool Run(const std::string& descricao, double doTotRec, int32_t inErro);

 private:
  enum class Channel { Report, Voucher };
  bool Ask() const { return boNUtilTaa && AskRetry(Msg("Imp_N_Resp"), esquema_); }
  bool OpenReport() { return Relatorio_Gerencial_Imp(esquema_, filial_, caixa_, "", ""); }
  bool Open(const std::string& descricao, const std::string& valor);
  void Pass();
  void Transaction(int i, int count);
  void PrintCopy(const std::string& text, Channel channel);
  void AfterFailure();

  const std::string &filial_, &caixa_, &esquema_;
  rtl::StringList *primeira_, *segunda_;
  std::string cupom_;
  const bool linked_, secondCopies_;
  bool fallback_ = false;   // boTransacao
  bool open_ = false;       // boResult: a document is open, or must be closed before reopening
  bool failed_ = false;     // boErroImp
  bool mayEnd_ = true;      // boGerencial
  bool done_ = false;       // the last transaction left the pass
  bool refused_ = false;    // a copy of the current pass was not printed whole
  int handled_ = 0;         // inCont
  bool result_ = false;
};

bool TefPrint::Run(const std::string& descricao, double doTotRec, int32_t inErro) {
  result_ = Estado_Imp(esquema_, true, false);
  while (!result_) {
    if (!Ask()) return false;
    result_ = Estado_Imp(esquema_, true, false);
  }
  if (primeira_ == nullptr || primeira_->Count() == 0) return false;
  const std::string valor = DigitAmount(doTotRec);
  open_ = inErro == 2;
  if (!Open(descricao, valor)) return result_;
  do {
    Pass();
    if (failed_) AfterFailure();
  } while (failed_ || !mayEnd_);
  return result_ && !refused_;
}

// Opens the document the vouchers print in; a failed opening retried on the
// operator's word always opens a management report.
bool TefPrint::Open(const std::string& descricao, const std::string& valor) {
  for (;;) {
    if (open_) {
      fallback_ = true;
      open_ = OpenReport();
    } else if (linked_) {
      cupom_ = Nr_Cupom("", esquema_);
      open_ = Abre_Comp_NFiscalVinc(esquema_, rtl::Copy(descricao, 1, 16), valor, cupom_);
    } else {
      open_ = OpenReport();
    }
    if (open_) return true;
    if (!Ask()) break;
    open_ = true;
  }
  result_ = false;
  return false;
}

void TefPrint::Pass() {
  const int count = primeira_->Count();
  done_ = false;
  refused_ = false;
  for (int i = 0; i < count && !done_; ++i) Transaction(i, count);
}

void TefPrint::Transaction(int i, int count) {
  ++handled_;
  mayEnd_ = true;
  const Channel copies = fallback_ || !linked_ ? Channel::Report : Channel::Voucher;
  const bool firstWanted = fallback_ || linked_;
  const bool secondWanted = (fallback_ || secondCopies_) && segunda_ != nullptr && segunda_->Count() >= handled_;
  // Copies skipped because an earlier step of the pass failed (a closing
  // tried again without success) are not printed vouchers either.
  if (failed_ && (firstWanted || secondWanted)) refused_ = true;
  try {
    if (!failed_ && firstWanted) PrintCopy((*primeira_)[i], copies);
  } catch (...) {
    // A copy whose printing raised counts as printed.
  }
  try {
    if (secondWanted && !failed_) {
      const std::string segundaVia = (*segunda_)[i];
      hostlib::Delay(4);
      PrintCopy(segundaVia, copies);
    }
  } catch (...) {
  }
  if (handled_ >= count) {
    done_ = true;
    if (failed_) return;
    if (!FechRelatGerenc("", true, false)) {
      failed_ = true;
      open_ = false;
      return;
    }
    open_ = false;
    if (!hostlib::EmptyString(cupom_)) result_ = true;
  }
  // A failure before the last transaction is not carried to the next one.
  failed_ = false;
}

void TefPrint::PrintCopy(const std::string& text, Channel channel) {
  for (const std::string& group : LineGroups(text, 4))
    // A group longer than one printing call takes goes on in the next call.
    for (const std::string& piece : LimitedBlocks(group, kReportBlock)) {
      const bool ok = channel == Channel::Voucher ? Usa_CompNFis(esquema_, piece)
                                                  : Relatorio_Gerencial_Imp(esquema_, filial_, caixa_, piece, "");
      if (!ok) {
        failed_ = true;
        open_ = true;
        refused_ = true;
        return;
      }
    }
}

// The retry question after the last transaction failed.
void TefPrint::AfterFailure() {
  if (!Ask()) {
    failed_ = false;
    open_ = false;
    mayEnd_ = true;
    result_ = false;
    return;
  }
  failed_ = true;
  handled_ = 0;
  if (open_ && !FechRelatGerenc("", true, false)) return;
  if (OpenReport()) {
    failed_ = false;
    mayEnd_ = false;
    // The linked voucher is gone: the vouchers print again in the report.
    if (linked_) fallback_ = true;
  } else {
    mayEnd_ = true;
  }
}

}  // namespace

bool ImprimeTef(const std::string& stIgnorado, const std::string& stCdFilial, const std::string& stCdCaixa,
                const std::string& stEsquemaCor, rtl::StringList* stlPrimeira, rtl::StringList* stlSegunda,
                rtl::StringList* stlData, rtl::StringList* stlHora, const std::string& stCupom,
                const std::string& stDescricao, const std::string& stTipo, double doTotal, double doTotRec,
                int32_t inErro, const std::string& stIdUtilCupTefRed, const std::string& stTipSis) {
  DocumentGuard doc;
  TefPrint tef(stCdFilial, stCdCaixa, stEsquemaCor, stlPrimeira, stlSegunda, stCupom, stIdUtilCupTefRed, stTipSis);
  return tef.Run(stDescricao, doTotRec, inErro);
}

}  // namespace Qor01100
