// Read-only printer information: counters, totals, model, the coupon
// range of the day and the national ECF code.
#include "fiscal/operations.h"

#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "hostlib/consiste.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

using TextQuery = int (*)(char*);

// The common counter query: a buffer of `size` blanks handed to the
// printer, the answer in `out`, the trace written straight to the debug
// log (inRetorno and stImpDebug are left alone), then the analysis. `out`
// is written only once the call has returned.
bool CounterQuery(TextQuery entry, const char* logName, int size, std::string& out, bool boFechaCupom) {
  std::string answer;
  const int code = QueryText(entry, static_cast<size_t>(size), answer);
  out = answer;
  ImpFisDebug(Trace(logName, out));
  return AnalisaRetorno(code, false, boFechaCupom, false);
}

}  // namespace

bool VendaBruta(const std::string& stIgnorado, std::string& stVendaBruta) {
  return CounterQuery(Elgin_VendaBruta, "Elgin_VendaBruta", 18, stVendaBruta, true);
}

bool Cancelamentos(const std::string& stIgnorado, std::string& stCancelamentos) {
  return CounterQuery(Elgin_Cancelamentos, "Elgin_Cancelamentos", 14, stCancelamentos, true);
}

bool Descontos(const std::string& stIgnorado, std::string& stDescontos) {
  return CounterQuery(Elgin_Descontos, "Elgin_Descontos", 14, stDescontos, true);
}

bool ContadorRelatoriosGerenciaisMFD(const std::string& stIgnorado, std::string& stRelatorios) {
  return CounterQuery(Elgin_ContadorRelatoriosGerenciaisMFD, "Elgin_ContadorRelatoriosGerenciaisMFD", 6,
                      stRelatorios, true);
}

bool ContadorComprovantesCreditoMFD(const std::string& stIgnorado, std::string& stComprovante) {
  return CounterQuery(Elgin_ContadorComprovantesCreditoMFD, "Elgin_ContadorComprovantesCreditoMFD", 6,
                      stComprovante, true);
}

bool ContadorCupomFiscalMFD(const std::string& stIgnorado, std::string& stCupom) {
  // Asked by the coupon opening itself: it must not cancel the coupon.
  return CounterQuery(Elgin_ContadorCupomFiscalMFD, "Elgin_ContadorCupomFiscalMFD  ", 6, stCupom, false);
}

bool NumeroReducoes(const std::string& stIgnorado, std::string& stReducoes) {
  std::string answer;
  const int code = QueryText(Elgin_NumeroReducoes, 4, answer);
  // The printer counts the reductions made; the host wants the next one's number.
  const std::string next =
      hostlib::EmptyString(answer) ? "0" : rtl::IntToStr(int64_t{rtl::StrToInt(rtl::Trim(answer))} + 1);
  stReducoes = hostlib::Ajusta(next, 4);
  ImpFisDebug(Trace("Elgin_NumeroReducoes", stReducoes));
  return AnalisaRetorno(code, false, true, false);
}

bool Modelo_Impressora(const std::string& stIgnorado, std::string& stMarca, std::string& stModelo,
                       std::string& stTipo) {
  std::string marca(15, ' '), modelo(20, ' '), tipo(7, ' ');
  const int code = Vendor(Elgin_MarcaModeloTipoImpressoraMFD, marca.data(), modelo.data(), tipo.data());
  stMarca = Answer(marca);
  stModelo = Answer(modelo);
  stTipo = Answer(tipo);
  ImpFisDebug(Trace("Elgin_MarcaModeloTipoImpressoraMFD", stMarca + " - " + stModelo + " - " + stTipo));
  return AnalisaRetorno(code, true, false, false);
}

bool InfImpTerm_Elgin(std::string& CupIni, std::string& CupFin, std::string& CupCan) {
  std::string first(6, ' '), last(6, ' ');
  inRetorno = Vendor(Elgin_InicioFimCOOsMFD, first.data(), last.data());
  first = Answer(first);
  last = Answer(last);
  stImpDebug = Trace("Elgin_RegistrosTipo60", first + " - " + last);
  AnalisaRetorno(inRetorno, false, false, false);
  CupIni = first;
  CupFin = last;

  std::string cancelled;
  inRetorno = QueryText(Elgin_NumeroCuponsCancelados, 4, cancelled);
  stImpDebug = Trace("Elgin_NumeroCuponsCancelados", cancelled);
  AnalisaRetorno(inRetorno, false, false, false);
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

