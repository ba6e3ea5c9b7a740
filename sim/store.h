// The printer's non-volatile memory: an SQLite database in the state folder
// (WAL journal, synchronous on). Every entry-point call runs inside one
// IMMEDIATE transaction, so a call is applied whole or not at all, and a
// crash never leaves half a document behind.
//
// Tables:
//   state          the printer's programming, counters, day totals (one JSON row)
//   open_doc       the document being printed (one JSON row, absent when none)
//   open_items     its items, one row each
//   open_lines     the lines it has printed so far
//   fiscal_memory  one row per Z reduction
//   detail_memory  one row per finished document (structured data and text)
#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ecfsim {

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
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
  Store() = default;
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Opens (creating when needed) "ecfsim.db" in dir. Throws StoreError.
  void Open(const std::string& dir);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }

  // An IMMEDIATE transaction (the write lock at once), or a read-only one.
  void Begin(bool readOnly = false);
  void Commit();
  void Rollback();  // never throws
  // Changes when another connection commits (another process on the same folder).
  int64_t DataVersion();

  std::optional<std::string> LoadState();
  void SaveState(const std::string& json);

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
  // Documents by order of issue; an empty range bound is open.
  std::vector<DocumentRow> Documents();

  // Empties every table (a fresh printer).
  void Wipe();

 private:
  void Exec(const char* sql);
  sqlite3_stmt* Prepare(const char* sql);
  [[noreturn]] void Fail(const char* what);

  sqlite3* db_ = nullptr;
};

}  // namespace ecfsim
