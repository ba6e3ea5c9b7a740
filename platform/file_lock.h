// A file held by one owner at a time, among processes: the lock of a
// resource that two programs must never use at once (the simulated
// printer's state folder).
#pragma once
#include <string>

namespace rtl {

class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  enum class Result { Taken, Busy, Failed };
  // Takes the lock of `path` (the file is created when missing) at once,
  // never waiting, and writes `owner` into it. Busy when another holder
  // (another process, or another FileLock in this one) has it: `reason`
  // then says "in use by" and the text that holder wrote; Failed when the
  // file cannot be opened or locked: `reason` says why. Taking a lock
  // releases the one held.
  Result Acquire(const std::string& path, const std::string& owner, std::string& reason);
  void Release();
  bool Held() const { return handle_ >= 0; }

 private:
  int handle_ = -1;
};

// "pid N (program)": who this process is, for a lock's owner text.
std::string ProcessOwnerText();

}  // namespace rtl
