// The session that the fault loops run, its record, the checks made after
// every faulted run, and the recovery that follows it.
//
// A session: the driver starts, checks the grand total, loads the tax
// rates, the non-fiscal totalizers and the payment methods, sells the first
// coupon of examples/sale.json (an item with a discount, one with a
// surcharge, a plain one; a subtotal discount; cash and card; change as a
// change voucher) and closes the port. The host behaves as a point-of-sale
// program does: a false or an error from the start or from a sale step
// ends the sale there (the port is still closed at the end).
#pragma once
#include <cmath>
#include <map>
#include <memory>
#include <type_traits>

#include "coupon/operations.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "programming/operations.h"
#include "session/operations.h"
#include "tests/faults/fault_harness.h"
#include "vendor/operations.h"

namespace faults {

struct Scenario {
  const char* name;
  bool tef;          // electronic-funds-transfer sale: the operator may repeat a failed step
  bool interrupted;  // the printer holds a coupon of a sale interrupted before the start
};

inline constexpr Scenario kPlain{"plain sale", false, false};
inline constexpr Scenario kTransfer{"electronic-funds-transfer sale", true, false};
inline constexpr Scenario kAfterCrash{"sale after a crash left a coupon open", false, true};

enum class Outcome { True, False, Done, Threw, Runaway };

inline const char* OutcomeName(Outcome o) {
  switch (o) {
    case Outcome::True: return "true";
    case Outcome::False: return "false";
    case Outcome::Done: return "done";
    case Outcome::Threw: return "exception";
    case Outcome::Runaway: return "runaway";
  }
  return "?";
}

// NOLINTNEXTLINE(bugprone-exception-escape): a false finding on the implicit members of plain fields.
struct Step {
  std::string op;
  std::string key;  // op#k: the k-th step of that operation in the session
  Outcome outcome = Outcome::Done;
  std::string error;
  size_t callsBegin = 0, callsEnd = 0;  // [begin, end) in the session's call sequence
  int questions = 0, yes = 0, no = 0, notices = 0;
  bool askedAfterNo = false;
  std::string taaBefore, taaAfter;
  json before, after;  // printer snapshots
  std::optional<double> storedTotal;  // grand total in the configuration file after the step
};

// NOLINTNEXTLINE(bugprone-exception-escape): a false finding on the implicit members of plain fields.
struct Session {
  std::vector<Step> steps;
  std::vector<int> calls;
  std::vector<int> returns;  // the code of each call
  long firedAt = 0;
  Fault fault = Fault::Fail;  // what the call at firedAt received
  int questions = 0;
  json end;

  const Step* Find(const std::string& key) const {
    for (const Step& s : steps)
      if (s.key == key) return &s;
    return nullptr;
  }
  bool Told() const {  // a step of the start or the sale reported a failure
    for (const Step& s : steps)
      if (s.op != "FechaPorta" && (s.outcome == Outcome::False || s.outcome == Outcome::Threw ||
                                   s.outcome == Outcome::Runaway))
        return true;
    return false;
  }
};

// The operator: answers every question no, or yes up to a budget and no
// after that (a person gives up in the end).
struct Operator {
  bool yes = false;
  int budget = 3;
  int asked = 0, saidYes = 0;
  int stepQuestions = 0, stepYes = 0, stepNo = 0, stepNotices = 0;
  bool stepAskedAfterNo = false;
};

inline constexpr int kQuestionCap = 40;

// The commands whose re-sending only an operator's yes allows: those that
// register something, cancellations aside (the entry list's Registers).
inline bool IsSaleCommand(int fn) { return elgin::kEntries[fn].effect == elgin::Effect::Registers; }

class FaultSession : public qortest::ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    if (HasFatalFailure()) return;
    UseRamDisk("qorfaults-");  // thousands of sessions per test
    if (HasFatalFailure()) return;
    // Only the module's own file operations count (Do turns counting on
    // around each operation), for the class that fails them.
    env.countFileOperations = false;
    interposing_ = std::make_unique<InterposingEnv>(&env);
    rtl::SetEnv(interposing_.get());  // ModuleTest::TearDown restores the Env it found
    hostlib::SetDialogHandler([this](const hostlib::DialogRequest& r) { return Answer(r); });
    Interposer::Get().Reset(&sim);
  }

  void TearDown() override {
    Interposer::Get().Disarm();
    ModuleTest::TearDown();
  }

  bool Answer(const hostlib::DialogRequest& r) {
    if (!r.question) {
      ++op_.stepNotices;
      return false;
    }
    ++op_.asked;
    if (op_.asked > kQuestionCap) throw RunawayLoop{"more than " + std::to_string(kQuestionCap) + " questions"};
    ++op_.stepQuestions;
    if (op_.stepNo > 0) op_.stepAskedAfterNo = true;
    const bool a = op_.yes && op_.saidYes < op_.budget;
    if (a) {
      ++op_.saidYes;
      ++op_.stepYes;
    } else {
      ++op_.stepNo;
    }
    return a;
  }

  // A fresh printer, host folder and module state for one session.
  void FreshSession(const Scenario& sc, bool operatorSaysYes, bool journal = true) {
    Interposer::Get().Disarm();
    Qor01100::StopImpFiscal();
    Qor01100::ResetStateForTesting();
    ASSERT_EQ(sim.reset(), 0);
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(hostDir)) std::filesystem::remove_all(e.path(), ec);
    std::ofstream(hostDir / "Kalvora.cds", std::ios::binary) << kKalvora;
    Qor01100::DataModule().stSerieAtu = kSerial;
    if (sc.interrupted) LeaveACouponOpen();
    ClearJournal();
    // The journal costs time at every call: kept only where it is read.
    sim.set_journal(journal ? journalPath.string().c_str() : "");
    hostlib::TakeDialogLog();
    dialogs.clear();
    Interposer::Get().Reset(&sim);
    env.fileOperations = 0;
    env.fileFaultAt = 0;
    env.fileFaultFromThenOn = false;
    env.fileFaultLanded.clear();
    op_ = Operator{};
    op_.yes = operatorSaysYes;
  }

  // A sale interrupted by a crash of the till: a coupon with one item is
  // open in the printer when the host starts.
  void LeaveACouponOpen() {
    auto call0 = [&](const char* fn) { return reinterpret_cast<int (*)()>(sim.Entry(fn))(); };
    ASSERT_EQ(call0("Elgin_AbrePortaSerial"), 1);
    std::string cpf, nome, end;
    ASSERT_EQ(reinterpret_cast<int (*)(char*, char*, char*)>(sim.Entry("Elgin_AbreCupomMFD"))(cpf.data(), nome.data(),
                                                                                               end.data()),
              1);
    std::string a[] = {"7891000300307", "LEITE INTEGRAL 1L", "00", "F", "1,000", "4,000", "$", "0000"};
    ASSERT_EQ(reinterpret_cast<int (*)(char*, char*, char*, char*, char*, int, char*, char*, char*)>(
                  sim.Entry("Elgin_VendeItem"))(a[0].data(), a[1].data(), a[2].data(), a[3].data(), a[4].data(), 3,
                                                a[5].data(), a[6].data(), a[7].data()),
              1);
    ASSERT_EQ(call0("Elgin_FechaPortaSerial"), 1);  // the process that held the port is gone
  }

  // Runs one operation as the host does and records what happened.
  template <class F>
  bool Do(Session& run, const char* op, F&& f) {
    Step s;
    s.op = op;
    int k = 1;
    for (const Step& p : run.steps) k += p.op == op ? 1 : 0;
    s.key = std::string(op) + "#" + std::to_string(k);
    s.callsBegin = Interposer::Get().sequence.size();
    s.taaBefore = stMensagemTaa();
    // Printer snapshots are dear: taken only after the steps whose effect is
    // checked; a step's "before" is the snapshot after the step before it.
    const bool snapshot = s.op == "AbreCupom" || s.op == "FechaCupom" || s.op == "FechaPorta" ||
                          (detailed_ && (s.op == "StartImpFiscal" || s.op == "Atu_TotGeral" || s.op == "VendaItem"));
    if (snapshot && !run.steps.empty()) s.before = run.steps.back().after;
    op_.stepQuestions = op_.stepYes = op_.stepNo = op_.stepNotices = 0;
    op_.stepAskedAfterNo = false;
    struct CountFiles {
      rtl::ConfigurableEnv& env;
      explicit CountFiles(rtl::ConfigurableEnv& e) : env(e) { env.countFileOperations = true; }
      ~CountFiles() { env.countFileOperations = false; }
    };
    try {
      CountFiles counting(env);
      if constexpr (std::is_void_v<decltype(f())>) {
        f();
        s.outcome = Outcome::Done;
      } else {
        s.outcome = f() ? Outcome::True : Outcome::False;
      }
    } catch (const RunawayLoop& e) {
      s.outcome = Outcome::Runaway;
      s.error = e.what;
    } catch (const std::exception& e) {
      s.outcome = Outcome::Threw;
      s.error = e.what();
    } catch (...) {
      s.outcome = Outcome::Threw;
      s.error = "an exception that is not a std::exception";
    }
    s.callsEnd = Interposer::Get().sequence.size();
    s.taaAfter = stMensagemTaa();
    if (snapshot) s.after = SimState();
    s.questions = op_.stepQuestions;
    s.yes = op_.stepYes;
    s.no = op_.stepNo;
    s.notices = op_.stepNotices;
    s.askedAfterNo = op_.stepAskedAfterNo;
    if (s.op == "Atu_TotGeral") s.storedTotal = StoredTotal();
    const bool ok = s.outcome == Outcome::True || s.outcome == Outcome::Done;
    run.steps.push_back(std::move(s));
    return ok;
  }

  // The session. With recovering set the host starts again after a fault
  // and sells the same coupon: no grand-total check (the stored total may be
  // older than the last sale), no tax rates and totalizers (the module keeps
  // what it read), the payment methods again.
  Session RunSession(const Scenario& sc, bool recovering = false) {
    Session run;
    Variant start = StartRecord();
    bool going = Do(run, "StartImpFiscal", [&] { return Qor01100::StartImpFiscal(start); });
    if (going) {
      if (!recovering) Do(run, "Atu_TotGeral", [&] { return Qor01100::Atu_TotGeral(TotGeralRecord()); });
      if (!recovering)
        Do(run, "CarregaAliquota", [&] {
          rtl::ClientDataSet ds;
          ds.AddFieldDef("CDALIQIMPFIS", rtl::FieldType::String, 10);
          ds.AddFieldDef("VRALIQIMPFIS", rtl::FieldType::Float);
          ds.AddFieldDef("IDALIQIMPFIS", rtl::FieldType::String, 1);
          ds.CreateDataSet();
          Qor01100::CarregaAliquota("", &ds);
        });
      if (!recovering)
        Do(run, "CarregaTotalizador", [&] {
          std::string cv, cred, compCred, cancCred, relatorio;
          rtl::ClientDataSet recebimento;
          Qor01100::CarregaTotalizador(cv, cred, compCred, cancCred, relatorio, "001", 1, &recebimento);
        });
      Do(run, "CarregaRecebimento", [&] {
        rtl::ClientDataSet tipos;
        TiposRece(tipos);
        Qor01100::CarregaRecebimento("", "001", 1, &tipos);
      });
      going = Do(run, "AbreCupom", [&] {
        Variant p = AbreCupomRecord(sc.tef);
        return Qor01100::AbreCupom(p);
      });
      for (const Item& it : kItems)
        if (going)
          going = Do(run, "VendaItem", [&] {
            Variant p = VendaItemRecord(it, sc.tef);
            return Qor01100::VendaItem(p);
          });
      if (going)
        Do(run, "FechaCupom", [&] {
          Variant ret = Variant::CreateArray(4);
          rtl::StringList voucher;
          return Qor01100::FechaCupom(FechaCupomList(sc.tef), &voucher, ret);
        });
    }
    Do(run, "FechaPorta", [&] { return Qor01100::FechaPorta(); });
    run.calls = Interposer::Get().sequence;
    run.returns = Interposer::Get().returns;
    if (Interposer::Get().armed) run.fault = Interposer::Get().armed->fault;
    run.firedAt = Interposer::Get().firedAt;
    run.questions = op_.asked;
    run.end = run.steps.back().after;
    return run;
  }

  // The grand total recorded in the configuration file, when it is loadable
  // and holds an amount.
  std::optional<double> StoredTotal(std::string* problem = nullptr) const {
    try {
      rtl::ClientDataSet ds;
      ds.LoadFromFile((hostDir / "Kalvora.cds").string());
      if (ds.RecordCount() != 1) {
        if (problem) *problem = std::to_string(ds.RecordCount()) + " rows";
        return std::nullopt;
      }
      ds.First();
      const std::string v = hostlib::Uncripto(ds.FieldByName("CAMPO02").AsString(), hostlib::kCriptoKey);
      double d = 0;
      if (!rtl::TryStrToFloat(v, d)) {
        if (problem) *problem = "the grand total reads '" + v + "'";
        return std::nullopt;
      }
      return d;
    } catch (const std::exception& e) {
      if (problem) *problem = e.what();
      return std::nullopt;
    }
  }

  // The entry point of every journal line of the session so far.
  std::vector<int> JournalCalls() const {
    std::vector<int> out;
    for (auto& e : Journal()) out.push_back(FnIndex(e.fn));
    return out;
  }

  std::unique_ptr<InterposingEnv> interposing_;
  Operator op_;
  bool detailed_ = true;  // snapshots after every step that is checked one by one
};

// ---------------------------------------------------------------- the checks

// Whether the rules of the operation let an error raised inside the
// printer's library reach the host. The error comes from the step's last
// call (journal[end - 1]). Atu_TotGeral shows it and the coupon closing
// turns it into false; the item sale guards its own commands (the status
// query of the analysis that follows is not one of them); the payment-method
// loop catches the errors of its rows (not those of the first reading of the
// printer's list nor of the report name programmed after the rows). The
// other operations let it through.
inline bool EscapeAllowed(const std::string& op, const std::vector<qortest::JournalEntry>& journal, size_t begin,
                          size_t end) {
  if (end == 0 || end > journal.size()) return false;
  const size_t last = end - 1;
  const std::string& fn = journal[last].fn;
  auto reportName = [&](size_t i) {
    return journal[i].fn == "Elgin_ProgramaFormaPagamentoMFD" && journal[i].args.is_array() &&
           !journal[i].args.empty() && journal[i].args[0] == "Rel Gerencial";
  };
  if (op == "Atu_TotGeral" || op == "FechaCupom") return false;
  if (op == "VendaItem") return fn == "Elgin_VerificaEstadoImpressora";
  if (op == "CarregaRecebimento")
    return (last == begin && fn == "Elgin_VerificaFormasPagamento") ||
           (last == begin + 1 && fn == "Elgin_VerificaEstadoImpressora") || reportName(last) ||
           (last > begin && fn == "Elgin_VerificaEstadoImpressora" && reportName(last - 1));
  return true;
}

inline bool CanAsk(const std::string& op, const Scenario& sc) {
  return op == "VendaItem" || (sc.tef && (op == "AbreCupom" || op == "FechaCupom"));
}

// Whether the step left an error text in stMensagemTaa (the coupon opening
// clears it first).
inline bool Named(const Step& s) {
  return s.op == "AbreCupom" ? !s.taaAfter.empty() : s.taaAfter.size() > s.taaBefore.size();
}

// Calls of fn in [from, to) that the printer executed: those answered 1,
// except the one whose 1 was given without acting, and the one that acted
// although its answer was lost.
inline int Registered(const Session& s, size_t from, size_t to, int fn) {
  int n = 0;
  for (size_t i = from; i < to && i < s.calls.size(); ++i) {
    if (s.calls[i] != fn) continue;
    bool acted = s.returns[i] == 1;
    if (static_cast<long>(i) + 1 == s.firedAt && s.fault == Fault::LostAnswer) acted = true;
    if (static_cast<long>(i) + 1 == s.firedAt && s.fault == Fault::NotExecuted) acted = false;
    n += acted ? 1 : 0;
  }
  return n;
}

inline int CountIn(const std::vector<int>& calls, size_t from, size_t to, int fn) {
  int n = 0;
  for (size_t i = from; i < to && i < calls.size(); ++i) n += calls[i] == fn ? 1 : 0;
  return n;
}

inline double Num(const json& j) { return j.is_number() ? j.get<double>() : -1; }

// What the sale put into the printer's day: the changes of its totals and
// counters from the opening of the coupon to the end of the closing (the
// change voucher after the coupon touches neither). Null when the session
// did not close a coupon.
inline json SaleFigures(const Session& run) {
  const Step* open = run.Find("AbreCupom#1");
  const Step* close = run.Find("FechaCupom#1");
  if (!open || !close || !open->after.is_object() || !close->after.is_object()) return json();
  const json& t0 = open->after["totals"];
  const json& t1 = close->after["totals"];
  json out = json::object();
  for (const char* k : {"gross", "net", "discounts", "surcharges", "cancellations"})
    out[k] = std::round((Num(t1[k]) - Num(t0[k])) * 100);
  const char* card = "Cartao Credito";
  out["card"] = std::round((Num(t1["payments"].value(card, json(0))) - Num(t0["payments"].value(card, json(0)))) * 100);
  out["coupons"] = Num(close->after["counters"]["ccf"]) - Num(open->after["counters"]["ccf"]);
  out["cancelled"] = Num(close->after["counters"]["cfc"]) - Num(open->after["counters"]["cfc"]);
  return out;
}

// Checks one faulted session against the rules; appends what is wrong.
inline void CheckRun(const Scenario& sc, const Session& clean, const Session& run, bool raising,
                     const std::vector<qortest::JournalEntry>& journal, std::vector<std::string>& out) {
  auto bad = [&](const Step& s, const std::string& what) { out.push_back(s.key + ": " + what); };
  json coupon;  // the coupon the sale opened
  int item = 0;
  for (const Step& s : run.steps) {
    // Errors of the printer's library reaching the host.
    if (s.outcome == Outcome::Runaway) bad(s, "does not end: " + s.error);
    if (s.outcome == Outcome::Threw) {
      if (!raising)
        bad(s, "an exception reached the host: " + s.error);
      else if (!EscapeAllowed(s.op, journal, s.callsBegin, s.callsEnd))
        bad(s, "let the library's error through although its rules catch it: " + s.error);
    }

    // A failure is never reported as success.
    const json& a = s.after;
    if (s.outcome == Outcome::True) {
      if (s.op == "StartImpFiscal" && !(a["session"]["port_open"] == true && boImpFiscalOK()))
        bad(s, "true without an open port");
      if (s.op == "FechaPorta" && a["session"]["port_open"] != false) bad(s, "true with the port still open");
      if (s.op == "Atu_TotGeral" && !(s.storedTotal && std::abs(*s.storedTotal - Num(a["grand_total"])) < 0.005))
        bad(s, "true but the file does not hold the printer's grand total");
      if (s.op == "AbreCupom") {
        if (a["document"].is_null() || a["document"]["kind"] != "CF" || !a["document"]["items"].empty() ||
            a["document"]["consumer_id"] != "12345678909")
          bad(s, "true but no new coupon is open: " + a["document"].dump());
        else
          coupon = a["document"];
      }
      if (s.op == "VendaItem") {
        const Item& it = kItems[static_cast<size_t>(std::min(item, 2))];
        const json& before = s.before["document"];
        const json& doc = a["document"];
        const size_t n0 = before.is_object() ? before["items"].size() : 0;
        if (!doc.is_object() || doc["items"].size() != n0 + 1) {
          bad(s, "true but the coupon did not gain exactly one item: " + doc.dump());
        } else {
          const json& last = doc["items"].back();
          if (last["code"] != it.code || Num(last["discount"]) != it.discount ||
              Num(last["surcharge"]) != it.surcharge || last["cancelled"] != false)
            bad(s, "true but the item is not the one sold: " + last.dump());
        }
      }
      if (s.op == "FechaCupom") {
        const json want = SaleFigures(clean), got = SaleFigures(run);
        if (!a["document"].is_null())
          bad(s, "true with the coupon still open: " + a["document"].dump());
        else if (!coupon.is_object() || a["counters"]["ccf"] != coupon["ccf"])
          bad(s, "true but the printer's last coupon is not the one opened: " + a["counters"].dump());
        else if (got != want)
          bad(s, "true but the printer closed another sale: " + got.dump() + ", clean session " + want.dump());
      }
    }
    if (s.op == "VendaItem") ++item;

    // A refusal of the printer is named for the host in stMensagemTaa. (An
    // error raised by the library is the operations' own to report: shown,
    // turned into false, or let through, as their rules say.)
    if (!raising && s.outcome == Outcome::False && s.op != "FechaPorta" && !Named(s))
      bad(s, "false without an error in stMensagemTaa");

    // Questions and retries.
    if (s.questions > 0 && !CanAsk(s.op, sc)) bad(s, "asked the operator " + std::to_string(s.questions) + " times");
    if (s.askedAfterNo) bad(s, "asked again after the operator said no");
    if (s.no > 0 && s.outcome == Outcome::True) bad(s, "true after the operator gave up");
    // Exactly once: a command the printer did not take may be sent again
    // (with or without the operator's yes); one it executed never is.
    if (const Step* c = clean.Find(s.key))
      for (int fn = 0; fn < kFnCount; ++fn) {
        if (!IsSaleCommand(fn)) continue;
        const int got = Registered(run, s.callsBegin, s.callsEnd, fn);
        const int want = Registered(clean, c->callsBegin, c->callsEnd, fn);
        if (got > want)
          bad(s, std::string(kFnNames[fn]) + " executed " + std::to_string(got) + " times (clean session: " +
                     std::to_string(want) + ")");
      }
  }

  // The printer is left without a coupon open, or the host was told.
  const json& doc = run.end["document"];
  if (!doc.is_null() && !run.Told())
    out.push_back("a coupon is left open and every operation reported success: " + doc.dump());

  // The printer's coupon never holds more than the host's sale: no item
  // twice, no payment more often than the host sent it.
  if (doc.is_object()) {
    std::map<std::string, int> items, payments;
    for (const json& it : doc["items"])
      if (it["cancelled"] == false && ++items[it["code"].get<std::string>()] == 2)
        out.push_back("the coupon left open holds item " + it["code"].get<std::string>() + " twice");
    for (const json& p : doc["payments"])
      if (++payments[p["name"].get<std::string>()] == 2)
        out.push_back("the coupon left open holds the payment " + p["name"].get<std::string>() + " twice");
  }
  // A coupon that the printer closed is the host's sale, whatever the closing answered.
  const Step* f = run.Find("FechaCupom#1");
  if (f && f->outcome != Outcome::True && f->after.is_object() && f->after["document"].is_null() &&
      SaleFigures(run) != SaleFigures(clean))
    out.push_back("the printer closed another sale: " + SaleFigures(run).dump() + ", clean session " +
                  SaleFigures(clean).dump());
}

}  // namespace faults
