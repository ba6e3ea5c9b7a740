// The persistent state of the simulated printer: programming, counters, the
// day's totalizers, the last sale document and the open document.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/core/records.h"

namespace ecfsim {

// Categories of taxed sale: the 16 tax-rate positions, then substitution (F),
// exemption (I) and non-incidence (N).
constexpr int kCatF = 16, kCatI = 17, kCatN = 18, kCategories = 19;

struct Owner {
  std::string cnpj, ie, im, name, fantasy, address;  // 1252
  bool operator==(const Owner&) const = default;
};

struct Programming {
  std::string serial, brand, model, type, firmware, firmwareDate, till, mfAdicional, userNumber, ownerSince;
  Owner owner;
  std::array<int, kRateSlots> rates{};  // hundredths of a percent; 0 = not programmed
  std::array<bool, kRateSlots> iss{};
  std::array<std::string, kPaymentSlots> payNames{};
  std::array<bool, kPaymentSlots> payLinkable{};
  std::array<std::string, kNamedTotalizers> nfNames{};
  std::array<std::string, kReportSlots> reportNames{};
  std::array<int64_t, kReportSlots> reportCer{};
  bool truncation = false;
  bool operator==(const Programming&) const = default;
};

struct Payment {
  int slot = 0;
  std::string name;  // as programmed
  int64_t amount = 0;
  int64_t linked = 0;  // already covered by linked vouchers
};

struct Item {
  int64_t n = 0;
  std::string code, description, unit;
  int cat = 0;
  int64_t qty = 0;    // thousandths
  int64_t price = 0;  // thousandths
  int priceDecimals = 2;
  int64_t total = 0, discount = 0, surcharge = 0;  // cents
  bool cancelled = false;
  int64_t net() const { return total - discount + surcharge; }
};

// The last document that received payments (fiscal coupon or non-fiscal
// receipt): linked vouchers refer to it, and a fiscal coupon can be cancelled.
struct LastSale {
  std::string kind;  // "" none, "CF", "CNF"
  int64_t coo = 0, ccf = 0;
  std::string movementDate;
  bool cancellable = false;  // a fiscal coupon that nothing has superseded
  bool linkable = false;     // only linked vouchers printed since
  std::vector<Payment> payments;
  std::array<int64_t, kCategories> catNet{}, catDisc{};
  int64_t total = 0;
};

struct OpenDoc {
  std::string kind;  // "CF" coupon, "RG" management report, "CCD" linked voucher
  int64_t coo = 0;
  std::string openedAt;  // ISO
  // Coupon
  int64_t ccf = 0;
  std::string consumerId, consumerName, consumerAddress;
  int stage = 1;  // 1 items, 2 payments
  std::vector<Item> items;
  int64_t subtotal = 0, subDiscount = 0, subSurcharge = 0;
  std::array<int64_t, kCategories> catNet{}, catDisc{};
  std::vector<Payment> payments;
  int64_t paid = 0;
  // Management report
  int reportSlot = 0;
  int64_t grg = 0, cer = 0, gnf = 0;
  // Linked voucher
  int64_t cdc = 0, linkedCoo = 0, amount = 0;
  std::string paymentName;

  int64_t Total() const;
};

struct State {
  Programming prog;
  Counters counters;
  int64_t gt = 0;
  DayTotals day;
  std::string movementDate;  // YYYYMMDD; "" = day not started
  bool summerTime = false;
  int64_t clockOffset = 0;  // printer clock minus computer clock, seconds
  int64_t lastDocAt = 0;    // seconds of the last document (clock check)
  std::optional<ZRecord> lastZ;  // the last fiscal-memory record (kept there, not in the state row)
  LastSale last;
  std::string nextDescription;  // extended description for the next item (AumentaDescricaoItem)
  std::string serialOutput;     // path of the last file written by a serial reading
};

nlohmann::json ToJson(const State& s);
// The two parts of the state row: the programming (rarely changed) and the rest.
// The owner's identification as JSON (UTF-8 texts).
nlohmann::json OwnerJson(const Owner& o);
nlohmann::json ProgrammingJson(const Programming& p);
nlohmann::json DynamicJson(const State& s);
State StateFromJson(const nlohmann::json& j);
nlohmann::json ToJson(const OpenDoc& d);  // without items
OpenDoc OpenDocFromJson(const nlohmann::json& j);
nlohmann::json ToJson(const Item& i);
Item ItemFromJson(const nlohmann::json& j);

// The factory programming of a fresh printer.
State FactoryState();

}  // namespace ecfsim
