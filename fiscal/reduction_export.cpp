// ExportRedZ: the host's four reduction tables built from the printer's
// readings (reduction row, tax rates, non-fiscal totalizers, payment methods).
#include <exception>

#include "coupon/operations.h"
#include "driver/command.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/packets.h"
#include "fiscal/operations.h"
#include "fiscal/reduction_records.h"
#include "hostlib/consiste.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/text.h"
#include "programming/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

using records::Take;

// What every row of the four tables carries.
struct RowKey {
  std::string ecf;
  rtl::TDateTime date;
};

// A record the printer answers in a buffer as wide as the entry list gives it (not analysed here).
template <class F>
std::string Read(F* const& entry) {
  std::string buf;
  CallOnly(Call("", entry, Into(buf)));
  return buf;
}

void EnsureFolder(const std::string& path, const std::string& scheme) {
  if (rtl::DirectoryExists(path) || rtl::CreateDir(path)) return;
  Notice(Msg("N_POS_DIR") + " " + path, hostlib::tmAviso, scheme);
}

void StartRow(rtl::ClientDataSet& ds, const RowKey& key) {
  ds.Append();
  ds.FieldByName("NRECFREDZ").SetAsString(key.ecf);
  ds.FieldByName("DTREDUCAOZ").SetAsDateTime(key.date);
}

// The reduction row, left open for the totals of the partial-totalizer list.
void ReductionRow(rtl::ClientDataSet& z, const RowKey& key, const std::string& scheme, const std::string& coupon,
                  const std::string& marca, const std::string& modelo) {
  z.Close();
  z.CreateDataSet();
  StartRow(z, key);
  std::string operacoes, reducoes, texto;
  NumeroOperacoesNaoFiscais(scheme, operacoes);
  NumeroReducoes(scheme, reducoes);
  // This reading of the last reduction hands the printer one blank more than the record's width.
  std::string last;
  CallOnly(Call("", Elgin_DadosUltimaReducaoMFD, Into(last, ListedAnswerWidth(&Elgin_DadosUltimaReducaoMFD, 0) + 1)));
  z.FieldByName("NRGERCNFREDZ").SetAsString(operacoes);
  z.FieldByName("NRREINIREDZ").SetAsString(Take(last, records::last::kCro));
  z.FieldByName("NRREDREDZ").SetAsString(reducoes);
  for (const char* zero : {"NRLEITREDZ", "NRCANCFREDZ", "NRPRIMCFREDZ"})
    z.FieldByName(zero).SetAsString("0000000000");
  const std::string next = hostlib::Ajusta(rtl::IntToStr(int64_t{rtl::StrToInt(rtl::Trim(coupon))} + 1), 6);
  z.FieldByName("NRULTCFREDZ").SetAsString(hostlib::Ajusta(next, 10));

  BuscaTotGer(scheme, texto);
  const double grandTotal = rtl::StrToFloat(texto);
  VendaBruta(scheme, texto);
  const double gross = GetValue(texto);
  Cancelamentos(scheme, texto);
  const double cancellations = GetValue(texto);
  Descontos(scheme, texto);
  const double discounts = GetValue(texto);
  Acrescimo_Imp(scheme, texto);
  const double surcharges = GetValue(texto);
  z.FieldByName("VRGTREDZ").SetAsFloat(grandTotal);
  z.FieldByName("VRVENBRUREDZ").SetAsFloat(gross);
  z.FieldByName("VRTOTCANREDZ").SetAsFloat(cancellations);
  z.FieldByName("VRTOTDESREDZ").SetAsFloat(discounts);
  z.FieldByName("VRISSREDZ").SetAsFloat(0);
  z.FieldByName("VRVENLIQREDZ").SetAsFloat(gross - cancellations - discounts);
  z.FieldByName("VRTOTACRREDZ").SetAsFloat(surcharges);
  z.FieldByName("DSMODMARCAECF").SetAsString(rtl::Copy(rtl::Trim(marca) + "|" + rtl::Trim(modelo), 1, 30));
}

// One row per programmed rate, up to the first unprogrammed one; also for a
// zero base. Returns the whole partial-totalizer list.
std::string TaxRows(rtl::ClientDataSet& tax, const RowKey& key) {
  tax.Close();
  tax.CreateDataSet();
  std::string rates = Read(Elgin_RetornoAliquotas);
  const std::string partial = Read(Elgin_VerificaTotalizadoresParciais);
  std::string taxed = Take(partial, records::partial::kTaxed);
  for (int k = 1; !rates.empty() && rtl::Copy(rates, 1, records::kRateWidth) != "0000"; ++k) {
    const double rate = GetValue(rtl::Copy(rates, 1, records::kRateWidth));
    const double base = GetValue(rtl::Copy(taxed, 1, records::kTotalizerWidth));
    StartRow(tax, key);
    tax.FieldByName("CDALIQIMPRZ").SetAsString(hostlib::Ajusta(rtl::IntToStr(k), 2));
    tax.FieldByName("VRALIQIMPRZ").SetAsFloat(rate);
    tax.FieldByName("VRBCALCIMPRZ").SetAsFloat(base);
    tax.FieldByName("VRIMPOSTORZ").SetAsFloat(rate * base / 100);
    tax.FieldByName("IDTPIMPREDZ").SetAsString("T");
    rtl::Delete(rates, 1, records::kRateStep);
    rtl::Delete(taxed, 1, records::kTotalizerWidth);
    tax.Post();
  }
  return partial;
}

void NonFiscalRow(rtl::ClientDataSet& nf, const RowKey& key, const std::string& number, const std::string& name,
                  const std::string& counter, double value) {
  StartRow(nf, key);
  nf.FieldByName("NRTOTNFISCRZ").SetAsString(number);
  nf.FieldByName("DSTOTNFISCRZ").SetAsString(name);
  nf.FieldByName("NRCONTOTNFIS").SetAsString(counter);
  nf.FieldByName("VRACUTOTNFIS").SetAsFloat(value);
  nf.Post();
}

// One row per named non-fiscal totalizer, then withdrawals ("29") and supplies ("30").
void NonFiscalRows(rtl::ClientDataSet& nf, const RowKey& key) {
  namespace r = records::nonfiscal;
  nf.Close();
  nf.CreateDataSet();
  std::string list = Read(Elgin_VerificaRecebimentoNaoFiscal);
  for (int m = 1; !hostlib::EmptyString(Take(list, r::kDescription)); ++m) {
    NonFiscalRow(nf, key, hostlib::Ajusta(rtl::IntToStr(m), 2), Take(list, r::kDescription), Take(list, r::kCounter),
                 GetValue(Take(list, r::kValue)));
    rtl::Delete(list, 1, r::kEntry);
  }
  const std::string mfd = Read(Elgin_VerificaRecebimentoNaoFiscalMFD);
  NonFiscalRow(nf, key, "29", "Sangria", "0000", GetValue(Take(mfd, records::nonfiscal_mfd::kWithdrawals)));
  NonFiscalRow(nf, key, "30", "Suprimento", "0000", GetValue(Take(mfd, records::nonfiscal_mfd::kSupplies)));
}

// One row per host payment type: the printer's methods whose names match it
// (without regard to case) add up; methods matching none are skipped.
void PaymentRows(rtl::ClientDataSet& pay, rtl::ClientDataSet& tipos, const RowKey& key) {
  namespace r = records::payments;
  pay.Close();
  pay.CreateDataSet();
  const rtl::LocateOptions anyCase{true, false};
  std::string list = Read(Elgin_VerificaFormasPagamento);
  for (; !hostlib::EmptyString(Take(list, r::kName)); rtl::Delete(list, 1, r::kEntry)) {
    const std::string name = rtl::Trim(Take(list, r::kName));
    const double value = GetValue(Take(list, r::kValue));
    if (!tipos.Active() || !tipos.Locate("NMTIPORECE", rtl::Variant(name), anyCase)) continue;
    const std::string code = tipos.FieldByName("CDTIPORECE").AsString();
    if (pay.Locate("CDTIPORECE", rtl::Variant(code), anyCase)) {
      pay.Edit();
      pay.FieldByName("VRFORMPGTORZ").SetAsFloat(pay.FieldByName("VRFORMPGTORZ").AsFloat() + value);
    } else {
      StartRow(pay, key);
      pay.FieldByName("VRFORMPGTORZ").SetAsFloat(value);
      pay.FieldByName("CDTIPORECE").SetAsString(code);
      pay.FieldByName("CDTPRECEORIG").SetAsString(code);
    }
    pay.Post();
  }
  if (tipos.Active()) tipos.First();
}

}  // namespace

bool ExportRedZ(const std::string& stIgnorado, const std::string& stEsquemaCor, const std::string& stEcf,
                int32_t idTipoImpFis, rtl::ClientDataSet* cdsTipoReceAux, rtl::ClientDataSet* cdsReducaoZAux,
                rtl::ClientDataSet* cdsFormPgtoZAux, rtl::ClientDataSet* cdsImpostoRedzAux,
                rtl::ClientDataSet* cdsTotNFiscRedZAux) {
  TdtmElgin01100& dm = DataModule();
  EnsureFolder(dsDiretorio + "Dados", stEsquemaCor);
  EnsureFolder(dsDiretorio + "Dados\\Redu\xE7\xF5" "es", stEsquemaCor);

  CopyPacket(cdsTipoReceAux, &dm.cdsTipoRece);
  CopyPacket(cdsReducaoZAux, &dm.cdsReducaoZ);
  CopyPacket(cdsFormPgtoZAux, &dm.cdsFormPgtoRedZ);
  CopyPacket(cdsImpostoRedzAux, &dm.cdsImpostoRedZ);
  CopyPacket(cdsTotNFiscRedZAux, &dm.cdsTotNFiscRedZ);

  stRetorno = Nr_Cupom("", stEsquemaCor);
  const std::string coupon = stRetorno;
  std::string marca, modelo, tipo;
  Modelo_Impressora(stEsquemaCor, marca, modelo, tipo);

  try {
    const RowKey key{stEcf, DataMoviFiscal(stEsquemaCor)};
    ReductionRow(dm.cdsReducaoZ, key, stEsquemaCor, coupon, marca, modelo);
    const std::string partial = TaxRows(dm.cdsImpostoRedZ, key);
    namespace p = records::partial;
    dm.cdsReducaoZ.FieldByName("VRISENCREDZ").SetAsFloat(GetValue(Take(partial, p::kExemption)));
    dm.cdsReducaoZ.FieldByName("VRNINCIDREDZ").SetAsFloat(GetValue(Take(partial, p::kNonIncidence)));
    dm.cdsReducaoZ.FieldByName("VRSTRIBREDZ").SetAsFloat(GetValue(Take(partial, p::kSubstitution)));
    dm.cdsReducaoZ.Post();
    NonFiscalRows(dm.cdsTotNFiscRedZ, key);
    PaymentRows(dm.cdsFormPgtoRedZ, dm.cdsTipoRece, key);
  } catch (const std::exception& e) {
    // The tables go back as far as they were filled.
    ImpFisDebug(std::string("ERRO!!! ExportRedZ: ") + e.what());
  }

  // In the role order of the parameters: reduction, payments, tax rates, non-fiscal totalizers.
  const struct {
    rtl::ClientDataSet& from;
    rtl::ClientDataSet* to;
  } back[] = {{dm.cdsReducaoZ, cdsReducaoZAux},
              {dm.cdsFormPgtoRedZ, cdsFormPgtoZAux},
              {dm.cdsImpostoRedZ, cdsImpostoRedzAux},
              {dm.cdsTotNFiscRedZ, cdsTotNFiscRedZAux}};
  for (const auto& b : back) {
    try {
      CopyPacket(&b.from, b.to);
    } catch (const std::exception& e) {
      ImpFisDebug(std::string("ERRO!!! ExportRedZ: ") + e.what());
    }
  }
  return true;
}

}  // namespace Qor01100
