// ExportRedZ: the host's four reduction tables built from the printer's
// readings (reduction row, tax rates, non-fiscal totalizers, payment methods).
// The host gets every table that can be filled; whenever a reading failed or
// an error was caught, the export answers false and says why (debug log and
// stMensagemTaa), since the printer's counters are gone after the reduction.
#include <exception>
#include <optional>
#include <vector>

#include "coupon/operations.h"
#include "driver/command.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/packets.h"
#include "fiscal/clock.h"
#include "fiscal/operations.h"
#include "fiscal/reduction_records.h"
#include "hostlib/consiste.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/text.h"
#include "programming/grand_total.h"
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

// Everything that kept a figure of the export from the printer: a reading
// the printer did not answer, an answer that is no figure, an error caught
// while a table was built. Each is logged as it happens; the host is told
// of all of them at the end (stMensagemTaa) and the export answers false.
class Gaps {
 public:
  void Add(const std::string& what) {
    DebugLog("ERRO!!! ExportRedZ: " + what);
    list_.push_back(what);
  }
  // A reading through an operation, which analysed the printer's answer.
  void Check(bool ok, const char* reading) {
    if (!ok) Add(std::string("leitura ") + reading + " falhou");
  }
  // Runs one part of the export; an error there is a gap, and the next part still runs.
  template <class F>
  void Part(const char* name, F&& f) {
    try {
      f();
    } catch (const std::exception& e) {
      Add(std::string(name) + ": " + e.what());
    }
  }
  bool None() const { return list_.empty(); }
  std::string Text() const {
    std::string t;
    for (const std::string& g : list_) t += (t.empty() ? "" : "; ") + g;
    return t;
  }

 private:
  std::vector<std::string> list_;
};

// A record the printer answers in a buffer as wide as the entry list gives
// it, or of `width` blanks. The answer is not analysed here (no status query
// is added); a code other than 1 is a gap.
template <class F>
std::string Read(F* const& entry, const char* name, Gaps& gaps, std::size_t width = 0) {
  std::string buf;
  const int code = CallOnly(width ? Call("", entry, Into(buf, width)) : Call("", entry, Into(buf)));
  if (code != 1) gaps.Add(std::string("leitura ") + name + " falhou (retorno " + rtl::IntToStr(code) + ")");
  return buf;
}

// A printer amount, or no value (a gap) when the text is none.
std::optional<double> Amount(const std::string& text, const char* what, Gaps& gaps) {
  try {
    return GetValue(text);
  } catch (const std::exception& e) {
    gaps.Add(std::string(what) + ": " + e.what());
    return std::nullopt;
  }
}

// Sets a float field when its value is known; an unknown one stays null.
void SetAmount(rtl::ClientDataSet& ds, const char* field, std::optional<double> v) {
  if (v) ds.FieldByName(field).SetAsFloat(*v);
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

// The reduction row's counters (the row is open).
void ReductionCounters(rtl::ClientDataSet& z, const std::string& scheme, const std::string& coupon, Gaps& gaps) {
  std::string operacoes, reducoes;
  NumeroOperacoesNaoFiscais(scheme, operacoes);
  gaps.Check(NumeroReducoes(scheme, reducoes), "Elgin_NumeroReducoes");
  // This reading of the last reduction hands the printer one blank more than the record's width.
  const std::string last = Read(Elgin_DadosUltimaReducaoMFD, "Elgin_DadosUltimaReducaoMFD", gaps,
                                ListedAnswerWidth(&Elgin_DadosUltimaReducaoMFD, 0) + 1);
  z.FieldByName("NRGERCNFREDZ").SetAsString(operacoes);
  z.FieldByName("NRREINIREDZ").SetAsString(Take(last, records::last::kCro));
  z.FieldByName("NRREDREDZ").SetAsString(reducoes);
  for (const char* zero : {"NRLEITREDZ", "NRCANCFREDZ", "NRPRIMCFREDZ"})
    z.FieldByName(zero).SetAsString("0000000000");
  gaps.Part("NRULTCFREDZ", [&] {
    const std::string next = hostlib::Ajusta(rtl::IntToStr(int64_t{rtl::StrToInt(rtl::Trim(coupon))} + 1), 6);
    z.FieldByName("NRULTCFREDZ").SetAsString(hostlib::Ajusta(next, 10));
  });
}

// The reduction row's totals (the row is open): every reading is made, and
// a figure that could not be read stays empty.
void ReductionTotals(rtl::ClientDataSet& z, const std::string& scheme, const std::string& marca,
                     const std::string& modelo, Gaps& gaps) {
  std::string texto;
  std::optional<double> grandTotal;
  gaps.Part("Elgin_GrandeTotal", [&] {
    gaps.Check(ReadGrandTotal(texto), "Elgin_GrandeTotal");
    grandTotal = rtl::StrToFloat(texto);
  });
  gaps.Check(VendaBruta(scheme, texto), "Elgin_VendaBruta");
  const std::optional<double> gross = Amount(texto, "Elgin_VendaBruta", gaps);
  gaps.Check(Cancelamentos(scheme, texto), "Elgin_Cancelamentos");
  const std::optional<double> cancellations = Amount(texto, "Elgin_Cancelamentos", gaps);
  gaps.Check(Descontos(scheme, texto), "Elgin_Descontos");
  const std::optional<double> discounts = Amount(texto, "Elgin_Descontos", gaps);
  gaps.Check(Acrescimo_Imp(scheme, texto), "Elgin_Acrescimos");
  const std::optional<double> surcharges = Amount(texto, "Elgin_Acrescimos", gaps);
  SetAmount(z, "VRGTREDZ", grandTotal);
  SetAmount(z, "VRVENBRUREDZ", gross);
  SetAmount(z, "VRTOTCANREDZ", cancellations);
  SetAmount(z, "VRTOTDESREDZ", discounts);
  z.FieldByName("VRISSREDZ").SetAsFloat(0);
  if (gross && cancellations && discounts) SetAmount(z, "VRVENLIQREDZ", *gross - *cancellations - *discounts);
  SetAmount(z, "VRTOTACRREDZ", surcharges);
  z.FieldByName("DSMODMARCAECF").SetAsString(rtl::Copy(rtl::Trim(marca) + "|" + rtl::Trim(modelo), 1, 30));
}

// One row per programmed rate, up to the first unprogrammed one; also for a
// zero base (the taxed part of the partial-totalizer list).
void TaxRows(rtl::ClientDataSet& tax, const RowKey& key, std::string rates, const std::string& partial) {
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

// One row per named non-fiscal totalizer.
void NonFiscalRows(rtl::ClientDataSet& nf, const RowKey& key, Gaps& gaps) {
  namespace r = records::nonfiscal;
  std::string list = Read(Elgin_VerificaRecebimentoNaoFiscal, "Elgin_VerificaRecebimentoNaoFiscal", gaps);
  for (int m = 1; !hostlib::EmptyString(Take(list, r::kDescription)); ++m) {
    NonFiscalRow(nf, key, hostlib::Ajusta(rtl::IntToStr(m), 2), Take(list, r::kDescription), Take(list, r::kCounter),
                 GetValue(Take(list, r::kValue)));
    rtl::Delete(list, 1, r::kEntry);
  }
}

// Then withdrawals ("29") and supplies ("30").
void CashRows(rtl::ClientDataSet& nf, const RowKey& key, Gaps& gaps) {
  namespace r = records::nonfiscal_mfd;
  const std::string mfd = Read(Elgin_VerificaRecebimentoNaoFiscalMFD, "Elgin_VerificaRecebimentoNaoFiscalMFD", gaps);
  NonFiscalRow(nf, key, "29", "Sangria", "0000", GetValue(Take(mfd, r::kWithdrawals)));
  NonFiscalRow(nf, key, "30", "Suprimento", "0000", GetValue(Take(mfd, r::kSupplies)));
}

// One row per host payment type: the printer's methods whose names match it
// (without regard to case) add up; methods matching none are skipped.
void PaymentRows(rtl::ClientDataSet& pay, rtl::ClientDataSet& tipos, const RowKey& key, Gaps& gaps) {
  namespace r = records::payments;
  pay.Close();
  pay.CreateDataSet();
  const rtl::LocateOptions anyCase{true, false};
  std::string list = Read(Elgin_VerificaFormasPagamento, "Elgin_VerificaFormasPagamento", gaps);
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

// A row left half-written by an error is posted as far as it was filled
// (the reduction row) or dropped (a list's row, which the list has not given whole).
void Settle(rtl::ClientDataSet& ds, bool keep) {
  if (ds.State() != rtl::DataSetState::Edit && ds.State() != rtl::DataSetState::Insert) return;
  if (keep)
    ds.Post();
  else
    ds.Cancel();
}

// The four tables from the printer's readings. Each part runs whatever
// happened to the one before, so the host gets every table that can be filled.
void BuildTables(TdtmElgin01100& dm, const RowKey& key, const std::string& scheme, const std::string& coupon,
                 const std::string& marca, const std::string& modelo, Gaps& gaps) {
  rtl::ClientDataSet& z = dm.cdsReducaoZ;
  gaps.Part("cdsReducaoZ", [&] {
    z.Close();
    z.CreateDataSet();
    StartRow(z, key);
    ReductionCounters(z, scheme, coupon, gaps);
    ReductionTotals(z, scheme, marca, modelo, gaps);
  });
  const std::string rates = Read(Elgin_RetornoAliquotas, "Elgin_RetornoAliquotas", gaps);
  const std::string partial =
      Read(Elgin_VerificaTotalizadoresParciais, "Elgin_VerificaTotalizadoresParciais", gaps);
  gaps.Part("cdsImpostoRedZ", [&] {
    dm.cdsImpostoRedZ.Close();
    dm.cdsImpostoRedZ.CreateDataSet();
  });
  gaps.Part("cdsImpostoRedZ", [&] { TaxRows(dm.cdsImpostoRedZ, key, rates, partial); });
  gaps.Part("cdsImpostoRedZ", [&] { Settle(dm.cdsImpostoRedZ, false); });
  gaps.Part("cdsReducaoZ", [&] {
    namespace p = records::partial;
    if (z.State() != rtl::DataSetState::Insert) return;
    SetAmount(z, "VRISENCREDZ", Amount(Take(partial, p::kExemption), "VRISENCREDZ", gaps));
    SetAmount(z, "VRNINCIDREDZ", Amount(Take(partial, p::kNonIncidence), "VRNINCIDREDZ", gaps));
    SetAmount(z, "VRSTRIBREDZ", Amount(Take(partial, p::kSubstitution), "VRSTRIBREDZ", gaps));
  });
  gaps.Part("cdsReducaoZ", [&] { Settle(z, true); });
  gaps.Part("cdsTotNFiscRedZ", [&] {
    dm.cdsTotNFiscRedZ.Close();
    dm.cdsTotNFiscRedZ.CreateDataSet();
  });
  gaps.Part("cdsTotNFiscRedZ", [&] { NonFiscalRows(dm.cdsTotNFiscRedZ, key, gaps); });
  gaps.Part("cdsTotNFiscRedZ", [&] { Settle(dm.cdsTotNFiscRedZ, false); });
  gaps.Part("cdsTotNFiscRedZ", [&] { CashRows(dm.cdsTotNFiscRedZ, key, gaps); });
  gaps.Part("cdsTotNFiscRedZ", [&] { Settle(dm.cdsTotNFiscRedZ, false); });
  gaps.Part("cdsFormPgtoRedZ", [&] { PaymentRows(dm.cdsFormPgtoRedZ, dm.cdsTipoRece, key, gaps); });
  gaps.Part("cdsFormPgtoRedZ", [&] { Settle(dm.cdsFormPgtoRedZ, false); });
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

  Gaps gaps;
  stRetorno = Nr_Cupom("", stEsquemaCor);
  const std::string coupon = stRetorno;
  gaps.Check(!coupon.empty(), "Elgin_NumeroCupom");
  std::string marca, modelo, tipo;
  gaps.Check(Modelo_Impressora(stEsquemaCor, marca, modelo, tipo), "Elgin_MarcaModeloTipoImpressoraMFD");

  gaps.Part("ExportRedZ", [&] {
    rtl::TDateTime date = 0;
    gaps.Check(ReadMovementDate(date), "Elgin_DataMovimento");
    BuildTables(dm, RowKey{stEcf, date}, stEsquemaCor, coupon, marca, modelo, gaps);
  });

  // In the role order of the parameters: reduction, payments, tax rates, non-fiscal totalizers.
  const struct {
    rtl::ClientDataSet& from;
    rtl::ClientDataSet* to;
  } back[] = {{dm.cdsReducaoZ, cdsReducaoZAux},
              {dm.cdsFormPgtoRedZ, cdsFormPgtoZAux},
              {dm.cdsImpostoRedZ, cdsImpostoRedzAux},
              {dm.cdsTotNFiscRedZ, cdsTotNFiscRedZAux}};
  for (const auto& b : back) gaps.Part("ExportRedZ", [&] { CopyPacket(&b.from, b.to); });

  if (gaps.None()) return true;
  // "redução" and "incompletos" in code page 1252.
  stMensagemTaa += " ExportRedZ: dados da redu\xE7\xE3o Z incompletos: " + gaps.Text();
  return false;
}

}  // namespace Qor01100
