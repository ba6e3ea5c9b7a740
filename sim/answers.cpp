// Port, status, programming and the query answers in their fixed-width
// layouts (each layout is documented in sim/README.md).
#include <stdexcept>
#include <vector>

#include "sim/core/text.h"
#include "sim/printer.h"

namespace ecfsim {

namespace {

// Builds a fixed-width record field by field, checking each field's position.
class Record {
 public:
  void At(size_t pos, const std::string& value) {
    if (s_.size() + 1 != pos) throw std::logic_error("record layout: field at " + std::to_string(pos));
    s_ += value;
  }
  void Sep() { s_ += ','; }
  const std::string& str() const { return s_; }

 private:
  std::string s_;
};

std::string Ddmmyy(const std::string& key) {
  if (key.size() != 8) return "000000";
  return key.substr(6, 2) + key.substr(4, 2) + key.substr(2, 2);
}

}  // namespace

// ---------------------------------------------------------------- port and status

int Printer::Elgin_AbrePortaSerial(const Call&) {
  portOpen_ = true;
  if (!power_) return kPrinterOff;
  return Ok();
}

int Printer::Elgin_FechaPortaSerial(const Call&) {
  portOpen_ = false;
  return kOk;
}

int Printer::Elgin_VerificaImpressoraLigada(const Call&) { return Ok(); }

int Printer::Elgin_ResetaImpressora(const Call&) { return Ok(); }

int Printer::Elgin_VerificaEstadoImpressora(const Call& c) {
  c.PutInt(0, 6);
  c.PutInt(1, St1());
  c.PutInt(2, St2());
  return kOk;
}

int Printer::Elgin_RetornoImpressora(const Call& c) {
  static const char* k1[8] = {"numero de parametros invalido", "cupom aberto", "comando inexistente",
                              "erro de sintaxe", "impressora com erro", "erro no relogio", "pouco papel",
                              "sem papel"};
  static const char* k2[8] = {"comando nao executado", "CNPJ/IE do proprietario nao programados",
                              "cancelamento nao permitido", "tabela de aliquotas cheia",
                              "aliquota nao programada", "erro na memoria RAM", "memoria fiscal lotada",
                              "tipo de parametro invalido"};
  int s1 = St1(), s2 = St2();
  std::string text;
  for (int b = 7; b >= 0; --b)
    if (s1 & (1 << b)) text += (text.empty() ? "" : "; ") + std::string(k1[b]);
  for (int b = 7; b >= 0; --b)
    if (s2 & (1 << b)) text += (text.empty() ? "" : "; ") + std::string(k2[b]);
  c.PutInt(0, lastRet_);
  c.Put(1, text.empty() ? "OK" : text);
  return kOk;
}

int Printer::Elgin_LeIndicadores(const Call& c) {
  int v = 8192 | 4096 | 2048;  // fiscal mode, owner registered, detail memory present
  if (doc_ && doc_->kind == "CF") v |= 1;
  if (doc_ && doc_->kind == "RG") v |= 4;
  if (doc_ && doc_->kind == "CCD") v |= 8;
  if (!st_.movementDate.empty()) v |= 16;
  if (DayClosed()) v |= 32;
  c.PutInt(0, v);
  return Ok();
}

int Printer::Elgin_FlagsFiscais(const Call& c) {
  int v = 0;
  bool coupon = doc_ && doc_->kind == "CF";
  if (coupon) v |= 1;
  if (coupon && doc_->stage == 2) v |= 2;
  if (st_.summerTime) v |= 4;
  if (DayClosed()) v |= 8;
  if (ZPending()) v |= 16;
  if (coupon || (!doc_ && st_.last.kind == "CF" && st_.last.cancellable)) v |= 32;
  c.PutInt(0, v);
  return Ok();
}

// ---------------------------------------------------------------- identification and clock

int Printer::Elgin_DataMovimento(const Call& c) {
  c.Put(0, st_.movementDate.empty() ? "000000" : Ddmmyy(st_.movementDate));
  return Ok();
}

int Printer::Elgin_DataHoraImpressora(const Call& c) {
  Civil now = Now();
  c.Put(0, ecfsim::Ddmmyy(now));
  c.Put(1, Hhmmss(now));
  return Ok();
}

int Printer::Elgin_NumeroCaixa(const Call& c) {
  c.Put(0, st_.prog.till);
  return Ok();
}

int Printer::Elgin_NumeroSerie(const Call& c) {
  c.Put(0, st_.prog.serial);
  return Ok();
}

int Printer::Elgin_MarcaModeloTipoImpressoraMFD(const Call& c) {
  c.Put(0, st_.prog.brand);
  c.Put(1, st_.prog.model);
  c.Put(2, st_.prog.type);
  return Ok();
}

int Printer::Elgin_ProgramaHorarioVerao(const Call&) {
  if (doc_) return Refuse(kExecError);
  if (st_.summerTime && !st_.movementDate.empty()) return Refuse(kExecError);
  st_.summerTime = !st_.summerTime;
  st_.clockOffset += st_.summerTime ? 3600 : -3600;
  if (!st_.summerTime) st_.lastDocAt = std::min(st_.lastDocAt, NowSec());
  return Ok();
}

int Printer::Elgin_ProgramaTruncamento(const Call&) {
  if (doc_ || !st_.movementDate.empty()) return Refuse(kExecError);
  st_.prog.truncation = true;
  return Ok();
}

// ---------------------------------------------------------------- counters and totals

int Printer::Elgin_NumeroCupom(const Call& c) {
  c.Put(0, Zeros(st_.counters.coo, 6));
  return Ok();
}

int Printer::Elgin_UltimoItemVendido(const Call& c) {
  if (!doc_ || doc_->kind != "CF") return Refuse(kExecError);
  c.Put(0, Zeros(static_cast<int64_t>(doc_->items.size()), 4));
  return Ok();
}

int Printer::Elgin_InicioFimCOOsMFD(const Call& c) {
  int64_t first = st_.day.firstCoo ? st_.day.firstCoo : st_.counters.coo;
  c.Put(0, Zeros(first, 6));
  c.Put(1, Zeros(st_.counters.coo, 6));
  return Ok();
}

int Printer::Elgin_NumeroCuponsCancelados(const Call& c) {
  c.Put(0, Zeros(st_.counters.cfc, 4));
  return Ok();
}

int Printer::Elgin_GrandeTotal(const Call& c) {
  c.Put(0, Zeros(st_.gt, 18));
  return Ok();
}

int Printer::Elgin_NumeroReducoes(const Call& c) {
  c.Put(0, Zeros(st_.counters.crz, 4));
  return Ok();
}

int Printer::Elgin_NumeroOperacoesNaoFiscais(const Call& c) {
  c.Put(0, Zeros(st_.counters.gnf, 6));
  return Ok();
}

int Printer::Elgin_ContadorRelatoriosGerenciaisMFD(const Call& c) {
  c.Put(0, Zeros(st_.counters.grg, 6));
  return Ok();
}

int Printer::Elgin_ContadorComprovantesCreditoMFD(const Call& c) {
  c.Put(0, Zeros(st_.counters.cdc, 6));
  return Ok();
}

int Printer::Elgin_ContadorCupomFiscalMFD(const Call& c) {
  c.Put(0, Zeros(st_.counters.ccf, 6));
  return Ok();
}

int Printer::Elgin_VendaBruta(const Call& c) {
  c.Put(0, Zeros(st_.day.gross, 18));
  return Ok();
}

int Printer::Elgin_Cancelamentos(const Call& c) {
  c.Put(0, Zeros(st_.day.cancIcms + st_.day.cancIss, 14));
  return Ok();
}

int Printer::Elgin_Descontos(const Call& c) {
  c.Put(0, Zeros(st_.day.discIcms + st_.day.discIss, 14));
  return Ok();
}

int Printer::Elgin_Acrescimos(const Call& c) {
  c.Put(0, Zeros(st_.day.acrIcms + st_.day.acrIss, 13));
  return Ok();
}

int Printer::Elgin_DataMovimentoUltimaReducaoMFD(const Call& c) {
  c.Put(0, st_.lastZ ? Ddmmyy(st_.lastZ->movementDate) : "000000");
  return Ok();
}

// ---------------------------------------------------------------- tax rates

std::string Printer::Rates79(bool issOnly) const {
  std::vector<int> list;
  for (int i = 0; i < kRateSlots; ++i)
    if (!issOnly || (st_.prog.rates[i] != 0 && st_.prog.iss[i])) list.push_back(st_.prog.rates[i]);
  list.resize(kRateSlots, 0);
  std::string out;
  for (int i = 0; i < kRateSlots; ++i) out += (i ? "," : "") + Zeros(list[i], 4);
  return out;
}

int Printer::Elgin_RetornoAliquotas(const Call& c) {
  c.Put(0, Rates79(false));
  return Ok();
}

int Printer::Elgin_VerificaAliquotasIss(const Call& c) {
  c.Put(0, Rates79(true));
  return Ok();
}

int Printer::Elgin_VerificaTotalizadoresParciais(const Call& c) {
  const DayTotals& d = st_.day;
  Record r;
  std::string taxed;
  for (auto v : d.taxed) taxed += Zeros(v, 14);
  r.At(1, taxed);
  r.Sep();
  r.At(226, Zeros(d.exempt, 14));
  r.Sep();
  r.At(241, Zeros(d.nonIncidence, 14));
  r.Sep();
  r.At(256, Zeros(d.substitution, 14));
  r.Sep();
  r.At(271, Zeros(0, 14));
  r.Sep();
  r.At(286, Zeros(0, 14));
  r.Sep();
  r.At(301, Zeros(0, 14));
  r.Sep();
  r.At(316, Zeros(d.discIcms, 14));
  r.Sep();
  r.At(331, Zeros(d.discIss, 14));
  r.Sep();
  r.At(346, Zeros(d.acrIcms, 14));
  r.Sep();
  r.At(361, Zeros(d.acrIss, 14));
  r.Sep();
  r.At(376, Zeros(d.cancIcms, 14));
  r.Sep();
  r.At(391, Zeros(d.cancIss, 14));
  r.Sep();
  r.At(406, Zeros(d.nonFiscal, 14));
  r.Sep();
  r.At(421, Zeros(d.withdrawal, 14));
  r.Sep();
  r.At(436, Zeros(d.itemsSold, 10));
  c.Put(0, r.str());
  return Ok();
}

// ---------------------------------------------------------------- non-fiscal totalizers

int Printer::Elgin_VerificaTotalizadoresNaoFiscais(const Call& c) {
  std::string out;
  for (int i = 0; i < kNamedTotalizers; ++i) out += (i ? "," : "") + Fit(st_.prog.nfNames[i], 19);
  c.Put(0, out);
  return Ok();
}

int Printer::Elgin_NomeiaTotalizadorNaoSujeitoIcms(const Call& c) {
  int idx = c.Int(0);
  std::string name = Trim(c.In(1));
  if (idx < 0 || idx >= kNamedTotalizers || name.empty() || name.size() > 19) return Refuse(kBadParam, kSt1Syntax);
  if (doc_) return Refuse(kExecError);
  std::string& slot = st_.prog.nfNames[idx];
  if (Upper(Trim(slot)) == Upper(name)) return Ok();
  for (int i = 0; i < kNamedTotalizers; ++i)
    if (i != idx && SameName(st_.prog.nfNames[i], name)) return Refuse(kExecError);
  if (!Trim(slot).empty() && (st_.day.nf[idx].value != 0 || st_.day.nf[idx].count != 0)) return Refuse(kExecError);
  slot = name;
  return Ok();
}

int Printer::Elgin_VerificaRecebimentoNaoFiscal(const Call& c) {
  std::string out;
  for (int i = 0; i < kNamedTotalizers; ++i) {
    if (Trim(st_.prog.nfNames[i]).empty()) continue;
    out += Zeros(st_.day.nf[i].count, 4) + Zeros(st_.day.nf[i].value, 20) + Fit(st_.prog.nfNames[i], 19) + ",";
  }
  c.Put(0, out);
  return Ok();
}

int Printer::Elgin_VerificaRecebimentoNaoFiscalMFD(const Call& c) {
  const DayTotals& d = st_.day;
  Record r;
  std::string entries;
  for (int i = 0; i < kNamedTotalizers; ++i) entries += Fit(st_.prog.nfNames[i], 19) + Zeros(d.nf[i].value, 14) + ",";
  entries += Fit("Sangria", 19) + Zeros(d.withdrawal, 14) + ",";
  entries += Fit("Suprimento", 19) + Zeros(d.supply, 14) + ",";
  r.At(1, entries);
  r.At(1021, Zeros(d.withdrawalCount, 4));
  r.Sep();
  r.At(1026, Zeros(d.supplyCount, 4));
  r.Sep();
  r.At(1031, Zeros(st_.counters.gnf, 6));
  r.Sep();
  r.At(1038, Zeros(st_.counters.grg, 6));
  r.Sep();
  r.At(1045, Zeros(st_.counters.cdc, 6));
  r.Sep();
  r.At(1052, Zeros(st_.counters.cnc, 4));
  r.Sep();
  r.At(1057, Zeros(d.nonFiscal, 20));
  r.Sep();
  c.Put(0, r.str());
  return Ok();
}

// ---------------------------------------------------------------- payment methods

int Printer::Elgin_VerificaFormasPagamento(const Call& c) {
  std::string out;
  for (int i = 0; i < kPaymentSlots; ++i) {
    if (Trim(st_.prog.payNames[i]).empty()) continue;
    int64_t inLast = 0;
    for (auto& p : st_.last.payments)
      if (p.slot == i && st_.last.kind == "CF") inLast += p.amount;
    out += Fit(st_.prog.payNames[i], 16) + Zeros(st_.day.payments[i], 20) + Zeros(inLast, 20) +
           (st_.prog.payLinkable[i] ? "1" : "0") + ",";
  }
  c.Put(0, out);
  return Ok();
}

int Printer::Elgin_ProgramaFormaPagamentoMFD(const Call& c) {
  std::string name = Trim(c.In(0));
  std::string linkable = Trim(c.In(1));
  if (name.empty() || name.size() > 16 || (linkable != "0" && linkable != "1")) return Refuse(kBadParam, kSt1Syntax);
  if (doc_) return Refuse(kExecError);
  int slot = FindPayment(name);
  if (slot < 0) {
    for (int i = 0; i < kPaymentSlots && slot < 0; ++i)
      if (Trim(st_.prog.payNames[i]).empty()) slot = i;
    if (slot < 0) return Refuse(kExecError);
    st_.prog.payNames[slot] = name;
  }
  st_.prog.payLinkable[slot] = linkable == "1";
  return Ok();
}

// Generic readings: a command name and "Name=value" parameters.
int Printer::Elgin_ExecutaLeitura(const Call& c) {
  std::string cmd = Trim(c.In(0)), param = Trim(c.In(1));
  size_t eq = param.find('=');
  std::string key = eq == std::string::npos ? std::string() : Trim(param.substr(0, eq));
  auto parsed = eq == std::string::npos ? std::nullopt : ParseInt(param.substr(eq + 1), 2);
  // -1 stands for "no number": every branch below refuses it.
  const int64_t n = parsed.value_or(-1);
  std::string name;
  if (cmd == "LeMeioPagamento") {
    if (key != "CodMeioPagamentoProgram" || n < 1 || n > kPaymentSlots) return Refuse(kBadParam, kSt1Syntax);
    name = st_.prog.payNames[n - 1];
  } else if (cmd == "LeTotalizadorNaoFiscal") {
    if (key != "CodTotalizadorNaoFiscal" || n < 0 || n >= kNamedTotalizers) return Refuse(kBadParam, kSt1Syntax);
    name = st_.prog.nfNames[n];
  } else if (cmd == "LeRelatorioGerencial") {
    if (key != "CodRelatorioGerencial" || n < 1 || n > kReportSlots) return Refuse(kBadParam, kSt1Syntax);
    name = st_.prog.reportNames[n - 1];
  } else {
    return Refuse(kBadParam, kSt1Unknown);
  }
  if (Trim(name).empty()) {
    // An empty slot: the reading answers "NomeErro" with code 0.
    c.Put(2, "NomeErro");
    Ok();
    return kCommFailure;
  }
  c.Put(2, Trim(name));
  return Ok();
}

// ---------------------------------------------------------------- management report names

int Printer::Elgin_NomeiaRelatorioGerencialMFD(const Call& c) {
  auto n = ParseInt(c.In(0), 2);
  std::string name = Trim(c.In(1));
  if (!n || *n < 1 || *n > kReportSlots || name.empty() || name.size() > 17) return Refuse(kBadParam, kSt1Syntax);
  if (doc_) return Refuse(kExecError);
  for (int i = 0; i < kReportSlots; ++i)
    if (i != *n - 1 && SameName(st_.prog.reportNames[i], name)) return Refuse(kExecError);
  st_.prog.reportNames[*n - 1] = name;
  return Ok();
}

int Printer::Elgin_LeNomeRelatorioGerencial(const Call& c) {
  auto n = ParseInt(c.In(0), 2);
  if (!n || *n < 1 || *n > kReportSlots) return Refuse(kBadParam, kSt1Syntax);
  c.Put(1, Fit(st_.prog.reportNames[*n - 1], 17));
  return Ok();
}

// ---------------------------------------------------------------- last reduction

namespace {

// A field of a fixed-width record: its 1-based position and its text.
struct Field {
  size_t at;
  std::string text;
};

// The counters, the movement date and the moment of issue of a reduction
// (positions 1 to 73); `present` is false before the first reduction.
std::vector<Field> ReductionCounterFields(const ZRecord& z, bool present) {
  const std::optional<Civil> at = ParseIso(z.issuedAt);
  return {{1, present ? "01" : "00"},
          {4, Zeros(z.counters.cro, 4)},
          {9, Zeros(z.counters.crz, 4)},
          {14, Zeros(z.counters.coo, 6)},
          {21, Zeros(z.counters.gnf, 6)},
          {28, Zeros(z.counters.ccf, 6)},
          {35, Zeros(z.counters.grg, 6)},
          {42, Zeros(z.counters.cdc, 6)},
          {49, Zeros(z.counters.cnc, 4)},
          {54, Zeros(z.counters.cfc, 4)},
          {59, Ddmmyy(z.movementDate)},
          {66, at ? ecfsim::Ddmmyy(*at) : "000000"},
          {73, at ? Hhmmss(*at) : "000000"}};
}

// The rates (positions 80 and 160): each in hundredths of a percent, and its
// kind ('T' state tax, 'S' service tax, blank when not programmed).
std::vector<Field> ReductionRateFields(const ZRecord& z) {
  std::string rates, kinds;
  for (int i = 0; i < kRateSlots; ++i) {
    rates += (i ? "," : "") + Zeros(z.rates[i], 4);
    kinds += z.rates[i] == 0 ? ' ' : (z.iss[i] ? 'S' : 'T');
  }
  return {{80, rates}, {160, kinds}};
}

// The day's totalizers of a reduction (positions 177 to 1265).
std::vector<Field> ReductionTotalFields(const ZRecord& z) {
  const DayTotals& d = z.day;
  int64_t icms = 0, iss = 0;
  for (int i = 0; i < kRateSlots; ++i) (z.iss[i] ? iss : icms) += d.taxed[i];
  std::string taxed;
  for (auto v : d.taxed) taxed += Zeros(v, 14);
  std::string nfValues, nfCounts;
  for (auto& t : d.nf) {
    nfValues += Zeros(t.value, 14);
    nfCounts += Zeros(t.count, 4);
  }
  return {{177, Zeros(d.gross, 18)},
          {196, Zeros(z.net(), 18)},
          {215, Zeros(d.nonFiscal, 14)},
          {230, Zeros(d.supply, 14)},
          {245, Zeros(d.withdrawal, 14)},
          {260, Zeros(icms, 14)},
          {275, Zeros(iss, 14)},
          {290, Zeros(d.itemsCancelled, 14)},
          {305, Zeros(d.itemsSold, 10)},
          {316, Zeros(z.gt, 18)},
          {335, taxed},
          {560, Zeros(d.exempt, 14)},
          {575, Zeros(d.nonIncidence, 14)},
          {590, Zeros(d.substitution, 14)},
          {605, Zeros(0, 14)},
          {620, Zeros(0, 14)},
          {635, Zeros(0, 14)},
          {650, Zeros(d.discIcms, 14)},
          {665, Zeros(d.discIss, 14)},
          {680, Zeros(d.acrIcms, 14)},
          {695, Zeros(d.acrIss, 14)},
          {710, Zeros(d.cancIcms, 14)},
          {725, Zeros(d.cancIss, 14)},
          {740, nfValues},
          {1133, nfCounts},
          {1246, Zeros(d.gtStart, 18)},
          {1265, Zeros(0, 14)}};
}

// Writes the fields after those already written, with a comma before each.
void WriteFields(Record& r, const std::vector<Field>& fields) {
  for (const Field& f : fields) {
    if (!r.str().empty()) r.Sep();
    r.At(f.at, f.text);
  }
}

}  // namespace

std::string Printer::LastReductionRecord() {
  ZRecord z;
  if (st_.lastZ) z = *st_.lastZ;
  else z.counters.cro = st_.counters.cro;
  Record r;
  WriteFields(r, ReductionCounterFields(z, st_.lastZ.has_value()));
  WriteFields(r, ReductionRateFields(z));
  WriteFields(r, ReductionTotalFields(z));
  return r.str();
}

int Printer::Elgin_DadosUltimaReducaoMFD(const Call& c) {
  c.Put(0, LastReductionRecord());
  return Ok();
}

int Printer::Elgin_DadosUltimaReducao(const Call& c) { return Elgin_DadosUltimaReducaoMFD(c); }

}  // namespace ecfsim
