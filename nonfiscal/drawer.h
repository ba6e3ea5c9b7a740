#pragma once
#include <string>

#include "driver/export.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// Operations declared here with QOR_OPERATION (plain and decorated export)
// or QOR_ROUTINE (decorated only).

// Printer readiness check used by the coupon operations before they print;
// sets boClieUtil to its result.
QOR_OPERATION(bool, Estado_Imp, (const std::string& stEsquemaCor, bool boParam1, bool boParam2))
// Opens the cash drawer.
QOR_OPERATION(bool, Abre_Gaveta_Imp, (const std::string& stIgnorado, bool boParam1))
// The drawer state: "00" (state 0), "01" (any other state), or "" when
// the printer did not answer properly. inRetorno keeps the drawer state.
QOR_OPERATION(std::string, Estado_Gaveta_Imp, (const std::string& stIgnorado))
// Fires the paper cutter; never shows an operator message.
QOR_OPERATION(bool, Aciona_Guilhotina, ())
