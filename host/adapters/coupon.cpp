// qorhost adapters: coupon opening, items, closing and footer.
#include "host/adapter.h"
#include "coupon/closing.h"
#include "coupon/footer.h"
#include "coupon/sale.h"

QORHOST_ADAPTER(AbreCupom, "record&");
QORHOST_ADAPTER(VendaItem, "record&");
QORHOST_ADAPTER(Nr_Cupom, "text,text");
QORHOST_ADAPTER(Acrescimo_Imp, "text,text&");
QORHOST_ADAPTER(FechaCupom, "list,strings,result&");
QORHOST_ADAPTER(Formata_rodape,
                "int,text,text,text,text,text,text,text,text,text,text,text,text,text,text,text,text,text,text,text,"
                "text,text,text,real,real,real,dataset,dataset,dataset,bool,strings,text,text,bool");
QORHOST_ADAPTER(CodigoBarra, "text,text,text,int,text,text");
