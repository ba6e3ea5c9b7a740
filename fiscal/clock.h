#pragma once
#include <string>

#include "fiscal/operations.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// The operations themselves are declared in fiscal/operations.def.


namespace Qor01100 {
// Today as the printer writes dates: ddmmyy.
std::string TodayDdMmYy();
// The movement date as DataMoviFiscal gives it (today when the printer
// names none), and whether the printer's answer stands: false when the
// query failed or its answer is no date (today's date then stands in).
bool ReadMovementDate(rtl::TDateTime& date);
}  // namespace Qor01100
