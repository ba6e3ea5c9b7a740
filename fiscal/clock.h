#pragma once
#include <string>

#include "driver/export.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// Operations declared here with QOR_OPERATION (plain and decorated export)
// or QOR_ROUTINE (decorated only).

// The printer's fiscal movement date (the day in progress); today when the
// printer has no movement yet or answers something that is not a date.
QOR_OPERATION(rtl::TDateTime, DataMoviFiscal, (const std::string& stIgnorado))
// The printer's date and time as twelve digits ddmmyyhhnnss in stDataHora.
QOR_OPERATION(bool, Data_Imp, (const std::string& stIgnorado, std::string& stDataHora))
// The clock check: false (with the operator message) when the printer's
// clock differs from the computer's by more than 15 minutes. dtDate gets
// the date in stData (ddmmyy) or today.
QOR_OPERATION(bool, VerificaData,
              (const std::string& stEsquemaCor, rtl::TDateTime& dtDate, const std::string& stDataAtu,
               const std::string& stData, bool boSetaData))
// True when the printer is in summer time.
QOR_OPERATION(bool, Estado_HorVerao, (const std::string& stIgnorado))
// Switches the printer's summer-time mode.
QOR_OPERATION(bool, Muda_Horario, ())

namespace Qor01100 {
// Today as the printer writes dates: ddmmyy.
std::string TodayDdMmYy();
}  // namespace Qor01100
