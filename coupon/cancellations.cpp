// Cancellations of an item or of the coupon.
//
// A cancellation is sent once: when its answer is lost, the printer's own
// record (the day's cancellation total, the count of cancelled coupons)
// tells whether it took effect, so a lost answer never reports as failed a
// cancellation that happened (and a host retrying it would then cancel the
// item before it).
#include <exception>
#include <string>

#include "coupon/operations.h"
#include "driver/command.h"
#include "driver/frame.h"
#include "driver/printer_record.h"
#include "hostlib/consiste.h"
#include "platform/text.h"
#include "programming/grand_total.h"
#include "programming/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

// The number of the coupon being cancelled, as the host stores it: the
// printer's number without its leading zeros, fitted to 6 characters; empty
// (after the operator's notice) when the printer's text is not a number.
std::string CouponNumber(const std::string& stRetornoCupom, const std::string& stEsquemaCor) {
  try {
    return hostlib::Ajusta(rtl::IntToStr(rtl::StrToInt(stRetornoCupom)), 6);
  } catch (const std::exception&) {
    Notice(Msg("ComandoNExec"), hostlib::tmAviso, stEsquemaCor);
    return "";
  }
}

}  // namespace

bool Cancela_ItGenerico(const std::string& a1, const std::string& stNrSeq, const std::string& a3,
                        const std::string& a4, const std::string& a5, const std::string& a6, const std::string& a7,
                        const std::string& a8, const std::string& a9, double a10, double a11) {
  const std::string item = rtl::Copy(stNrSeq, 2, 4);
  return Step(Call("Elgin_CancelaItemGenerico : " + item, Elgin_CancelaItemGenerico, item)
                  .Probe(record::Cancellations))
      .Run();
}

bool Cancela_UltimoItem(const std::string& a1, const std::string& a2) {
  return Step(Call("Elgin_CancelaItemAnterior", Elgin_CancelaItemAnterior).Show(true).Probe(record::Cancellations))
      .Run();
}

bool Cancela_Cupom_Imp(const rtl::Variant& Params, rtl::Variant& oleRetorno) {
  const std::string stEsquemaCor = Params[0].AsString();
  const bool boMsg = Params[1].AsBoolean();
  const bool boFechaCupom = Params[2].AsBoolean();
  const std::string stCdFilial = Params[4].AsString();
  const std::string stCdCaixa = Params[5].AsString();
  const std::string stNrSerie = Params[6].AsString();

  // Without the printer's coupon number nothing is cancelled.
  if (Nr_Cupom("", stEsquemaCor).empty()) return false;
  const std::string stNrCupom = CouponNumber(stRetorno, stEsquemaCor);
  if (!oleRetorno.IsArray() || oleRetorno.ArrayLength() < 1) oleRetorno = rtl::Variant::CreateArray(1);
  oleRetorno[0] = rtl::Variant(stNrCupom);

  const rtl::Variant totalGeral = rtl::Variant::Record({{"CDFILIAL", rtl::Variant(stCdFilial)},
                                                        {"CDCAIXA", rtl::Variant(stCdCaixa)},
                                                        {"NRSERIEIMP", rtl::Variant(stNrSerie)},
                                                        {"ESQUEMACOR", rtl::Variant(stEsquemaCor)},
                                                        {"IDVALIDA", rtl::Variant("N")}});
  // The record waits for the printer's new total before the printer changes
  // it, as at the start: a till that dies between the cancellation and the
  // recording leaves no old total for the next check to call a mismatch.
  MarkGrandTotalPending(totalGeral);
  const bool ok = Step(Call("Elgin_CancelaCupom", Elgin_CancelaCupom)
                           .Show(boMsg)
                           .CancelOpenCoupon(boFechaCupom)
                           .Probe(record::CancelledCoupons))
                      .Run();

  // The grand-total record follows the printer whatever it answered.
  Atu_TotGeral(totalGeral);
  return ok;
}

}  // namespace Qor01100
