#include "sim/store.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unordered_map>

#include "platform/env.h"
#include "platform/files.h"

namespace ecfsim {

namespace fs = std::filesystem;

namespace {

const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS state(id INTEGER PRIMARY KEY CHECK(id = 1), data TEXT NOT NULL, seq INTEGER NOT NULL DEFAULT 0,
  doc TEXT, tape INTEGER);
CREATE TABLE IF NOT EXISTS programming(id INTEGER PRIMARY KEY CHECK(id = 1), data TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS open_doc(id INTEGER PRIMARY KEY CHECK(id = 1), data TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS open_items(n INTEGER PRIMARY KEY, data TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS open_lines(seq INTEGER PRIMARY KEY, line TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS fiscal_memory(crz INTEGER PRIMARY KEY, movement_date TEXT NOT NULL, data TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS detail_memory(seq INTEGER PRIMARY KEY AUTOINCREMENT, coo INTEGER NOT NULL,
  kind TEXT NOT NULL, movement_date TEXT NOT NULL, issued_at TEXT NOT NULL, data TEXT NOT NULL, text TEXT NOT NULL);
)sql";
constexpr const char* kDbName = "ecfsim.db";
constexpr const char* kSealName = "ecfsim.seal";
constexpr const char* kLockName = "ecfsim.lock";
constexpr size_t kSealWidth = 21;  // 20 digits and a line end, always written whole at offset 0

bool NonEmptyFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec) && fs::file_size(p, ec) > 0;
}

// The number the seal holds; 0 when it is absent or was never written whole.
int64_t ReadSeal(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  long long v = 0;
  if (!(in >> v) || v < 0) return 0;
  return v;
}

// A statement of the cache in use: reset and unbound when the use ends.
struct Use {
  sqlite3_stmt* s;
  ~Use() {
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
  }
};

void Bind(sqlite3_stmt* s, int i, const std::string& t) {
  sqlite3_bind_text(s, i, t.data(), static_cast<int>(t.size()), SQLITE_STATIC);
}

std::string ColumnText(sqlite3_stmt* s, int i) {
  const unsigned char* t = sqlite3_column_text(s, i);
  return t ? std::string(reinterpret_cast<const char*>(t), sqlite3_column_bytes(s, i)) : std::string();
}

}  // namespace

// Statements are prepared once per connection and kept.
struct Store::Statements {
  std::unordered_map<const char*, sqlite3_stmt*> cache;
  ~Statements() {
    for (auto& [sql, s] : cache)
      if (s) sqlite3_finalize(s);
  }
};

Store::Store() = default;
Store::~Store() { Close(); }

void Store::Fail(const char* what) {
  std::string msg = std::string(what) + ": " + (db_ ? sqlite3_errmsg(db_) : "no database");
  int code = db_ ? (sqlite3_errcode(db_) & 0xff) : SQLITE_OK;
  if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) throw MemoryError("the memory database is damaged (" + msg + ")");
  throw StoreError(msg);
}

void Store::Exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail("sqlite");
}

sqlite3_stmt* Store::Prepare(const char* sql) {
  sqlite3_stmt*& s = st_->cache[sql];
  if (!s && sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) {
    s = nullptr;
    Fail("prepare");
  }
  return s;
}

int64_t Store::Count(const char* sql) {
  sqlite3_stmt* s = Prepare(sql);
  Use u{s};
  if (sqlite3_step(s) != SQLITE_ROW) Fail("count");
  return sqlite3_column_int64(s, 0);
}

void Store::Open(const std::string& dir) {
  Close();
  std::error_code ec;
  fs::create_directories(dir, ec);
  // Before anything is read: another process's calls would interleave with
  // this one's (each reloading what the other wrote), and a coupon one of
  // them opened would be the other's to cancel.
  std::string reason;
  switch (lock_.Acquire((fs::path(dir) / kLockName).string(), rtl::ProcessOwnerText(), reason)) {
    case rtl::FileLock::Result::Taken: break;
    case rtl::FileLock::Result::Busy: throw StoreInUse("the printer's state folder " + dir + " is " + reason);
    case rtl::FileLock::Result::Failed: throw StoreError("cannot lock the printer's state folder " + dir + ": " + reason);
  }
  dir_ = dir;
  const fs::path db = fs::path(dir) / kDbName, seal = fs::path(dir) / kSealName;
  const bool sealed = fs::exists(seal, ec);
  // The seal is read before the database, so it is never ahead of what is read next.
  const int64_t sealedChanges = ReadSeal(seal);
  const bool held = NonEmptyFile(db) || NonEmptyFile(db.string() + "-wal") || sealed;
  if (held && !NonEmptyFile(db)) throw MemoryError("the memory database " + db.string() + " is missing");
  if (sqlite3_open_v2(rtl::Utf8Path(db.string()).c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    std::string msg = "cannot open " + db.string() + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
    lock_.Release();
    throw StoreError(msg);
  }
  st_ = std::make_unique<Statements>();
  sqlite3_busy_timeout(db_, 5000);
  try {
    if (held) {
      std::string check;
      {
        sqlite3_stmt* s = Prepare("PRAGMA quick_check");
        Use u{s};
        if (sqlite3_step(s) == SQLITE_ROW) check = ColumnText(s, 0);
        else Fail("quick_check");
      }
      if (check != "ok") throw MemoryError("the memory database is damaged (" + check + ")");
    }
    Exec("PRAGMA journal_mode=WAL");
    // FULL: a commit is on the disk when it returns, before the seal is
    // written, so a power cut can neither lose a call the host was told was
    // done nor leave the seal ahead of the database (a false damage alarm).
    // ECFSIM_SYNC=normal hands commits to the system only (a crash of the
    // process still loses nothing): for test runs of thousands of days on
    // a computer whose power is not cut.
    const char* sync = std::getenv("ECFSIM_SYNC");
    Exec(sync && std::string(sync) == "normal" ? "PRAGMA synchronous=NORMAL" : "PRAGMA synchronous=FULL");
    // Checkpoints less often: a page changed by many calls is copied once.
    Exec("PRAGMA wal_autocheckpoint=4000");
    Exec(kSchema);
    // A memory from before the count of changes: the state row gets it.
    if (Count("SELECT count(*) FROM pragma_table_info('state') WHERE name = 'seq'") == 0) {
      Exec("ALTER TABLE state ADD COLUMN seq INTEGER NOT NULL DEFAULT 0; ALTER TABLE state ADD COLUMN doc TEXT;");
      if (Count("SELECT count(*) FROM sqlite_master WHERE name = 'seal'") > 0)  // where it was counted at first
        Exec("UPDATE state SET seq = (SELECT seq FROM seal WHERE id = 1); DROP TABLE seal;");
    }
    // A memory from before the tape's length was counted: unknown until set.
    if (Count("SELECT count(*) FROM pragma_table_info('state') WHERE name = 'tape'") == 0)
      Exec("ALTER TABLE state ADD COLUMN tape INTEGER;");
    CheckWhole(dir, sealed, sealedChanges);
  } catch (...) {
    st_.reset();
    sqlite3_close_v2(db_);  // no checkpoint: a damaged memory is left as it was found
    db_ = nullptr;
    lock_.Release();
    throw;
  }
  try {
    seal_ = std::make_unique<rtl::ReadWriteFile>(seal.string(), /*append=*/false);
  } catch (const std::exception&) {
    Close();
    throw StoreError("cannot open " + seal.string());
  }
  if (!sealed) WriteSeal();
}

// What the database holds must be a whole printer, and not older than the seal.
void Store::CheckWhole(const std::string& dir, bool sealed, int64_t sealedChanges) {
  changes_ = Count("SELECT coalesce(max(seq), 0) FROM state");
  const bool hasState = Count("SELECT count(*) FROM state") > 0;
  const int64_t documents = Count("SELECT (SELECT count(*) FROM fiscal_memory) + (SELECT count(*) FROM detail_memory)"
                                  " + (SELECT count(*) FROM open_doc) + (SELECT count(*) FROM open_items)");
  if (changes_ < sealedChanges)
    throw MemoryError("the memory database in " + dir + " is older than its seal (" + std::to_string(changes_) +
                      " changes, sealed " + std::to_string(sealedChanges) + "): its log was lost or damaged");
  if (!hasState && (changes_ > 0 || documents > 0 || sealedChanges > 0))
    throw MemoryError("the printer's state is missing from the memory database in " + dir);
  if (hasState && changes_ > 0 && !sealed) throw MemoryError("the seal of the memory in " + dir + " is missing");
}

void Store::WriteSeal() {
  char buf[kSealWidth + 1];
  std::snprintf(buf, sizeof buf, "%020lld\n", static_cast<long long>(changes_));
  if (seal_ && !seal_->WriteAt(0, std::string_view(buf, kSealWidth)))
    throw StoreError("cannot write the seal of the memory");
}

void Store::Close() {
  if (!db_) return;
  st_.reset();
  // A clean end: the database file alone holds the memory.
  if (sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
  sqlite3_close_v2(db_);
  db_ = nullptr;
  seal_.reset();
  lock_.Release();  // last: another process may open the folder now
}

void Store::Discard(const std::string& dir) {
  std::error_code ec;
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(fs::path(dir) / (std::string(kDbName) + suffix), ec);
  fs::remove(fs::path(dir) / kSealName, ec);
}

void Store::Begin(bool readOnly) {
  wrote_ = false;
  sqlite3_stmt* s = Prepare(readOnly ? "BEGIN" : "BEGIN IMMEDIATE");
  Use u{s};
  if (sqlite3_step(s) != SQLITE_DONE) Fail("begin");
}

void Store::Commit() {
  if (wrote_) {
    // The count lives in the state row, whose page the call has most often
    // written already: counting costs no page of its own.
    sqlite3_stmt* s = Prepare("UPDATE state SET seq = seq + 1 WHERE id = 1 RETURNING seq");
    Use u{s};
    int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) changes_ = sqlite3_column_int64(s, 0);
    else if (rc != SQLITE_DONE) Fail("count the change");
  }
  {
    sqlite3_stmt* s = Prepare("COMMIT");
    Use u{s};
    if (sqlite3_step(s) != SQLITE_DONE) Fail("commit");
  }
  if (wrote_) {
    // A crash here leaves the seal one change behind the database: allowed.
    rtl::CurrentEnv()->Reached("ecfsim.seal", dir_);
    WriteSeal();
  }
  wrote_ = false;
}

void Store::Rollback() {
  wrote_ = false;
  if (db_ && !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

int64_t Store::DataVersion() { return Count("PRAGMA data_version"); }

std::optional<std::string> Store::LoadState() {
  sqlite3_stmt* s = Prepare("SELECT data FROM state WHERE id = 1");
  Use u{s};
  int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) return ColumnText(s, 0);
  if (rc != SQLITE_DONE) Fail("load state");
  return std::nullopt;
}

void Store::SaveState(const std::string& json) {
  // A new row (after a wipe) goes on from the count already reached.
  sqlite3_stmt* s =
      Prepare("INSERT INTO state(id, data, seq) VALUES(1, ?, ?) ON CONFLICT(id) DO UPDATE SET data = excluded.data");
  Use u{s};
  Bind(s, 1, json);
  sqlite3_bind_int64(s, 2, changes_);
  if (sqlite3_step(s) != SQLITE_DONE) Fail("save state");
  wrote_ = true;
}

std::optional<std::string> Store::LoadProgramming() {
  sqlite3_stmt* s = Prepare("SELECT data FROM programming WHERE id = 1");
  Use u{s};
  int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) return ColumnText(s, 0);
  if (rc != SQLITE_DONE) Fail("load programming");
  return std::nullopt;
}

void Store::SaveProgramming(const std::string& json) {
  sqlite3_stmt* s = Prepare("INSERT OR REPLACE INTO programming(id, data) VALUES(1, ?)");
  Use u{s};
  Bind(s, 1, json);
  if (sqlite3_step(s) != SQLITE_DONE) Fail("save programming");
  wrote_ = true;
}

std::optional<int64_t> Store::LoadTapeEnd() {
  sqlite3_stmt* s = Prepare("SELECT tape FROM state WHERE id = 1");
  Use u{s};
  int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) {
    if (sqlite3_column_type(s, 0) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int64(s, 0);
  }
  if (rc != SQLITE_DONE) Fail("load tape length");
  return std::nullopt;
}

void Store::SaveTapeEnd(int64_t bytes) {
  sqlite3_stmt* s = Prepare("UPDATE state SET tape = ? WHERE id = 1");
  Use u{s};
  sqlite3_bind_int64(s, 1, bytes);
  if (sqlite3_step(s) != SQLITE_DONE) Fail("save tape length");
  wrote_ = true;
}

// The open document lives in the state row, so a call that changes both
// writes one page (older memories kept it in the table open_doc).
std::optional<std::string> Store::LoadDoc() {
  sqlite3_stmt* s = Prepare("SELECT doc FROM state WHERE id = 1 AND doc IS NOT NULL UNION ALL "
                            "SELECT data FROM open_doc WHERE id = 1");
  Use u{s};
  int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) return ColumnText(s, 0);
  if (rc != SQLITE_DONE) Fail("load document");
  return std::nullopt;
}

void Store::SaveDoc(const std::string& json) {
  sqlite3_stmt* s = Prepare("UPDATE state SET doc = ? WHERE id = 1");
  Use u{s};
  Bind(s, 1, json);
  if (sqlite3_step(s) != SQLITE_DONE) Fail("save document");
  if (sqlite3_changes(db_) != 1) throw StoreError("save document: the state row is missing");
  wrote_ = true;
}

void Store::ClearDoc() {
  for (const char* sql : {"UPDATE state SET doc = NULL WHERE id = 1", "DELETE FROM open_doc", "DELETE FROM open_items",
                          "DELETE FROM open_lines"}) {
    sqlite3_stmt* s = Prepare(sql);
    Use u{s};
    if (sqlite3_step(s) != SQLITE_DONE) Fail("clear document");
  }
  wrote_ = true;
}

namespace {
std::vector<std::string> Column0(sqlite3_stmt* s, int& rc) {
  std::vector<std::string> out;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) out.push_back(ColumnText(s, 0));
  return out;
}
}  // namespace

std::vector<std::string> Store::LoadItems() {
  sqlite3_stmt* s = Prepare("SELECT data FROM open_items ORDER BY n");
  Use u{s};
  int rc;
  auto out = Column0(s, rc);
  if (rc != SQLITE_DONE) Fail("load items");
  return out;
}

void Store::SaveItem(int64_t n, const std::string& json) {
  sqlite3_stmt* s = Prepare("INSERT OR REPLACE INTO open_items(n, data) VALUES(?, ?)");
  Use u{s};
  sqlite3_bind_int64(s, 1, n);
  Bind(s, 2, json);
  if (sqlite3_step(s) != SQLITE_DONE) Fail("save item");
  wrote_ = true;
}

std::vector<std::string> Store::LoadLines() {
  sqlite3_stmt* s = Prepare("SELECT line FROM open_lines ORDER BY seq");
  Use u{s};
  int rc;
  auto out = Column0(s, rc);
  if (rc != SQLITE_DONE) Fail("load lines");
  return out;
}

void Store::AppendLine(int64_t seq, const std::string& line) {
  sqlite3_stmt* s = Prepare("INSERT OR REPLACE INTO open_lines(seq, line) VALUES(?, ?)");
  Use u{s};
  sqlite3_bind_int64(s, 1, seq);
  Bind(s, 2, line);
  if (sqlite3_step(s) != SQLITE_DONE) Fail("append line");
  wrote_ = true;
}

void Store::InsertReduction(int64_t crz, const std::string& movementDate, const std::string& json) {
  sqlite3_stmt* s = Prepare("INSERT INTO fiscal_memory(crz, movement_date, data) VALUES(?, ?, ?)");
  Use u{s};
  sqlite3_bind_int64(s, 1, crz);
  Bind(s, 2, movementDate);
  Bind(s, 3, json);
  if (sqlite3_step(s) != SQLITE_DONE) Fail("insert reduction");
  wrote_ = true;
}

std::vector<std::string> Store::Reductions() {
  sqlite3_stmt* s = Prepare("SELECT data FROM fiscal_memory ORDER BY crz");
  Use u{s};
  int rc;
  auto out = Column0(s, rc);
  if (rc != SQLITE_DONE) Fail("read fiscal memory");
  return out;
}

std::optional<std::string> Store::LastReduction() {
  sqlite3_stmt* s = Prepare("SELECT data FROM fiscal_memory ORDER BY crz DESC LIMIT 1");
  Use u{s};
  int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) return ColumnText(s, 0);
  if (rc != SQLITE_DONE) Fail("read fiscal memory");
  return std::nullopt;
}

void Store::InsertDocument(const DocumentRow& r) {
  sqlite3_stmt* s =
      Prepare("INSERT INTO detail_memory(coo, kind, movement_date, issued_at, data, text) VALUES(?, ?, ?, ?, ?, ?)");
  Use u{s};
  sqlite3_bind_int64(s, 1, r.coo);
  Bind(s, 2, r.kind);
  Bind(s, 3, r.movementDate);
  Bind(s, 4, r.issuedAt);
  Bind(s, 5, r.data);
  Bind(s, 6, r.text);
  if (sqlite3_step(s) != SQLITE_DONE) Fail("insert document");
  wrote_ = true;
}

std::vector<DocumentRow> Store::Documents() {
  sqlite3_stmt* s = Prepare("SELECT coo, kind, movement_date, issued_at, data, text FROM detail_memory ORDER BY seq");
  Use u{s};
  std::vector<DocumentRow> out;
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    DocumentRow r;
    r.coo = sqlite3_column_int64(s, 0);
    r.kind = ColumnText(s, 1);
    r.movementDate = ColumnText(s, 2);
    r.issuedAt = ColumnText(s, 3);
    r.data = ColumnText(s, 4);
    r.text = ColumnText(s, 5);
    out.push_back(std::move(r));
  }
  if (rc != SQLITE_DONE) Fail("read detail memory");
  return out;
}

void Store::Wipe() {
  Exec("DELETE FROM state; DELETE FROM programming; DELETE FROM open_doc; DELETE FROM open_items;"
       "DELETE FROM open_lines; DELETE FROM fiscal_memory; DELETE FROM detail_memory;");
  wrote_ = true;
}

}  // namespace ecfsim
