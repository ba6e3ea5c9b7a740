// Readings of the printer's record for the exactly-once decision.
#include "driver/printer_record.h"

#include "driver/vendor_call.h"
#include "platform/text.h"
#include "vendor/answer_width.h"
#include "vendor/elgin.h"

namespace Qor01100::record {
namespace {

// A text answer, in a buffer as wide as the entry list gives it.
template <class F>
Reading Text(F* const& entry) {
  std::string buf(ListedAnswerWidth(&entry, 0), ' ');
  if (Vendor(entry, buf.data()) != 1) return std::nullopt;
  return buf;
}

Reading Flags() {
  int flags = 0;
  if (Vendor(Elgin_FlagsFiscais, &flags) != 1) return std::nullopt;
  return rtl::IntToStr(flags & 3);  // coupon open, payment stage
}

Reading Join(const Reading& a, const Reading& b) {
  if (!a || !b) return std::nullopt;
  return *a + "/" + *b;
}

}  // namespace

Reading CouponState() { return Flags(); }
Reading GrossSale() { return Text(Elgin_VendaBruta); }
Reading Adjustments() {
  const Reading descontos = Text(Elgin_Descontos);  // read in this order
  return Join(descontos, Text(Elgin_Acrescimos));
}
Reading Cancellations() { return Text(Elgin_Cancelamentos); }
Reading DocumentNumber() { return Text(Elgin_NumeroCupom); }
Reading Payments() { return Text(Elgin_VerificaFormasPagamento); }
Reading CancelledCoupons() { return Text(Elgin_NumeroCuponsCancelados); }

std::optional<OpenDocument> NonFiscalDocument() {
  // Indicator bits: 4 a management report open, 8 a linked voucher open.
  constexpr int kReportOpen = 4, kVoucherOpen = 8;
  int indicators = 0;
  try {
    if (Vendor(Elgin_LeIndicadores, &indicators) != 1) return std::nullopt;
  } catch (...) {
    return std::nullopt;
  }
  if ((indicators & kReportOpen) != 0) return OpenDocument::Report;
  if ((indicators & kVoucherOpen) != 0) return OpenDocument::Voucher;
  return OpenDocument::None;
}

}  // namespace Qor01100::record
