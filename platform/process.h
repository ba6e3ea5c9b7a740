// The running process as a host program sees it: whether a person can
// answer on the standard input, and ending at once as a crash would.
#pragma once

namespace rtl {

// True when the standard input is a terminal.
bool StdinIsTerminal();
// Ends the process at once: no handlers run, nothing is flushed.
[[noreturn]] void KillProcessNow();

}  // namespace rtl
