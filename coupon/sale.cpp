// Coupon opening and item sale.
#include "coupon/sale.h"

#include <optional>
#include <utility>

#include "driver/command.h"
#include "driver/frame.h"
#include "driver/printer_record.h"
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

  // Opened once: a retry after a lost answer asks the printer first.
  Step opening(Call("Elgin_AbreCupomMFD", Elgin_AbreCupomMFD, stIncluiCpf, stIncluiNome, stIncluiEndereco)
                    .Show(boNUtilTaa)
                    .Opening()
                    .Probe(record::CouponState));
  const bool tef = IsTefMode(IdUtilTef) && UtilTef;
  const RetryEnd end = RetryLoop(
      [&] {
        stMensagemTaa.clear();
        return opening.Run();
      },
      [&] {
        if (!tef || !AskRetry(Msg("Imp_N_Resp"), stEsquemaCor)) return false;
        inTefErro = 1;
        return true;
      });
  if (end == RetryEnd::Declined && tef) return false;  // the host's record stays as it was
  const bool ok = end == RetryEnd::Succeeded;
  if (end != RetryEnd::Declined && UtilTef) boClieUtil = false;

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

namespace {

// One item on the printer: the sale, then (when it has one) the number of
// the item just sold and its discount or surcharge. Each registering step is
// sent exactly once however often the operator retries; the adjustment is
// built once the printer has named the item, and is never sent when the
// item itself was refused (it would land on the printer's previous item).
class ItemSale {
 public:
  ItemSale(Command venda, bool temAjuste, std::string tipo, std::string valor)
      : venda_(std::move(venda)), temAjuste_(temAjuste), tipo_(std::move(tipo)), valor_(std::move(valor)) {}

  bool Attempt() {
    if (!venda_.Run() || (temAjuste_ && !Adjust())) {
      boClieUtil = false;
      return false;
    }
    return true;
  }

  // A false result leaves nothing of the item on the printer: an item the
  // printer holds is voided (with whatever adjustment it got).
  void Undo() {
    if (!venda_.Registered()) return;
    Step(Call("Elgin_CancelaItemAnterior", Elgin_CancelaItemAnterior).ShowThrow("001").Probe(record::Cancellations))
        .Run();
  }

 private:
  bool Adjust() {
    if (!ajuste_) {
      std::string item;
      const bool lido = Send(Call("", Elgin_UltimoItemVendido, Into(item))
                                 .TraceWith([&] { return "Elgin_UltimoItemVendido : " + item; })
                                 .Show(boNUtilTaa)
                                 .ShowThrow("001"));
      if (!lido) return false;
      ajuste_.emplace(Call("Elgin_AcrescimoDescontoItemMFD : " + item + " - " + tipo_ + " - $ - " + valor_,
                           Elgin_AcrescimoDescontoItemMFD, item, tipo_, "$", valor_)
                          .Show(boNUtilTaa)
                          .ShowThrow("001")
                          .Probe(record::Adjustments));
    }
    return ajuste_->Run();
  }

  Step venda_;
  bool temAjuste_;
  std::string tipo_, valor_;
  std::optional<Step> ajuste_;
};

}  // namespace

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
  // A discount wins when both are given.
  ItemSale item(Call("Elgin_VendeItem : " + CdArvProd + " - " + stNome + " - " + CdAliq + " - F - " + stQtde + " - " +
                         stValor + " - 0000",
                     Elgin_VendeItem, CdArvProd, stNome, CdAliq, "F", stQtde, 3, stValor, "$", "0000")
                    .Show(boNUtilTaa)
                    .ShowThrow("001")
                    .Probe(record::GrossSale),
                doDesconto > 0 || doAcrescimo > 0, doDesconto > 0 ? "D" : "A",
                doDesconto > 0 ? stDesconto : stAcrescimo);

  const bool tef = IsTefMode(IdUtilTef) && UtilTef;
  const std::string question = tef ? Msg("Imp_N_Resp")
                                   : Msg("ErroItem") + "\r\n" + CdArvProd + " - " + rtl::Copy(NmProd, 1, 20) +
                                         "\r\n" + Msg("Deseja");
  const RetryEnd end = RetryLoop([&] { return item.Attempt(); }, [&] { return AskRetry(question, stEsquemaCor); });
  if (end != RetryEnd::Succeeded) item.Undo();
  if (end == RetryEnd::Declined) {
    if (!tef) return false;  // the host's record stays as it was
    Params = rtl::Variant::Record({{"INTTEFERRO", rtl::Variant(3)}});
    return false;
  }
  if (UtilTef) boClieUtil = false;
  Params = rtl::Variant::Record({{"INTTEFERRO", rtl::Variant(inTefErro)}, {"MENSAGEMTAA", rtl::Variant(stMensagemTaa)}});
  return end == RetryEnd::Succeeded;
}

std::string Nr_Cupom(const std::string& stIgnorado, const std::string& stEsquemaCor) {
  if (Send(Query("Elgin_NumeroCupom", Elgin_NumeroCupom, stRetorno))) return stRetorno;
  return "";
}

bool Acrescimo_Imp(const std::string& stIgnorado, std::string& stVrAcrescimo) {
  // The code is analysed but, unlike the other queries, not kept in inRetorno.
  return Send(Query("Elgin_Acrescimos", Elgin_Acrescimos, stVrAcrescimo).KeepInRetorno(false).CancelOpenCoupon());
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

