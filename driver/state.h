// The module-wide shared state, exported under plain names so the host can
// read and set it. The variables are listed once, in driver/state.def.
#pragma once
#include <cstdint>
#include <string>

#include "driver/export.h"

class TdtmElgin01100;

namespace Qor01100 {
extern "C" {
#define QOR_STATE(type, name, init, kind) QOR_API extern type name;
#include "driver/state.def"
#undef QOR_STATE
}
}  // namespace Qor01100
