// Adapters of the frame's plain exports: the printer-amount conversion, the
// debug log and the clearing of the vendor bindings.
#include "driver/frame.h"
#include "host/adapter.h"
#include "vendor/elgin.h"

QORHOST_ADAPTER(GetValue, "text");
QORHOST_ADAPTER(ImpFisDebug, "text");
QORHOST_ADAPTER(StopImpFiscal, "");
