// Coupon closing and payment.
//
// Positions of the host's list read here (the others are not used):
//   1 first footer line          2 colour scheme of dialogs
//   4 register the change as a non-fiscal receipt
//   5 show printer-error dialogs 6 subtotal discount   7 change
//   8 service charge (subtotal surcharge)
//   9 electronic-funds-transfer mode "S"/"T"           10 observation
//  11 an electronic-funds-transfer sale is in progress
//  13 movement packet           14 payment-type packet
//  15, 16 customer code, name   17, 18 consumer code, name
//  19 consumer CPF              20 passed on to the footer
//  21 table or tab number       22, 23 operator code, name
//  27 balance block mode        28, 29 COO and CER of the table bill
//  31 order password            32, 33, 34 balance, family and loan packets
//  36 consumer-sale type        37 balance before the sale
//  38 subsidised price          39 passed on to the footer
//  40 "S": reduced voucher inside the footer
//  41 ECF number                42 echoed in the result
//  43 branch state              44 branch CNPJ
//  50 ICMS amount (DF)          51 approximate tax amount
//  52, 54 loyalty points        60 print the consumer line (null: true)
#include "coupon/operations.h"

#include <exception>
#include <functional>

#include "coupon/footer.h"
#include "coupon/sale.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/state.h"
#include "driver/vendor_call.h"
#include "hostlib/consiste.h"
#include "hostlib/dialogs.h"
#include "nonfiscal/operations.h"
#include "platform/errors.h"
#include "platform/format.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {

namespace {

// The host's arguments, with the values of elements it did not give.
struct Argumentos {
  std::string st1, st2, st9, st10;
  bool bo4 = false, bo5 = false, bo11 = false, bo60 = true;
  double do6 = 0, do7 = 0, do8 = 0;
  rtl::Variant ole13, ole14, ole32, ole33, ole34;
  std::string st15, st16, st17, st18, st19, st20, st21, st22, st23, st27, st28, st29, st31;
  std::string st36, st39, st40, st41, st42, st43, st44;
  double do37 = 0, do38 = 0, do50 = 0, do51 = 0, do52 = 0, do54 = 0;
};

// Each element is read on its own: an element that is missing or cannot be
// converted (a null where a text is expected) keeps its empty, zero or false
// value, and the elements after it are still read, so one bad value never
// takes the sale's payments or footer data with it.
Argumentos LeArgumentos(const rtl::Variant& ar) {
  Argumentos a;
  auto elem = [&](size_t i) -> const rtl::Variant* {
    if (!ar.IsArray() || i >= ar.ArrayLength()) return nullptr;
    return &ar[i];
  };
  auto text = [&](size_t i, std::string& out) {
    if (auto* v = elem(i)) try {
        out = v->AsString();
      } catch (const rtl::Exception&) {
      }
  };
  auto real = [&](size_t i, double& out) {
    if (auto* v = elem(i)) try {
        out = v->AsDouble();
      } catch (const rtl::Exception&) {
      }
  };
  auto boolean = [&](size_t i, bool& out) {
    if (auto* v = elem(i)) try {
        out = v->AsBoolean();
      } catch (const rtl::Exception&) {
      }
  };
  auto packet = [&](size_t i, rtl::Variant& out) {
    if (auto* v = elem(i)) out = *v;
  };
  text(1, a.st1);
  text(2, a.st2);
  boolean(4, a.bo4);
  boolean(5, a.bo5);
  real(6, a.do6);
  real(7, a.do7);
  real(8, a.do8);
  text(9, a.st9);
  text(10, a.st10);
  boolean(11, a.bo11);
  packet(13, a.ole13);
  packet(14, a.ole14);
  text(15, a.st15);
  text(16, a.st16);
  text(17, a.st17);
  text(18, a.st18);
  text(19, a.st19);
  text(20, a.st20);
  text(21, a.st21);
  text(22, a.st22);
  text(23, a.st23);
  text(27, a.st27);
  text(28, a.st28);
  text(29, a.st29);
  text(31, a.st31);
  packet(32, a.ole32);
  packet(33, a.ole33);
  packet(34, a.ole34);
  text(36, a.st36);
  real(37, a.do37);
  real(38, a.do38);
  text(39, a.st39);
  text(40, a.st40);
  text(41, a.st41);
  text(42, a.st42);
  text(43, a.st43);
  text(44, a.st44);
  real(50, a.do50);
  real(51, a.do51);
  real(52, a.do52);
  real(54, a.do54);
  if (auto* v = elem(60); v && !v->IsNull() && !v->IsEmpty()) boolean(60, a.bo60);
  return a;
}

// Loads a host packet into a data-module dataset. No packet (an empty or
// null element) leaves the dataset closed and empty; anything else that is
// not a packet raises the dataset's error.
void CarregaPacote(rtl::ClientDataSet& ds, const rtl::Variant& pacote) { ds.SetData(pacote); }

std::string TextoFidelidade(const char* chave, double pontos) {
  if (pontos == 0) return "";
  return rtl::StringReplace(Msg2(chave), "%s", rtl::FloatToStr(pontos), false);
}

// Movement fields copied into the working copy, in this order.
const char* const kCamposMov[] = {"CDFILIAL",   "IDTIPOMOVIVE", "DTHRINCMOV",   "CDTIPORECE",   "NMTIPORECE",
                                  "IDTIPORECE", "VRMOVIVEND",   "VRMOVIVEOUT",  "VRCOTINDOUT",  "CDTIPOTROCO",
                                  "NRORDTROCO", "CDCLIENTE",    "CDCONSUMIDOR", "DTMOVIMCAIXA", "DSIMPFISCAL",
                                  "CDFPIMPFIS", "NRCARTBANCO",  "CDNSUHOSTTEF", "CDBANCARTCR",  "CDTIPORECEORIG"};

void CopiaCampo(rtl::ClientDataSet& de, rtl::ClientDataSet& para, const std::string& nome) {
  rtl::Field& origem = de.FieldByName(nome);
  rtl::Field& destino = para.FieldByName(nome);
  if (origem.IsNull()) {
    destino.Clear();
  } else if (nome.rfind("DT", 0) == 0) {
    destino.SetAsDateTime(origem.AsDateTime());
  } else if (nome.rfind("VR", 0) == 0) {
    destino.SetAsFloat(origem.AsFloat());
  } else {
    destino.SetAsString(origem.AsString());
  }
}

}  // namespace

bool FechaCupom(const rtl::Variant& arParams, rtl::StringList* stlCupomTef, rtl::Variant& oleRetorno) {
  const Argumentos a = LeArgumentos(arParams);
  const std::string stDotz = TextoFidelidade("DOTZ", a.do52);
  const std::string stDotzExtra = TextoFidelidade("DOTZ_EXTRAS", a.do54);
  const std::string stLinhaMesa = LinhaMesa(a.st21);
  int inTefErro = 0;  // element 0 of the result
  int estagio = 1;
  bool pronto = true;
  const bool vendaTef = IsTefMode(a.st9) && a.bo11;

  TdtmElgin01100& dm = DataModule();
  CarregaPacote(dm.cdsMovCaixa, a.ole13);
  CarregaPacote(dm.cdsMovCaixaTef, a.ole13);
  if (dm.cdsMovCaixaTef.Active()) dm.cdsMovCaixaTef.EmptyDataSet();
  CarregaPacote(dm.cdsRecebAux, a.ole14);
  CarregaPacote(dm.cdsSaldCred, a.ole32);
  CarregaPacote(dm.cdsFamiliaSaldo, a.ole33);
  CarregaPacote(dm.cdsEmprestimo, a.ole34);

  // The failure rule: in an electronic-funds-transfer sale with an operator
  // present the operator may repeat the step; otherwise the call ends.
  // True: repeat the step.
  auto repete = [&]() -> bool {
    if (vendaTef && boNUtilTaa) {
      if (AskRetry(Msg("Imp_N_Resp"), a.st2)) {
        inTefErro = 1;
        return true;
      }
      return false;
    }
    boClieUtil = false;
    return false;
  };

  // Sends one step's command under the failure rule. When the printer
  // executed the command (code 1) and only the status check after it
  // failed, a retry checks the status again instead of sending the command a
  // second time: a payment or the closing would otherwise be registered twice.
  auto passo = [&](const std::function<int()>& envia, const std::string& trace) -> bool {
    bool enviar = true;
    for (;;) {
      if (enviar) {
        inRetorno = envia();
        stImpDebug = trace;
      } else {
        inRetorno = 1;
        stImpDebug = "Elgin_VerificaEstadoImpressora";
      }
      if (AnalisaRetorno(inRetorno, a.bo5, false, false)) return true;
      if (!repete()) return false;
      enviar = inRetorno != 1;
    }
  };

  if (a.st9 == "T" && a.bo11) {
    while (!Estado_Imp(a.st2, true, false))
      if (!repete()) return false;
  }

  try {
    std::string stUltimoValor;  // the last amount text sent to the printer

    while (estagio == 1) {
      std::string tipo, valor, trace;
      if (a.do6 > 0) {
        tipo = "D";
        valor = FormatAmount("0.00", hostlib::Trunc2(a.do6));
        trace = "Elgin_IniciaFechamentoCupom : d - $ - " + valor;
      } else if (a.do8 > 0) {
        tipo = "A";
        valor = FormatAmount("0.00", hostlib::Trunc2(a.do8));
        trace = "Elgin_IniciaFechamentoCupom : a - $ - " + valor;
      } else {
        tipo = "d";
        valor = rtl::FloatToStr(a.do6);
        trace = "Elgin_IniciaFechamentoCupom : d - $ - " + valor;
      }
      stUltimoValor = valor;
      const bool feito = passo(
          [&] {
            Arg t(tipo), m("$"), v(valor);
            return Vendor(Elgin_IniciaFechamentoCupom, t.p(), m.p(), v.p());
          },
          trace);
      if (!feito) return false;
      estagio = 2;
    }

    double doPago = 0;
    double doTotConsumidor = 0;
    bool convenio = false;
    rtl::ClientDataSet& mov = dm.cdsMovCaixa;
    rtl::ClientDataSet& tef = dm.cdsMovCaixaTef;
    rtl::ClientDataSet& receb = dm.cdsRecebAux;

    if (mov.Active() && tef.Active()) {
      // Copy pass, in the order of change and time of the movements.
      mov.SetIndexName("idxNRORDTROCO");
      for (mov.First(); !mov.Eof(); mov.Next()) {
        tef.Append();
        for (const char* campo : kCamposMov) CopiaCampo(mov, tef, campo);
        tef.Post();
        const std::string tipoMov = mov.FieldByName("IDTIPOMOVIVE").AsString();
        if (tipoMov == "E" || (tipoMov == "T" && vendaTef)) doPago += mov.FieldByName("VRMOVIVEND").AsFloat();
      }

      // Payment pass, in the order of the host's payment-type index. The
      // host's packet defines "idxIDTIPORECE" with whatever fields give its
      // payment order (cards before cash, say); a packet without it cannot
      // be paid, and the closing fails with the result array written.
      tef.SetIndexName("idxIDTIPORECE");
      tef.First();
      while (!tef.Eof()) {
        const std::string tipoMov = tef.FieldByName("IDTIPOMOVIVE").AsString();
        if (tipoMov != "E" && tipoMov != "T") {
          tef.Next();
          continue;
        }
        const std::string banco = tef.FieldByName("CDBANCARTCR").AsString();
        const std::string cdBusca = tef.FieldByName(banco.empty() ? "CDTIPORECE" : "CDTIPORECEORIG").AsString();
        std::string nome, tipoRece;
        if (receb.Active() && receb.Locate("CDTIPORECE", rtl::Variant(cdBusca))) {
          nome = receb.FieldByName("NMTIPORECE").AsString();
          tipoRece = receb.FieldByName("IDTIPORECE").AsString();
        } else {
          // A payment type missing from the host's table is registered under
          // the movement's own printer name and kind, never under whatever
          // type the table happened to be on.
          nome = tef.FieldByName("DSIMPFISCAL").AsString();
          if (rtl::Trim(nome).empty()) nome = tef.FieldByName("NMTIPORECE").AsString();
          tipoRece = tef.FieldByName("IDTIPORECE").AsString();
        }
        const double vrPagamento = tef.FieldByName("VRMOVIVEND").AsFloat();
        if (tipoRece == "8") convenio = true;
        if (tipoRece == "9" || tipoRece == "A") doTotConsumidor += vrPagamento;

        const std::string stNome = rtl::Copy(nome, 1, 16);
        const std::string stValor = FormatAmount("#0.00", vrPagamento);
        stUltimoValor = stValor;
        const bool pago = passo(
            [&] {
              Arg n(stNome), v(stValor);
              return Vendor(Elgin_EfetuaFormaPagamento, n.p(), v.p());
            },
            "Elgin_EfetuaFormaPagamento : " + stNome + " - " + stValor);
        if (!pago) return false;
        estagio = 3;
        tef.Next();
      }
      tef.SetIndexName("idxNRORDTROCO");
    }

    // Footer inputs that depend on the payments.
    const char sep = rtl::Settings().DecimalSeparator;
    const double doLiquido = hostlib::RoundDec(doPago, 2) - hostlib::RoundDec(a.do7, 2);
    std::string stLiquido = FormatAmount(".00", doLiquido);
    if (stLiquido == std::string(1, sep) + "00") stLiquido = stUltimoValor;
    const double nLiquido = rtl::StrToFloatDef(stLiquido, doLiquido);
    std::string stLinhaImposto = LinhaImposto(a.do51, nLiquido);
    std::string stInteiro = stLiquido, stFracao = "00";
    if (auto p = stLiquido.find(sep); p != std::string::npos) {
      stInteiro = stLiquido.substr(0, p);
      stFracao = rtl::Copy(stLiquido, static_cast<int64_t>(p) + 2, 2);
    }
    const std::string stData = rtl::FormatDateTime("ddmmyyyy", rtl::Now());
    const std::string stCnpj = FormataCNPJ(a.st44);
    std::string stTextoEstado;
    std::string dsMensCpfCup = a.st1;
    if (a.st43 == "MG") {
      stTextoEstado = "MINAS LEGAL: " + rtl::Copy(stCnpj, 1, 8) + " " + stData + " " + stInteiro + stFracao;
    } else if (a.st43 == "DF") {
      stLinhaImposto += std::string("\n\r") + "ESTABELECIMENTO INCLUIDO NO PROGRAMA DE " + "\n\r" +
                        "CONCESSAO DE CREDITOS - LEI n\xBA 4.159/08." + "\n\r" + "\x1b" + "E" + "NOTA LEGAL:" + "\x1b" +
                        "F" + " ICMS = " + FormatAmount("#,##0.00", a.do50);
      dsMensCpfCup += "NL";
    } else if (a.st43 == "PB") {
      stTextoEstado = "PARAIBA LEGAL - RECEITA CIDADA\n\rTORPEDO PREMIADO: " + rtl::Copy(stCnpj, 1, 14) + " " + stData +
                      " " + stInteiro + stFracao + " " + rtl::Copy(a.st19, 1, 11);
    }
    const bool boUtilTefRed = a.st9 == "T" && a.bo11 && a.st40 == "S";

    // End of the closing, once at least one payment was accepted; otherwise
    // the coupon stays open in its payment stage.
    if (estagio == 3) {
      {
        const std::string stLinhaSenha = a.st31.empty() ? "" : Msg("SENHA") + a.st31;
        const std::string rodape = Formata_rodape(
            8, a.st36, dsMensCpfCup, stLinhaImposto, stTextoEstado, a.st43, a.st15, a.st16, a.st17, a.st18, a.st22,
            a.st23, stLinhaMesa, stLinhaSenha, a.st19, a.st20, a.st39, a.st10, a.st41, a.st29, a.st28, a.st27,
            convenio ? "1" : "2", doTotConsumidor, a.do38, a.do37, &dm.cdsSaldCred, &dm.cdsFamiliaSaldo,
            &dm.cdsEmprestimo, boUtilTefRed, stlCupomTef, stDotz, stDotzExtra, a.bo60);
        const bool fechado = passo(
            [&] {
              Arg r(rodape);
              return Vendor(Elgin_TerminaFechamentoCupom, r.p());
            },
            "Elgin_TerminaFechamentoCupom");
        if (!fechado) return false;
      }
    }

    if (a.bo4) {
      // The change as a non-fiscal receipt; its outcome does not change the result.
      const std::string stValor = FormatAmount("0.00", a.do7);
      const std::string stNome = rtl::Copy(Msg("Dinheiro"), 1, 16);
      Arg t(IdTotParcCV), v(stValor), n(stNome);
      inRetorno = Vendor(Elgin_RecebimentoNaoFiscal, t.p(), v.p(), n.p());
      stImpDebug = "Elgin_RecebimentoNaoFiscal : " + IdTotParcCV + " - " + stValor + " - " + stNome;
      AnalisaRetorno(inRetorno, a.bo5, false, false);
    }
  } catch (const std::exception&) {
    pronto = false;
    // Leave the working copy as a finished pass would: nothing half edited,
    // back on its own index (so the next call can load its packet).
    for (rtl::ClientDataSet* ds : {&dm.cdsMovCaixa, &dm.cdsMovCaixaTef})
      if (ds->State() == rtl::DataSetState::Edit || ds->State() == rtl::DataSetState::Insert) ds->Cancel();
    try {
      dm.cdsMovCaixaTef.SetIndexName("idxNRORDTROCO");
    } catch (const std::exception&) {
      dm.cdsMovCaixaTef.SetIndexName("");
    }
  }

  // The host creates the result array with at least four elements; a
  // smaller one (or none) is grown so that the results always fit.
  if (!oleRetorno.IsArray()) oleRetorno = rtl::Variant::CreateArray(4);
  if (oleRetorno.ArrayLength() < 4) oleRetorno.Items().resize(4);
  oleRetorno[0] = rtl::Variant(inTefErro);
  oleRetorno[1] = rtl::Variant(a.st42);
  oleRetorno[2] = rtl::Variant(std::string());
  oleRetorno[3] = rtl::Variant(stMensagemTaa);
  if (!stMensagemTaa.empty()) boClieUtil = false;
  return pronto;
}

}  // namespace Qor01100

