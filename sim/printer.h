// The simulated fiscal printer: one per process, kept in a state folder.
//
// Every entry point of the vendor library is a member function of the same
// name; Run() executes one inside a transaction of the non-volatile memory.
// The model, its rules and its answer layouts are described in sim/README.md.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/files.h"
#include "sim/call.h"
#include "sim/core/numbers.h"
#include "sim/state.h"
#include "sim/store.h"

namespace ecfsim {

// Status byte 1 and 2 bits.
enum : int {
  kSt1PaperOut = 128, kSt1PaperLow = 64, kSt1Clock = 32, kSt1Error = 16, kSt1Syntax = 8, kSt1Unknown = 4,
  kSt1CouponOpen = 2, kSt1ParamCount = 1,
  kSt2ParamType = 128, kSt2MemoryFull = 64, kSt2Ram = 32, kSt2RateNotProgrammed = 16, kSt2RateTableFull = 8,
  kSt2CancelNotAllowed = 4, kSt2OwnerMissing = 2, kSt2NotExecuted = 1,
};

// Return codes.
enum : int {
  kOk = 1, kCommFailure = 0, kExecError = -1, kBadParam = -2, kRateNotProgrammed = -3, kPortError = -5,
  kPrinterOff = -6, kWriteError = -8, kPaymentNotProgrammed = -24, kTotalizerNotProgrammed = -25,
  kNoData = -28,
};

class Printer {
 public:
  static Printer& Get();

#define ELGIN_ENTRY(name, types, params, args, kinds, ...) int name(const Call& c);
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY

  using Handler = int (Printer::*)(const Call&);
  // Runs one entry point: the port and power checks (unless portFree), the
  // transaction, reloading when another process changed the memory. A
  // readOnly entry point never changes the memory, so nothing is written.
  int Run(const Call& c, Handler h, bool portFree, bool readOnly);

  // Control (see sim/ecfsim.h). Throw std::exception on failure.
  void SetStateDir(const std::string& dir);
  // Closes the memory at a clean end (the log checkpointed into the database).
  void CloseMemory();
  std::string StateDir();
  std::string TapePath();
  void Reset();
  void SetPower(bool on);
  void SetPaper(int state);
  void SetCover(bool open);
  void SetDrawer(bool open);
  void SetClockOffset(int64_t seconds);
  // The last command was acknowledged but not executed (status byte 2 bit 0).
  void MarkNotExecuted();
  void FreezeClock(std::optional<Civil> at);
  void Program(const nlohmann::json& j);
  nlohmann::json Snapshot();
  nlohmann::json CouponsSnapshot();
  // Writes the memory image (read by the reader library "Leitura.dll") to
  // path; serial, when not empty, must be the printer's. 0 or an error code.
  int WriteMemoryImage(const std::string& path, const std::string& serial);

 private:
  Printer() = default;

  // Memory
  void EnsureOpen();
  // False when the memory was found damaged (memoryError_ says why): every
  // call then answers a memory error until a reset.
  bool MemoryWhole();
  int MemoryErrorAnswer(const Call& c, Handler h);
  void Load();  // throws MemoryError when what is kept does not read
  void LoadMemory();
  void Save();
  void BeginCall(bool readOnly = false);
  void EndCall(bool readOnly = false);
  void AbortCall();
  // Appends text to the tape; false when it could not be written whole.
  bool AppendTape(const std::string& text);
  // Brings the tape to the length the memory recorded: lines of a call that
  // never committed are cut off, lines a committed call could not append
  // (the process died, the computer lost power, the disk was full) are
  // printed again from the memory's documents.
  void RepairTape();
  std::string TapeFromMemory();
  // Runs a change of the control interface as one transaction.
  void Mutate(const std::function<void()>& fn);

  // Clock
  Civil ComputerNow() const;
  int64_t NowSec() const;
  Civil Now() const;
  std::string Today() const;  // YYYYMMDD of the printer's clock

  // Status
  int Ok();
  int Refuse(int code, int st1 = 0, int st2 = kSt2NotExecuted);
  int St1() const;
  int St2() const;
  int CheckPaper();
  // A new document may start: nothing open, clock sane, owner programmed,
  // and for documents of the fiscal day, the day neither closed nor waiting
  // for its Z reduction. Returns 0 when it may.
  int CheckNewDocument(bool ofTheDay);
  bool DayClosed() const;
  bool ZPending() const;
  void StartDay();
  int64_t NextCoo(bool linkedVoucher = false);
  void Touch();  // a document was issued now

  // Tape and documents
  std::vector<std::string> Header() const;
  std::vector<std::string> Trailer() const;
  std::string CounterLine(const std::string& left) const;
  void Print(const std::vector<std::string>& lines);
  void PrintDoc(std::vector<std::string> lines);  // appends to the open document
  void FinishDocument(const std::string& kind, int64_t coo, const nlohmann::json& data,
                      std::vector<std::string> lines);
  void CloseOpenDocument(const std::string& kind, const nlohmann::json& data);

  // Sale accounting
  int64_t& Taxed(int cat);
  bool IssCat(int cat) const;
  void Sale(int cat, int64_t v);
  void Discount(int cat, int64_t v);
  void Surcharge(int cat, int64_t v);
  void CancelNet(int cat, int64_t net, int64_t disc, std::array<int64_t, kCategories>& catNet,
                 std::array<int64_t, kCategories>& catDisc);
  std::vector<std::pair<int, int64_t>> Apportion(int64_t amount) const;

  // Lookups
  int FindPayment(std::string_view name) const;  // slot or -1
  int ResolveRate(std::string_view code, int& cat) const;  // 0 ok, else an error code
  std::string CatLabel(int cat) const;
  std::string CatCode(int cat) const;
  nlohmann::json ItemData(const Item& it) const;
  std::string Rates79(bool issOnly) const;

  // Items
  int SellItem(const std::string& code, const std::string& desc, const std::string& rate, int64_t qty,
               int64_t price, int priceDecimals, const std::string& unit, int64_t discount, int64_t surcharge);
  int AdjustItem(Item& item, bool discount, int64_t value);

  // Non-fiscal documents
  void OpenReport(int slot);
  int PrintBarcode(const Call& c, const char* symbology);

  nlohmann::json MemoryImage();

  // Readings
  std::vector<std::string> XReadingLines(const std::string& title);
  std::vector<std::string> ReductionLines(const ZRecord& z);
  std::vector<ZRecord> AllReductions();
  int FiscalMemoryReading(const Call& c, bool byDate, bool toFile);
  std::string LastReductionRecord();

  // Files
  std::string VendorFolder(const char* key);
  bool WriteSerialOutput(std::vector<std::string> lines);  // from ELGIN.INI, else the state folder
  nlohmann::json DocumentsJson();
  int ConvertDay(int64_t dayFrom, int64_t dayTo);

  // Session (not kept across processes)
  std::string stateDir_;
  bool portOpen_ = false;
  bool power_ = true;
  int paper_ = 0;
  bool cover_ = false;
  bool drawer_ = false;
  int64_t cuts_ = 0;
  int st1_ = 0, st2_ = 0;  // the last command's own bits
  int lastRet_ = 1;
  std::optional<int64_t> frozen_;  // seconds of the frozen computer clock
  std::optional<std::string> memoryError_;  // the memory was found damaged

  // Memory
  Store store_;
  bool loaded_ = false;
  int64_t dataVersion_ = -1;
  State st_;
  std::optional<OpenDoc> doc_;
  std::vector<std::string> docLines_;  // lines the open document has printed (1252)
  std::string lastStateJson_, lastDocJson_;  // as last written
  std::optional<Programming> savedProg_;      // the programming as last written
  // What changed in this call
  bool docClosed_ = false;
  std::vector<int64_t> dirtyItems_;
  size_t savedLines_ = 0;
  std::vector<DocumentRow> newDocs_;
  std::vector<ZRecord> newReductions_;
  std::vector<std::string> tapeOut_;  // UTF-8 lines to append after commit
  rtl::AppendingFile tape_;           // the tape, open for appending
  int64_t tapeEnd_ = 0;               // the tape's length with every committed call's lines
  std::optional<int64_t> savedTapeEnd_;  // as the memory holds it
  bool tapeToCheck_ = false;          // memory just opened, or an append failed: RepairTape before the next call
};

}  // namespace ecfsim
