// The module-wide shared state, exported under plain names so the host can
// read and set it. Initial values are set in state.cpp.
#pragma once
#include <cstdint>
#include <string>

#include "driver/export.h"

class TdtmElgin01100;

namespace Qor01100 {
extern "C" {
QOR_API extern int32_t inRetorno;
QOR_API extern std::string stRetorno;
QOR_API extern std::string stImpDebug;
QOR_API extern std::string stMensagemTaa;
QOR_API extern bool boNUtilTaa;
QOR_API extern bool boClieUtil;
QOR_API extern bool boImpFiscalOK;
QOR_API extern std::string stAliquotaIss;
QOR_API extern std::string IdTotParcCV;
QOR_API extern std::string IdTotParcVCons;
QOR_API extern std::string dsDirCad;
QOR_API extern std::string dsDiretorio;
QOR_API extern int32_t inRetornoErro;
QOR_API extern int32_t inRetornoFuncao;
QOR_API extern std::string stRetornoErro;
QOR_API extern std::string stRetornoFuncao;
QOR_API extern std::string stTamRetorno;
QOR_API extern std::string stParametro;
QOR_API extern int32_t inCanalSerial;
QOR_API extern void* ImpFisDLLHandle;
QOR_API extern void* ImpFisDLLLeitHandle;
QOR_API extern void* ImpFisDLLAtoHandle;
QOR_API extern TdtmElgin01100* dtmElgin01100;
}
}  // namespace Qor01100
