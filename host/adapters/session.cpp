// qorhost adapters: driver start and port session.
#include "session/session.h"
#include "host/adapter.h"

QORHOST_ADAPTER(StartImpFiscal, "record&");
QORHOST_ADAPTER(AbrePorta, "record");
QORHOST_ADAPTER(FechaPorta, "");
QORHOST_ADAPTER(ImpressoraOk, "text,bool,bool,bool");
QORHOST_ADAPTER(Carrega_Dados_Impressora, "record&");
