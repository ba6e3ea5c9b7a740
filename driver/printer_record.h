// Readings of the printer's own record that tell whether a registering step
// took effect when its answer was lost (the probes of command.h). Each is a
// plain reading: no trace, no analysis, inRetorno and stMensagemTaa left
// alone; nullopt when the printer does not answer it.
#pragma once
#include <optional>
#include <string>

#include "driver/export.h"

namespace Qor01100::record {

using Reading = std::optional<std::string>;

// Coupon open or not and its payment stage (the fiscal flags): changes when a
// coupon opens, when its closing starts and when it ends.
QOR_API Reading CouponState();
// The day's gross sale: grows with every item sold.
QOR_API Reading GrossSale();
// The day's discount and surcharge totals: change with an item's or the
// subtotal's adjustment.
QOR_API Reading Adjustments();
// The day's cancellation total: changes when an item is voided.
QOR_API Reading Cancellations();
// The document number (COO): changes with every document the printer issues.
QOR_API Reading DocumentNumber();
// The payment-method list with each method's accumulated value: a payment
// goes into its method's totalizer as the printer registers it.
QOR_API Reading Payments();
// The count of cancelled fiscal coupons (CFC): changes when a coupon is cancelled, open or closed.
QOR_API Reading CancelledCoupons();

// The non-fiscal document the printer holds open, from its indicators: a
// management report or a linked voucher; nullopt when the printer does not
// answer (or its library throws).
enum class OpenDocument { None, Report, Voucher };
QOR_API std::optional<OpenDocument> NonFiscalDocument();

}  // namespace Qor01100::record
