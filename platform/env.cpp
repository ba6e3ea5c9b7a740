// The Env seam: the default implementation and the process-wide current one.
#include "platform/env.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/files.h"
#include "platform/library.h"
#include "platform/os.h"

namespace rtl {

namespace {

class DefaultEnvImpl final : public Env {
 public:
  TDateTime Now() override {
    os::CalendarTime c = os::LocalNow();
    TDateTime d, t;
    if (!TryEncodeDate(c.year, c.month, c.day, d)) return 0;
    if (!TryEncodeTime(c.hour, c.minute, c.second, c.msec, t)) t = 0;
    return d + t;
  }
  std::string ProgramPath() override { return os::ExecutablePath(); }
  std::string SystemDirectory() override {
    std::string d = os::GetEnvVar("QOR_SYSTEM_DIR");
    return d.empty() ? os::SystemDirectory() : d;
  }
  std::string ShortPath(const std::string& path) override { return os::ShortPath(path); }
  void* LoadLibrary(const std::string& name) override { return LoadLibraryByName(name); }
  void* GetProcAddress(void* lib, const std::string& name) override { return GetLibrarySymbol(lib, name); }
  void Sleep(int ms) override {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  void ProcessMessages() override {}
  void Terminate() override { terminated_ = true; }
  bool Terminated() override { return terminated_; }

 private:
  std::atomic<bool> terminated_{false};
};

std::atomic<Env*> g_current{nullptr};

}  // namespace

Env* DefaultEnv() {
  static DefaultEnvImpl env;
  return &env;
}

Env* CurrentEnv() {
  Env* e = g_current.load(std::memory_order_acquire);
  return e ? e : DefaultEnv();
}

Env* SetEnv(Env* env) {
  Env* prev = g_current.exchange(env, std::memory_order_acq_rel);
  return prev ? prev : DefaultEnv();
}

std::string ParamStr0() { return CurrentEnv()->ProgramPath(); }

std::string ProgramDir() {
  std::string p = CurrentEnv()->ProgramPath();
  size_t i = p.find_last_of("/\\");
  if (i == std::string::npos) return std::string();
  if (i == 0) return p.substr(0, 1);  // "/prog" -> "/"
  return p.substr(0, i);
}

void ProcessMessages() { CurrentEnv()->ProcessMessages(); }
void Terminate() { CurrentEnv()->Terminate(); }

int ConfigurableEnv::FileOperation(const char* kind, const std::string& path) {
  if (!countFileOperations) return 0;
  const long n = ++fileOperations;
  if (fileFaultAt <= 0 || n < fileFaultAt || (n > fileFaultAt && !fileFaultFromThenOn)) return 0;
  if (fileFaultLanded.empty()) fileFaultLanded = std::string(kind) + " " + path;
  return fileFaultError;
}

namespace {
thread_local int foreignDepth = 0;
}  // namespace

ForeignFileScope::ForeignFileScope() { ++foreignDepth; }
ForeignFileScope::~ForeignFileScope() { --foreignDepth; }
bool ForeignFileScope::Active() { return foreignDepth > 0; }

}  // namespace rtl
