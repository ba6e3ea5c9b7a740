// The fiscal coupon: opening, items, discounts and surcharges, cancellations,
// closing with payments.
//
// Accounting (all in cents, per category of tax):
//   item sold v            taxed += v, gross += v, grand total += v
//   discount d             taxed -= d, discounts += d
//   surcharge a            taxed += a, surcharges += a, gross += a, grand total += a
//   cancellation of a net n carrying discounts d
//                          taxed -= n, cancellations += n + d, discounts -= d
// so that gross = sum(taxed) + cancellations + discounts at every moment.
#include <algorithm>

#include "sim/core/text.h"
#include "sim/printer.h"

namespace ecfsim {

using nlohmann::json;

// ---------------------------------------------------------------- accounting

int64_t& Printer::Taxed(int cat) {
  if (cat < kRateSlots) return st_.day.taxed[cat];
  if (cat == kCatF) return st_.day.substitution;
  if (cat == kCatI) return st_.day.exempt;
  return st_.day.nonIncidence;
}

bool Printer::IssCat(int cat) const { return cat < kRateSlots && st_.prog.iss[cat]; }

void Printer::Sale(int cat, int64_t v) {
  Taxed(cat) += v;
  st_.day.gross += v;
  st_.gt += v;
}

void Printer::Discount(int cat, int64_t v) {
  Taxed(cat) -= v;
  (IssCat(cat) ? st_.day.discIss : st_.day.discIcms) += v;
}

void Printer::Surcharge(int cat, int64_t v) {
  Taxed(cat) += v;
  (IssCat(cat) ? st_.day.acrIss : st_.day.acrIcms) += v;
  st_.day.gross += v;
  st_.gt += v;
}

void Printer::CancelNet(int cat, int64_t net, int64_t disc, std::array<int64_t, kCategories>& catNet,
                        std::array<int64_t, kCategories>& catDisc) {
  Taxed(cat) -= net;
  (IssCat(cat) ? st_.day.cancIss : st_.day.cancIcms) += net + disc;
  (IssCat(cat) ? st_.day.discIss : st_.day.discIcms) -= disc;
  catNet[cat] -= net;
  catDisc[cat] -= disc;
}

// Splits a coupon-level amount over the categories in proportion to their
// net values; the rounding rest goes to the largest one.
std::vector<std::pair<int, int64_t>> Printer::Apportion(int64_t amount) const {
  std::vector<std::pair<int, int64_t>> out;
  int64_t total = doc_->Total();
  if (total <= 0) return out;
  int64_t given = 0;
  int largest = -1;
  for (int c = 0; c < kCategories; ++c) {
    int64_t net = doc_->catNet[c];
    if (net <= 0) continue;
    int64_t share = MulDiv(amount, net, total, false);
    out.emplace_back(c, share);
    given += share;
    if (largest < 0 || net > doc_->catNet[out[largest].first]) largest = static_cast<int>(out.size()) - 1;
  }
  if (largest >= 0) out[largest].second += amount - given;
  return out;
}

// ---------------------------------------------------------------- lookups

int Printer::FindPayment(std::string_view name) const {
  std::string key = Upper(Trim(Trim(name).substr(0, 16)));
  if (key.empty()) return -1;
  for (int i = 0; i < kPaymentSlots; ++i)
    if (!st_.prog.payNames[i].empty() && Upper(Trim(st_.prog.payNames[i])) == key) return i;
  return -1;
}

int Printer::ResolveRate(std::string_view code, int& cat) const {
  std::string t = Upper(Trim(code));
  if (t == "FF") { cat = kCatF; return 0; }
  if (t == "II") { cat = kCatI; return 0; }
  if (t == "NN") { cat = kCatN; return 0; }
  if (t.size() == 2 && IsDigits(t)) {
    int slot = std::stoi(t);
    if (slot >= kRateSlots) return kBadParam;
    if (st_.prog.rates[slot] == 0) return kRateNotProgrammed;
    cat = slot;
    return 0;
  }
  if (t.size() == 4 && IsDigits(t)) {
    int rate = std::stoi(t);
    for (int i = 0; i < kRateSlots; ++i)
      if (rate != 0 && st_.prog.rates[i] == rate) {
        cat = i;
        return 0;
      }
    return kRateNotProgrammed;
  }
  return kBadParam;
}

std::string Printer::CatLabel(int cat) const {
  if (cat == kCatF) return "F1";
  if (cat == kCatI) return "I1";
  if (cat == kCatN) return "N1";
  return Zeros(cat + 1, 2) + (IssCat(cat) ? "S" : "T") + Percent(st_.prog.rates[cat]) + "%";
}

std::string Printer::CatCode(int cat) const {
  if (cat == kCatF) return "F1";
  if (cat == kCatI) return "I1";
  if (cat == kCatN) return "N1";
  return TotalizerCode(cat, st_.prog.rates[cat], IssCat(cat));
}

// An item as the detail memory keeps it: with its totalizer's code and the
// rounding rule it was sold under.
json Printer::ItemData(const Item& it) const {
  json j = ToJson(it);
  j["totalizer"] = CatCode(it.cat);
  j["iat"] = st_.prog.truncation ? "T" : "A";
  return j;
}

// ---------------------------------------------------------------- opening

namespace {

std::string FormatConsumerId(const std::string& d) {
  if (d.size() == 11) return d.substr(0, 3) + "." + d.substr(3, 3) + "." + d.substr(6, 3) + "-" + d.substr(9, 2);
  if (d.size() == 14)
    return d.substr(0, 2) + "." + d.substr(2, 3) + "." + d.substr(5, 3) + "/" + d.substr(8, 4) + "-" + d.substr(12, 2);
  return d;
}

// Digits after the decimal separator of an amount text.
size_t FractionDigits(std::string_view text) {
  std::string t = Trim(text);
  size_t p = t.find_first_of(",.");
  return p == std::string::npos ? 0 : t.size() - p - 1;
}

std::string PriceText(int64_t milli, int decimals) {
  std::string s = Milli(milli);
  return decimals == 2 ? s.substr(0, s.size() - 1) : s;
}

}  // namespace

int Printer::Elgin_AbreCupom(const Call& c) {
  Call mfd = c;
  mfd.count = 3;
  mfd.args[1] = MakeArg(static_cast<char*>(nullptr));
  mfd.args[2] = MakeArg(static_cast<char*>(nullptr));
  return Elgin_AbreCupomMFD(mfd);
}

int Printer::Elgin_AbreCupomMFD(const Call& c) {
  if (int r = CheckNewDocument(true)) return r;
  std::string id = Trim(c.In(0)), name = Trim(c.In(1)), address = Trim(c.In(2));
  std::string digits;
  if (!id.empty()) {
    digits = DocumentDigits(id);
    if (!(ValidCpf(digits) || ValidCnpj(digits))) return Refuse(kBadParam, kSt1Syntax);
  }
  if (name.size() > 60 || address.size() > 120) return Refuse(kBadParam, kSt1Syntax);
  StartDay();
  int64_t coo = NextCoo();
  st_.last.cancellable = false;
  OpenDoc d;
  d.kind = "CF";
  d.coo = coo;
  d.ccf = ++st_.counters.ccf;
  d.openedAt = Iso(Now());
  d.consumerId = digits;
  d.consumerName = name;
  d.consumerAddress = address;
  doc_ = d;
  std::vector<std::string> l = Header();
  l.push_back(CounterLine("CCF:" + Zeros(d.ccf, 6) + " COO:" + Zeros(coo, 6)));
  if (!digits.empty()) l.push_back("CPF/CNPJ consumidor: " + FormatConsumerId(digits));
  for (auto& x : PrintLines(name.empty() ? "" : "NOME: " + name, 48)) l.push_back(x);
  for (auto& x : PrintLines(address.empty() ? "" : "END.: " + address, 48)) l.push_back(x);
  if (!digits.empty() || !name.empty() || !address.empty()) l.push_back(std::string(48, '-'));
  l.push_back(Center("CUPOM FISCAL", 48));
  l.push_back("ITEM CODIGO DESCRICAO");
  l.push_back(Spread("QTD.UN.VL UNIT(R$)  ST", "VL ITEM(R$)", 48));
  l.push_back(std::string(48, '-'));
  PrintDoc(l);
  Touch();
  return Ok();
}

// ---------------------------------------------------------------- items

int Printer::SellItem(const std::string& code, const std::string& desc, const std::string& rate, int64_t qty,
                      int64_t price, int priceDecimals, const std::string& unit, int64_t discount,
                      int64_t surcharge) {
  int cat = 0;
  if (int r = ResolveRate(rate, cat)) {
    if (r == kRateNotProgrammed) return Refuse(r, 0, kSt2RateNotProgrammed | kSt2NotExecuted);
    return Refuse(r, kSt1Syntax);
  }
  if (doc_->items.size() >= 999) return Refuse(kExecError);
  int64_t total = MulDiv(qty, price, 10000, !st_.prog.truncation);
  if (total <= 0 || total > 99999999999LL) return Refuse(kBadParam, kSt1Syntax);
  if (discount >= total) return Refuse(kBadParam, kSt1Syntax);
  Item it;
  it.n = static_cast<int64_t>(doc_->items.size()) + 1;
  it.code = code;
  it.description = desc;
  it.unit = unit;
  it.cat = cat;
  it.qty = qty;
  it.price = price;
  it.priceDecimals = priceDecimals;
  it.total = total;
  Sale(cat, total);
  doc_->catNet[cat] += total;
  ++st_.day.itemsSold;
  doc_->items.push_back(it);
  dirtyItems_.push_back(it.n);
  std::vector<std::string> l = PrintLines(Zeros(it.n, 3) + " " + code + " " + desc, 48);
  std::string left = "     " + Milli(qty) + " " + unit + " x " + PriceText(price, priceDecimals);
  l.push_back(Spread(left + "  " + CatLabel(cat), Money(total), 48));
  PrintDoc(l);
  st_.nextDescription.clear();
  if (discount > 0) return AdjustItem(doc_->items.back(), true, discount);
  if (surcharge > 0) return AdjustItem(doc_->items.back(), false, surcharge);
  return Ok();
}

int Printer::AdjustItem(Item& item, bool discount, int64_t value) {
  if (item.cancelled) return Refuse(kExecError);
  if ((discount ? item.discount : item.surcharge) != 0) return Refuse(kExecError);
  if (value <= 0) return Refuse(kBadParam, kSt1Syntax);
  if (discount && value >= item.total + item.surcharge) return Refuse(kBadParam, kSt1Syntax);
  if (discount) {
    Discount(item.cat, value);
    item.discount = value;
    doc_->catNet[item.cat] -= value;
    doc_->catDisc[item.cat] += value;
  } else {
    Surcharge(item.cat, value);
    item.surcharge = value;
    doc_->catNet[item.cat] += value;
  }
  dirtyItems_.push_back(item.n);
  PrintDoc({Spread((discount ? "   desconto item " : "   acrescimo item ") + Zeros(item.n, 3),
                   (discount ? "-" : "+") + Money(value), 48)});
  return Ok();
}

namespace {
bool InCoupon(const std::optional<OpenDoc>& d) { return d && d->kind == "CF"; }
}  // namespace

int Printer::Elgin_VendeItem(const Call& c) {
  if (!InCoupon(doc_) || doc_->stage != 1) return Refuse(kExecError);
  if (int r = CheckPaper()) return r;
  std::string code = Trim(c.In(0));
  std::string desc = st_.nextDescription.empty() ? Trim(c.In(1)) : st_.nextDescription;
  std::string qtyType = Upper(Trim(c.In(3)));
  int decimals = c.Int(5);
  if (code.empty() || code.size() > 14 || desc.empty() || desc.size() > 200) return Refuse(kBadParam, kSt1Syntax);
  if ((qtyType != "I" && qtyType != "F") || (decimals != 2 && decimals != 3)) return Refuse(kBadParam, kSt1Syntax);
  auto qty = ParseAmount(c.In(4), 3, qtyType == "I" ? 0 : 3);
  auto price = ParseAmount(c.In(6), 3, decimals);
  if (!qty || *qty <= 0 || *qty > 9999999 || (qtyType == "I" && *qty % 1000 != 0))
    return Refuse(kBadParam, kSt1Syntax);
  if (!price || *price <= 0 || FractionDigits(c.In(6)) > static_cast<size_t>(decimals))
    return Refuse(kBadParam, kSt1Syntax);
  std::string discType = Trim(c.In(7));
  std::string discText = Trim(c.In(8));
  int64_t disc = 0;
  if (!discText.empty()) {
    auto d = ParseDigitString(discText);
    if (!d || (*d != 0 && discType != "$" && discType != "%")) return Refuse(kBadParam, kSt1Syntax);
    if (*d == 0) {
      disc = 0;
    } else if (discType == "%") {
      if (*d >= 10000) return Refuse(kBadParam, kSt1Syntax);
      disc = MulDiv(MulDiv(*qty, *price, 10000, !st_.prog.truncation), *d, 10000, true);
    } else {
      disc = *d;
    }
  }
  return SellItem(code, desc, c.In(2), *qty, *price, decimals, "UN", disc, 0);
}

int Printer::Elgin_VendeItemDepartamento(const Call& c) {
  if (!InCoupon(doc_) || doc_->stage != 1) return Refuse(kExecError);
  if (int r = CheckPaper()) return r;
  std::string code = Trim(c.In(0));
  std::string desc = st_.nextDescription.empty() ? Trim(c.In(1)) : st_.nextDescription;
  if (code.empty() || code.size() > 14 || desc.empty() || desc.size() > 200) return Refuse(kBadParam, kSt1Syntax);
  size_t decimals = std::max<size_t>(2, FractionDigits(c.In(3)));
  auto price = ParseAmount(c.In(3), 3, 3);
  auto qty = ParseAmount(c.In(4), 3, 3);
  std::string acrText = Trim(c.In(5)), discText = Trim(c.In(6));
  auto acr = acrText.empty() ? std::optional<int64_t>(0) : ParseAmount(acrText, 2, 2);
  auto disc = discText.empty() ? std::optional<int64_t>(0) : ParseAmount(discText, 2, 2);
  auto dept = ParseInt(c.In(7), 2);
  std::string unit = Trim(c.In(8));
  if (!price || *price <= 0 || decimals > 3 || !qty || *qty <= 0 || *qty > 9999999 || !acr || !disc ||
      (*acr > 0 && *disc > 0) || !dept || *dept < 1 || *dept > 20 || unit.size() > 2)
    return Refuse(kBadParam, kSt1Syntax);
  return SellItem(code, desc, c.In(2), *qty, *price, static_cast<int>(decimals), unit.empty() ? "UN" : unit, *disc,
                  *acr);
}

int Printer::Elgin_AumentaDescricaoItem(const Call& c) {
  std::string d = Trim(c.In(0));
  if (d.empty() || d.size() > 200) return Refuse(kBadParam, kSt1Syntax);
  st_.nextDescription = d;
  return Ok();
}

int Printer::Elgin_AcrescimoDescontoItemMFD(const Call& c) {
  if (!InCoupon(doc_) || doc_->stage != 1) return Refuse(kExecError);
  if (int r = CheckPaper()) return r;
  auto n = ParseInt(c.In(0), 4);
  std::string type = Upper(Trim(c.In(1))), mode = Trim(c.In(2));
  auto v = ParseDigitString(c.In(3));
  if (!n || *n < 1 || *n > static_cast<int64_t>(doc_->items.size())) return Refuse(kBadParam, kSt1Syntax);
  if ((type != "A" && type != "D") || (mode != "$" && mode != "%") || !v || *v <= 0)
    return Refuse(kBadParam, kSt1Syntax);
  Item& item = doc_->items[*n - 1];
  int64_t value = *v;
  if (mode == "%") {
    if (type == "D" && *v >= 10000) return Refuse(kBadParam, kSt1Syntax);
    value = MulDiv(item.total, *v, 10000, true);
  }
  return AdjustItem(item, type == "D", value);
}

// ---------------------------------------------------------------- cancellations

int Printer::Elgin_CancelaItemGenerico(const Call& c) {
  if (!InCoupon(doc_) || doc_->stage != 1) return Refuse(kExecError, 0, kSt2CancelNotAllowed | kSt2NotExecuted);
  auto n = ParseInt(c.In(0), 4);
  if (!n || *n < 1 || *n > static_cast<int64_t>(doc_->items.size())) return Refuse(kBadParam, kSt1Syntax);
  Item& item = doc_->items[*n - 1];
  if (item.cancelled) return Refuse(kExecError, 0, kSt2CancelNotAllowed | kSt2NotExecuted);
  if (int r = CheckPaper()) return r;
  CancelNet(item.cat, item.net(), item.discount, doc_->catNet, doc_->catDisc);
  st_.day.itemsCancelled += item.total + item.surcharge;
  item.cancelled = true;
  dirtyItems_.push_back(item.n);
  PrintDoc({Spread("CANCELAMENTO ITEM " + Zeros(item.n, 3), "-" + Money(item.net()), 48)});
  return Ok();
}

int Printer::Elgin_CancelaItemAnterior(const Call& c) {
  if (!InCoupon(doc_) || doc_->stage != 1 || doc_->items.empty())
    return Refuse(kExecError, 0, kSt2CancelNotAllowed | kSt2NotExecuted);
  std::string n = Zeros(doc_->items.back().n, 4);
  Call g = c;
  char buf[8];
  std::snprintf(buf, sizeof buf, "%s", n.c_str());
  g.count = 1;
  g.args[0] = MakeArg(buf);
  return Elgin_CancelaItemGenerico(g);
}

int Printer::Elgin_CancelaCupom(const Call&) {
  if (InCoupon(doc_)) {
    if (paper_ == 2 || cover_) return Refuse(kExecError);
    int64_t total = doc_->Total();
    for (int cat = 0; cat < kCategories; ++cat)
      if (doc_->catNet[cat] != 0 || doc_->catDisc[cat] != 0)
        CancelNet(cat, doc_->catNet[cat], doc_->catDisc[cat], doc_->catNet, doc_->catDisc);
    for (auto& p : doc_->payments) st_.day.payments[p.slot] -= p.amount;
    ++st_.counters.cfc;
    PrintDoc({std::string(48, '-'), Center("CUPOM FISCAL CANCELADO", 48),
              Spread("TOTAL CANCELADO R$", Money(total), 48)});
    json items = json::array();
    for (auto& it : doc_->items) items.push_back(ItemData(it));
    json data = {{"ccf", doc_->ccf}, {"cancelled", true}, {"subtotal", doc_->subtotal},
                 {"discount", doc_->subDiscount}, {"surcharge", doc_->subSurcharge}, {"total", total},
                 {"consumer_id", Cp1252ToUtf8(doc_->consumerId)},
                 {"consumer_name", Cp1252ToUtf8(doc_->consumerName)}, {"items", items},
                 {"payments", json::array()}};
    CloseOpenDocument("CF", data);
    st_.last = LastSale{};
    return Ok();
  }
  if (doc_) return Refuse(kExecError, 0, kSt2CancelNotAllowed | kSt2NotExecuted);
  if (st_.last.kind != "CF" || !st_.last.cancellable || st_.last.movementDate != st_.movementDate)
    return Refuse(kExecError, 0, kSt2CancelNotAllowed | kSt2NotExecuted);
  if (int r = CheckNewDocument(true)) return r;
  LastSale& last = st_.last;
  for (int cat = 0; cat < kCategories; ++cat)
    if (last.catNet[cat] != 0 || last.catDisc[cat] != 0) CancelNet(cat, last.catNet[cat], last.catDisc[cat], last.catNet, last.catDisc);
  for (auto& p : last.payments) st_.day.payments[p.slot] -= p.amount;
  ++st_.counters.cfc;
  int64_t coo = NextCoo();
  std::vector<std::string> l = Header();
  l.push_back(CounterLine("COO:" + Zeros(coo, 6)));
  l.push_back(Center("CUPOM FISCAL CANCELADO", 48));
  l.push_back(Spread("COO DO CUPOM CANCELADO:", Zeros(last.coo, 6), 48));
  l.push_back(Spread("CCF DO CUPOM CANCELADO:", Zeros(last.ccf, 6), 48));
  l.push_back(Spread("VALOR DA OPERACAO CANCELADA R$", Money(last.total), 48));
  for (auto& t : Trailer()) l.push_back(t);
  FinishDocument("CFC", coo, {{"cancelled_coo", last.coo}, {"cancelled_ccf", last.ccf}, {"total", last.total}}, l);
  st_.last = LastSale{};
  return Ok();
}

// ---------------------------------------------------------------- closing

int Printer::Elgin_IniciaFechamentoCupom(const Call& c) {
  if (!InCoupon(doc_) || doc_->stage != 1) return Refuse(kExecError);
  if (int r = CheckPaper()) return r;
  if (std::none_of(doc_->items.begin(), doc_->items.end(), [](const Item& i) { return !i.cancelled; }))
    return Refuse(kExecError);
  std::string type = Upper(Trim(c.In(0))), mode = Trim(c.In(1));
  auto v = ParseAmount(c.In(2), 2, 0);
  if ((type != "A" && type != "D") || (mode != "$" && mode != "%") || !v) return Refuse(kBadParam, kSt1Syntax);
  int64_t subtotal = doc_->Total();
  int64_t amount = *v;
  if (mode == "%") {
    if (*v >= 10000 && type == "D") return Refuse(kBadParam, kSt1Syntax);
    amount = MulDiv(subtotal, *v, 10000, true);
  }
  if (type == "D" && amount >= subtotal) return Refuse(kBadParam, kSt1Syntax);
  doc_->subtotal = subtotal;
  std::vector<std::string> l{Spread("SUBTOTAL R$", Money(subtotal), 48)};
  if (amount > 0) {
    for (auto [cat, share] : Apportion(amount)) {
      if (share == 0) continue;
      if (type == "D") {
        Discount(cat, share);
        doc_->catNet[cat] -= share;
        doc_->catDisc[cat] += share;
      } else {
        Surcharge(cat, share);
        doc_->catNet[cat] += share;
      }
    }
    if (type == "D") {
      doc_->subDiscount = amount;
      l.push_back(Spread("DESCONTO R$", "-" + Money(amount), 48));
    } else {
      doc_->subSurcharge = amount;
      l.push_back(Spread("ACRESCIMO R$", "+" + Money(amount), 48));
    }
  }
  l.push_back(Spread("TOTAL R$", Money(doc_->Total()), 48));
  doc_->stage = 2;
  PrintDoc(l);
  return Ok();
}

int Printer::Elgin_EfetuaFormaPagamento(const Call& c) {
  if (!InCoupon(doc_) || doc_->stage != 2 || doc_->paid >= doc_->Total()) return Refuse(kExecError);
  if (int r = CheckPaper()) return r;
  int slot = FindPayment(c.In(0));
  if (slot < 0) return Refuse(kPaymentNotProgrammed);
  auto v = ParseAmount(c.In(1), 2, 0);
  if (!v || *v <= 0) return Refuse(kBadParam, kSt1Syntax);
  Payment p;
  p.slot = slot;
  p.name = st_.prog.payNames[slot];
  p.amount = *v;
  doc_->payments.push_back(p);
  doc_->paid += *v;
  st_.day.payments[slot] += *v;  // the method's totalizer takes the payment as it is registered
  PrintDoc({Spread(p.name, Money(*v), 48)});
  return Ok();
}

int Printer::Elgin_TerminaFechamentoCupom(const Call& c) {
  if (!InCoupon(doc_) || doc_->stage != 2 || doc_->paid < doc_->Total()) return Refuse(kExecError);
  if (int r = CheckPaper()) return r;
  std::string footer = c.In(0);
  if (footer.size() > 8192) return Refuse(kBadParam, kSt1Syntax);
  int64_t total = doc_->Total();
  int64_t change = doc_->paid - total;
  // The payments as received, the change given back from the last one.
  std::vector<Payment> merged;
  for (auto& p : doc_->payments) {
    auto it = std::find_if(merged.begin(), merged.end(), [&](const Payment& m) { return m.slot == p.slot; });
    if (it == merged.end()) merged.push_back(p);
    else it->amount += p.amount;
  }
  int lastSlot = doc_->payments.back().slot;
  for (auto& m : merged)
    if (m.slot == lastSlot) m.amount -= change;
  st_.day.payments[lastSlot] -= change;  // the payments are already in their totalizers
  std::vector<std::string> l;
  if (change > 0) l.push_back(Spread("TROCO R$", Money(change), 48));
  std::vector<std::string> foot = PrintLines(footer, 48);
  if (!foot.empty()) {
    l.push_back(std::string(48, '-'));
    for (auto& f : foot) l.push_back(f);
  }
  PrintDoc(l);
  LastSale last;
  last.kind = "CF";
  last.coo = doc_->coo;
  last.ccf = doc_->ccf;
  last.movementDate = st_.movementDate;
  last.cancellable = true;
  last.linkable = true;
  last.payments = merged;
  last.catNet = doc_->catNet;
  last.catDisc = doc_->catDisc;
  last.total = total;
  json items = json::array(), pays = json::array();
  for (auto& it : doc_->items) items.push_back(ItemData(it));
  for (auto& p : doc_->payments) pays.push_back({{"name", Cp1252ToUtf8(p.name)}, {"amount", p.amount}});
  json data = {{"ccf", doc_->ccf}, {"cancelled", false}, {"subtotal", doc_->subtotal},
               {"discount", doc_->subDiscount}, {"surcharge", doc_->subSurcharge}, {"total", total},
               {"change", change}, {"consumer_id", Cp1252ToUtf8(doc_->consumerId)},
               {"consumer_name", Cp1252ToUtf8(doc_->consumerName)}, {"items", items}, {"payments", pays}};
  CloseOpenDocument("CF", data);
  st_.last = last;
  return Ok();
}

}  // namespace ecfsim
