// Read-only printer information: counters, totals, model, the coupon
// range of the day and the national ECF code.
#include "fiscal/operations.h"

#include "driver/command.h"
#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "hostlib/consiste.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

using TextQuery = int(QOR_STDCALL*)(char*);

// A query of this group: its code stays out of inRetorno and its trace goes
// straight to the debug log (stImpDebug is left alone) before the analysis.
Command InfoQuery(const Command& c, bool boMsg, bool boFechaCupom) {
  return Command(c).KeepInRetorno(false).Show(boMsg).CancelOpenCoupon(boFechaCupom);
}

// The common counter query: a buffer of blanks handed to the printer, the
// answer in `out` (written only once the call has returned).
bool CounterQuery(TextQuery const& entry, const char* logName, std::string& out, bool boFechaCupom) {
  std::string answer;
  const Command c = InfoQuery(Call("", entry, Into(answer)), false, boFechaCupom);
  const int code = CallOnly(c);
  out = answer;
  DebugLog(Trace(logName, out));
  return Analyse(c, code);
}

}  // namespace

bool VendaBruta(const std::string& stIgnorado, std::string& stVendaBruta) {
  return CounterQuery(Elgin_VendaBruta, "Elgin_VendaBruta", stVendaBruta, true);
}

bool Cancelamentos(const std::string& stIgnorado, std::string& stCancelamentos) {
  return CounterQuery(Elgin_Cancelamentos, "Elgin_Cancelamentos", stCancelamentos, true);
}

bool Descontos(const std::string& stIgnorado, std::string& stDescontos) {
  return CounterQuery(Elgin_Descontos, "Elgin_Descontos", stDescontos, true);
}

bool ContadorRelatoriosGerenciaisMFD(const std::string& stIgnorado, std::string& stRelatorios) {
  return CounterQuery(Elgin_ContadorRelatoriosGerenciaisMFD, "Elgin_ContadorRelatoriosGerenciaisMFD",
                      stRelatorios, true);
}

bool ContadorComprovantesCreditoMFD(const std::string& stIgnorado, std::string& stComprovante) {
  return CounterQuery(Elgin_ContadorComprovantesCreditoMFD, "Elgin_ContadorComprovantesCreditoMFD",
                      stComprovante, true);
}

bool ContadorCupomFiscalMFD(const std::string& stIgnorado, std::string& stCupom) {
  // Asked by the coupon opening itself: it must not cancel the coupon.
  return CounterQuery(Elgin_ContadorCupomFiscalMFD, "Elgin_ContadorCupomFiscalMFD  ", stCupom, false);
}

bool NumeroReducoes(const std::string& stIgnorado, std::string& stReducoes) {
  std::string answer;
  const Command c = InfoQuery(Call("", Elgin_NumeroReducoes, Into(answer)), false, true);
  const int code = CallOnly(c);
  // The printer counts the reductions made; the host wants the next one's number.
  const std::string next =
      hostlib::EmptyString(answer) ? "0" : rtl::IntToStr(int64_t{rtl::StrToInt(rtl::Trim(answer))} + 1);
  stReducoes = hostlib::Ajusta(next, 4);
  DebugLog(Trace("Elgin_NumeroReducoes", stReducoes));
  return Analyse(c, code);
}

bool Modelo_Impressora(const std::string& stIgnorado, std::string& stMarca, std::string& stModelo,
                       std::string& stTipo) {
  std::string marca, modelo, tipo;
  const Command c =
      InfoQuery(Call("", Elgin_MarcaModeloTipoImpressoraMFD, Into(marca), Into(modelo), Into(tipo)), true,
                false);
  const int code = CallOnly(c);
  stMarca = marca;
  stModelo = modelo;
  stTipo = tipo;
  DebugLog(Trace("Elgin_MarcaModeloTipoImpressoraMFD", stMarca + " - " + stModelo + " - " + stTipo));
  return Analyse(c, code);
}

bool InfImpTerm_Elgin(std::string& CupIni, std::string& CupFin, std::string& CupCan) {
  std::string first, last;
  Send(Call("", Elgin_InicioFimCOOsMFD, Into(first), Into(last)).TraceWith([&] {
    return Trace("Elgin_RegistrosTipo60", first + " - " + last);
  }));
  CupIni = first;
  CupFin = last;

  std::string cancelled;
  Send(Query("Elgin_NumeroCuponsCancelados", Elgin_NumeroCuponsCancelados, cancelled));
  CupCan = cancelled;
  return true;
}

std::string Codigo_Nacional_ECF(int32_t IdTipoImpFis, const std::string& stVersaoSoftwareBasico) {
  return stVersaoSoftwareBasico == "010000" ? "140701" : "140702";
}

bool VerificaSerialImp(const rtl::Variant& Params) { return true; }

bool Versao_Software_Basico(const std::string& stIgnorado, std::string& stVersaoFirmware) { return true; }

bool DataHoraGravacaoUsuarioSWBasicoMFAdicional(const std::string& stIgnorado, std::string& stDataHoraUsuario,
                                                std::string& stDataHoraSWBasico, std::string& stMFAdicional) {
  return true;
}

bool NumeroOperacoesNaoFiscais(const std::string& stIgnorado, std::string& stOperacoes) { return true; }

}  // namespace Qor01100

