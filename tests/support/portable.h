// What the tests need of the operating system, written once for POSIX and
// Windows: the test program's folder, environment variables, temporary
// folders, shared-library file names, running a command line. Header-only,
// so that every test binary can use it whatever it links.
#pragma once
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/env.h"
#include "platform/library.h"
#include "platform/process.h"

namespace qortest {

// The folder of the running test program (where the build puts every
// program and library).
inline std::filesystem::path ProgramDir() {
  return std::filesystem::path(rtl::DefaultEnv()->ProgramPath()).parent_path();
}

inline void SetEnvVar(const char* name, const std::string& value) {
#ifdef _WIN32
  ::_putenv_s(name, value.c_str());
#else
  ::setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnvVar(const char* name) {
#ifdef _WIN32
  ::_putenv_s(name, "");
#else
  ::unsetenv(name);
#endif
}

// A new empty folder under the system's temporary folder, named
// prefix-<process>-<counter>-<random>. On Windows the name is an 8.3 name
// (two letters of the prefix and six random characters): the module works
// with short paths, and wine makes the short form of a longer name from a
// hash that two of the many folders a test run leaves can share, so a short
// path could name another test's folder.
inline std::filesystem::path MakeTempDir(const std::string& prefix) {
  static std::atomic<unsigned> counter{0};
  static std::mt19937_64 rng{std::random_device{}()};
  for (;;) {
#ifdef _WIN32
    std::string name;
    for (char c : prefix)
      if (name.size() < 2 && std::isalnum(static_cast<unsigned char>(c))) name += c;
    ++counter;
    for (std::uint64_t r = rng(); name.size() < 8; r /= 36) name += "0123456789abcdefghijklmnopqrstuvwxyz"[r % 36];
#else
    const std::string name = prefix + "-" + std::to_string(rtl::ProcessId()) + "-" + std::to_string(counter++) + "-" +
                             std::to_string(rng() % 1000000);
#endif
    std::filesystem::path dir = std::filesystem::temp_directory_path() / name;
    std::error_code ec;
    if (std::filesystem::create_directories(dir, ec)) return dir;
    if (ec) throw std::filesystem::filesystem_error("cannot make a temporary folder", dir, ec);
  }
}

// The file name of the shared library the build makes of `name`
// ("libX.so" here, "X.dll" on Windows; the vendor libraries and the module
// have no "lib" on Windows, and the project's own libraries keep it).
inline std::string SharedLibraryFile(const std::string& name, bool vendor = true) {
#ifdef _WIN32
  return (vendor ? "" : "lib") + name + ".dll";
#else
  (void)vendor;
  return "lib" + name + ".so";
#endif
}

// The file name of the program the build makes of `name` ("name" here,
// "name.exe" on Windows).
inline std::string ExecutableFile(const std::string& name) {
#ifdef _WIN32
  return name + ".exe";
#else
  return name;
#endif
}

// The id of a process that no longer runs: a child that has ended (POSIX),
// or an id no process has (Windows, whose ids are multiples of 4).
inline int DeadProcessId() {
#ifdef _WIN32
  for (int pid = 0x3FFFFC;; pid -= 4)
    if (!rtl::ProcessAlive(pid)) return pid;
#else
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return static_cast<int>(child);
#endif
}

// The id of another process that runs: this one's parent (POSIX), or the
// first one found (Windows).
inline int OtherLivingProcessId() {
#ifdef _WIN32
  for (int pid = 4;; pid += 4)
    if (pid != rtl::ProcessId() && rtl::ProcessAlive(pid)) return pid;
#else
  return static_cast<int>(::getppid());
#endif
}

// True when this Windows program runs under wine, which refuses to replace
// or rename over a file that another handle holds open even when that
// handle shares deletion (Windows allows it).
inline bool UnderWine() {
#ifdef _WIN32
  void* ntdll = rtl::LoadLibraryByName("ntdll.dll");
  return ntdll && rtl::GetLibrarySymbol(ntdll, "wine_get_version");
#else
  return false;
#endif
}

// A path or argument quoted for the system's command interpreter.
inline std::string Quote(const std::string& s) {
#ifdef _WIN32
  return "\"" + s + "\"";
#else
  std::string r = "'";
  for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
#endif
}

// The command that makes dir the current folder (on Windows also its drive).
inline std::string ChangeDirCommand(const std::string& dir) {
#ifdef _WIN32
  return "cd /d " + Quote(dir);
#else
  return "cd " + Quote(dir);
#endif
}

// Runs a command line through the system's interpreter; its exit code.
inline int RunCommand(const std::string& command) {
#ifdef _WIN32
  // cmd /c takes off one pair of outer quotes.
  return std::system(("\"" + command + "\"").c_str());
#else
  const int status = std::system(command.c_str());
  return status == -1 ? -1 : WEXITSTATUS(status);
#endif
}

}  // namespace qortest
