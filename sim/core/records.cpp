#include "sim/core/records.h"

#include "sim/core/text.h"

namespace ecfsim {

using nlohmann::json;

int64_t ZRecord::net() const {
  return day.gross - day.cancIcms - day.cancIss - day.discIcms - day.discIss;
}

// Texts are stored in UTF-8 (the databases and the image are JSON); in memory
// they are 1252.

json ToJson(const DayTotals& d) {
  json nf = json::array();
  for (auto& t : d.nf) nf.push_back({{"value", t.value}, {"count", t.count}});
  return {{"taxed", d.taxed},
          {"exempt", d.exempt},
          {"non_incidence", d.nonIncidence},
          {"substitution", d.substitution},
          {"discounts_icms", d.discIcms},
          {"discounts_iss", d.discIss},
          {"surcharges_icms", d.acrIcms},
          {"surcharges_iss", d.acrIss},
          {"cancellations_icms", d.cancIcms},
          {"cancellations_iss", d.cancIss},
          {"gross", d.gross},
          {"items_cancelled", d.itemsCancelled},
          {"items_sold", d.itemsSold},
          {"supply", d.supply},
          {"supply_count", d.supplyCount},
          {"withdrawal", d.withdrawal},
          {"withdrawal_count", d.withdrawalCount},
          {"non_fiscal", d.nonFiscal},
          {"nonfiscal_totalizers", nf},
          {"payments", d.payments},
          {"gt_start", d.gtStart},
          {"first_coo", d.firstCoo}};
}

DayTotals DayTotalsFromJson(const json& j) {
  DayTotals d;
  if (j.contains("taxed"))
    for (size_t i = 0; i < d.taxed.size() && i < j["taxed"].size(); ++i) d.taxed[i] = j["taxed"][i].get<int64_t>();
  d.exempt = j.value("exempt", int64_t{0});
  d.nonIncidence = j.value("non_incidence", int64_t{0});
  d.substitution = j.value("substitution", int64_t{0});
  d.discIcms = j.value("discounts_icms", int64_t{0});
  d.discIss = j.value("discounts_iss", int64_t{0});
  d.acrIcms = j.value("surcharges_icms", int64_t{0});
  d.acrIss = j.value("surcharges_iss", int64_t{0});
  d.cancIcms = j.value("cancellations_icms", int64_t{0});
  d.cancIss = j.value("cancellations_iss", int64_t{0});
  d.gross = j.value("gross", int64_t{0});
  d.itemsCancelled = j.value("items_cancelled", int64_t{0});
  d.itemsSold = j.value("items_sold", int64_t{0});
  d.supply = j.value("supply", int64_t{0});
  d.supplyCount = j.value("supply_count", int64_t{0});
  d.withdrawal = j.value("withdrawal", int64_t{0});
  d.withdrawalCount = j.value("withdrawal_count", int64_t{0});
  d.nonFiscal = j.value("non_fiscal", int64_t{0});
  if (j.contains("nonfiscal_totalizers"))
    for (size_t i = 0; i < d.nf.size() && i < j["nonfiscal_totalizers"].size(); ++i) {
      d.nf[i].value = j["nonfiscal_totalizers"][i].value("value", int64_t{0});
      d.nf[i].count = j["nonfiscal_totalizers"][i].value("count", int64_t{0});
    }
  if (j.contains("payments"))
    for (size_t i = 0; i < d.payments.size() && i < j["payments"].size(); ++i)
      d.payments[i] = j["payments"][i].get<int64_t>();
  d.gtStart = j.value("gt_start", int64_t{0});
  d.firstCoo = j.value("first_coo", int64_t{0});
  return d;
}

json ToJson(const Counters& c) {
  return {{"coo", c.coo}, {"ccf", c.ccf}, {"gnf", c.gnf}, {"grg", c.grg}, {"cdc", c.cdc},
          {"crz", c.crz}, {"cro", c.cro}, {"cfc", c.cfc}, {"cnc", c.cnc}};
}

Counters CountersFromJson(const json& j) {
  Counters c;
  c.coo = j.value("coo", int64_t{0});
  c.ccf = j.value("ccf", int64_t{0});
  c.gnf = j.value("gnf", int64_t{0});
  c.grg = j.value("grg", int64_t{0});
  c.cdc = j.value("cdc", int64_t{0});
  c.crz = j.value("crz", int64_t{0});
  c.cro = j.value("cro", int64_t{1});
  c.cfc = j.value("cfc", int64_t{0});
  c.cnc = j.value("cnc", int64_t{0});
  return c;
}

json ToJson(const ZRecord& z) {
  json pay = json::array(), nf = json::array();
  for (auto& n : z.paymentNames) pay.push_back(Cp1252ToUtf8(n));
  for (auto& n : z.nfNames) nf.push_back(Cp1252ToUtf8(n));
  return {{"counters", ToJson(z.counters)}, {"movement_date", z.movementDate},
          {"issued_at", z.issuedAt},        {"rates", z.rates},
          {"iss", z.iss},                   {"day", ToJson(z.day)},
          {"payment_names", pay},           {"nonfiscal_names", nf},
          {"gt", z.gt}};
}

ZRecord ZRecordFromJson(const json& j) {
  ZRecord z;
  z.counters = CountersFromJson(j.value("counters", json::object()));
  z.movementDate = j.value("movement_date", std::string());
  z.issuedAt = j.value("issued_at", std::string());
  if (j.contains("rates"))
    for (size_t i = 0; i < z.rates.size() && i < j["rates"].size(); ++i) z.rates[i] = j["rates"][i].get<int>();
  if (j.contains("iss"))
    for (size_t i = 0; i < z.iss.size() && i < j["iss"].size(); ++i) z.iss[i] = j["iss"][i].get<bool>();
  z.day = DayTotalsFromJson(j.value("day", json::object()));
  if (j.contains("payment_names"))
    for (size_t i = 0; i < z.paymentNames.size() && i < j["payment_names"].size(); ++i)
      z.paymentNames[i] = Utf8ToCp1252(j["payment_names"][i].get<std::string>());
  if (j.contains("nonfiscal_names"))
    for (size_t i = 0; i < z.nfNames.size() && i < j["nonfiscal_names"].size(); ++i)
      z.nfNames[i] = Utf8ToCp1252(j["nonfiscal_names"][i].get<std::string>());
  z.gt = j.value("gt", int64_t{0});
  return z;
}

std::string TotalizerCode(int slot, int rate, bool iss) {
  return Zeros(slot + 1, 2) + (iss ? "S" : "T") + Zeros(rate, 4);
}

}  // namespace ecfsim
