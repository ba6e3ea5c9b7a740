#include "sim/store.h"

#include <sqlite3.h>

#include <filesystem>
#include <memory>

namespace ecfsim {

namespace {

struct Stmt {
  sqlite3_stmt* s = nullptr;
  ~Stmt() {
    if (s) sqlite3_finalize(s);
  }
};

const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS state(id INTEGER PRIMARY KEY CHECK(id = 1), data TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS open_doc(id INTEGER PRIMARY KEY CHECK(id = 1), data TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS open_items(n INTEGER PRIMARY KEY, data TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS open_lines(seq INTEGER PRIMARY KEY, line TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS fiscal_memory(crz INTEGER PRIMARY KEY, movement_date TEXT NOT NULL, data TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS detail_memory(seq INTEGER PRIMARY KEY AUTOINCREMENT, coo INTEGER NOT NULL,
  kind TEXT NOT NULL, movement_date TEXT NOT NULL, issued_at TEXT NOT NULL, data TEXT NOT NULL, text TEXT NOT NULL);
)sql";

}  // namespace

Store::~Store() { Close(); }

void Store::Fail(const char* what) {
  std::string msg = std::string(what) + ": " + (db_ ? sqlite3_errmsg(db_) : "no database");
  throw StoreError(msg);
}

void Store::Exec(const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = std::string("sqlite: ") + (err ? err : "error");
    sqlite3_free(err);
    throw StoreError(msg);
  }
}

sqlite3_stmt* Store::Prepare(const char* sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) Fail("prepare");
  return s;
}

void Store::Open(const std::string& dir) {
  Close();
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  std::string path = (std::filesystem::path(dir) / "ecfsim.db").string();
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    std::string msg = "cannot open " + path + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
    throw StoreError(msg);
  }
  sqlite3_busy_timeout(db_, 5000);
  try {
    Exec("PRAGMA journal_mode=WAL");
    // ON (= NORMAL): with the WAL journal a crash of the process or of the
    // computer never corrupts the database; every call is one transaction.
    Exec("PRAGMA synchronous=ON");
    Exec(kSchema);
  } catch (...) {
    Close();
    throw;
  }
}

void Store::Close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

void Store::Begin(bool readOnly) { Exec(readOnly ? "BEGIN" : "BEGIN IMMEDIATE"); }
void Store::Commit() { Exec("COMMIT"); }
void Store::Rollback() {
  if (db_ && !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

int64_t Store::DataVersion() {
  Stmt st{Prepare("PRAGMA data_version")};
  if (sqlite3_step(st.s) != SQLITE_ROW) Fail("data_version");
  return sqlite3_column_int64(st.s, 0);
}

namespace {
std::string ColumnText(sqlite3_stmt* s, int i) {
  const unsigned char* t = sqlite3_column_text(s, i);
  return t ? std::string(reinterpret_cast<const char*>(t), sqlite3_column_bytes(s, i)) : std::string();
}
}  // namespace

std::optional<std::string> Store::LoadState() {
  Stmt st{Prepare("SELECT data FROM state WHERE id = 1")};
  int rc = sqlite3_step(st.s);
  if (rc == SQLITE_ROW) return ColumnText(st.s, 0);
  if (rc != SQLITE_DONE) Fail("load state");
  return std::nullopt;
}

void Store::SaveState(const std::string& json) {
  Stmt st{Prepare("INSERT OR REPLACE INTO state(id, data) VALUES(1, ?)")};
  sqlite3_bind_text(st.s, 1, json.data(), static_cast<int>(json.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(st.s) != SQLITE_DONE) Fail("save state");
}

std::optional<std::string> Store::LoadDoc() {
  Stmt st{Prepare("SELECT data FROM open_doc WHERE id = 1")};
  int rc = sqlite3_step(st.s);
  if (rc == SQLITE_ROW) return ColumnText(st.s, 0);
  if (rc != SQLITE_DONE) Fail("load document");
  return std::nullopt;
}

void Store::SaveDoc(const std::string& json) {
  Stmt st{Prepare("INSERT OR REPLACE INTO open_doc(id, data) VALUES(1, ?)")};
  sqlite3_bind_text(st.s, 1, json.data(), static_cast<int>(json.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(st.s) != SQLITE_DONE) Fail("save document");
}

void Store::ClearDoc() { Exec("DELETE FROM open_doc; DELETE FROM open_items; DELETE FROM open_lines;"); }

std::vector<std::string> Store::LoadItems() {
  Stmt st{Prepare("SELECT data FROM open_items ORDER BY n")};
  std::vector<std::string> out;
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) out.push_back(ColumnText(st.s, 0));
  if (rc != SQLITE_DONE) Fail("load items");
  return out;
}

void Store::SaveItem(int64_t n, const std::string& json) {
  Stmt st{Prepare("INSERT OR REPLACE INTO open_items(n, data) VALUES(?, ?)")};
  sqlite3_bind_int64(st.s, 1, n);
  sqlite3_bind_text(st.s, 2, json.data(), static_cast<int>(json.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(st.s) != SQLITE_DONE) Fail("save item");
}

std::vector<std::string> Store::LoadLines() {
  Stmt st{Prepare("SELECT line FROM open_lines ORDER BY seq")};
  std::vector<std::string> out;
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) out.push_back(ColumnText(st.s, 0));
  if (rc != SQLITE_DONE) Fail("load lines");
  return out;
}

void Store::AppendLine(int64_t seq, const std::string& line) {
  Stmt st{Prepare("INSERT OR REPLACE INTO open_lines(seq, line) VALUES(?, ?)")};
  sqlite3_bind_int64(st.s, 1, seq);
  sqlite3_bind_text(st.s, 2, line.data(), static_cast<int>(line.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(st.s) != SQLITE_DONE) Fail("append line");
}

void Store::InsertReduction(int64_t crz, const std::string& movementDate, const std::string& json) {
  Stmt st{Prepare("INSERT INTO fiscal_memory(crz, movement_date, data) VALUES(?, ?, ?)")};
  sqlite3_bind_int64(st.s, 1, crz);
  sqlite3_bind_text(st.s, 2, movementDate.data(), static_cast<int>(movementDate.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st.s, 3, json.data(), static_cast<int>(json.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(st.s) != SQLITE_DONE) Fail("insert reduction");
}

std::vector<std::string> Store::Reductions() {
  Stmt st{Prepare("SELECT data FROM fiscal_memory ORDER BY crz")};
  std::vector<std::string> out;
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) out.push_back(ColumnText(st.s, 0));
  if (rc != SQLITE_DONE) Fail("read fiscal memory");
  return out;
}

std::optional<std::string> Store::LastReduction() {
  Stmt st{Prepare("SELECT data FROM fiscal_memory ORDER BY crz DESC LIMIT 1")};
  int rc = sqlite3_step(st.s);
  if (rc == SQLITE_ROW) return ColumnText(st.s, 0);
  if (rc != SQLITE_DONE) Fail("read fiscal memory");
  return std::nullopt;
}

void Store::InsertDocument(const DocumentRow& r) {
  Stmt st{Prepare(
      "INSERT INTO detail_memory(coo, kind, movement_date, issued_at, data, text) VALUES(?, ?, ?, ?, ?, ?)")};
  sqlite3_bind_int64(st.s, 1, r.coo);
  sqlite3_bind_text(st.s, 2, r.kind.data(), static_cast<int>(r.kind.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st.s, 3, r.movementDate.data(), static_cast<int>(r.movementDate.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st.s, 4, r.issuedAt.data(), static_cast<int>(r.issuedAt.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st.s, 5, r.data.data(), static_cast<int>(r.data.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st.s, 6, r.text.data(), static_cast<int>(r.text.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(st.s) != SQLITE_DONE) Fail("insert document");
}

std::vector<DocumentRow> Store::Documents() {
  Stmt st{Prepare("SELECT coo, kind, movement_date, issued_at, data, text FROM detail_memory ORDER BY seq")};
  std::vector<DocumentRow> out;
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
    DocumentRow r;
    r.coo = sqlite3_column_int64(st.s, 0);
    r.kind = ColumnText(st.s, 1);
    r.movementDate = ColumnText(st.s, 2);
    r.issuedAt = ColumnText(st.s, 3);
    r.data = ColumnText(st.s, 4);
    r.text = ColumnText(st.s, 5);
    out.push_back(std::move(r));
  }
  if (rc != SQLITE_DONE) Fail("read detail memory");
  return out;
}

void Store::Wipe() {
  Exec("DELETE FROM state; DELETE FROM open_doc; DELETE FROM open_items; DELETE FROM open_lines;"
       "DELETE FROM fiscal_memory; DELETE FROM detail_memory;");
}

}  // namespace ecfsim
