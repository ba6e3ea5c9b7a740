// The driver's own cost per printer command: ImpressoraOk, VendaItem and a
// whole coupon (AbreCupom, three items, FechaCupom) through the module,
// against the very same vendor calls made directly on the simulated printer
// plus writing the same debug-log lines. Prints both and their ratio.
//
// The direct calls are not written by hand: each operation is run once with
// the printer's call journal on, and the journal (entry point and arguments
// of every call) is replayed through typed callers generated from
// vendor/elgin_entries.def. The log lines are the bytes the operation added
// to the debug log, written one entry per write() on a file kept open.
//
//   driver_bench [ROUNDS [FOLDER]]   medians over ROUNDS rounds (default 7); the
//   host folder, the printer and both logs in a new folder under FOLDER
//   (default: the temporary folder, on a disk: the log is the point)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "coupon/operations.h"
#include "hostlib/dialogs.h"
#include "platform/dataset.h"
#include "platform/env.h"
#include "platform/library.h"
#include "platform/stringlist.h"
#include "platform/text.h"
#include "platform/variant.h"
#include "programming/operations.h"
#include "session/operations.h"
#include "sim/ecfsim_table.h"
#include "tests/support/sale_records.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using rtl::Variant;

// ---------------------------------------------------------------- replaying vendor calls

struct Slot {
  std::string text;  // a text buffer (1252), zero-terminated by std::string
  int i = 0;
  bool b = false;
};

template <typename T> T Arg(Slot& s);
template <> char* Arg<char*>(Slot& s) { return s.text.data(); }
template <> int Arg<int>(Slot& s) { return s.i; }
template <> int* Arg<int*>(Slot& s) { return &s.i; }
template <> bool Arg<bool>(Slot& s) { return s.b; }

template <typename Sig> struct Caller;
template <typename... P> struct Caller<int(P...)> {
  template <size_t... I>
  static int Call(void* fn, std::vector<Slot>& a, std::index_sequence<I...>) {
    return reinterpret_cast<int (*)(P...)>(fn)(Arg<P>(a[I])...);
  }
  static int Run(void* fn, std::vector<Slot>& a) { return Call(fn, a, std::index_sequence_for<P...>{}); }
};

using Invoker = int (*)(void*, std::vector<Slot>&);
const std::map<std::string, Invoker>& Invokers() {
  static const std::map<std::string, Invoker> m = {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) {#name, &Caller<int types>::Run},
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
  };
  return m;
}

struct Call {
  void* fn = nullptr;
  Invoker invoke = nullptr;
  std::vector<Slot> given;  // arguments as the module passed them
  std::vector<Slot> work;   // copied from `given` before each call (the printer writes into buffers)
  int ret = 0;              // what the printer answered the module
};

Slot SlotOf(const json& v) {
  Slot s;
  if (v.is_string()) s.text = rtl::Utf8ToCp1252(v.get<std::string>());
  else if (v.is_boolean()) s.b = v.get<bool>();
  else if (v.is_number()) s.i = v.get<int>();
  return s;
}

std::vector<Call> ReadJournal(const fs::path& path, void* lib) {
  std::vector<Call> calls;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const json j = json::parse(line);
    Call c;
    const std::string fn = j.at("fn").get<std::string>();
    c.fn = rtl::GetLibrarySymbol(lib, fn);
    auto it = Invokers().find(fn);
    if (!c.fn || it == Invokers().end()) {
      std::fprintf(stderr, "cannot replay %s\n", fn.c_str());
      std::exit(2);
    }
    c.invoke = it->second;
    c.ret = j.at("ret").get<int>();
    for (const json& a : j.at("args")) c.given.push_back(SlotOf(a));
    c.work = c.given;
    calls.push_back(std::move(c));
  }
  return calls;
}

// The debug log's entries between two sizes of the file: each entry starts
// with the date that ImpFisDebug writes ("05/03/2026 "), a trace may span lines.
std::vector<std::string> LogEntries(const std::string& added, const std::string& datePrefix) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t p = added.find("\r\n" + datePrefix); p != std::string::npos;
       p = added.find("\r\n" + datePrefix, p + 2)) {
    out.push_back(added.substr(start, p + 2 - start));
    start = p + 2;
  }
  if (start < added.size()) out.push_back(added.substr(start));
  return out;
}

// ---------------------------------------------------------------- the session

// The simulated printer: its control interface, resolved from the library
// the module binds, and two of its entry points called directly.
struct Printer : ecfsim::ControlTable {
  void* lib = nullptr;
  int (*cancel)() = nullptr;
  int (*openCoupon)(char*, char*, char*) = nullptr;

  bool Load() {
    std::string err;
    lib = rtl::LoadLibraryByName("Elgin.dll", &err);
    if (!lib) {
      std::fprintf(stderr, "cannot load the simulated printer: %s\n", err.c_str());
      return false;
    }
    const std::string missing = Bind([this](const char* name) { return rtl::GetLibrarySymbol(lib, name); });
    if (!missing.empty()) {
      std::fprintf(stderr, "the printer library lacks %s\n", missing.c_str());
      return false;
    }
    cancel = reinterpret_cast<decltype(cancel)>(rtl::GetLibrarySymbol(lib, "Elgin_CancelaCupom"));
    openCoupon = reinterpret_cast<decltype(openCoupon)>(rtl::GetLibrarySymbol(lib, "Elgin_AbreCupomMFD"));
    return cancel && openCoupon;
  }
};

}  // namespace

namespace {

using Clock = std::chrono::steady_clock;

struct Scenario {
  const char* name;
  int batch;                        // operations timed together
  bool itemsNeedCoupon;             // a coupon is opened before each batch
  std::function<bool()> viaModule;  // one operation through the module
  std::vector<Call> calls;          // the same operation's vendor calls
  std::vector<std::string> log;     // and its debug-log entries
  std::vector<double> module, direct;        // wall-clock microseconds per operation, one per round
  std::vector<double> moduleCpu, directCpu;  // the process's processor time, the same way
  long differing = 0;  // replayed calls whose code differed from the module's (0: a faithful replay)

  Scenario(const char* n, int b, bool coupon, std::function<bool()> op)
      : name(n), batch(b), itemsNeedCoupon(coupon), viaModule(std::move(op)) {}
};

class Bench {
 public:
  explicit Bench(fs::path dir) : dir_(std::move(dir)) {}
  ~Bench();
  bool Start();
  void Record(Scenario& s);
  void Round(Scenario& s);
  void Report(const std::vector<Scenario>& list) const;

 private:
  void Prepare(const Scenario& s);
  void DirectOnce(Scenario& s);
  std::string LogText() const;

  fs::path dir_;
  rtl::ConfigurableEnv env_;
  rtl::Env* prevEnv_ = nullptr;
  Printer p_;
  int logFd_ = -1;
  bool couponOpen_ = false;
};

Bench::~Bench() {
  if (logFd_ >= 0) ::close(logFd_);
  if (prevEnv_) rtl::SetEnv(prevEnv_);
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

std::string Bench::LogText() const {
  std::ifstream in(dir_ / "host" / "impdebug0326.txt", std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool Bench::Start() {
  fs::create_directories(dir_ / "host");
  fs::create_directories(dir_ / "system");
  env_.programPath = (dir_ / "host" / "qorhost").string();
  env_.systemDirectory = (dir_ / "system").string();
  env_.clockFrozen = true;
  env_.frozenNow = rtl::EncodeDate(2026, 3, 5) + rtl::EncodeTime(10, 0, 0, 0);
  prevEnv_ = rtl::SetEnv(&env_);
  hostlib::SetDialogHandler([](const hostlib::DialogRequest&) { return false; });
  if (!p_.Load()) return false;
  p_.set_state_dir((dir_ / "ecf").string().c_str());
  p_.reset();
  p_.set_clock("2026-03-05T10:00:00");
  p_.set_journal("");
  logFd_ = ::open((dir_ / "direct-log.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  Variant start = qortest::StartRecord();
  if (logFd_ < 0 || !Qor01100::StartImpFiscal(start)) return false;
  std::string cv, cred, compCred, cancCred, report;
  rtl::ClientDataSet receipts, types;
  Qor01100::CarregaTotalizador(cv, cred, compCred, cancCred, report, "001", 1, &receipts);
  qortest::TiposRece(types);
  Qor01100::CarregaRecebimento("", "001", 1, &types);
  return true;
}

// Before a batch: no coupon left open; a fresh one when the batch sells items.
void Bench::Prepare(const Scenario& s) {
  if (couponOpen_) p_.cancel();
  couponOpen_ = s.itemsNeedCoupon;
  if (s.itemsNeedCoupon) {
    char cpf[1] = "", name[1] = "", address[1] = "";
    p_.openCoupon(cpf, name, address);
  }
}

void Bench::Record(Scenario& s) {
  Prepare(s);
  const std::string before = LogText();
  const fs::path journal = dir_ / "journal.jsonl";
  fs::remove(journal);
  p_.set_journal(journal.c_str());
  const bool ok = s.viaModule();
  p_.set_journal("");
  if (!ok) std::fprintf(stderr, "warning: %s answered false\n", s.name);
  s.calls = ReadJournal(journal, p_.lib);
  s.log = LogEntries(LogText().substr(before.size()), "05/03/2026 ");
  if (std::getenv("QOR_BENCH_VERBOSE"))
    for (const std::string& l : s.log) std::fprintf(stderr, "%s: %s", s.name, l.c_str());
}

// Wall-clock and processor microseconds per operation of a batch.
struct Timer {
  explicit Timer(int n) : n_(n), wall_(Clock::now()), cpu_(std::clock()) {}
  void Stop(std::vector<double>& wall, std::vector<double>& cpu) const {
    wall.push_back(std::chrono::duration<double, std::micro>(Clock::now() - wall_).count() / n_);
    cpu.push_back(1e6 * static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC / n_);
  }
  int n_;
  Clock::time_point wall_;
  std::clock_t cpu_;
};

void Bench::DirectOnce(Scenario& s) {
  for (Call& c : s.calls) {
    for (size_t k = 0; k < c.given.size(); ++k) {
      Slot& w = c.work[k];
      const Slot& g = c.given[k];
      std::copy(g.text.begin(), g.text.end(), w.text.begin());  // same length: no allocation
      w.i = g.i;
      w.b = g.b;
    }
    if (c.invoke(c.fn, c.work) != c.ret) ++s.differing;
  }
  for (const std::string& line : s.log)
    if (::write(logFd_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::abort();
}

// The two ways alternate which goes first, so that neither always meets
// the printer's memory as the other left it.
void Bench::Round(Scenario& s) {
  auto viaModule = [&] {
    Prepare(s);
    Timer t(s.batch);
    for (int i = 0; i < s.batch; ++i) s.viaModule();
    t.Stop(s.module, s.moduleCpu);
  };
  auto direct = [&] {
    Prepare(s);
    Timer t(s.batch);
    for (int i = 0; i < s.batch; ++i) DirectOnce(s);
    t.Stop(s.direct, s.directCpu);
  };
  if (s.module.size() % 2 == 0) {
    viaModule();
    direct();
  } else {
    direct();
    viaModule();
  }
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void Bench::Report(const std::vector<Scenario>& list) const {
  std::printf("%-13s %5s %5s | %10s %10s %6s | %10s %10s %6s\n", "", "", "", "wall us", "", "", "cpu us", "", "");
  std::printf("%-13s %5s %5s | %10s %10s %6s | %10s %10s %6s\n", "operation", "calls", "lines", "module",
              "direct+log", "ratio", "module", "direct+log", "ratio");
  for (const Scenario& s : list) {
    const double m = Median(s.module), d = Median(s.direct);
    const double mc = Median(s.moduleCpu), dc = Median(s.directCpu);
    std::printf("%-13s %5zu %5zu | %10.1f %10.1f %5.2fx | %10.1f %10.1f %5.2fx\n", s.name, s.calls.size(),
                s.log.size(), m, d, d > 0 ? m / d : 0.0, mc, dc, dc > 0 ? mc / dc : 0.0);
  }
  for (const Scenario& s : list)
    if (s.differing) std::printf("warning: %ld replayed calls of %s answered otherwise than to the module\n",
                                 s.differing, s.name);
  std::printf("(medians of %zu rounds; printer state and logs under %s)\n",
              list.empty() ? 0 : list[0].module.size(), dir_.parent_path().c_str());
}

// The host's records of the example sale are made once: building them is
// the host's cost, not the driver's.
struct Records {
  Variant open = qortest::AbreCupomRecord(false);
  Variant items[3] = {qortest::VendaItemRecord(qortest::kItems[0], false),
                      qortest::VendaItemRecord(qortest::kItems[1], false),
                      qortest::VendaItemRecord(qortest::kItems[2], false)};
  Variant closing = qortest::FechaCupomList(false);
};

const Records& Host() {
  static const Records r;
  return r;
}

bool SellPlainItem() {
  Variant item = Host().items[2];
  return Qor01100::VendaItem(item);
}

bool Coupon() {
  Variant open = Host().open;
  bool ok = Qor01100::AbreCupom(open);
  for (const Variant& it : Host().items) {
    Variant item = it;
    ok = ok && Qor01100::VendaItem(item);
  }
  Variant ret = Variant::CreateArray(4);
  rtl::StringList voucher;
  return ok && Qor01100::FechaCupom(Host().closing, &voucher, ret);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const fs::path base = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
  Bench bench(base / ("qor-driver-bench-" + std::to_string(::getpid())));
  if (!bench.Start()) {
    std::fprintf(stderr, "the module could not start on the simulated printer\n");
    return 1;
  }
  std::vector<Scenario> list;
  list.emplace_back("ImpressoraOk", 200, false, [] { return Qor01100::ImpressoraOk("001", true, false, true); });
  list.emplace_back("VendaItem", 100, true, SellPlainItem);
  list.emplace_back("whole coupon", 10, false, Coupon);
  for (Scenario& s : list) bench.Record(s);
  for (int r = 0; r < rounds; ++r)
    for (Scenario& s : list) bench.Round(s);
  bench.Report(list);
  return 0;
}
