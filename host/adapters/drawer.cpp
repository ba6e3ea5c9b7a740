// qorhost adapters: drawer, cutter and printer readiness.
#include "host/adapter.h"
#include "nonfiscal/drawer.h"

QORHOST_ADAPTER(Estado_Imp, "text,bool,bool");
QORHOST_ADAPTER(Abre_Gaveta_Imp, "text,bool");
QORHOST_ADAPTER(Estado_Gaveta_Imp, "text");
QORHOST_ADAPTER(Aciona_Guilhotina, "");
