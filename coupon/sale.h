#pragma once
#include <string>

#include "driver/export.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// Operations declared here with QOR_OPERATION (plain and decorated export)
// or QOR_ROUTINE (decorated only).

// Opening a fiscal coupon and selling its items.
//
// Both operations read the host's parameter record and replace it with a
// result record of [key, value] pairs:
//   AbreCupom: INTTEFERRO, INCLUICPF, INCLUINOME, INCLUIENDERECO, CUPNR,
//              CONTCUPOM (6 characters), MENSAGEMTAA;
//   VendaItem: INTTEFERRO, MENSAGEMTAA; or only INTTEFERRO = 3 when the
//              operator gives up on an item of an electronic-funds-transfer sale.
// When the operator refuses to retry in any other case the record is left
// as the host passed it.
QOR_OPERATION(bool, AbreCupom, (rtl::Variant & Params))
QOR_OPERATION(bool, VendaItem, (rtl::Variant & Params))

// The printer's current coupon number (6 characters), or "" when the
// printer refuses. Neither argument is used.
QOR_OPERATION(std::string, Nr_Cupom, (const std::string& stIgnorado, const std::string& stEsquemaCor))

// The printer's surcharge total into stVrAcrescimo. A coupon that the
// printer reports open is cancelled; no dialogs.
QOR_OPERATION(bool, Acrescimo_Imp, (const std::string& stIgnorado, std::string& stVrAcrescimo))

// Character substitution applied to report texts: every backslash becomes
// a vertical bar; every other character stays as it is.
QOR_ROUTINE(std::string, RemoveAcentos, (const std::string& Str))

namespace Qor01100 {
// Amount texts for the printer, formatted from the amount's decimal value:
// the value is first rounded half away from zero at the mask's number of
// decimals on its shortest decimal form, so a binary representation just
// below a half (1.115 stored as 1.11499...) never loses a cent.
std::string FormatAmount(const char* mask, double value);
// The same for the fixed two-decimal form without thousand separators
// (12345.5 -> "12345,50").
std::string FixedAmount(double value);
// Whether the host's mode ("S" or "T") is an electronic-funds-transfer sale.
inline bool IsTefMode(const std::string& id) { return id == "S" || id == "T"; }
}  // namespace Qor01100
