// Readings of the printer's record for the exactly-once decision.
#include "driver/printer_record.h"

#include "driver/vendor_call.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100::record {
namespace {

template <class F>
Reading Text(F* entry, std::size_t size) {
  std::string buf(size, ' ');
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
Reading GrossSale() { return Text(Elgin_VendaBruta, 18); }
Reading Adjustments() {
  const Reading descontos = Text(Elgin_Descontos, 14);  // read in this order
  return Join(descontos, Text(Elgin_Acrescimos, 13));
}
Reading Cancellations() { return Text(Elgin_Cancelamentos, 14); }
Reading DocumentNumber() { return Text(Elgin_NumeroCupom, 6); }
Reading Payments() { return Text(Elgin_VerificaFormasPagamento, 3016); }
Reading CancelledCoupons() { return Text(Elgin_NumeroCuponsCancelados, 4); }

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
