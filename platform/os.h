// Internal to the run-time layer: the few calls that differ between
// operating systems, implemented in os_posix.cpp (a Windows port adds
// os_windows.cpp). Nothing outside platform/*.cpp includes this.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace rtl::os {

struct CalendarTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
};

// The local calendar time now, with milliseconds.
CalendarTime LocalNow();
// Seconds since the Unix epoch <-> local calendar time.
CalendarTime LocalFromUnix(int64_t secs);
int64_t UnixFromLocal(const CalendarTime& t);

// Full path of the running executable ("" if unknown).
std::string ExecutablePath();
// An environment variable ("" when unset).
std::string GetEnvVar(const char* name);
int ProcessId();
// True while a process with this id exists.
bool ProcessAlive(int pid);

// Shared libraries (local symbol scope, all symbols bound at load).
void* OpenLibrary(const std::string& path, std::string* error);
void* LibrarySymbol(void* lib, const std::string& name);
// File names of the shared-library forms of "X" ("libX.so", "X.so").
const char* SharedLibraryPrefix();   // "lib"
const char* SharedLibrarySuffix();   // ".so"
// Separator of folder lists in environment variables (':' here, ';' on Windows).
char PathListSeparator();

// Writes data to a new file (replacing any existing one) and flushes it to
// the disk. False with errno-based text in *error on failure.
bool WriteFileSynced(const std::string& path, std::string_view data, std::string* error);
// Appends data to a file (created if missing) and flushes it to the disk.
bool AppendFileSynced(const std::string& path, std::string_view data, std::string* error);
// Flushes a folder's entries (after a rename); best effort.
void SyncDirectory(const std::string& dir);

// A file kept open for appending: every write lands at the current end of
// the file, whoever else appends to it. OpenAppend creates the file when
// missing; -1 with errno-based text in *error on failure.
int OpenAppend(const std::string& path, std::string* error);
// Hands all of data to the operating system (no flush to the disk).
bool WriteAppend(int fd, std::string_view data, const std::string& path, std::string* error);
// False when the open file no longer has a name (deleted, or replaced by
// another file of its name), or cannot be examined.
bool StillNamed(int fd);
void CloseFile(int fd);

}  // namespace rtl::os
