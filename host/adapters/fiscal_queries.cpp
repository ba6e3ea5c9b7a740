// qorhost adapters: printer information queries.
#include "fiscal/queries.h"
#include "host/adapter.h"

QORHOST_ADAPTER(ContadorCupomFiscalMFD, "text,text&");
QORHOST_ADAPTER(VendaBruta, "text,text&");
QORHOST_ADAPTER(Cancelamentos, "text,text&");
QORHOST_ADAPTER(Descontos, "text,text&");
QORHOST_ADAPTER(ContadorRelatoriosGerenciaisMFD, "text,text&");
QORHOST_ADAPTER(ContadorComprovantesCreditoMFD, "text,text&");
QORHOST_ADAPTER(NumeroReducoes, "text,text&");
QORHOST_ADAPTER(Modelo_Impressora, "text,text&,text&,text&");
QORHOST_ADAPTER(Codigo_Nacional_ECF, "int,text");
QORHOST_ADAPTER(VerificaSerialImp, "record");
QORHOST_ADAPTER(Versao_Software_Basico, "text,text&");
QORHOST_ADAPTER(DataHoraGravacaoUsuarioSWBasicoMFAdicional, "text,text&,text&,text&");
QORHOST_ADAPTER(NumeroOperacoesNaoFiscais, "text,text&");
