#include "sim/core/atocotepe.h"

#include <map>
#include <set>
#include <vector>

#include "sim/core/numbers.h"
#include "sim/core/records.h"
#include "sim/core/text.h"

namespace ecfsim {

using nlohmann::json;

bool AtoSource(const std::string& source, AtoSelection& sel) {
  std::string s = Upper(Trim(source));
  if (s == "MF") { sel.fiscalMemory = true; sel.detailMemory = false; return true; }
  if (s == "MFD") { sel.fiscalMemory = false; sel.detailMemory = true; return true; }
  if (s == "TDM") { sel.fiscalMemory = true; sel.detailMemory = true; return true; }
  return false;
}

namespace {

std::string T(const json& j, const char* key, size_t w) {
  return Fit(Utf8ToCp1252(j.value(key, std::string())), w);
}
std::string N(int64_t v, int w) { return Zeros(v, w); }
std::string Ymd(const std::string& iso) {  // "YYYY-MM-DDThh:mm:ss" -> YYYYMMDD
  return iso.size() >= 10 ? iso.substr(0, 4) + iso.substr(5, 2) + iso.substr(8, 2) : std::string(8, '0');
}
std::string Hms(const std::string& iso) {
  return iso.size() >= 19 ? iso.substr(11, 2) + iso.substr(14, 2) + iso.substr(17, 2) : std::string(6, '0');
}

int64_t Num(const std::string& s) {
  std::string t = Trim(s);
  return IsDigits(t) && t.size() < 18 ? std::stoll(t) : 0;
}

std::string Denomination(const std::string& kind) {
  if (kind == "CNF" || kind == "SU" || kind == "SA") return "CN";
  if (kind == "RG" || kind == "MR") return "RG";
  if (kind == "CCD") return "CC";
  if (kind == "LMF") return "MF";
  if (kind == "CFC") return "NC";
  return kind.substr(0, 2);
}

// What falls in the selected range: the reductions and the documents, and
// the COO of every coupon cancelled after its closing (from the whole image).
struct AtoRange {
  std::vector<ZRecord> zs;
  std::vector<json> docs;
  std::set<int64_t> cancelledCoo;
};

AtoRange SelectRange(const json& image, const AtoSelection& sel) {
  AtoRange r;
  for (auto& z : image.value("reductions", json::array())) {
    ZRecord rec = ZRecordFromJson(z);
    int64_t key = sel.byDate ? DateKeyDay(rec.movementDate).value_or(-1) : rec.counters.coo;
    if (key >= sel.from && key <= sel.to) r.zs.push_back(rec);
  }
  for (auto& d : image.value("documents", json::array())) {
    const json& data = d.value("data", json::object());
    if (d.value("kind", std::string()) == "CFC") r.cancelledCoo.insert(data.value("cancelled_coo", int64_t{0}));
    int64_t key = sel.byDate ? DateKeyDay(d.value("movement_date", std::string())).value_or(-1)
                             : d.value("coo", int64_t{0});
    if (key >= sel.from && key <= sel.to) r.docs.push_back(d);
  }
  return r;
}

// The file's lines as they are written; `count` counts the records after
// the two header records.
struct AtoLines {
  std::string prefix;  // serial, additional letter, model and user of every record after E02
  std::vector<std::string> lines;
  int count = 0;

  void Record(const std::string& type, const std::string& fields) {
    lines.push_back(type + prefix + fields);
    ++count;
  }
};

// E01 (the printer and the range) and E02 (the owner).
void HeaderRecords(AtoLines& out, const json& image, const AtoSelection& sel, const AtoRange& range) {
  const json& id = image.value("identity", json::object());
  const json& owner = image.value("owner", json::object());
  std::string serial = T(id, "serial", 20), mfad = T(id, "mf_adicional", 1), model = T(id, "model", 20);
  std::string user = Zeros(Num(id.value("user_number", std::string("1"))), 2);
  int64_t crzFrom = 0, crzTo = 0;
  std::string dateFrom = "00000000", dateTo = "00000000";
  if (!range.zs.empty()) {
    crzFrom = range.zs.front().counters.crz;
    crzTo = range.zs.back().counters.crz;
  }
  if (sel.byDate) {
    dateFrom = DateKey(sel.from);
    dateTo = DateKey(sel.to);
  }
  std::string source = sel.fiscalMemory && sel.detailMemory ? "TDM" : (sel.fiscalMemory ? "MF " : "MFD");

  out.lines.push_back("E01" + serial + mfad + T(id, "type", 7) + T(id, "brand", 20) + model + T(id, "firmware", 10) +
                      Ymd(id.value("firmware_date", std::string())) + Hms(id.value("firmware_date", std::string())) +
                      Zeros(Num(id.value("till", std::string("1"))), 3) + T(owner, "cnpj", 14) + source +
                      N(crzFrom, 6) + N(crzTo, 6) + dateFrom + dateTo + Fit("01.00.00", 8) +
                      Fit("AC1704 01.00.00", 15));
  out.lines.push_back("E02" + serial + mfad + model + T(owner, "cnpj", 14) + T(owner, "ie", 14) +
                      T(owner, "name", 40) + T(owner, "address", 120) + Ymd(owner.value("since", std::string())) +
                      Hms(owner.value("since", std::string())) +
                      N(image.value("counters", json::object()).value("cro", int64_t{1}), 6) +
                      N(image.value("gt", int64_t{0}), 18) + user);
  out.prefix = serial + mfad + model + user;
}

// E12 (one per reduction), then E13 (the reductions' totalizers).
void ReductionRecords(AtoLines& out, const std::vector<ZRecord>& zs) {
  for (auto& z : zs)
    out.Record("E12", N(z.counters.crz, 6) + N(z.counters.coo, 9) + N(z.counters.cro, 6) + z.movementDate +
                          Ymd(z.issuedAt) + Hms(z.issuedAt) + N(z.day.gross, 14) + "N");
  for (auto& z : zs) {
    auto e13 = [&](const std::string& code, int64_t v) {
      out.Record("E13", N(z.counters.crz, 6) + Fit(code, 7) + N(v, 13));
    };
    for (int i = 0; i < kRateSlots; ++i)
      if (z.rates[i]) e13(TotalizerCode(i, z.rates[i], z.iss[i]), z.day.taxed[i]);
    e13("F1", z.day.substitution);
    e13("I1", z.day.exempt);
    e13("N1", z.day.nonIncidence);
    e13("DT", z.day.discIcms);
    e13("AT", z.day.acrIcms);
    e13("Can-T", z.day.cancIcms);
    e13("DS", z.day.discIss);
    e13("AS", z.day.acrIss);
    e13("Can-S", z.day.cancIss);
    e13("OPNF", z.day.nonFiscal);
  }
}

// E14: one per fiscal coupon.
void CouponRecords(AtoLines& out, const AtoRange& range) {
  for (auto& d : range.docs) {
    if (d.value("kind", std::string()) != "CF") continue;
    const json& x = d.value("data", json::object());
    int64_t coo = d.value("coo", int64_t{0});
    bool cancelled = x.value("cancelled", false) || range.cancelledCoo.count(coo);
    int64_t disc = x.value("discount", int64_t{0}), acr = x.value("surcharge", int64_t{0});
    out.Record("E14", N(x.value("ccf", int64_t{0}), 9) + N(coo, 9) + Ymd(d.value("issued_at", std::string())) +
                          N(x.value("subtotal", int64_t{0}), 14) + N(disc, 13) + "V" + N(acr, 13) + "V" +
                          N(x.value("total", int64_t{0}), 14) + (cancelled ? "S" : "N") + N(0, 13) +
                          (disc ? "D" : (acr ? "A" : " ")) + T(x, "consumer_name", 40) +
                          Fit(x.value("consumer_id", std::string()), 14));
  }
}

// E15: one per item of the fiscal coupons.
void ItemRecords(AtoLines& out, const AtoRange& range) {
  for (auto& d : range.docs) {
    if (d.value("kind", std::string()) != "CF") continue;
    const json& x = d.value("data", json::object());
    int64_t coo = d.value("coo", int64_t{0});
    bool docCancelled = x.value("cancelled", false) || range.cancelledCoo.count(coo);
    for (auto& it : x.value("items", json::array())) {
      int dec = it.value("price_decimals", 2);
      int64_t price = it.value("price", int64_t{0});
      if (dec == 2) price /= 10;
      bool itemCancelled = it.value("cancelled", false) || docCancelled;
      int64_t total = it.value("total", int64_t{0});
      out.Record("E15", N(coo, 9) + N(x.value("ccf", int64_t{0}), 9) + N(it.value("n", 0), 3) + T(it, "code", 14) +
                            T(it, "description", 100) + N(it.value("qty", int64_t{0}), 7) + T(it, "unit", 3) +
                            N(price, 8) + N(it.value("discount", int64_t{0}), 8) +
                            N(it.value("surcharge", int64_t{0}), 8) + N(total, 14) +
                            Fit(it.value("totalizer", std::string()), 7) + (itemCancelled ? "S" : "N") +
                            N(itemCancelled ? it.value("qty", int64_t{0}) : 0, 7) +
                            N(itemCancelled ? total : 0, 13) + N(0, 13) + it.value("iat", std::string("A")) + "T" +
                            "3" + std::to_string(dec));
    }
  }
}

// E16: one per other document.
void OtherDocumentRecords(AtoLines& out, const AtoRange& range) {
  for (auto& d : range.docs) {
    std::string kind = d.value("kind", std::string());
    if (kind == "CF") continue;
    const json& x = d.value("data", json::object());
    out.Record("E16", N(d.value("coo", int64_t{0}), 9) + N(x.value("gnf", int64_t{0}), 6) +
                          N(x.value("grg", int64_t{0}), 6) + N(x.value("cdc", int64_t{0}), 4) +
                          N(x.value("crz", int64_t{0}), 6) + Denomination(kind) +
                          Ymd(d.value("issued_at", std::string())) + Hms(d.value("issued_at", std::string())));
  }
}

// E21: one per payment of any document.
void PaymentRecords(AtoLines& out, const AtoRange& range) {
  for (auto& d : range.docs) {
    const json& x = d.value("data", json::object());
    int64_t coo = d.value("coo", int64_t{0});
    for (auto& p : x.value("payments", json::array()))
      out.Record("E21", N(coo, 9) + N(x.value("ccf", int64_t{0}), 9) + N(x.value("gnf", int64_t{0}), 6) +
                            T(p, "name", 15) + N(p.value("amount", int64_t{0}), 13) +
                            (range.cancelledCoo.count(coo) ? "S" : "N") +
                            N(range.cancelledCoo.count(coo) ? p.value("amount", int64_t{0}) : 0, 13));
  }
}

}  // namespace

std::string AtoCotepeFile(const json& image, const AtoSelection& sel, int* records) {
  const AtoRange range = SelectRange(image, sel);
  AtoLines out;
  HeaderRecords(out, image, sel, range);
  if (sel.fiscalMemory) ReductionRecords(out, range.zs);
  if (sel.detailMemory) {
    CouponRecords(out, range);
    ItemRecords(out, range);
    OtherDocumentRecords(out, range);
    PaymentRecords(out, range);
  }
  if (records) *records = out.count;
  std::string text;
  for (auto& l : out.lines) text += l + "\r\n";
  return text;
}

}  // namespace ecfsim
