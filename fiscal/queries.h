#pragma once
#include <string>

#include "driver/export.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// Operations declared here with QOR_OPERATION (plain and decorated export)
// or QOR_ROUTINE (decorated only).
//
// Counter queries: each fills its by-reference text with the printer's
// answer as it stands (the buffer's blanks where the printer wrote
// nothing), logs it, and answers the status analysis. Most of them cancel a
// coupon that the printer reports open; the coupon counter and the model
// query do not.

// Coupon counter (CCF) query, used by the coupon opening.
QOR_OPERATION(bool, ContadorCupomFiscalMFD, (const std::string& stIgnorado, std::string& stCupom))
QOR_OPERATION(bool, VendaBruta, (const std::string& stIgnorado, std::string& stVendaBruta))
QOR_OPERATION(bool, Cancelamentos, (const std::string& stIgnorado, std::string& stCancelamentos))
QOR_OPERATION(bool, Descontos, (const std::string& stIgnorado, std::string& stDescontos))
QOR_OPERATION(bool, ContadorRelatoriosGerenciaisMFD, (const std::string& stIgnorado, std::string& stRelatorios))
QOR_OPERATION(bool, ContadorComprovantesCreditoMFD, (const std::string& stIgnorado, std::string& stComprovante))
// The number of the next Z reduction, four digits ("0000" when the printer answers blank).
QOR_OPERATION(bool, NumeroReducoes, (const std::string& stIgnorado, std::string& stReducoes))
QOR_OPERATION(bool, Modelo_Impressora,
              (const std::string& stIgnorado, std::string& stMarca, std::string& stModelo, std::string& stTipo))
// First and last coupon numbers (COO) of the day and the number of cancelled coupons; always true.
QOR_ROUTINE(bool, InfImpTerm_Elgin, (std::string& CupIni, std::string& CupFin, std::string& CupCan))
// The national identification code of this ECF model for a firmware version.
QOR_OPERATION(std::string, Codigo_Nacional_ECF, (int32_t IdTipoImpFis, const std::string& stVersaoSoftwareBasico))

// Offered by every printer driver of the host; nothing to do on this
// printer: they answer true and leave their texts as the host passed them.
QOR_OPERATION(bool, VerificaSerialImp, (const rtl::Variant& Params))
QOR_OPERATION(bool, Versao_Software_Basico, (const std::string& stIgnorado, std::string& stVersaoFirmware))
QOR_OPERATION(bool, DataHoraGravacaoUsuarioSWBasicoMFAdicional,
              (const std::string& stIgnorado, std::string& stDataHoraUsuario, std::string& stDataHoraSWBasico,
               std::string& stMFAdicional))
QOR_OPERATION(bool, NumeroOperacoesNaoFiscais, (const std::string& stIgnorado, std::string& stOperacoes))
