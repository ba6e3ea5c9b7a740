#include "platform/file_lock.h"

#include "platform/os.h"

namespace rtl {

FileLock::Result FileLock::Acquire(const std::string& path, const std::string& owner, std::string& reason) {
  Release();
  bool busy = false;
  std::string error;
  const int handle = os::LockFile(path, &busy, &error);
  if (handle < 0) {
    if (!busy) {
      reason = error;
      return Result::Failed;
    }
    std::string holder = os::ReadSmallFile(path);
    while (!holder.empty() && (holder.back() == '\n' || holder.back() == '\r')) holder.pop_back();
    reason = "in use by " + (holder.empty() ? std::string("another process") : holder);
    return Result::Busy;
  }
  handle_ = handle;
  os::WriteLockedFile(handle_, owner + "\n");  // only for the message of a refused holder
  return Result::Taken;
}

void FileLock::Release() {
  os::UnlockFile(handle_);
  handle_ = -1;
}

std::string ProcessOwnerText() {
  std::string program = os::ExecutablePath();
  const size_t slash = program.find_last_of("/\\");
  if (slash != std::string::npos) program = program.substr(slash + 1);
  return "pid " + std::to_string(os::ProcessId()) + (program.empty() ? "" : " (" + program + ")");
}

}  // namespace rtl
