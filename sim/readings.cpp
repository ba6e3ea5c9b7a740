// X reading, Z reduction, fiscal-memory readings and the summary map.
#include <algorithm>

#include "sim/core/text.h"
#include "sim/printer.h"

namespace ecfsim {

using nlohmann::json;

namespace {

const std::string kRule(48, '-');

std::string KeyDate(const std::string& key) {
  auto d = DateKeyDay(key);
  return d ? PrintedDate(*d) : "--/--/----";
}

// The lines of the day's totals shared by the X reading and the Z reduction.
void TotalsLines(std::vector<std::string>& l, const DayTotals& d, const Counters& k, int64_t gt,
                 const std::array<int, kRateSlots>& rates, const std::array<bool, kRateSlots>& iss,
                 const std::array<std::string, kNamedTotalizers>& nfNames,
                 const std::array<std::string, kPaymentSlots>& payNames) {
  auto row = [&](const std::string& a, const std::string& b) { l.push_back(Spread(a, b, 48)); };
  l.push_back(Center("CONTADORES", 48));
  row("Geral de operacao nao fiscal GNF:", Zeros(k.gnf, 6));
  row("Cupom fiscal CCF:", Zeros(k.ccf, 6));
  row("Relatorio gerencial GRG:", Zeros(k.grg, 6));
  row("Comprovante credito ou debito CDC:", Zeros(k.cdc, 4));
  row("Cupom fiscal cancelado CFC:", Zeros(k.cfc, 4));
  row("Reducao Z CRZ:", Zeros(k.crz, 4));
  row("Reinicio de operacao CRO:", Zeros(k.cro, 4));
  l.push_back(Center("TOTALIZADORES", 48));
  int64_t cancel = d.cancIcms + d.cancIss, disc = d.discIcms + d.discIss;
  row("VENDA BRUTA DIARIA:", Money(d.gross));
  row("CANCELAMENTO ICMS:", Money(d.cancIcms));
  row("DESCONTO ICMS:", Money(d.discIcms));
  row("ACRESCIMO ICMS:", Money(d.acrIcms));
  row("CANCELAMENTO ISSQN:", Money(d.cancIss));
  row("DESCONTO ISSQN:", Money(d.discIss));
  row("ACRESCIMO ISSQN:", Money(d.acrIss));
  row("VENDA LIQUIDA:", Money(d.gross - cancel - disc));
  l.push_back(Center("ICMS", 48));
  for (int i = 0; i < kRateSlots; ++i)
    if (rates[i] && !iss[i]) row(Zeros(i + 1, 2) + "T" + Percent(rates[i]) + "%", Money(d.taxed[i]));
  row("F1 Substituicao tributaria", Money(d.substitution));
  row("I1 Isento", Money(d.exempt));
  row("N1 Nao incidencia", Money(d.nonIncidence));
  l.push_back(Center("ISSQN", 48));
  for (int i = 0; i < kRateSlots; ++i)
    if (rates[i] && iss[i]) row(Zeros(i + 1, 2) + "S" + Percent(rates[i]) + "%", Money(d.taxed[i]));
  l.push_back(Center("NAO FISCAIS", 48));
  for (int i = 0; i < kNamedTotalizers; ++i)
    if (!Trim(nfNames[i]).empty())
      row(Zeros(i, 2) + " " + Trim(nfNames[i]) + " " + Zeros(d.nf[i].count, 4), Money(d.nf[i].value));
  row("Sangria " + Zeros(d.withdrawalCount, 4), Money(d.withdrawal));
  row("Suprimento " + Zeros(d.supplyCount, 4), Money(d.supply));
  l.push_back(Center("MEIOS DE PAGAMENTO", 48));
  for (int i = 0; i < kPaymentSlots; ++i)
    if (!Trim(payNames[i]).empty()) row(Trim(payNames[i]), Money(d.payments[i]));
  row("GRANDE TOTAL:", Money(gt));
}

}  // namespace

std::vector<std::string> Printer::XReadingLines(const std::string& title) {
  std::vector<std::string> l;
  l.push_back(Center(title, 48));
  l.push_back(st_.movementDate.empty() ? Center("MOVIMENTO DO DIA NAO INICIADO", 48)
                                       : Spread("MOVIMENTO DO DIA:", KeyDate(st_.movementDate), 48));
  l.push_back(kRule);
  TotalsLines(l, st_.day, st_.counters, st_.gt, st_.prog.rates, st_.prog.iss, st_.prog.nfNames, st_.prog.payNames);
  return l;
}

std::vector<std::string> Printer::ReductionLines(const ZRecord& z) {
  std::vector<std::string> l;
  l.push_back(Center("REDUCAO Z", 48));
  l.push_back(Spread("MOVIMENTO DO DIA:", KeyDate(z.movementDate), 48));
  l.push_back(kRule);
  TotalsLines(l, z.day, z.counters, z.gt, z.rates, z.iss, z.nfNames, z.paymentNames);
  l.push_back(Spread("COO inicial:", Zeros(z.day.firstCoo, 6), 48));
  l.push_back(Spread("COO final:", Zeros(z.counters.coo, 6), 48));
  return l;
}

int Printer::Elgin_LeituraX(const Call&) {
  if (int r = CheckNewDocument(false)) return r;
  int64_t coo = NextCoo();
  int64_t gnf = ++st_.counters.gnf;
  std::vector<std::string> l = Header();
  l.push_back(CounterLine("GNF:" + Zeros(gnf, 6) + " COO:" + Zeros(coo, 6)));
  for (auto& x : XReadingLines("LEITURA X")) l.push_back(x);
  for (auto& x : Trailer()) l.push_back(x);
  FinishDocument("LX", coo, {{"gnf", gnf}}, l);
  return Ok();
}

int Printer::Elgin_LeituraXSerial(const Call&) {
  if (doc_) return Refuse(kExecError);
  std::vector<std::string> l = Header();
  l.push_back(CounterLine(""));
  for (auto& x : XReadingLines("LEITURA X")) l.push_back(x);
  for (auto& x : Trailer()) l.push_back(x);
  if (!WriteSerialOutput(l)) return Refuse(kExecError);
  return Ok();
}

int Printer::Elgin_ReducaoZ(const Call& c) {
  if (doc_ || DayClosed()) return Refuse(kExecError);
  std::string date = Trim(c.In(0)), time = Trim(c.In(1));
  if (!date.empty() && date != "000000" && !ParseDate(date)) return Refuse(kBadParam, kSt1Syntax);
  if (!time.empty()) {
    if (time.size() != 6 || !IsDigits(time) || std::stoi(time.substr(0, 2)) > 23 || std::stoi(time.substr(2, 2)) > 59 ||
        std::stoi(time.substr(4, 2)) > 59)
      return Refuse(kBadParam, kSt1Syntax);
  }
  if (int r = CheckNewDocument(false)) return r;
  ZRecord z;
  z.movementDate = st_.movementDate.empty() ? Today() : st_.movementDate;
  z.issuedAt = Iso(Now());
  int64_t coo = NextCoo();
  ++st_.counters.crz;
  z.counters = st_.counters;
  z.rates = st_.prog.rates;
  z.iss = st_.prog.iss;
  z.day = st_.day;
  if (z.day.gtStart == 0 && st_.movementDate.empty()) z.day.gtStart = st_.gt;
  z.paymentNames = st_.prog.payNames;
  z.nfNames = st_.prog.nfNames;
  z.gt = st_.gt;
  std::vector<std::string> l = Header();
  l.push_back(CounterLine("CRZ:" + Zeros(z.counters.crz, 4) + " COO:" + Zeros(coo, 6)));
  for (auto& x : ReductionLines(z)) l.push_back(x);
  for (auto& x : Trailer()) l.push_back(x);
  st_.movementDate = z.movementDate;  // the reduction belongs to the day it closes
  FinishDocument("RZ", coo, {{"crz", z.counters.crz}, {"movement_date", z.movementDate}}, l);
  newReductions_.push_back(z);
  st_.lastZ = z;
  st_.day = DayTotals{};
  st_.movementDate.clear();
  st_.last = LastSale{};
  return Ok();
}

std::vector<ZRecord> Printer::AllReductions() {
  std::vector<ZRecord> out;
  for (auto& s : store_.Reductions()) out.push_back(ZRecordFromJson(json::parse(s)));
  for (auto& z : newReductions_) out.push_back(z);
  return out;
}

int Printer::FiscalMemoryReading(const Call& c, bool byDate, bool toFile) {
  std::string flag = Upper(Trim(c.In(2)));
  if (flag != "C" && flag != "S") return Refuse(kBadParam, kSt1Syntax);
  int64_t from = 0, to = 0;
  if (byDate) {
    auto a = ParseDate(c.In(0)), b = ParseDate(c.In(1));
    if (!a || !b) return Refuse(kBadParam, kSt1Syntax);
    from = *a;
    to = *b;
  } else {
    auto a = ParseInt(c.In(0), 4), b = ParseInt(c.In(1), 4);
    if (!a || !b || *a < 1) return Refuse(kBadParam, kSt1Syntax);
    from = *a;
    to = *b;
  }
  if (from > to) return Refuse(kBadParam, kSt1Syntax);
  if (!toFile) {
    if (int r = CheckNewDocument(false)) return r;
  } else if (doc_) {
    return Refuse(kExecError);
  }
  bool complete = flag == "C";
  std::vector<std::string> body;
  body.push_back(Center("LEITURA DA MEMORIA FISCAL", 48));
  body.push_back(Center(complete ? "COMPLETA" : "SIMPLIFICADA", 48));
  body.push_back(byDate ? Spread("PERIODO:", PrintedDate(from) + " a " + PrintedDate(to), 48)
                        : Spread("REDUCOES:", Zeros(from, 4) + " a " + Zeros(to, 4), 48));
  body.push_back(kRule);
  int64_t gross = 0, net = 0;
  int count = 0;
  for (auto& z : AllReductions()) {
    int64_t key = byDate ? DateKeyDay(z.movementDate).value_or(0) : z.counters.crz;
    if (key < from || key > to) continue;
    ++count;
    gross += z.day.gross;
    net += z.net();
    if (complete) {
      body.push_back(Spread("CRZ:" + Zeros(z.counters.crz, 4) + " COO:" + Zeros(z.counters.coo, 6) +
                                " CRO:" + Zeros(z.counters.cro, 4),
                            KeyDate(z.movementDate), 48));
      body.push_back(Spread("  VENDA BRUTA:", Money(z.day.gross), 48));
      body.push_back(Spread("  VENDA LIQUIDA:", Money(z.net()), 48));
      for (int i = 0; i < kRateSlots; ++i)
        if (z.rates[i] && z.day.taxed[i])
          body.push_back(Spread("  " + Zeros(i + 1, 2) + (z.iss[i] ? "S" : "T") + Percent(z.rates[i]) + "%",
                                Money(z.day.taxed[i]), 48));
      body.push_back(Spread("  GRANDE TOTAL:", Money(z.gt), 48));
    }
  }
  if (count == 0) body.push_back(Center("SEM REDUCOES NO PERIODO", 48));
  body.push_back(kRule);
  body.push_back(Spread("REDUCOES NO PERIODO:", Zeros(count, 4), 48));
  body.push_back(Spread("VENDA BRUTA DO PERIODO:", Money(gross), 48));
  body.push_back(Spread("VENDA LIQUIDA DO PERIODO:", Money(net), 48));
  if (toFile) {
    std::vector<std::string> all = Header();
    for (auto& x : body) all.push_back(x);
    for (auto& x : Trailer()) all.push_back(x);
    if (!WriteSerialOutput(all)) return Refuse(kExecError);
    return Ok();
  }
  int64_t coo = NextCoo();
  int64_t gnf = ++st_.counters.gnf;
  std::vector<std::string> l = Header();
  l.push_back(CounterLine("GNF:" + Zeros(gnf, 6) + " COO:" + Zeros(coo, 6)));
  for (auto& x : body) l.push_back(x);
  for (auto& x : Trailer()) l.push_back(x);
  FinishDocument("LMF", coo, {{"gnf", gnf}, {"complete", complete}}, l);
  return Ok();
}

int Printer::Elgin_LeituraMemoriaFiscalData(const Call& c) { return FiscalMemoryReading(c, true, false); }
int Printer::Elgin_LeituraMemoriaFiscalReducao(const Call& c) { return FiscalMemoryReading(c, false, false); }
int Printer::Elgin_LeituraMemoriaFiscalSerialData(const Call& c) { return FiscalMemoryReading(c, true, true); }
int Printer::Elgin_LeituraMemoriaFiscalSerialReducao(const Call& c) { return FiscalMemoryReading(c, false, true); }

// The summary map of the last reduction, printed as a reading.
int Printer::Elgin_MapaResumo(const Call&) {
  if (!st_.lastZ) return Refuse(kExecError);
  if (int r = CheckNewDocument(false)) return r;
  int64_t coo = NextCoo();
  int64_t gnf = ++st_.counters.gnf;
  std::vector<std::string> l = Header();
  l.push_back(CounterLine("GNF:" + Zeros(gnf, 6) + " COO:" + Zeros(coo, 6)));
  l.push_back(Center("MAPA RESUMO", 48));
  for (auto& x : ReductionLines(*st_.lastZ)) l.push_back(x);
  for (auto& x : Trailer()) l.push_back(x);
  FinishDocument("MR", coo, {{"gnf", gnf}, {"crz", st_.lastZ->counters.crz}}, l);
  return Ok();
}

}  // namespace ecfsim
