// The grand-total record's internal entry points (the check and the update
// themselves are the operations BuscaTotGer and Atu_TotGeral).
#pragma once
#include <string>

#include "platform/variant.h"

namespace Qor01100 {

// Marks this till's grand-total record as waiting for the printer's next
// total, before a command that changes the total (the cancellation of a
// coupon left open). The record then holds the value of an uninitialised
// file, which the next check or update replaces with the printer's total
// without comparing: a process that dies between the printer's change and
// the recording, or a reading that fails then, never leaves an old total
// behind for the next check to call a mismatch. Keys as Atu_TotGeral;
// failures are left to the recording that follows. Only a record of the
// main file "Kalvora.cds" is marked (the till's own file is never written).
void MarkGrandTotalPending(const rtl::Variant& Params);

// The printer's grand total as BuscaTotGer reads it (the amount's text in
// `text`; a text that is no amount raises the conversion error), answering
// whether the printer's answer passed the status analysis.
bool ReadGrandTotal(std::string& text);

}  // namespace Qor01100
