// The printer's session, memory, clock, status and paper tape.
#include "sim/printer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>


#include "platform/env.h"
#include "sim/core/text.h"

namespace ecfsim {

namespace fs = std::filesystem;
using nlohmann::json;

Printer& Printer::Get() {
  // Never destroyed: entry points may still be called while the process exits.
  static Printer* p = new Printer();
  return *p;
}

// ---------------------------------------------------------------- memory

namespace {

std::string DefaultStateDir() {
  if (const char* e = std::getenv("ECFSIM_STATE"); e && *e) return e;
  std::string dir = rtl::ProgramDir();
  return (fs::path(dir.empty() ? "." : dir) / "ecfsim-state").string();
}

}  // namespace

void Printer::EnsureOpen() {
  if (store_.IsOpen()) return;
  if (stateDir_.empty()) stateDir_ = DefaultStateDir();
  store_.Open(stateDir_);
  loaded_ = false;
  tapeToCheck_ = true;
}

bool Printer::MemoryWhole() {
  if (memoryError_) return false;
  try {
    EnsureOpen();
  } catch (const MemoryError& e) {
    memoryError_ = e.what();
    loaded_ = false;
    return false;
  }
  return true;
}

// With a damaged memory the port still opens and closes and the status
// query answers (RAM error, command not executed); everything else is
// refused with the memory error.
int Printer::MemoryErrorAnswer(const Call& c, Handler h) {
  if (h == &Printer::Elgin_AbrePortaSerial || h == &Printer::Elgin_FechaPortaSerial) return (this->*h)(c);
  st1_ = 0;
  st2_ = kSt2Ram | kSt2NotExecuted;
  if (h == &Printer::Elgin_VerificaEstadoImpressora) {
    c.PutInt(0, 6);
    c.PutInt(1, (paper_ == 2 ? kSt1PaperOut : 0) | (paper_ == 1 ? kSt1PaperLow : 0) | (cover_ ? kSt1Error : 0));
    c.PutInt(2, st2_);
    return kOk;
  }
  lastRet_ = kWriteError;
  return kWriteError;
}

void Printer::CloseMemory() {
  store_.Close();
  tape_.Close();
  loaded_ = false;
}

void Printer::Load() {
  try {
    LoadMemory();
  } catch (const StoreError&) {
    throw;
  } catch (const std::exception& e) {
    throw MemoryError(std::string("the printer's memory does not read: ") + e.what());
  }
}

void Printer::LoadMemory() {
  auto s = store_.LoadState();
  bool ownRow = false;
  if (s) {
    json j = json::parse(*s);
    // The programming has its own row; older memories kept it in the state row.
    if (auto p = store_.LoadProgramming()) {
      j["programming"] = json::parse(*p);
      ownRow = true;
    }
    st_ = StateFromJson(j);
  } else {
    st_ = FactoryState();
  }
  lastStateJson_.clear();  // the next Save() compares with what it makes
  savedProg_.reset();
  if (ownRow) savedProg_ = st_.prog;
  if (auto z = store_.LastReduction()) st_.lastZ = ZRecordFromJson(json::parse(*z));
  doc_.reset();
  docLines_.clear();
  lastDocJson_.clear();
  if (auto d = store_.LoadDoc()) {
    doc_ = OpenDocFromJson(json::parse(*d));
    lastDocJson_ = *d;
    for (auto& it : store_.LoadItems()) doc_->items.push_back(ItemFromJson(json::parse(it)));
    for (auto& l : store_.LoadLines()) docLines_.push_back(Utf8ToCp1252(l));
  }
  savedLines_ = docLines_.size();
  loaded_ = true;
}

void Printer::Save() {
  // Only what changed is written: the programming rarely, the state row when
  // its JSON differs from the one last written.
  if (!savedProg_ || !(*savedProg_ == st_.prog)) {
    store_.SaveProgramming(ProgrammingJson(st_.prog).dump());
    savedProg_ = st_.prog;
  }
  std::string s = DynamicJson(st_).dump();
  if (s != lastStateJson_) {
    store_.SaveState(s);
    lastStateJson_ = std::move(s);
  }
  if (docClosed_) {
    store_.ClearDoc();
    lastDocJson_.clear();
    savedLines_ = 0;
  }
  if (doc_) {
    std::string d = ToJson(*doc_).dump();
    if (d != lastDocJson_) {
      store_.SaveDoc(d);
      lastDocJson_ = std::move(d);
    }
    for (int64_t n : dirtyItems_)
      if (n >= 1 && static_cast<size_t>(n) <= doc_->items.size())
        store_.SaveItem(n, ToJson(doc_->items[n - 1]).dump());
    for (size_t i = savedLines_; i < docLines_.size(); ++i)
      store_.AppendLine(static_cast<int64_t>(i), Cp1252ToUtf8(docLines_[i]));
    savedLines_ = docLines_.size();
  }
  for (auto& z : newReductions_) store_.InsertReduction(z.counters.crz, z.movementDate, ToJson(z).dump());
  for (auto& d : newDocs_) store_.InsertDocument(d);
}

void Printer::BeginCall(bool readOnly) {
  EnsureOpen();
  store_.Begin(readOnly);
  int64_t v = store_.DataVersion();
  if (!loaded_ || v != dataVersion_) Load();
  dataVersion_ = v;
  if (tapeToCheck_) RepairTape();
  dirtyItems_.clear();
  newDocs_.clear();
  newReductions_.clear();
  tapeOut_.clear();
  docClosed_ = false;
}

// The tape's new length is committed with the call; the lines go to the
// tape after the commit. A process that dies in between, or a computer that
// loses what it had not yet written to the disk, or a write that fails,
// leaves the tape short of what the memory holds: the missing lines are
// printed again before the next call (RepairTape), so the tape never misses
// a document that the memory holds.
void Printer::EndCall(bool readOnly) {
  std::string text;
  for (auto& l : tapeOut_) {
    text += l;
    text += '\n';
  }
  const int64_t end = tapeEnd_ + static_cast<int64_t>(text.size());
  if (!readOnly) {
    Save();
    if (savedTapeEnd_ != end) store_.SaveTapeEnd(end);
  }
  store_.Commit();
  tapeOut_.clear();
  if (!readOnly) savedTapeEnd_ = end;
  tapeEnd_ = end;
  if (text.empty()) return;
  rtl::CurrentEnv()->Reached("ecfsim.tape", TapePath());
  if (!AppendTape(text)) tapeToCheck_ = true;
}

// The tape stays open (appending) while the state folder is the same; each
// call's lines go to the system in one write. False when they could not be
// written (a folder that cannot take them, a full disk).
bool Printer::AppendTape(const std::string& text) {
  try {
    tape_.Append(TapePath(), text);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Every line the memory holds, in the order it was printed: the finished
// documents' texts, then the lines of the document being printed.
std::string Printer::TapeFromMemory() {
  std::string text;
  for (const DocumentRow& r : store_.Documents()) text += r.text;
  for (const std::string& l : store_.LoadLines()) {
    text += l;
    text += '\n';
  }
  return text;
}

void Printer::RepairTape() {
  const std::string path = TapePath();
  std::error_code ec;
  const uintmax_t found = fs::file_size(path, ec);
  const int64_t size = ec ? 0 : static_cast<int64_t>(found);
  savedTapeEnd_ = store_.LoadTapeEnd();
  tapeEnd_ = savedTapeEnd_.value_or(size);  // a memory that never counted it takes the tape as it is
  if (size > tapeEnd_) {
    // Lines of a call that was never committed (or of the memory a reset emptied).
    fs::resize_file(path, static_cast<uintmax_t>(tapeEnd_), ec);
  } else if (size < tapeEnd_) {
    const std::string text = TapeFromMemory();
    if (static_cast<int64_t>(text.size()) != tapeEnd_) {
      tapeEnd_ = size;  // a tape changed by hand: the count follows it from here
    } else if (!AppendTape(text.substr(static_cast<size_t>(size)))) {
      return;  // still short: tried again before the next call
    }
  }
  tapeToCheck_ = false;
}

void Printer::AbortCall() {
  store_.Rollback();
  loaded_ = false;  // the in-memory state may hold half of the call
  tapeOut_.clear();
}

int Printer::Run(const Call& c, Handler h, bool portFree, bool readOnly) {
  if (!portFree) {
    if (!portOpen_) return kCommFailure;
    if (!power_) return kPrinterOff;
  }
  int ret;
  try {
    if (!MemoryWhole()) return MemoryErrorAnswer(c, h);
    BeginCall(readOnly);
    ret = (this->*h)(c);
    EndCall(readOnly);
  } catch (const MemoryError& e) {
    AbortCall();
    memoryError_ = e.what();
    return MemoryErrorAnswer(c, h);
  } catch (const StoreInUse&) {
    // Another process has the printer, as another program would hold its
    // port: nothing answers and nothing is done.
    AbortCall();
    st1_ = st2_ = 0;
    ret = kCommFailure;
  } catch (const StoreError&) {
    AbortCall();
    st1_ = 0;
    st2_ = kSt2NotExecuted;
    ret = kWriteError;
  } catch (const std::exception&) {
    AbortCall();
    st1_ = 0;
    st2_ = kSt2NotExecuted;
    ret = kExecError;
  }
  lastRet_ = ret;
  return ret;
}

void Printer::Mutate(const std::function<void()>& fn) {
  if (!MemoryWhole()) throw std::runtime_error("the printer's memory is damaged: " + *memoryError_);
  try {
    BeginCall();
    fn();
    EndCall();
  } catch (const MemoryError& e) {
    AbortCall();
    memoryError_ = e.what();
    throw;
  } catch (...) {
    AbortCall();
    throw;
  }
}

// ---------------------------------------------------------------- control

void Printer::SetStateDir(const std::string& dir) {
  // Nothing of the former folder stays open: its tape included (a folder
  // whose file is held open cannot be removed or renamed on Windows).
  store_.Close();
  tape_.Close();
  loaded_ = false;
  memoryError_.reset();
  stateDir_ = dir.empty() ? DefaultStateDir() : dir;
  portOpen_ = false;
  power_ = true;
  paper_ = 0;
  cover_ = false;
  drawer_ = false;
  st1_ = st2_ = 0;
  MemoryWhole();  // a damaged memory is taken as it is: its calls answer the memory error
}

std::string Printer::StateDir() {
  if (stateDir_.empty()) stateDir_ = DefaultStateDir();
  return stateDir_;
}

std::string Printer::TapePath() { return (fs::path(StateDir()) / "tape.txt").string(); }

void Printer::Reset() {
  if (!MemoryWhole()) {
    // Only an explicit reset gives up a damaged memory.
    store_.Close();
    Store::Discard(StateDir());
    memoryError_.reset();
  }
  Mutate([&] {
    store_.Wipe();
    tapeEnd_ = 0;  // the new tape, committed with the empty memory
    savedTapeEnd_.reset();
    st_ = FactoryState();
    doc_.reset();
    docLines_.clear();
    lastStateJson_.clear();
    savedProg_.reset();
    lastDocJson_.clear();
    savedLines_ = 0;
  });
  std::error_code ec;
  fs::resize_file(TapePath(), 0, ec);
  portOpen_ = false;
  power_ = true;
  paper_ = 0;
  cover_ = false;
  drawer_ = false;
  cuts_ = 0;
  st1_ = st2_ = 0;
  lastRet_ = 1;
}

void Printer::SetPower(bool on) {
  power_ = on;
  if (!on) st1_ = st2_ = 0;
}
void Printer::MarkNotExecuted() {
  st1_ = 0;
  st2_ = kSt2NotExecuted;
  lastRet_ = kOk;
}

void Printer::SetPaper(int state) { paper_ = state; }
void Printer::SetCover(bool open) { cover_ = open; }
void Printer::SetDrawer(bool open) { drawer_ = open; }

void Printer::SetClockOffset(int64_t seconds) {
  Mutate([&] { st_.clockOffset = seconds; });
}

void Printer::FreezeClock(std::optional<Civil> at) {
  if (at) frozen_ = ToSeconds(*at);
  else frozen_.reset();
}

// ---------------------------------------------------------------- clock

Civil Printer::ComputerNow() const {
  if (frozen_) return FromSeconds(*frozen_);
  double t = rtl::CurrentEnv()->Now();
  double days = std::floor(t);
  int64_t secs = std::llround((t - days) * 86400.0);
  return FromSeconds((static_cast<int64_t>(days) - 25569) * 86400 + secs);
}

int64_t Printer::NowSec() const { return ToSeconds(ComputerNow()) + st_.clockOffset; }
Civil Printer::Now() const { return FromSeconds(NowSec()); }
std::string Printer::Today() const { return DateKey(NowSec() / 86400); }

// ---------------------------------------------------------------- status

int Printer::Ok() {
  st1_ = 0;
  st2_ = 0;
  return kOk;
}

int Printer::Refuse(int code, int st1, int st2) {
  st1_ = st1 & (kSt1Syntax | kSt1Unknown | kSt1ParamCount);
  st2_ = st2 & ~kSt2OwnerMissing;
  return code;
}

int Printer::St1() const {
  int v = st1_;
  if (paper_ == 2) v |= kSt1PaperOut;
  if (paper_ == 1) v |= kSt1PaperLow;
  if (NowSec() < st_.lastDocAt) v |= kSt1Clock;
  if (cover_) v |= kSt1Error;
  if (doc_ && doc_->kind == "CF") v |= kSt1CouponOpen;
  return v;
}

int Printer::St2() const {
  int v = st2_;
  if (Trim(st_.prog.owner.cnpj).empty()) v |= kSt2OwnerMissing;
  return v;
}

int Printer::CheckPaper() {
  if (paper_ == 2 || cover_) return Refuse(kExecError);
  return 0;
}

int Printer::CheckNewDocument(bool ofTheDay) {
  if (doc_) return Refuse(kExecError);
  if (NowSec() < st_.lastDocAt) return Refuse(kExecError);
  if (Trim(st_.prog.owner.cnpj).empty()) return Refuse(kExecError);
  if (ofTheDay && (DayClosed() || ZPending())) return Refuse(kExecError);
  return CheckPaper();
}

bool Printer::DayClosed() const {
  return st_.movementDate.empty() && st_.lastZ && st_.lastZ->movementDate == Today();
}

bool Printer::ZPending() const { return !st_.movementDate.empty() && st_.movementDate < Today(); }

void Printer::StartDay() {
  if (!st_.movementDate.empty()) return;
  st_.movementDate = Today();
  st_.day.gtStart = st_.gt;
}

int64_t Printer::NextCoo(bool linkedVoucher) {
  if (!linkedVoucher) st_.last.linkable = false;
  ++st_.counters.coo;
  if (st_.day.firstCoo == 0) st_.day.firstCoo = st_.counters.coo;
  return st_.counters.coo;
}

void Printer::Touch() { st_.lastDocAt = std::max(st_.lastDocAt, NowSec()); }

// ---------------------------------------------------------------- tape

namespace {
const std::string kRule(48, '-');
const std::string kDouble(48, '=');

std::string FormatCnpj(const std::string& d) {
  if (d.size() != 14) return d;
  return d.substr(0, 2) + "." + d.substr(2, 3) + "." + d.substr(5, 3) + "/" + d.substr(8, 4) + "-" + d.substr(12, 2);
}
std::string FormatIe(const std::string& d) {
  std::string out;
  for (size_t i = 0; i < d.size(); ++i) {
    if (i && (d.size() - i) % 3 == 0) out += '.';
    out += d[i];
  }
  return out;
}
std::string FormatVersion(const std::string& v) {
  if (v.size() != 6) return v;
  return v.substr(0, 2) + "." + v.substr(2, 2) + "." + v.substr(4, 2);
}
}  // namespace

std::vector<std::string> Printer::Header() const {
  const Owner& o = st_.prog.owner;
  std::vector<std::string> l{kDouble};
  if (!Trim(o.fantasy).empty()) l.push_back(Center(Trim(o.fantasy), 48));
  l.push_back(Center(Trim(o.name), 48));
  for (auto& a : PrintLines(o.address, 48)) l.push_back(Center(Trim(a), 48));
  l.push_back("CNPJ:" + FormatCnpj(o.cnpj));
  l.push_back(Spread("IE:" + FormatIe(o.ie), "IM:" + o.im, 48));
  l.push_back(kRule);
  return l;
}

std::string Printer::CounterLine(const std::string& right) const { return Spread(Printed(Now()), right, 48); }

std::vector<std::string> Printer::Trailer() const {
  const Programming& p = st_.prog;
  return {kRule, Spread(p.brand + " " + p.model, "ECF:" + p.till, 48),
          Spread("VERSAO:" + FormatVersion(p.firmware), p.type, 48), Spread("FAB:" + p.serial, "BR", 48),
          Spread("", Printed(Now()), 48), ""};
}

namespace {
// Printed lines carry no trailing blanks.
void TrimRight(std::vector<std::string>& lines) {
  for (auto& l : lines)
    while (!l.empty() && l.back() == ' ') l.pop_back();
}
}  // namespace

void Printer::Print(const std::vector<std::string>& lines) {
  for (auto& l : lines) tapeOut_.push_back(Cp1252ToUtf8(l));
}

void Printer::PrintDoc(std::vector<std::string> lines) {
  TrimRight(lines);
  Print(lines);
  for (auto& l : lines) docLines_.push_back(std::move(l));
}

namespace {
std::string JoinUtf8(const std::vector<std::string>& lines) {
  std::string t;
  for (auto& l : lines) {
    t += Cp1252ToUtf8(l);
    t += '\n';
  }
  return t;
}
}  // namespace

void Printer::FinishDocument(const std::string& kind, int64_t coo, const json& data,
                             std::vector<std::string> lines) {
  TrimRight(lines);
  Print(lines);
  DocumentRow r;
  r.coo = coo;
  r.kind = kind;
  r.movementDate = st_.movementDate.empty() ? Today() : st_.movementDate;
  r.issuedAt = Iso(Now());
  json d = data;
  d["coo"] = coo;
  d["kind"] = kind;
  r.data = d.dump();
  r.text = JoinUtf8(lines);
  newDocs_.push_back(std::move(r));
  Touch();
}

void Printer::CloseOpenDocument(const std::string& kind, const json& data) {
  PrintDoc(Trailer());
  DocumentRow r;
  r.coo = doc_->coo;
  r.kind = kind;
  r.movementDate = st_.movementDate.empty() ? Today() : st_.movementDate;
  r.issuedAt = doc_->openedAt;
  json d = data;
  d["coo"] = doc_->coo;
  d["kind"] = kind;
  r.data = d.dump();
  r.text = JoinUtf8(docLines_);
  newDocs_.push_back(std::move(r));
  doc_.reset();
  docLines_.clear();
  docClosed_ = true;
  Touch();
}

}  // namespace ecfsim
