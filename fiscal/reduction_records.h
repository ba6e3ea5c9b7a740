// The printer's fixed-width records read after a Z reduction: the 1-based
// positions and widths of the fields the module reads (the records' own
// widths are the entry list's, vendor/elgin_entries.def).
// Amounts are digit strings with two implied decimals (GetValue).
#pragma once
#include <string>

#include "platform/text.h"

namespace Qor01100::records {

struct Span {
  int pos;
  int width;
};

// A field of a record; shorter (or empty) when the record ends before it.
inline std::string Take(const std::string& record, Span f) { return rtl::Copy(record, f.pos, f.width); }

// Elgin_DadosUltimaReducaoMFD: the last reduction.
namespace last {
constexpr Span kCro{4, 4}, kCrz{9, 4}, kCoo{14, 6}, kCancelledCoupons{54, 4}, kGrandTotal{316, 18};
constexpr Span kTaxed{335, 224};  // sixteen totalizers of 14 digits, rate positions 1 to 16
constexpr Span kExemption{560, 14}, kNonIncidence{575, 14}, kSubstitution{590, 14};
constexpr Span kDiscounts{650, 14}, kSurcharges{680, 14}, kCancellations{710, 14};
}  // namespace last

// Elgin_RetornoAliquotas: sixteen rates of 4 digits, each followed by a separator.
constexpr int kRateWidth = 4, kRateStep = 5;
constexpr int kTotalizerWidth = 14, kTaxedCount = 16;

// Elgin_VerificaTotalizadoresParciais.
namespace partial {
constexpr Span kTaxed{1, 224}, kExemption{226, 14}, kNonIncidence{241, 14}, kSubstitution{256, 14};
}  // namespace partial

// Elgin_VerificaRecebimentoNaoFiscal: entries of 44, a blank description ends the list.
namespace nonfiscal {
constexpr int kEntry = 44;
constexpr Span kCounter{1, 4}, kValue{5, 20}, kDescription{25, 19};
}  // namespace nonfiscal

// Elgin_VerificaRecebimentoNaoFiscalMFD: withdrawal and supply totals.
namespace nonfiscal_mfd {
constexpr Span kWithdrawals{972, 14}, kSupplies{1006, 14};
}  // namespace nonfiscal_mfd

// Elgin_VerificaFormasPagamento: entries of 58, a blank name ends the list.
namespace payments {
constexpr int kEntry = 58;
constexpr Span kName{1, 16}, kValue{17, 20};
}  // namespace payments

}  // namespace Qor01100::records
