// Another program run with pipes to its standard input and output (its
// standard error is this process's), for hosts and benchmarks that drive a
// program line by line the way a point-of-sale program drives a resident
// driver.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

class ChildProcess {
 public:
  // The status of a program ended at once (Kill, or rtl::KillProcessNow in
  // the program itself), the same on every system.
  static constexpr int kKilledStatus = 137;

  // Starts the program at the path `program` with `args`; null with the
  // reason in *error when it cannot start.
  static std::unique_ptr<ChildProcess> Start(const std::string& program, const std::vector<std::string>& args,
                                        std::string* error);
  // Stops the program when it still runs, and waits for it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Its process id.
  int Pid() const { return pid_; }
  // Writes to the program's standard input; false when it no longer reads.
  bool Write(std::string_view data);
  // The next line of its standard output, without the line end; false at the end.
  bool ReadLine(std::string& line);
  // Ends its standard input.
  void CloseInput();
  // Asks it to end.
  void Stop();
  // Ends it at once, as a crash would; Wait then answers kKilledStatus.
  void Kill();
  // Waits for it to end: its exit status, or 128 + the signal that ended it.
  int Wait();

 private:
  ChildProcess() = default;
  int pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int status_ = -1;
  std::string buffered_;
};

}  // namespace rtl
