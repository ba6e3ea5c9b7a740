// The printer's side of the control interface: snapshot, programming, the
// memory image for the reader library.
#include <map>
#include <stdexcept>

#include "sim/core/files.h"
#include "sim/core/text.h"
#include "sim/printer.h"

namespace ecfsim {

using nlohmann::json;

namespace {

double Amount(int64_t cents) { return static_cast<double>(cents) / 100.0; }
json U(const std::string& s) { return Cp1252ToUtf8(s); }
std::string KeyIso(const std::string& key) {
  return key.size() == 8 ? key.substr(0, 4) + "-" + key.substr(4, 2) + "-" + key.substr(6, 2) : std::string();
}

json PaymentsJson(const std::vector<Payment>& v) {
  json out = json::array();
  for (auto& p : v)
    out.push_back({{"name", U(p.name)}, {"amount", Amount(p.amount)}, {"linked", Amount(p.linked)}});
  return out;
}

json ItemSnapshot(const json& it) {
  return {{"n", it.value("n", 0)},
          {"code", it.value("code", "")},
          {"description", it.value("description", "")},
          {"qty", static_cast<double>(it.value("qty", int64_t{0})) / 1000.0},
          {"price", static_cast<double>(it.value("price", int64_t{0})) / 1000.0},
          {"total", Amount(it.value("total", int64_t{0}))},
          {"discount", Amount(it.value("discount", int64_t{0}))},
          {"surcharge", Amount(it.value("surcharge", int64_t{0}))},
          {"cancelled", it.value("cancelled", false)}};
}

// A finished fiscal coupon as the detail memory holds it (amounts in cents there).
json CouponSnapshot(const DocumentRow& row, const json& d) {
  json items = json::array(), pays = json::array();
  int64_t paid = 0;
  for (auto& it : d.value("items", json::array())) items.push_back(ItemSnapshot(it));
  for (auto& p : d.value("payments", json::array())) {
    paid += p.value("amount", int64_t{0});
    pays.push_back({{"name", p.value("name", "")}, {"amount", Amount(p.value("amount", int64_t{0}))}});
  }
  return {{"coo", row.coo},
          {"ccf", d.value("ccf", int64_t{0})},
          {"movement_date", KeyIso(row.movementDate)},
          {"cancelled", d.value("cancelled", false)},
          {"items", items},
          {"subtotal", Amount(d.value("subtotal", int64_t{0}))},
          {"discount", Amount(d.value("discount", int64_t{0}))},
          {"surcharge", Amount(d.value("surcharge", int64_t{0}))},
          {"total", Amount(d.value("total", int64_t{0}))},
          {"paid", Amount(paid)},
          {"change", Amount(d.value("change", int64_t{0}))},
          {"payments", pays}};
}

}  // namespace

// Every fiscal coupon of the detail memory, in order of issue; one cancelled
// after its closing shows as cancelled.
json Printer::CouponsSnapshot() {
  json out = json::array();
  std::map<int64_t, size_t> byCoo;
  for (const DocumentRow& row : store_.Documents()) {
    if (row.kind != "CF" && row.kind != "CFC") continue;
    json d = json::parse(row.data, nullptr, false);
    if (d.is_discarded()) continue;
    if (row.kind == "CFC") {
      auto it = byCoo.find(d.value("cancelled_coo", int64_t{0}));
      if (it != byCoo.end()) out[it->second]["cancelled"] = true;
      continue;
    }
    byCoo[row.coo] = out.size();
    out.push_back(CouponSnapshot(row, d));
  }
  return out;
}

namespace {

// The day's totalizers, with the programmed payment methods and non-fiscal
// totalizers by name.
json TotalsSnapshot(const DayTotals& d, const Programming& prog) {
  json taxed = json::array();
  for (auto v : d.taxed) taxed.push_back(Amount(v));
  json payments = json::object(), nf = json::object();
  for (int i = 0; i < kPaymentSlots; ++i)
    if (!Trim(prog.payNames[i]).empty()) payments[Cp1252ToUtf8(Trim(prog.payNames[i]))] = Amount(d.payments[i]);
  for (int i = 0; i < kNamedTotalizers; ++i)
    if (!Trim(prog.nfNames[i]).empty())
      nf[Cp1252ToUtf8(Trim(prog.nfNames[i]))] = {{"index", Zeros(i, 2)}, {"value", Amount(d.nf[i].value)},
                                                 {"count", d.nf[i].count}};
  return {{"gross", Amount(d.gross)},
          {"net", Amount(d.gross - d.cancIcms - d.cancIss - d.discIcms - d.discIss)},
          {"cancellations", Amount(d.cancIcms + d.cancIss)},
          {"discounts", Amount(d.discIcms + d.discIss)},
          {"surcharges", Amount(d.acrIcms + d.acrIss)},
          {"cancellations_icms", Amount(d.cancIcms)},
          {"cancellations_iss", Amount(d.cancIss)},
          {"discounts_icms", Amount(d.discIcms)},
          {"discounts_iss", Amount(d.discIss)},
          {"surcharges_icms", Amount(d.acrIcms)},
          {"surcharges_iss", Amount(d.acrIss)},
          {"items_cancelled", Amount(d.itemsCancelled)},
          {"taxed", taxed},
          {"substitution", Amount(d.substitution)},
          {"exempt", Amount(d.exempt)},
          {"non_incidence", Amount(d.nonIncidence)},
          {"non_fiscal", Amount(d.nonFiscal)},
          {"supply", Amount(d.supply)},
          {"withdrawal", Amount(d.withdrawal)},
          {"payments", payments},
          {"nonfiscal_totalizers", nf}};
}

// The document being issued, with its items (their rates named by rateLabel).
template <class RateLabel>
json OpenDocumentSnapshot(const OpenDoc& doc, const RateLabel& rateLabel) {
  json items = json::array();
  for (auto& it : doc.items)
    items.push_back({{"n", it.n},
                     {"code", U(it.code)},
                     {"description", U(it.description)},
                     {"rate", rateLabel(it.cat)},
                     {"qty", static_cast<double>(it.qty) / 1000.0},
                     {"price", static_cast<double>(it.price) / 1000.0},
                     {"total", Amount(it.total)},
                     {"discount", Amount(it.discount)},
                     {"surcharge", Amount(it.surcharge)},
                     {"cancelled", it.cancelled}});
  return {{"kind", doc.kind},
          {"coo", doc.coo},
          {"ccf", doc.ccf},
          {"stage", doc.stage == 1 ? "items" : "payment"},
          {"consumer_id", U(doc.consumerId)},
          {"consumer_name", U(doc.consumerName)},
          {"consumer_address", U(doc.consumerAddress)},
          {"items", items},
          {"subtotal", Amount(doc.subtotal)},
          {"discount", Amount(doc.subDiscount)},
          {"surcharge", Amount(doc.subSurcharge)},
          {"total", Amount(doc.Total())},
          {"paid", Amount(doc.paid)},
          {"payments", PaymentsJson(doc.payments)}};
}

json LastSaleSnapshot(const LastSale& last) {
  return {{"kind", last.kind},
          {"coo", last.coo},
          {"ccf", last.ccf},
          {"total", Amount(last.total)},
          {"cancellable", last.cancellable},
          {"linkable", last.linkable},
          {"payments", PaymentsJson(last.payments)}};
}

// The printer's programming: identification, owner, and the occupied slots
// of rates, payment methods, non-fiscal totalizers and report names.
json ProgrammingSnapshot(const Programming& p) {
  json rates = json::array(), pays = json::array(), nfs = json::array(), reports = json::array();
  for (int i = 0; i < kRateSlots; ++i)
    if (p.rates[i]) rates.push_back({{"position", Zeros(i, 2)}, {"rate", p.rates[i] / 100.0}, {"iss", p.iss[i]}});
  for (int i = 0; i < kPaymentSlots; ++i)
    if (!Trim(p.payNames[i]).empty())
      pays.push_back({{"slot", Zeros(i + 1, 2)}, {"name", U(p.payNames[i])}, {"linkable", p.payLinkable[i]}});
  for (int i = 0; i < kNamedTotalizers; ++i)
    if (!Trim(p.nfNames[i]).empty()) nfs.push_back({{"index", Zeros(i, 2)}, {"name", U(p.nfNames[i])}});
  for (int i = 0; i < kReportSlots; ++i)
    if (!Trim(p.reportNames[i]).empty())
      reports.push_back({{"slot", Zeros(i + 1, 2)}, {"name", U(p.reportNames[i])}, {"cer", p.reportCer[i]}});
  return {{"serial", U(p.serial)},
          {"till", U(p.till)},
          {"brand", U(p.brand)},
          {"model", U(p.model)},
          {"type", U(p.type)},
          {"firmware", U(p.firmware)},
          {"owner", OwnerJson(p.owner)},
          {"rates", rates},
          {"payment_methods", pays},
          {"nonfiscal_totalizers", nfs},
          {"report_names", reports},
          {"truncation", p.truncation}};
}

json LastReductionSnapshot(const ZRecord& z) {
  return {{"crz", z.counters.crz},
          {"coo", z.counters.coo},
          {"movement_date", KeyIso(z.movementDate)},
          {"issued_at", z.issuedAt},
          {"gross", Amount(z.day.gross)},
          {"net", Amount(z.net())},
          {"grand_total", Amount(z.gt)}};
}

}  // namespace

json Printer::Snapshot() {
  json out;
  if (!MemoryWhole()) {
    out["memory_error"] = *memoryError_;
    out["session"] = {{"port_open", portOpen_}, {"power", power_}};
    out["tape"] = TapePath();
    out["state_dir"] = StateDir();
    return out;
  }
  out["memory_error"] = nullptr;
  Mutate([&] {
    std::string dayState = DayClosed() ? "closed" : ZPending() ? "z_pending" : st_.movementDate.empty() ? "not_started" : "open";
    int flags = (doc_ && doc_->kind == "CF" ? 1 : 0) | (doc_ && doc_->kind == "CF" && doc_->stage == 2 ? 2 : 0) |
                (st_.summerTime ? 4 : 0) | (DayClosed() ? 8 : 0) | (ZPending() ? 16 : 0) |
                ((doc_ && doc_->kind == "CF") || (!doc_ && st_.last.kind == "CF" && st_.last.cancellable) ? 32 : 0);
    out["session"] = {{"port_open", portOpen_},
                      {"power", power_},
                      {"paper", paper_ == 0 ? "ok" : paper_ == 1 ? "low" : "out"},
                      {"cover_open", cover_},
                      {"drawer_open", drawer_},
                      {"cuts", cuts_},
                      {"frozen_clock", frozen_ ? json(Iso(FromSeconds(*frozen_))) : json(nullptr)}};
    out["clock"] = {{"computer", Iso(ComputerNow())},
                    {"printer", Iso(Now())},
                    {"offset", st_.clockOffset},
                    {"summer_time", st_.summerTime}};
    out["status"] = {{"st1", St1()}, {"st2", St2()}, {"last_return", lastRet_}};
    out["flags"] = flags;
    out["day"] = {{"movement_date", KeyIso(st_.movementDate)}, {"state", dayState}};
    out["counters"] = ToJson(st_.counters);
    out["grand_total"] = Amount(st_.gt);
    out["totals"] = TotalsSnapshot(st_.day, st_.prog);
    out["document"] =
        doc_ ? OpenDocumentSnapshot(*doc_, [this](int cat) { return CatLabel(cat); }) : json(nullptr);
    out["last_sale"] = LastSaleSnapshot(st_.last);
    out["programming"] = ProgrammingSnapshot(st_.prog);
    out["last_reduction"] = st_.lastZ ? LastReductionSnapshot(*st_.lastZ) : json(nullptr);
    out["coupons"] = CouponsSnapshot();
    out["fiscal_memory_records"] = static_cast<int64_t>(store_.Reductions().size());
    out["tape"] = TapePath();
    out["state_dir"] = StateDir();
  });
  return out;
}

namespace {

std::string Text(const json& j, const char* key, size_t max) {
  if (!j.contains(key)) return std::string();
  if (!j[key].is_string()) throw std::invalid_argument(std::string(key) + ": a text is expected");
  std::string s = Trim(Utf8ToCp1252(j[key].get<std::string>()));
  if (s.size() > max) throw std::invalid_argument(std::string(key) + ": longer than " + std::to_string(max));
  return s;
}

int Index(const json& j, const char* key, int lo, int hi) {
  if (!j.contains(key) || !j[key].is_number_integer()) throw std::invalid_argument(std::string(key) + ": a number is expected");
  int v = j[key].get<int>();
  if (v < lo || v > hi) throw std::invalid_argument(std::string(key) + ": out of range");
  return v;
}

}  // namespace

void Printer::Program(const json& j) {
  if (!j.is_object()) throw std::invalid_argument("programming: an object is expected");
  static const char* known[] = {"serial", "till", "brand", "model", "type", "firmware", "owner", "rates",
                                "payment_methods", "nonfiscal_totalizers", "report_names", "truncation"};
  for (auto& [k, v] : j.items()) {
    bool ok = false;
    for (auto* n : known) ok = ok || k == n;
    if (!ok) throw std::invalid_argument("programming: unknown key " + k);
  }
  Mutate([&] {
    if (doc_) throw std::runtime_error("programming: a document is open");
    Programming p = st_.prog;
    if (j.contains("serial")) p.serial = Text(j, "serial", 20);
    if (j.contains("till")) p.till = Text(j, "till", 3);
    if (j.contains("brand")) p.brand = Text(j, "brand", 15);
    if (j.contains("model")) p.model = Text(j, "model", 20);
    if (j.contains("type")) p.type = Text(j, "type", 7);
    if (j.contains("firmware")) p.firmware = Text(j, "firmware", 6);
    if (j.contains("owner")) {
      const json& o = j["owner"];
      if (!o.is_object()) throw std::invalid_argument("owner: an object is expected");
      if (o.contains("cnpj")) {
        std::string d = DocumentDigits(Text(o, "cnpj", 18));
        if (!d.empty() && !ValidCnpj(d)) throw std::invalid_argument("owner.cnpj: not a valid CNPJ");
        p.owner.cnpj = d;
      }
      if (o.contains("ie")) p.owner.ie = Text(o, "ie", 14);
      if (o.contains("im")) p.owner.im = Text(o, "im", 14);
      if (o.contains("name")) p.owner.name = Text(o, "name", 48);
      if (o.contains("fantasy")) p.owner.fantasy = Text(o, "fantasy", 48);
      if (o.contains("address")) p.owner.address = Text(o, "address", 120);
    }
    if (j.contains("rates")) {
      if (!st_.movementDate.empty()) throw std::runtime_error("rates: only before the day's first document");
      const json& r = j["rates"];
      if (!r.is_array() || r.size() > kRateSlots) throw std::invalid_argument("rates: at most 16 entries");
      p.rates.fill(0);
      p.iss.fill(false);
      for (size_t i = 0; i < r.size(); ++i) {
        int rate = 0;
        bool iss = false;
        if (r[i].is_number_integer()) rate = r[i].get<int>();
        else if (r[i].is_object()) {
          rate = Index(r[i], "rate", 1, 9999);
          iss = r[i].value("iss", false);
        } else throw std::invalid_argument("rates: a number or an object is expected");
        if (rate < 1 || rate > 9999) throw std::invalid_argument("rates: between 1 and 9999 hundredths");
        p.rates[i] = rate;
        p.iss[i] = iss;
      }
    }
    if (j.contains("payment_methods")) {
      for (auto& m : j["payment_methods"]) {
        int slot = Index(m, "slot", 1, kPaymentSlots) - 1;
        p.payNames[slot] = Text(m, "name", 16);
        p.payLinkable[slot] = m.value("linkable", false);
      }
    }
    if (j.contains("nonfiscal_totalizers")) {
      for (auto& m : j["nonfiscal_totalizers"]) {
        int idx = Index(m, "index", 0, kNamedTotalizers - 1);
        p.nfNames[idx] = Text(m, "name", 19);
      }
    }
    if (j.contains("report_names")) {
      for (auto& m : j["report_names"]) {
        int slot = Index(m, "slot", 1, kReportSlots) - 1;
        p.reportNames[slot] = Text(m, "name", 17);
      }
    }
    if (j.contains("truncation")) p.truncation = j["truncation"].get<bool>();
    st_.prog = p;
  });
}

int Printer::WriteMemoryImage(const std::string& path, const std::string& serial) {
  if (!power_) return kPrinterOff;
  int ret = 0;
  Mutate([&] {
    if (!serial.empty() && Trim(serial) != Trim(st_.prog.serial)) {
      ret = kBadParam;
      return;
    }
    if (!WriteWholeFile(path, MemoryImage().dump(1))) ret = kExecError;
  });
  return ret;
}

}  // namespace ecfsim
