// The module-wide shared state and its initial values.
#include "driver/state.h"

#include "driver/frame.h"

namespace Qor01100 {
extern "C" {
int32_t inRetorno = 0;
std::string stRetorno;
std::string stImpDebug;
std::string stMensagemTaa;
bool boNUtilTaa = true;
bool boClieUtil = false;
bool boImpFiscalOK = false;
std::string stAliquotaIss;
std::string IdTotParcCV;
std::string IdTotParcVCons;
std::string dsDirCad;
std::string dsDiretorio;
int32_t inRetornoErro = 0;
int32_t inRetornoFuncao = 0;
std::string stRetornoErro;
std::string stRetornoFuncao;
std::string stTamRetorno;
std::string stParametro;
int32_t inCanalSerial = 0;
void* ImpFisDLLHandle = nullptr;
void* ImpFisDLLLeitHandle = nullptr;
void* ImpFisDLLAtoHandle = nullptr;
TdtmElgin01100* dtmElgin01100 = nullptr;
}

void ResetStateForTesting() {
  inRetorno = 0;
  stRetorno.clear();
  stImpDebug.clear();
  stMensagemTaa.clear();
  boNUtilTaa = true;
  boClieUtil = false;
  boImpFiscalOK = false;
  stAliquotaIss.clear();
  IdTotParcCV.clear();
  IdTotParcVCons.clear();
  dsDirCad.clear();
  dsDiretorio.clear();
  inRetornoErro = 0;
  inRetornoFuncao = 0;
  stRetornoErro.clear();
  stRetornoFuncao.clear();
  stTamRetorno.clear();
  stParametro.clear();
  inCanalSerial = 0;
  // The library handles and the data module live until the process ends.
}
}  // namespace Qor01100
