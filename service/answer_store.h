// The service's record of the requests that carry an id, so that a repeated
// id gets the first run's answer and the module is never called for it
// again, also after the service restarts.
//
// An SQLite database in the state folder (file kAnswerStoreFile; WAL journal,
// synchronous FULL, so that each change is on the disk when the call
// returns):
//   requests(id TEXT PRIMARY KEY, request TEXT, answer TEXT, started TEXT, finished TEXT)
// `request` is the request without its id, as compact JSON, to tell a retry
// from a different request that reuses the id. A row is written before the
// module is called (answer null) and completed before the answer is sent; a
// row left without answer is a request that was running when the process
// ended: its outcome is on the printer's record only, and it is never run
// again.
#pragma once
#include <optional>
#include <stdexcept>
#include <string>

struct sqlite3;

namespace qorservice {

inline constexpr const char* kAnswerStoreFile = "qorservice.db";

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class AnswerStore {
 public:
  // Opens or creates the database at `path`; StoreError when it cannot.
  explicit AnswerStore(const std::string& path);
  ~AnswerStore();
  AnswerStore(const AnswerStore&) = delete;
  AnswerStore& operator=(const AnswerStore&) = delete;

  struct Record {
    std::string request;
    std::optional<std::string> answer;  // none: started, never finished
  };
  // StoreError when the database cannot be read.
  std::optional<Record> Find(const std::string& id);
  // Before the call: the id is taken. StoreError when it cannot be written.
  void Begin(const std::string& id, const std::string& request, const std::string& at);
  // After the call, before the answer is sent.
  void Finish(const std::string& id, const std::string& answer, const std::string& at);
  // A request refused before anything was called: the id is free again.
  void Forget(const std::string& id);

  const std::string& Path() const { return path_; }

 private:
  void Exec(const char* sql);
  void Run(const char* sql, std::initializer_list<const std::string*> values);

  std::string path_;
  sqlite3* db_ = nullptr;
};

}  // namespace qorservice
