// Records of the printer's non-volatile memories, shared by the printer and
// by the file converters:
//   - a fiscal-memory record (one per Z reduction),
//   - the memory image that "Leitura.dll" reads into a file and "ATO17.dll"
//     converts (a JSON document, see sim/README.md).
// Amounts are integer cents throughout.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace ecfsim {

constexpr int kRateSlots = 16;
constexpr int kNamedTotalizers = 28;  // non-fiscal totalizers "00".."27"
constexpr int kPaymentSlots = 20;
constexpr int kReportSlots = 20;

struct NamedValue {
  std::string name;  // 1252
  int64_t value = 0;
  int64_t count = 0;
};

// The day's totalizers (since the last Z reduction).
struct DayTotals {
  std::array<int64_t, kRateSlots> taxed{};  // per tax-rate position
  int64_t exempt = 0, nonIncidence = 0, substitution = 0;  // ICMS F I N
  int64_t discIcms = 0, discIss = 0, acrIcms = 0, acrIss = 0, cancIcms = 0, cancIss = 0;
  int64_t gross = 0;          // gross sale (venda bruta)
  int64_t itemsCancelled = 0;  // of which item cancellations
  int64_t itemsSold = 0;
  int64_t supply = 0, supplyCount = 0, withdrawal = 0, withdrawalCount = 0;
  int64_t nonFiscal = 0;  // all non-fiscal receipts, supply included, withdrawals excluded
  std::array<NamedValue, kNamedTotalizers> nf{};  // values and counts of the named totalizers (names live in programming)
  std::array<int64_t, kPaymentSlots> payments{};  // received per payment-method slot
  int64_t gtStart = 0;    // grand total when the day began
  int64_t firstCoo = 0;   // first COO of the day (0: none yet)
};

struct Counters {
  int64_t coo = 0, ccf = 0, gnf = 0, grg = 0, cdc = 0, crz = 0, cro = 1, cfc = 0, cnc = 0;
};

// One fiscal-memory record.
struct ZRecord {
  Counters counters;                // after the reduction (COO = the reduction's own)
  std::string movementDate;         // YYYYMMDD
  std::string issuedAt;             // ISO date-time of the reduction
  std::array<int, kRateSlots> rates{};    // hundredths of a percent, 0 = not programmed
  std::array<bool, kRateSlots> iss{};
  DayTotals day;
  std::array<std::string, kPaymentSlots> paymentNames{};
  std::array<std::string, kNamedTotalizers> nfNames{};
  int64_t gt = 0;  // grand total after the reduction
  int64_t net() const;  // gross - cancellations - discounts
};

nlohmann::json ToJson(const DayTotals& d);
DayTotals DayTotalsFromJson(const nlohmann::json& j);
nlohmann::json ToJson(const Counters& c);
Counters CountersFromJson(const nlohmann::json& j);
nlohmann::json ToJson(const ZRecord& z);
ZRecord ZRecordFromJson(const nlohmann::json& j);

// Code of a partial totalizer in the official files: "01T1800", "02S0500", "F1", "I1", "N1".
std::string TotalizerCode(int slot, int rate, bool iss);

}  // namespace ecfsim
