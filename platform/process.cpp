// The running process (process.h), over the OS layer.
#include "platform/process.h"

#include "platform/os.h"

namespace rtl {

bool StdinIsTerminal() { return os::StdinIsTerminal(); }

void KillProcessNow() { os::KillProcessNow(); }

void ExitProcessNow(int status) { os::ExitProcessNow(status); }

void BinaryStandardStreams() { os::BinaryStandardStreams(); }

}  // namespace rtl

namespace rtl {

int ProcessId() { return os::ProcessId(); }

bool ProcessAlive(int pid) { return os::ProcessAlive(pid); }

double ProcessorSeconds() { return os::ProcessCpuSeconds(); }

}  // namespace rtl
