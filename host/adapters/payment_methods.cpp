// qorhost adapters: payment methods and management-report names.
#include "host/adapter.h"
#include "programming/payment_methods.h"

QORHOST_ADAPTER(CarregaRecebimento, "text,text,int,dataset&");
QORHOST_ADAPTER(Config_Forma_Pagamento, "text,text,bool,bool");
QORHOST_ADAPTER(Carrega_Rel_Gerencial, "text");
QORHOST_ADAPTER(CarregaRelatorioGer, "text&,text&,text&,text&,text&,text&,text,int");
