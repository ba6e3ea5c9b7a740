// The running process as a host program sees it: whether a person can
// answer on the standard input, and ending at once as a crash would.
#pragma once

namespace rtl {

// True when the standard input is a terminal.
bool StdinIsTerminal();
// Ends the process at once: no handlers run, nothing is flushed.
[[noreturn]] void KillProcessNow();
// Ends the process at once with `status`: no handlers run, nothing is
// flushed, no library cleans up (on Windows either).
[[noreturn]] void ExitProcessNow(int status);
// Standard output and error as bytes: a line feed stays a line feed on
// Windows too, so a program's output is the same on every system.
void BinaryStandardStreams();

}  // namespace rtl

namespace rtl {

// This process's id.
int ProcessId();
// True while a process with this id exists.
bool ProcessAlive(int pid);

// The processor time this process has used so far (all its threads), in seconds.
double ProcessorSeconds();

}  // namespace rtl
