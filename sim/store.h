// The printer's non-volatile memory: an SQLite database in the state folder
// (WAL journal, synchronous on). Every entry-point call runs inside one
// IMMEDIATE transaction, so a call is applied whole or not at all, and a
// crash never leaves half a document behind.
//
// Tables:
//   state          the printer's counters, day totals and the rest (one JSON row),
//                  with the number of committed changes (seq) and the document
//                  being printed (doc; null when none)
//   programming    the technician's programming (one JSON row; older memories
//                  kept it inside the state row)
//   open_doc       where older memories kept the document being printed
//   open_items     its items, one row each
//   open_lines     the lines it has printed so far
//   fiscal_memory  one row per Z reduction
//   detail_memory  one row per finished document (structured data and text)
//
// One process at a time: the store holds the lock of "ecfsim.lock" in the
// folder for as long as it is open, and opening a folder another process
// (or another store) holds throws StoreInUse, naming the holder.
//
// A fiscal memory never forgets silently. Beside the database, "ecfsim.seal"
// holds the number of the last committed change. Every commit reaches the
// disk before it returns (synchronous FULL; ECFSIM_SYNC=normal, for test
// runs, only hands it to the system), and the seal is written after it, so
// neither a crash of the process nor a power cut can leave the seal ahead
// of the database (at worst it is behind). Opening a folder that held a
// printer (any of its memory files is there) whose memory no longer reads
// whole (the database missing, damaged or truncated, its state emptied, or
// older than the seal because its log was lost or damaged) throws
// MemoryError; only a folder holding none of the memory's files starts a
// fresh printer. Closing checkpoints the log into the database.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file_lock.h"

namespace rtl {
class ReadWriteFile;
}

struct sqlite3;
struct sqlite3_stmt;

namespace ecfsim {

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The memory is damaged: nothing can be read or written until a reset.
class MemoryError : public StoreError {
 public:
  using StoreError::StoreError;
};

// Another process (or another store of this one) has the folder open.
class StoreInUse : public StoreError {
 public:
  using StoreError::StoreError;
};

struct DocumentRow {
  int64_t coo = 0;
  std::string kind;
  std::string movementDate;  // YYYYMMDD
  std::string issuedAt;      // ISO
  std::string data;          // JSON (UTF-8)
  std::string text;          // printed text (UTF-8)
};

class Store {
 public:
  Store();
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Opens (creating when needed) "ecfsim.db" in dir. Throws StoreInUse,
  // MemoryError (see above) or StoreError.
  void Open(const std::string& dir);
  // Checkpoints the log into the database (when it can), closes and lets
  // the folder go.
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  // Removes the memory's files from dir (the store must be closed).
  static void Discard(const std::string& dir);

  // An IMMEDIATE transaction (the write lock at once), or a read-only one.
  void Begin(bool readOnly = false);
  // Commits; a transaction that wrote counts one change, sealed after the commit.
  void Commit();
  void Rollback();  // never throws
  // Changes when another connection commits (another process on the same folder).
  int64_t DataVersion();

  std::optional<std::string> LoadState();
  void SaveState(const std::string& json);

  std::optional<std::string> LoadProgramming();
  void SaveProgramming(const std::string& json);

  // How long the paper tape is once every committed call's lines are on
  // it, in bytes; nothing for a memory that never counted it.
  std::optional<int64_t> LoadTapeEnd();
  void SaveTapeEnd(int64_t bytes);

  std::optional<std::string> LoadDoc();
  void SaveDoc(const std::string& json);
  void ClearDoc();  // also its items and lines
  std::vector<std::string> LoadItems();  // in item order
  void SaveItem(int64_t n, const std::string& json);
  std::vector<std::string> LoadLines();
  void AppendLine(int64_t seq, const std::string& line);

  void InsertReduction(int64_t crz, const std::string& movementDate, const std::string& json);
  std::vector<std::string> Reductions();  // every record, by CRZ
  std::optional<std::string> LastReduction();
  void InsertDocument(const DocumentRow& row);
  // Documents by order of issue.
  std::vector<DocumentRow> Documents();

  // Empties every table (a fresh printer; the count of changes goes on).
  void Wipe();

 private:
  struct Statements;
  void Exec(const char* sql);
  sqlite3_stmt* Prepare(const char* sql);
  [[noreturn]] void Fail(const char* what);
  void CheckWhole(const std::string& dir, bool heldBefore, int64_t sealed);
  int64_t Count(const char* sql);
  void WriteSeal();

  rtl::FileLock lock_;
  std::string dir_;
  sqlite3* db_ = nullptr;
  std::unique_ptr<Statements> st_;
  std::unique_ptr<rtl::ReadWriteFile> seal_;  // the seal, kept open
  int64_t changes_ = 0;  // the database's count of committed changes
  bool wrote_ = false;   // the open transaction wrote something
};

}  // namespace ecfsim
