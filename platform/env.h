// The seam to everything outside the process that the module and the host
// touch through the run-time layer: the clock, the host program's folder,
// the system folder, loading libraries, waiting, and the application object.
// Tests and hosts replace it (EnvWrapper forwards everything, so a test
// overrides one call).
#pragma once
#include <cerrno>
#include <string>

#include "datetime.h"

namespace rtl {

class Env {
 public:
  virtual ~Env() = default;
  // Local date-time now.
  virtual TDateTime Now() = 0;
  // Full path of the running host program (the process's executable).
  virtual std::string ProgramPath() = 0;
  // The system folder (where a vendor library's INI file may live).
  virtual std::string SystemDirectory() = 0;
  // The short form of a path (identity where the platform has none).
  virtual std::string ShortPath(const std::string& path) = 0;
  // Loads a shared library by name ("Elgin.dll") or path; null on failure.
  virtual void* LoadLibrary(const std::string& name) = 0;
  // Resolves an entry point; null when missing.
  virtual void* GetProcAddress(void* lib, const std::string& name) = 0;
  virtual void Sleep(int ms) = 0;
  // The application object.
  virtual void ProcessMessages() = 0;
  virtual void Terminate() = 0;
  virtual bool Terminated() = 0;
  // A named point inside an operation that must survive the process dying
  // there ("WriteFileAtomic": the new file is written beside the old one,
  // not yet renamed over it; `detail` is the target's path). Nothing happens
  // by default; a crash test's host may end the process there.
  virtual void Reached(const char* point, const std::string& detail) {}
  // Each file operation of the run-time layer (platform/files.h) that opens,
  // creates, changes or removes a file or folder asks here first, naming
  // what it is about to do ("read", "write", "replace", "append", "copy",
  // "rename", "delete", "mkdir") and the path as given. A non-zero answer is
  // the system's error number (errno) the operation then fails with, as if
  // the disk had answered it: nothing is done, and the routine fails its
  // usual way (raises its EInOutError or EFOpenError, or answers false).
  // 0 lets it run. Queries (exists, size, search) do not ask, nor do the
  // file operations of a library the program calls into (ForeignFileScope).
  virtual int FileOperation(const char* kind, const std::string& path) { return 0; }
};

// The default: the real clock, /proc/self/exe, dlopen (see library.h).
Env* DefaultEnv();
// The Env in force (default unless replaced).
Env* CurrentEnv();
// Replace the Env in force; null restores the default. Returns the previous one.
Env* SetEnv(Env* env);

class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}
  TDateTime Now() override { return target_->Now(); }
  std::string ProgramPath() override { return target_->ProgramPath(); }
  std::string SystemDirectory() override { return target_->SystemDirectory(); }
  std::string ShortPath(const std::string& p) override { return target_->ShortPath(p); }
  void* LoadLibrary(const std::string& n) override { return target_->LoadLibrary(n); }
  void* GetProcAddress(void* l, const std::string& n) override { return target_->GetProcAddress(l, n); }
  void Sleep(int ms) override { target_->Sleep(ms); }
  void ProcessMessages() override { target_->ProcessMessages(); }
  void Terminate() override { target_->Terminate(); }
  bool Terminated() override { return target_->Terminated(); }
  void Reached(const char* point, const std::string& detail) override { target_->Reached(point, detail); }
  int FileOperation(const char* kind, const std::string& path) override { return target_->FileOperation(kind, path); }
  Env* target() const { return target_; }

 private:
  Env* target_;
};

// Convenience over CurrentEnv().
std::string ParamStr0();             // ProgramPath()
std::string ProgramDir();            // folder of ProgramPath(), no trailing separator
void ProcessMessages();
void Terminate();

// A settable Env for tests and hosts: fixed clock (or offset), program path,
// system folder; everything else forwarded to the default.
class ConfigurableEnv : public EnvWrapper {
 public:
  ConfigurableEnv() : EnvWrapper(DefaultEnv()) {}
  bool clockFrozen = false;
  TDateTime frozenNow = 0;
  std::string programPath;      // "" = default
  std::string systemDirectory;  // "" = default
  int processMessagesCalls = 0;
  bool terminateRequested = false;
  int sleptMs = 0;
  bool realSleep = false;

  TDateTime Now() override { return clockFrozen ? frozenNow : EnvWrapper::Now(); }
  std::string ProgramPath() override { return programPath.empty() ? EnvWrapper::ProgramPath() : programPath; }
  std::string SystemDirectory() override {
    return systemDirectory.empty() ? EnvWrapper::SystemDirectory() : systemDirectory;
  }
  void Sleep(int ms) override { sleptMs += ms; if (realSleep) EnvWrapper::Sleep(ms); }
  void ProcessMessages() override { ++processMessagesCalls; }
  void Terminate() override { terminateRequested = true; }
  bool Terminated() override { return terminateRequested; }

  // The program's own file operations (Env::FileOperation), counted from 1
  // while countFileOperations is on; the fileFaultAt-th fails with
  // fileFaultError, and so does every later one when fileFaultFromThenOn.
  // fileFaultAt 0: none fails.
  bool countFileOperations = true;
  long fileOperations = 0;
  long fileFaultAt = 0;
  bool fileFaultFromThenOn = false;
  int fileFaultError = ENOSPC;
  std::string fileFaultLanded;  // "kind path" of the first operation failed; "" none yet
  int FileOperation(const char* kind, const std::string& path) override;
};

// Installs an Env for a scope and restores the previous one after.
class ScopedEnv {
 public:
  explicit ScopedEnv(Env* e) : prev_(SetEnv(e)) {}
  ~ScopedEnv() { SetEnv(prev_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
 private:
  Env* prev_;
};

// While one lives (on this thread), the process runs a library it calls
// into, such as a vendor library: the file operations made meanwhile are
// that library's, not the program's, and the Env is not asked about them
// (Env::FileOperation). Scopes nest.
class ForeignFileScope {
 public:
  ForeignFileScope();
  ~ForeignFileScope();
  ForeignFileScope(const ForeignFileScope&) = delete;
  ForeignFileScope& operator=(const ForeignFileScope&) = delete;
  static bool Active();
};

}  // namespace rtl
