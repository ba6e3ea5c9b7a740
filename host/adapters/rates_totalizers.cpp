// qorhost adapters: tax rates, non-fiscal totalizers and the grand total.
#include "host/adapter.h"
#include "programming/rates_totalizers.h"

QORHOST_ADAPTER(CarregaAliquota, "text,dataset");
QORHOST_ADAPTER(Retorno_Aliquotas_Imp, "text");
QORHOST_ADAPTER(CarregaTotalizador, "text&,text&,text&,text&,text&,text,int,dataset");
QORHOST_ADAPTER(Nomeia_TotParcial, "text,text,text,text,bool,bool");
QORHOST_ADAPTER(VerificaTotalizador, "");
QORHOST_ADAPTER(BuscaTotGer, "text,text&");
QORHOST_ADAPTER(Atu_TotGeral, "record");
