#include "service/answer_store.h"

#include <sqlite3.h>

namespace qorservice {

namespace {

struct Statement {
  sqlite3_stmt* s = nullptr;
  ~Statement() { sqlite3_finalize(s); }
};

}  // namespace

AnswerStore::AnswerStore(const std::string& path) : path_(path) {
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw StoreError("cannot open the request record " + path + ": " + why);
  }
  sqlite3_busy_timeout(db_, 5000);
  try {
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=FULL");
    Exec("CREATE TABLE IF NOT EXISTS requests (id TEXT PRIMARY KEY, request TEXT NOT NULL, answer TEXT, "
         "started TEXT NOT NULL, finished TEXT)");
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

AnswerStore::~AnswerStore() {
  if (db_) sqlite3_close(db_);
}

void AnswerStore::Exec(const char* sql) {
  char* msg = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
    const std::string why = msg ? msg : sqlite3_errmsg(db_);
    sqlite3_free(msg);
    throw StoreError("the request record " + path_ + ": " + why);
  }
}

void AnswerStore::Run(const char* sql, std::initializer_list<const std::string*> values) {
  Statement st;
  if (sqlite3_prepare_v2(db_, sql, -1, &st.s, nullptr) != SQLITE_OK)
    throw StoreError("the request record " + path_ + ": " + sqlite3_errmsg(db_));
  int i = 0;
  for (const std::string* v : values) sqlite3_bind_text(st.s, ++i, v->data(), static_cast<int>(v->size()), SQLITE_TRANSIENT);
  if (sqlite3_step(st.s) != SQLITE_DONE)
    throw StoreError("the request record " + path_ + " cannot be written: " + sqlite3_errmsg(db_));
}

std::optional<AnswerStore::Record> AnswerStore::Find(const std::string& id) {
  Statement st;
  if (sqlite3_prepare_v2(db_, "SELECT request, answer FROM requests WHERE id = ?", -1, &st.s, nullptr) != SQLITE_OK)
    throw StoreError("the request record " + path_ + ": " + sqlite3_errmsg(db_));
  sqlite3_bind_text(st.s, 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(st.s);
  if (rc == SQLITE_DONE) return std::nullopt;
  if (rc != SQLITE_ROW) throw StoreError("the request record " + path_ + " cannot be read: " + sqlite3_errmsg(db_));
  auto text = [&](int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st.s, col));
    return std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st.s, col)));
  };
  Record r;
  r.request = text(0);
  if (sqlite3_column_type(st.s, 1) != SQLITE_NULL) r.answer = text(1);
  return r;
}

void AnswerStore::Begin(const std::string& id, const std::string& request, const std::string& at) {
  Run("INSERT INTO requests (id, request, started) VALUES (?, ?, ?)", {&id, &request, &at});
}

void AnswerStore::Finish(const std::string& id, const std::string& answer, const std::string& at) {
  Run("UPDATE requests SET answer = ?, finished = ? WHERE id = ?", {&answer, &at, &id});
}

void AnswerStore::Forget(const std::string& id) { Run("DELETE FROM requests WHERE id = ?", {&id}); }

}  // namespace qorservice
