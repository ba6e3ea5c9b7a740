#include "platform/child_process.h"

#include "platform/os.h"

namespace rtl {

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                                        std::string* error) {
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  os::Child child;
  if (!os::SpawnWithPipes(argv, &child, error)) return nullptr;
  std::unique_ptr<ChildProcess> p(new ChildProcess());
  p->pid_ = child.pid;
  p->input_ = child.input;
  p->output_ = child.output;
  return p;
}

ChildProcess::~ChildProcess() {
  CloseInput();
  if (pid_ > 0 && status_ < 0) {
    Stop();
    Wait();
  }
  os::CloseFile(output_);
}

bool ChildProcess::Write(std::string_view data) { return input_ >= 0 && os::WriteToPipe(input_, data); }

bool ChildProcess::ReadLine(std::string& line) {
  while (true) {
    const size_t nl = buffered_.find('\n');
    if (nl != std::string::npos) {
      line = buffered_.substr(0, nl);
      buffered_.erase(0, nl + 1);
      return true;
    }
    char buf[65536];
    const long n = output_ >= 0 ? os::ReadSome(output_, buf, sizeof buf) : 0;
    if (n <= 0) {
      if (buffered_.empty()) return false;
      line.swap(buffered_);
      buffered_.clear();
      return true;
    }
    buffered_.append(buf, static_cast<size_t>(n));
  }
}

void ChildProcess::CloseInput() {
  os::CloseFile(input_);
  input_ = -1;
}

void ChildProcess::Stop() {
  if (status_ < 0) os::StopChild(pid_);
}

void ChildProcess::Kill() {
  if (status_ < 0) os::KillChild(pid_);
}

int ChildProcess::Wait() {
  if (status_ < 0 && pid_ > 0) status_ = os::WaitChild(pid_);
  return status_;
}

}  // namespace rtl
