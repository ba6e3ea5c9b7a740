// Coupon opening and item sale.
#include "coupon/sale.h"

#include <exception>

#include "driver/frame.h"
#include "driver/state.h"
#include "driver/vendor_call.h"
#include "fiscal/operations.h"
#include "hostlib/consiste.h"
#include "hostlib/dialogs.h"
#include "hostlib/params.h"
#include "nonfiscal/operations.h"
#include "platform/format.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {

namespace {

// Keys read from a parameter record. Required keys raise the record's own
// "not found" error; optional keys fall back to a neutral value when the
// host leaves them out (a coupon without consumer identification, a sale
// without electronic funds transfer, an item without discount).
rtl::Variant Required(const rtl::Variant& params, const char* key) { return hostlib::RecebeParams(params, key); }

rtl::Variant Optional(const rtl::Variant& params, const char* key) {
  try {
    return hostlib::RecebeParams(params, key);
  } catch (const hostlib::EParamNotFound&) {
    return rtl::Variant();
  }
}

// Shows an error raised inside the vendor library during an item sale.
void ShowVendorException(const std::string& what) { Notice(what, hostlib::tmAviso, "001"); }

}  // namespace

bool AbreCupom(rtl::Variant& Params) {
  const std::string stEsquemaCor = Optional(Params, "ESQUEMACOR").AsString();
  const std::string stIncluiCpf = Optional(Params, "INCLUICPF").AsString();
  const std::string stIncluiNome = Optional(Params, "INCLUINOME").AsString();
  const std::string stIncluiEndereco = Optional(Params, "INCLUIENDERECO").AsString();
  std::string stCupNr = Optional(Params, "CUPNR").AsString();
  std::string stContCupom = Optional(Params, "CONTCUPOM").AsString();
  // TIPOTICKET, IVACOMP, IVAPROP, TIPODOC, NRDOC and MESA have no effect on this printer.
  const std::string IdUtilTef = Optional(Params, "IDUTILTEF").AsString();
  int32_t inTefErro = Optional(Params, "INTTEFERRO").AsInteger();
  const bool UtilTef = Optional(Params, "UTILTEF").AsBoolean();

  bool ok = false;
  for (;;) {
    Arg cpf(stIncluiCpf), nome(stIncluiNome), endereco(stIncluiEndereco);
    inRetorno = Vendor(Elgin_AbreCupomMFD, cpf.p(), nome.p(), endereco.p());
    stImpDebug = "Elgin_AbreCupomMFD";
    stMensagemTaa.clear();
    ok = AnalisaRetorno(inRetorno, boNUtilTaa, false, true);
    if (ok || !boNUtilTaa) {
      if (UtilTef) boClieUtil = false;
      break;
    }
    if (IsTefMode(IdUtilTef) && UtilTef) {
      if (AskRetry(Msg("Imp_N_Resp"), stEsquemaCor)) {
        inTefErro = 1;
        continue;
      }
      return false;  // the host's record stays as it was
    }
    break;
  }

  if (ok) {
    stCupNr = Nr_Cupom("", stEsquemaCor);
    ContadorCupomFiscalMFD(stEsquemaCor, stContCupom);
  }
  // Fitted also after a failed opening, so the host's own counter comes back at that width.
  stContCupom = hostlib::Ajusta(stContCupom, 6);

  Params = rtl::Variant::Record({{"INTTEFERRO", rtl::Variant(inTefErro)},
                                 {"INCLUICPF", rtl::Variant(stIncluiCpf)},
                                 {"INCLUINOME", rtl::Variant(stIncluiNome)},
                                 {"INCLUIENDERECO", rtl::Variant(stIncluiEndereco)},
                                 {"CUPNR", rtl::Variant(stCupNr)},
                                 {"CONTCUPOM", rtl::Variant(stContCupom)},
                                 {"MENSAGEMTAA", rtl::Variant(stMensagemTaa)}});
  return ok;
}

bool VendaItem(rtl::Variant& Params) {
  const std::string stEsquemaCor = Optional(Params, "ESQUEMACOR").AsString();
  const std::string CdArvProd = Required(Params, "CDARVPROD").AsString();
  const std::string NmProd = Required(Params, "NMPROD").AsString();
  const std::string CdAliq = Required(Params, "CDALIQ").AsString();
  const double doQtde = Required(Params, "QTDE").AsDouble();
  const double doValor = Required(Params, "VALOR").AsDouble();
  const double doDesconto = Optional(Params, "DESCONT").AsDouble();
  const double doAcrescimo = Optional(Params, "ACRESCIMO").AsDouble();
  // UNIDADE, TIPOTICKET and VRPERCALIQ have no effect on this printer.
  const std::string IdUtilTef = Optional(Params, "IDUTILTEF").AsString();
  const bool UtilTef = Optional(Params, "UTILTEF").AsBoolean();
  int32_t inTefErro = Optional(Params, "INTTEFERRO").AsInteger();

  Estado_Imp(stEsquemaCor, true, true);  // its verdict does not stop the sale

  // Amounts with three decimals and the system's decimal separator; price,
  // discount and surcharge are first truncated to cents on their decimal
  // value, and discount and surcharge are sent divided by 10.
  const std::string stQtde = FormatAmount("#0.000", doQtde);
  const std::string stValor = FormatAmount("#0.000", hostlib::Trunc2(doValor));
  const std::string stDesconto = FormatAmount("#0.000", hostlib::Trunc2(doDesconto) / 10);
  const std::string stAcrescimo = FormatAmount("#0.000", hostlib::Trunc2(doAcrescimo) / 10);
  const std::string stNome = rtl::Copy(NmProd, 1, 50);
  const bool temAjuste = doDesconto > 0 || doAcrescimo > 0;
  // A discount wins when both are given.
  const std::string stTipo = doDesconto > 0 ? "D" : "A";
  const std::string stAjuste = doDesconto > 0 ? stDesconto : stAcrescimo;

  // Every vendor call of an item is guarded: an error raised inside the
  // library is shown and counts as an execution error of the call (a stale
  // return code of an earlier call must not report it as done).
  auto guarded = [](auto&& call) {
    try {
      call();
    } catch (const std::exception& e) {
      ShowVendorException(e.what());
      inRetorno = -1;
    } catch (...) {
      ShowVendorException(Msg("ComandoNExec"));
      inRetorno = -1;
    }
  };

  // Steps of one item: 1 the sale, 2 the number of the item just sold, 3 its
  // discount or surcharge. A retry resumes at the step that failed, so an
  // item the printer accepted is never sold twice.
  int inicio = 1;
  // True when the step at `inicio` was executed by the printer (code 1) and
  // only the status check after it failed: a retry then checks the status
  // again and never sends the command a second time, which would register
  // the item or its adjustment twice.
  bool verificar = false;
  std::string stItem;
  for (;;) {
    bool ok = true;
    int falhou = 0;
    bool executado = false;
    auto analisa = [&](int passo) {
      if (!AnalisaRetorno(inRetorno, boNUtilTaa, false, false)) {
        boClieUtil = false;
        ok = false;
        falhou = passo;
        executado = inRetorno == 1 && passo != 2;
      }
    };

    if (verificar) {
      inRetorno = 1;
      stImpDebug = "Elgin_VerificaEstadoImpressora";
      analisa(inicio);
      if (ok) ++inicio;
    }

    if (ok && inicio <= 1) {
      guarded([&] {
        Arg cod(CdArvProd), nome(stNome), aliq(CdAliq), tipoQtde("F"), qtde(stQtde), valor(stValor), tipoDesc("$"),
            desc("0000");
        inRetorno = Vendor(Elgin_VendeItem, cod.p(), nome.p(), aliq.p(), tipoQtde.p(), qtde.p(), 3, valor.p(),
                           tipoDesc.p(), desc.p());
      });
      stImpDebug = "Elgin_VendeItem : " + CdArvProd + " - " + stNome + " - " + CdAliq + " - F - " + stQtde + " - " +
                   stValor + " - 0000";
      analisa(1);
    }

    // The adjustment belongs to this item: when the printer refused the item
    // (or did not say which item it sold last) it is not sent, since it would
    // land on the printer's previous item.
    if (ok && temAjuste) {
      if (ok && inicio <= 2) {
        std::string buf(4, ' ');
        guarded([&] { inRetorno = Vendor(Elgin_UltimoItemVendido, buf.data()); });
        buf = Answer(buf);
        stItem = buf;
        stImpDebug = "Elgin_UltimoItemVendido : " + buf;
        analisa(2);
      }
      if (ok && inicio <= 3) {
        guarded([&] {
          Arg item(stItem), tipo(stTipo), modo("$"), valor(stAjuste);
          inRetorno = Vendor(Elgin_AcrescimoDescontoItemMFD, item.p(), tipo.p(), modo.p(), valor.p());
        });
        stImpDebug = "Elgin_AcrescimoDescontoItemMFD : " + stItem + " - " + stTipo + " - $ - " + stAjuste;
        analisa(3);
      }
    }

    if (ok || !boNUtilTaa) {
      if (UtilTef) boClieUtil = false;
      Params =
          rtl::Variant::Record({{"INTTEFERRO", rtl::Variant(inTefErro)}, {"MENSAGEMTAA", rtl::Variant(stMensagemTaa)}});
      return ok;
    }

    if (IsTefMode(IdUtilTef) && UtilTef) {
      if (!AskRetry(Msg("Imp_N_Resp"), stEsquemaCor)) {
        inTefErro = 3;
        Params = rtl::Variant::Record({{"INTTEFERRO", rtl::Variant(inTefErro)}});
        return false;
      }
    } else {
      const std::string pergunta =
          Msg("ErroItem") + "\r\n" + CdArvProd + " - " + rtl::Copy(NmProd, 1, 20) + "\r\n" + Msg("Deseja");
      if (!AskRetry(pergunta, stEsquemaCor)) return false;  // the host's record stays as it was
    }
    inicio = falhou;
    verificar = executado;
  }
}

std::string Nr_Cupom(const std::string& stIgnorado, const std::string& stEsquemaCor) {
  inRetorno = QueryText(Elgin_NumeroCupom, 6, stRetorno);
  stImpDebug = Trace("Elgin_NumeroCupom", stRetorno);
  if (AnalisaRetorno(inRetorno, false, false, false)) return stRetorno;
  return "";
}

bool Acrescimo_Imp(const std::string& stIgnorado, std::string& stVrAcrescimo) {
  // The code is analysed but, unlike the other queries, not kept in inRetorno.
  const int codigo = QueryText(Elgin_Acrescimos, 13, stVrAcrescimo);
  stImpDebug = Trace("Elgin_Acrescimos", stVrAcrescimo);
  return AnalisaRetorno(codigo, false, true, false);
}

std::string RemoveAcentos(const std::string& Str) {
  static const std::string acentuados = "\\\\";
  static const std::string simples = "||";
  std::string out = Str;
  for (char& c : out) {
    auto p = acentuados.find(c);
    if (p != std::string::npos) c = simples[p];
  }
  return out;
}

}  // namespace Qor01100

