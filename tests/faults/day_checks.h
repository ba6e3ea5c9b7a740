// What a faulted run of the example day must still hold, judged against
// the clean day and against the printer's own record:
// - qorhost ended by itself (no signal, within its time limit) and ran
//   every step of the day;
// - a step reported true registered on the printer exactly what the same
//   step of the clean day registered, command by command (journal: the
//   commands the printer carried out); no step registered a command more
//   often than the clean day (nothing twice);
// - a cash movement or reduction reported failed is not on the printer;
// - the fiscal coupons the printer opened are the openings reported true;
// - the printer's closed, not cancelled coupons are, one for one, the
//   closings reported true and not cancelled by a later step reported true,
//   each holding the items whose sale was reported
//   true, the host's payments and (when every item is there) the clean
//   day's change and total; nothing of a coupon whose opening was reported
//   failed is closed.
#pragma once
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "tests/faults/day_run.h"

namespace daygate {

// Single-command documents: registered only when the host is told so.
inline const std::set<std::string> kWholeDocuments = {"Elgin_Suprimento", "Elgin_Sangria", "Elgin_ReducaoZ"};

inline std::string StepName(const DayRun& run, size_t k) {
  return "step " + std::to_string(k + 1) + " " + run.steps[k].op;
}

inline void CheckProcess(const DayRun& run, std::vector<std::string>& out) {
  if (run.timedOut) out.push_back("qorhost did not end within its time limit (a hang)");
  if (run.signal != 0) out.push_back("qorhost ended by signal " + std::to_string(run.signal) + ": " + run.errors);
  if (!run.timedOut && run.signal == 0 && run.exitCode != 0)
    out.push_back("qorhost ended with " + std::to_string(run.exitCode) + ": " + run.errors);
  for (size_t k = 0; k < run.steps.size(); ++k)
    if (!run.steps[k].ran) {
      out.push_back("the session stopped before " + StepName(run, k));
      break;
    }
  if (run.state.is_null()) out.push_back("the printer's state cannot be read");
}

// Exactly once, step by step, from the journal.
inline void CheckRegistrations(const DayRun& clean, const DayRun& run, std::vector<std::string>& out) {
  for (size_t k = 0; k < run.steps.size() && k < clean.steps.size(); ++k) {
    const StepRun& s = run.steps[k];
    const StepRun& c = clean.steps[k];
    if (s.op.empty()) continue;
    // Cancelling is counted where it is the step's task; elsewhere (a coupon
    // left open by an earlier failure, cancelled at the start or before a
    // new coupon) it depends on what came before.
    const bool cancelling = s.op.rfind("Cancela", 0) == 0;
    for (const std::string& fn : kRegistering) {
      if (kVoiding.count(fn) && !cancelling) continue;
      const int got = s.Executed(fn), want = c.Executed(fn);
      const std::string where = StepName(run, k) + ": ";
      if (got > want)
        out.push_back(where + fn + " carried out " + std::to_string(got) + " times (clean day: " +
                      std::to_string(want) + ")");
      else if (s.True() && c.True() && got < want)
        out.push_back(where + "reported true, the printer carried out " + fn + " only " + std::to_string(got) +
                      " of " + std::to_string(want) + " times");
      if (!s.True() && c.True() && got > 0 && kWholeDocuments.count(fn))
        out.push_back(where + "reported " + (s.threw ? "an error" : s.result.dump()) +
                      ", yet the printer registered " + fn);
    }
  }
}

// The closings that the host was told succeeded and that it did not cancel
// afterwards: a coupon cancellation reported true cancels the coupon the host
// has open, or else the last coupon closed; a start reported true cancels a
// coupon left open.
inline std::vector<size_t> ClosingsKept(const DayRun& run) {
  std::vector<size_t> out;
  bool open = false;
  for (size_t k = 0; k < run.steps.size(); ++k) {
    const StepRun& s = run.steps[k];
    if (!s.True()) continue;
    if (s.op == "AbreCupom") open = true;
    if (s.op == "StartImpFiscal") open = false;
    if (s.op == "FechaCupom") {
      out.push_back(k);
      open = false;
    }
    if (s.op == "Cancela_Cupom_Imp") {
      if (!open && !out.empty()) out.pop_back();
      open = false;
    }
  }
  return out;
}

inline std::vector<json> KeptCoupons(const DayRun& run) {
  std::vector<json> out;
  if (run.state.is_object() && run.state["coupons"].is_array())
    for (const json& c : run.state["coupons"])
      if (c["cancelled"] == false) out.push_back(c);
  std::sort(out.begin(), out.end(), [](const json& a, const json& b) { return a["coo"] < b["coo"]; });
  return out;
}

inline bool Same(double a, double b) { return std::abs(a - b) < 0.005; }

// The item codes that the sale ending with the closing at step `close`
// sent in its item steps reported true (codes from the clean day's journal).
inline std::vector<std::string> ExpectedItems(const DayRun& clean, const DayRun& run, size_t close,
                                              size_t& opening) {
  opening = close;
  while (opening > 0 && run.steps[opening].op != "AbreCupom") --opening;
  std::vector<std::string> codes;
  for (size_t k = opening; k < close; ++k) {
    if (run.steps[k].op != "VendaItem" || !run.steps[k].True()) continue;
    for (const Call& c : clean.steps[k].calls)
      if (c.fn == "Elgin_VendeItem" && c.Executed()) codes.push_back(c.args[0].get<std::string>());
  }
  return codes;
}

inline std::vector<std::string> ItemCodes(const json& coupon) {
  std::vector<std::string> codes;
  for (const json& it : coupon["items"])
    if (it["cancelled"] == false) codes.push_back(it["code"].get<std::string>());
  return codes;
}

inline std::string Joined(const std::vector<std::string>& v) {
  std::string s;
  for (auto& x : v) s += (s.empty() ? "" : ",") + x;
  return "[" + s + "]";
}

// One closing reported true against the coupon the printer kept for it.
inline void CheckCoupon(const DayRun& clean, const DayRun& run, size_t close, const json& got, const json& want,
                        std::vector<std::string>& out) {
  const std::string where = StepName(run, close) + " (coupon COO " + got["coo"].dump() + "): ";
  size_t opening = 0;
  const std::vector<std::string> items = ExpectedItems(clean, run, close, opening);
  if (run.steps[opening].op == "AbreCupom" && !run.steps[opening].True())
    out.push_back(where + "closed a coupon whose opening (" + StepName(run, opening) + ") was reported failed");
  if (ItemCodes(got) != items)
    out.push_back(where + "items " + Joined(ItemCodes(got)) + ", the host's sale " + Joined(items));
  for (const json& it : got["items"]) {
    if (it["cancelled"] != false) continue;
    for (const json& w : want["items"])
      if (w["code"] == it["code"] && w["cancelled"] == false &&
          !(Same(it["qty"], w["qty"]) && Same(it["price"], w["price"]) && Same(it["discount"], w["discount"]) &&
            Same(it["surcharge"], w["surcharge"])))
        out.push_back(where + "item " + it.dump() + ", the host sent " + w.dump());
  }
  if (got["payments"] != want["payments"])
    out.push_back(where + "payments " + got["payments"].dump() + ", the host's " + want["payments"].dump());
  if (ItemCodes(got) == ItemCodes(want) &&
      !(Same(got["total"], want["total"]) && Same(got["change"], want["change"])))
    out.push_back(where + "total " + got["total"].dump() + " change " + got["change"].dump() + ", clean day " +
                  want["total"].dump() + " " + want["change"].dump());
}

inline void CheckCoupons(const DayRun& clean, const DayRun& run, std::vector<std::string>& out) {
  const std::vector<size_t> closings = ClosingsKept(run), cleanClosings = ClosingsKept(clean);
  const std::vector<json> kept = KeptCoupons(run), cleanKept = KeptCoupons(clean);
  if (kept.size() != closings.size()) {
    std::string steps;
    for (size_t k : closings) steps += " " + std::to_string(k + 1);
    std::string coos;
    for (const json& c : kept) coos += " " + c["coo"].dump();
    out.push_back("the printer kept " + std::to_string(kept.size()) + " coupons (COO" + coos + "), " +
                  std::to_string(closings.size()) + " closings reported true (steps" + steps + ")");
    return;
  }
  for (size_t i = 0; i < kept.size(); ++i) {
    json want;
    for (size_t j = 0; j < cleanClosings.size() && j < cleanKept.size(); ++j)
      if (cleanClosings[j] == closings[i]) want = cleanKept[j];
    if (want.is_null()) {
      out.push_back(StepName(run, closings[i]) + ": reported true, the clean day closed nothing there");
      continue;
    }
    CheckCoupon(clean, run, closings[i], kept[i], want, out);
  }
}

// Every fiscal coupon the printer opened (its CCF counter) is a coupon
// opening the host was told succeeded.
inline void CheckCouponCounter(const DayRun& clean, const DayRun& run, std::vector<std::string>& out) {
  auto openings = [](const DayRun& d) {
    int n = 0;
    for (const StepRun& s : d.steps) n += s.op == "AbreCupom" && s.True() ? 1 : 0;
    return n;
  };
  const int got = run.state["counters"].value("ccf", -1), want = clean.state["counters"].value("ccf", -1);
  if (got - want != openings(run) - openings(clean))
    out.push_back("the printer opened " + std::to_string(got) + " fiscal coupons, the host was told of " +
                  std::to_string(openings(run)) + " openings (clean day: " + std::to_string(want) + " and " +
                  std::to_string(openings(clean)) + ")");
}

inline std::vector<std::string> CheckDay(const DayRun& clean, const DayRun& run) {
  std::vector<std::string> out;
  CheckProcess(run, out);
  if (run.timedOut || run.signal != 0) return out;
  CheckRegistrations(clean, run, out);
  if (!run.state.is_null()) {
    CheckCoupons(clean, run, out);
    CheckCouponCounter(clean, run, out);
  }
  return out;
}

}  // namespace daygate
