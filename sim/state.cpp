#include "sim/state.h"

#include "sim/core/text.h"

namespace ecfsim {

using nlohmann::json;

namespace {

// Texts live in 1252 in memory and in UTF-8 in JSON.
json U(const std::string& s) { return Cp1252ToUtf8(s); }
std::string S(const json& j, const char* key) { return Utf8ToCp1252(j.value(key, std::string())); }

template <size_t N>
json Texts(const std::array<std::string, N>& a) {
  json out = json::array();
  for (auto& s : a) out.push_back(U(s));
  return out;
}
template <size_t N>
void Texts(const json& j, const char* key, std::array<std::string, N>& a) {
  if (!j.contains(key)) return;
  for (size_t i = 0; i < N && i < j[key].size(); ++i) a[i] = Utf8ToCp1252(j[key][i].get<std::string>());
}
template <typename T, size_t N>
void Values(const json& j, const char* key, std::array<T, N>& a) {
  if (!j.contains(key)) return;
  for (size_t i = 0; i < N && i < j[key].size(); ++i) a[i] = j[key][i].get<T>();
}

json ToJson(const Payment& p) {
  return {{"slot", p.slot}, {"name", U(p.name)}, {"amount", p.amount}, {"linked", p.linked}};
}
Payment PaymentFromJson(const json& j) {
  Payment p;
  p.slot = j.value("slot", 0);
  p.name = S(j, "name");
  p.amount = j.value("amount", int64_t{0});
  p.linked = j.value("linked", int64_t{0});
  return p;
}
json Payments(const std::vector<Payment>& v) {
  json out = json::array();
  for (auto& p : v) out.push_back(ToJson(p));
  return out;
}
std::vector<Payment> Payments(const json& j, const char* key) {
  std::vector<Payment> out;
  if (j.contains(key))
    for (auto& p : j[key]) out.push_back(PaymentFromJson(p));
  return out;
}

}  // namespace

int64_t OpenDoc::Total() const {
  int64_t t = 0;
  for (auto v : catNet) t += v;
  return t;
}

json ToJson(const Item& i) {
  return {{"n", i.n},         {"code", U(i.code)},   {"description", U(i.description)},
          {"unit", U(i.unit)}, {"cat", i.cat},        {"qty", i.qty},
          {"price", i.price}, {"price_decimals", i.priceDecimals},
          {"total", i.total}, {"discount", i.discount}, {"surcharge", i.surcharge},
          {"cancelled", i.cancelled}};
}

Item ItemFromJson(const json& j) {
  Item i;
  i.n = j.value("n", int64_t{0});
  i.code = S(j, "code");
  i.description = S(j, "description");
  i.unit = S(j, "unit");
  i.cat = j.value("cat", 0);
  i.qty = j.value("qty", int64_t{0});
  i.price = j.value("price", int64_t{0});
  i.priceDecimals = j.value("price_decimals", 2);
  i.total = j.value("total", int64_t{0});
  i.discount = j.value("discount", int64_t{0});
  i.surcharge = j.value("surcharge", int64_t{0});
  i.cancelled = j.value("cancelled", false);
  return i;
}

json ToJson(const OpenDoc& d) {
  return {{"kind", d.kind},
          {"coo", d.coo},
          {"opened_at", d.openedAt},
          {"ccf", d.ccf},
          {"consumer_id", U(d.consumerId)},
          {"consumer_name", U(d.consumerName)},
          {"consumer_address", U(d.consumerAddress)},
          {"stage", d.stage},
          {"subtotal", d.subtotal},
          {"sub_discount", d.subDiscount},
          {"sub_surcharge", d.subSurcharge},
          {"cat_net", d.catNet},
          {"cat_disc", d.catDisc},
          {"payments", Payments(d.payments)},
          {"paid", d.paid},
          {"report_slot", d.reportSlot},
          {"grg", d.grg},
          {"cer", d.cer},
          {"gnf", d.gnf},
          {"cdc", d.cdc},
          {"linked_coo", d.linkedCoo},
          {"amount", d.amount},
          {"payment_name", U(d.paymentName)}};
}

OpenDoc OpenDocFromJson(const json& j) {
  OpenDoc d;
  d.kind = j.value("kind", std::string());
  d.coo = j.value("coo", int64_t{0});
  d.openedAt = j.value("opened_at", std::string());
  d.ccf = j.value("ccf", int64_t{0});
  d.consumerId = S(j, "consumer_id");
  d.consumerName = S(j, "consumer_name");
  d.consumerAddress = S(j, "consumer_address");
  d.stage = j.value("stage", 1);
  d.subtotal = j.value("subtotal", int64_t{0});
  d.subDiscount = j.value("sub_discount", int64_t{0});
  d.subSurcharge = j.value("sub_surcharge", int64_t{0});
  Values(j, "cat_net", d.catNet);
  Values(j, "cat_disc", d.catDisc);
  d.payments = Payments(j, "payments");
  d.paid = j.value("paid", int64_t{0});
  d.reportSlot = j.value("report_slot", 0);
  d.grg = j.value("grg", int64_t{0});
  d.cer = j.value("cer", int64_t{0});
  d.gnf = j.value("gnf", int64_t{0});
  d.cdc = j.value("cdc", int64_t{0});
  d.linkedCoo = j.value("linked_coo", int64_t{0});
  d.amount = j.value("amount", int64_t{0});
  d.paymentName = S(j, "payment_name");
  return d;
}

json OwnerJson(const Owner& o) {
  return {{"cnpj", U(o.cnpj)}, {"ie", U(o.ie)},           {"im", U(o.im)},
          {"name", U(o.name)}, {"fantasy", U(o.fantasy)}, {"address", U(o.address)}};
}

json ProgrammingJson(const Programming& p) {
  return {{"serial", U(p.serial)},
          {"brand", U(p.brand)},
          {"model", U(p.model)},
          {"type", U(p.type)},
          {"firmware", U(p.firmware)},
          {"firmware_date", p.firmwareDate},
          {"till", U(p.till)},
          {"mf_adicional", U(p.mfAdicional)},
          {"user_number", U(p.userNumber)},
          {"owner_since", p.ownerSince},
          {"owner",
           OwnerJson(p.owner)},
          {"rates", p.rates},
          {"iss", p.iss},
          {"payment_names", Texts(p.payNames)},
          {"payment_linkable", p.payLinkable},
          {"nonfiscal_names", Texts(p.nfNames)},
          {"report_names", Texts(p.reportNames)},
          {"report_cer", p.reportCer},
          {"truncation", p.truncation}};
}

json DynamicJson(const State& s) {
  const LastSale& l = s.last;
  json last = {{"kind", l.kind},
               {"coo", l.coo},
               {"ccf", l.ccf},
               {"movement_date", l.movementDate},
               {"cancellable", l.cancellable},
               {"linkable", l.linkable},
               {"payments", Payments(l.payments)},
               {"cat_net", l.catNet},
               {"cat_disc", l.catDisc},
               {"total", l.total}};
  return {{"counters", ToJson(s.counters)},
          {"gt", s.gt},
          {"day", ToJson(s.day)},
          {"movement_date", s.movementDate},
          {"summer_time", s.summerTime},
          {"clock_offset", s.clockOffset},
          {"last_doc_at", s.lastDocAt},
          {"last_sale", last},
          {"next_description", U(s.nextDescription)},
          {"serial_output", s.serialOutput}};
}

json ToJson(const State& s) {
  json j = DynamicJson(s);
  j["programming"] = ProgrammingJson(s.prog);
  return j;
}

State StateFromJson(const json& j) {
  State s;
  const json& p = j.at("programming");
  Programming& g = s.prog;
  g.serial = S(p, "serial");
  g.brand = S(p, "brand");
  g.model = S(p, "model");
  g.type = S(p, "type");
  g.firmware = S(p, "firmware");
  g.firmwareDate = p.value("firmware_date", std::string());
  g.till = S(p, "till");
  g.mfAdicional = S(p, "mf_adicional");
  g.userNumber = S(p, "user_number");
  g.ownerSince = p.value("owner_since", std::string());
  const json& o = p.value("owner", json::object());
  g.owner.cnpj = S(o, "cnpj");
  g.owner.ie = S(o, "ie");
  g.owner.im = S(o, "im");
  g.owner.name = S(o, "name");
  g.owner.fantasy = S(o, "fantasy");
  g.owner.address = S(o, "address");
  Values(p, "rates", g.rates);
  Values(p, "iss", g.iss);
  Texts(p, "payment_names", g.payNames);
  Values(p, "payment_linkable", g.payLinkable);
  Texts(p, "nonfiscal_names", g.nfNames);
  Texts(p, "report_names", g.reportNames);
  Values(p, "report_cer", g.reportCer);
  g.truncation = p.value("truncation", false);
  s.counters = CountersFromJson(j.value("counters", json::object()));
  s.gt = j.value("gt", int64_t{0});
  s.day = DayTotalsFromJson(j.value("day", json::object()));
  s.movementDate = j.value("movement_date", std::string());
  s.summerTime = j.value("summer_time", false);
  s.clockOffset = j.value("clock_offset", int64_t{0});
  s.lastDocAt = j.value("last_doc_at", int64_t{0});
  const json& l = j.value("last_sale", json::object());
  s.last.kind = l.value("kind", std::string());
  s.last.coo = l.value("coo", int64_t{0});
  s.last.ccf = l.value("ccf", int64_t{0});
  s.last.movementDate = l.value("movement_date", std::string());
  s.last.cancellable = l.value("cancellable", false);
  s.last.linkable = l.value("linkable", false);
  s.last.payments = Payments(l, "payments");
  Values(l, "cat_net", s.last.catNet);
  Values(l, "cat_disc", s.last.catDisc);
  s.last.total = l.value("total", int64_t{0});
  s.nextDescription = S(j, "next_description");
  s.serialOutput = j.value("serial_output", std::string());
  return s;
}

State FactoryState() {
  State s;
  Programming& p = s.prog;
  p.serial = "ECFSIM00000000000001";
  p.brand = "QOR SIMULADOR";
  p.model = "SIM-ECF MFD";
  p.type = "ECF-IF";
  p.firmware = "010008";
  p.firmwareDate = "2025-01-15T08:00:00";
  p.till = "001";
  p.mfAdicional = " ";
  p.userNumber = "1";
  p.ownerSince = "2025-02-01T09:00:00";
  p.owner.cnpj = "11222333000181";
  p.owner.ie = "111111111111";
  p.owner.im = "1234567";
  p.owner.name = "MERCADO SIMULADO LTDA";
  p.owner.fantasy = "MERCADO SIMULADO";
  p.owner.address = "RUA DAS AMOSTRAS, 100 - CENTRO - SAO PAULO - SP";
  p.rates[0] = 1800;
  p.rates[1] = 1200;
  p.rates[2] = 700;
  p.rates[3] = 500;
  p.iss[3] = true;
  p.payNames[0] = "Dinheiro";
  p.payLinkable[0] = false;
  p.reportNames[0] = "RELATORIO GERAL";
  return s;
}

}  // namespace ecfsim
