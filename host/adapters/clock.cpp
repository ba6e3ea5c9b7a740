// qorhost adapters: printer clock, movement date and summer time.
#include "fiscal/clock.h"
#include "host/adapter.h"

QORHOST_ADAPTER(DataMoviFiscal, "text->datetime");
QORHOST_ADAPTER(Data_Imp, "text,text&");
QORHOST_ADAPTER(VerificaData, "text,datetime&,text,text,bool");
QORHOST_ADAPTER(Estado_HorVerao, "text");
QORHOST_ADAPTER(Muda_Horario, "");
