// The module-wide shared state and its initial values (driver/state.def).
#include "driver/state.h"

#include "driver/frame.h"

namespace Qor01100 {
extern "C" {
#define QOR_STATE(type, name, init, kind) type name init;
#include "driver/state.def"
#undef QOR_STATE
}

// Values go back to their initial ones; library handles and the data module
// live until the process ends.
void ResetStateForTesting() {
#define QOR_STATE(type, name, init, kind) QOR_STATE_IF_VALUE_##kind(name = type init;)
#include "driver/state.def"
#undef QOR_STATE
}
}  // namespace Qor01100
