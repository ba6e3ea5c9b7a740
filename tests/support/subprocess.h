// Another process for a test, the same way on every system: a program
// started with its standard output collected as it comes, ended at once as
// a crash would, waited for; and a piece of a test run in a process of its
// own (a "role"), by starting the test program again.
//
// A role is a function of text arguments, registered by name at the test
// file's level (QORTEST_CHILD_ROLE); the test starts it with
// qortest::Subprocess::Role(name, args). The new process is the same test
// program with --gtest_filter naming the running test and the role's name
// and arguments in its environment: before any test runs it plays the role
// and ends with the role's answer as exit status, without cleaning up
// (rtl::ExitProcessNow: no library's clean-up runs on any system; a role
// that wants the process's clean end calls std::exit). A
// role shares nothing with the test but its arguments and the files they
// name, on every system (no fork: Windows has none).
//
// A process that ends at once (Subprocess::Kill, or rtl::KillProcessNow in
// the process itself) reads kKilledStatus when waited for, on every system.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/child_process.h"
#include "platform/env.h"
#include "platform/process.h"
#include "tests/support/portable.h"

namespace qortest {

constexpr int kKilledStatus = rtl::ChildProcess::kKilledStatus;

using ChildRole = int (*)(const std::vector<std::string>& args);

inline std::map<std::string, ChildRole>& ChildRoles() {
  static std::map<std::string, ChildRole> roles;
  return roles;
}

// Registers a role under its name (once per test program).
inline bool RegisterChildRole(const char* name, ChildRole role) {
  if (!ChildRoles().emplace(name, role).second) {
    std::cerr << "two child roles named " << name << "\n";
    std::abort();
  }
  return true;
}

// Defines and registers the role `name`; its body sees `args` and returns
// the process's exit status.
#define QORTEST_CHILD_ROLE(name)                                                        \
  int name(const std::vector<std::string>& args);                                       \
  [[maybe_unused]] const bool name##Registered = ::qortest::RegisterChildRole(#name, name); \
  int name(const std::vector<std::string>& args)

namespace subprocess_detail {

constexpr const char* kRoleVar = "QORTEST_CHILD_ROLE";
constexpr const char* kArgsVar = "QORTEST_CHILD_ARGS";
constexpr char kArgSeparator = '\x1f';

// In a process started to play a role: plays it before any test, and ends.
class RoleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* role = std::getenv(kRoleVar);
    if (!role || !*role) return;
    std::vector<std::string> args;
    if (const char* packed = std::getenv(kArgsVar); packed && *packed) {
      std::string arg;
      for (const char* c = packed + 1; *c; ++c) {  // the text starts with a separator
        if (*c == kArgSeparator) {
          args.push_back(arg);
          arg.clear();
        } else {
          arg += *c;
        }
      }
      args.push_back(arg);
    }
    int status = 126;
    const auto found = ChildRoles().find(role);
    if (found == ChildRoles().end()) {
      std::cerr << "no child role named " << role << "\n";
    } else {
      try {
        status = found->second(args);
        if (status == 0 && ::testing::Test::HasFailure()) status = 1;
      } catch (const std::exception& e) {
        std::cerr << "child role " << role << " raised: " << e.what() << "\n";
        status = 125;
      } catch (...) {
        std::cerr << "child role " << role << " raised\n";
        status = 125;
      }
    }
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    rtl::ExitProcessNow(status);
  }
};

inline const bool kEnvironmentAdded = (::testing::AddGlobalTestEnvironment(new RoleEnvironment), true);

}  // namespace subprocess_detail

class Subprocess {
 public:
  // Starts `program` (a path) with `args`, and for it only the environment
  // variables `env`. Its standard input is closed at once unless `input`
  // (then Write feeds it); its standard output is collected (Output); its
  // standard error is this process's.
  Subprocess(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::pair<std::string, std::string>>& env = {}, bool input = false) {
    std::vector<std::pair<std::string, std::string>> saved;
    for (const auto& [name, value] : env) {
      const char* old = std::getenv(name.c_str());
      saved.emplace_back(name, old ? old : "");
      SetEnvVar(name.c_str(), value);
    }
    child_ = rtl::ChildProcess::Start(program, args, &error_);
    for (const auto& [name, value] : saved) {
      if (value.empty()) UnsetEnvVar(name.c_str());
      else SetEnvVar(name.c_str(), value);
    }
    if (!child_) {
      ended_ = true;
      return;
    }
    if (!input) child_->CloseInput();
    reader_ = std::thread([this] {
      std::string line;
      while (child_->ReadLine(line)) {
        std::lock_guard<std::mutex> lock(mutex_);
        output_ += line + "\n";
      }
      ended_ = true;
    });
  }

  // Starts this test program again to play `role` with `args`.
  static std::unique_ptr<Subprocess> Role(const std::string& role, const std::vector<std::string>& args = {}) {
    std::string packed;
    for (const std::string& a : args) packed += subprocess_detail::kArgSeparator + a;
    if (packed.empty()) packed = " ";  // an empty variable is no variable on Windows
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        test ? std::string(test->test_suite_name()) + "." + test->name() : std::string("*");
    return std::make_unique<Subprocess>(
        rtl::DefaultEnv()->ProgramPath(), std::vector<std::string>{"--gtest_filter=" + filter},
        std::vector<std::pair<std::string, std::string>>{{subprocess_detail::kRoleVar, role},
                                                         {subprocess_detail::kArgsVar, packed}});
  }

  // Kills it when it still runs, and waits for it.
  ~Subprocess() {
    if (child_ && status_ < 0) {
      child_->Kill();
      Wait();
    }
  }
  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;

  // False when it could not start (Error says why).
  bool Started() const { return child_ != nullptr; }
  const std::string& Error() const { return error_; }

  int Pid() const { return child_ ? child_->Pid() : -1; }
  // Writes to its standard input (when kept open); false when it no longer reads.
  bool Write(const std::string& text) { return child_ && child_->Write(text); }
  void CloseInput() {
    if (child_) child_->CloseInput();
  }

  // What it wrote on its standard output so far, its lines ended by "\n".
  std::string Output() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
  }
  // True once its standard output is closed: it has ended (or closed it).
  bool OutputEnded() const { return ended_; }

  // Ends it at once, as a crash would.
  void Kill() {
    if (child_ && status_ < 0) child_->Kill();
  }

  // Waits for it to end: its exit status, kKilledStatus when it was ended
  // at once, -1 when it never started.
  int Wait() {
    if (!child_) return -1;
    if (status_ < 0) {
      status_ = child_->Wait();
      if (reader_.joinable()) reader_.join();
    }
    return status_;
  }

 private:
  std::unique_ptr<rtl::ChildProcess> child_;
  std::string error_;
  std::thread reader_;
  mutable std::mutex mutex_;
  std::string output_;
  std::atomic<bool> ended_{false};
  int status_ = -1;
};

// Plays `role` with `args` in a process of its own, and waits for it: its
// exit status.
inline int RunChildRole(const std::string& role, const std::vector<std::string>& args = {}) {
  return Subprocess::Role(role, args)->Wait();
}

}  // namespace qortest
