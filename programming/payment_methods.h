#pragma once
#include <string>

#include "driver/export.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// Operations declared here with QOR_OPERATION (plain and decorated export)
// or QOR_ROUTINE (decorated only).

// Programs the host's payment types (the rows of cdsTipoRece with
// IDTPBUTTON = '5' that the operator can choose) into the printer, removes
// the ones that cannot be programmed, writes the printer's spelling back
// into NMTIPORECE, and programs the management-report name. On return
// cdsTipoRece is left filtered on IDTPBUTTON = '5'.
QOR_OPERATION(void, CarregaRecebimento,
              (const std::string& stIgnorado, const std::string& stEsquemaCor, int32_t idTipoImpFis,
               rtl::ClientDataSet* cdsTipoRece))

// Programs one payment method named by the first 16 characters of stParam;
// boParam1 shows the printer's messages, boParam2 cancels a coupon that the
// printer reports open.
QOR_OPERATION(bool, Config_Forma_Pagamento,
              (const std::string& stIgnorado, const std::string& stParam, bool boParam1, bool boParam2))

// Programs the payment name of management reports unless the printer's
// payment list stRelGer already holds it; always true.
QOR_OPERATION(bool, Carrega_Rel_Gerencial, (const std::string& stRelGer))

// Nothing to load on this printer: the texts come back unchanged; true.
QOR_OPERATION(bool, CarregaRelatorioGer,
              (std::string & stMeiosPgto, std::string& stIdentPaf, std::string& stParamConfig, std::string& stTransMesa,
               std::string& stConfMesa, std::string& stMesaAber, const std::string& stEsquemaCor, int32_t idTipoImpFis))
