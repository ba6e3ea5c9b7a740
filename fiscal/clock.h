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
}  // namespace Qor01100
