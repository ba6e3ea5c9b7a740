// The running process (process.h), over the OS layer.
#include "platform/process.h"

#include "platform/os.h"

namespace rtl {

bool StdinIsTerminal() { return os::StdinIsTerminal(); }

void KillProcessNow() { os::KillProcessNow(); }

}  // namespace rtl
