// Internal to the run-time layer: the few calls that differ between
// operating systems, implemented in os_posix.cpp (a Windows port adds
// os_windows.cpp). Nothing outside platform/*.cpp includes this.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
// False when the open file is no longer the file at path (deleted, renamed
// away, or replaced by another file of its name: compared by file identity),
// or cannot be examined.
bool StillNamed(int fd, const std::string& path);
void CloseFile(int fd);

// An exclusive lock on a file, among processes and among the opens of one
// process: the file is created when missing and the lock taken at once,
// never waited for. Returns the lock's handle; -1 when another holder has
// the lock (*busy true) or the file cannot be opened or locked (*busy false,
// the reason in *error). The lock lasts until UnlockFile, or the end of the
// process; a program that a child process starts does not inherit it.
int LockFile(const std::string& path, bool* busy, std::string* error);
// Replaces the locked file's contents (who holds it, for the message a
// refused holder gives); false when they cannot be written.
bool WriteLockedFile(int handle, std::string_view data);
// The contents of a file ("" when it cannot be read); for the text a lock's
// holder wrote into it.
std::string ReadSmallFile(const std::string& path);
void UnlockFile(int handle);

// Files reached one name at a time below a folder, never through a
// symbolic link (the link itself is refused, wherever it points).
enum class AtFailure { None, Missing, Link, NotAFolder, NotAFile, Other };
// Opens the folder `name` inside the open folder `dir` (a single name, no
// separator), creating it when missing and `create`; `dir` -1 opens the
// path `name` as it is (links in it followed). The handle, or -1 with the
// kind of failure in *why and its text in *error.
int OpenFolderAt(int dir, const std::string& name, bool create, AtFailure* why, std::string* error);
// Opens the regular file `name` inside the open folder `dir` for reading;
// *links gets its number of names (hard links). -1 as OpenFolderAt.
int OpenFileAt(int dir, const std::string& name, int* links, AtFailure* why, std::string* error);
// Reads an open file to its end.
bool ReadOpenFile(int fd, std::string* data, std::string* error);
// True when `name` inside the open folder `dir` is a symbolic link.
bool IsLinkAt(int dir, const std::string& name);
// Writes data to a new file beside `name` inside the open folder `dir`,
// flushes it and renames it over `name`: the name then holds the new
// contents whole, whatever it was before (a link or another file's second
// name is replaced, never written through). The new file is named
// name + ".tmp" + process id + "_" + n, as WriteFileAtomic's are.
bool ReplaceFileAt(int dir, const std::string& name, std::string_view data, std::string* error);

}  // namespace rtl::os

// ---- Below: the calls the Windows port moved behind this seam (files kept
// open at offsets, copies, replacing renames, the system's folders, the
// terminal, the end of the process).

namespace rtl::os {

// The system folder: GetSystemDirectoryA on Windows, "/etc" on POSIX.
std::string SystemDirectory();
// The short (8.3) form of an existing path (GetShortPathNameA); the path
// unchanged where there is none (POSIX, or a path that does not exist).
std::string ShortPath(const std::string& path);
// The path in UTF-8, as libraries taking UTF-8 file names (SQLite) want it:
// on Windows converted from the ANSI code page, in which this layer's
// paths are; unchanged on POSIX.
std::string Utf8Path(const std::string& path);

// Copies a file, over an existing target unless failIfExists. 0 on success,
// else the system's error number (errno on POSIX, GetLastError on Windows).
int CopyFileOver(const std::string& from, const std::string& to, bool failIfExists);
// Renames from over an existing to in one step (readers see the old or
// the new file). On Windows a target held open by another process without
// delete sharing (a reader, a backup program, an antivirus) is retried for
// a short while. False with a text in *error on failure.
bool RenameOver(const std::string& from, const std::string& to, std::string* error);

// A file opened for reading and writing, created when missing; with append,
// every write lands at the end. -1 with a text in *error on failure. Readers
// and writers of this layer share files with delete sharing on Windows, so
// that another process may replace or delete a file they hold open.
int OpenReadWrite(const std::string& path, bool append, std::string* error);
// A file opened for reading only; -1 with a text in *error on failure.
int OpenRead(const std::string& path, std::string* error);
// The size of an open file; -1 when it cannot be examined.
int64_t OpenFileSize(int fd);
// Reads up to n bytes at offset: the number read (0 at the end), -1 on failure.
int64_t ReadAt(int fd, int64_t offset, char* buf, size_t n);
// Writes all of data at offset (a file opened without append).
bool WriteAt(int fd, int64_t offset, std::string_view data);
// Flushes an open file to the disk.
bool SyncFile(int fd);

// True when the standard input is a terminal (a person may answer).
bool StdinIsTerminal();
// Ends the process at once, as a crash would: no handlers, no flushing.
[[noreturn]] void KillProcessNow();
// Ends the process at once with `status`: no handlers, no flushing, and on
// Windows no library's clean-up either (TerminateProcess, where _exit
// would still run every DLL's detaching code).
[[noreturn]] void ExitProcessNow(int status);
// Standard output and error written as bytes, without the C run-time's
// line-end translation (Windows); nothing to do on POSIX.
void BinaryStandardStreams();

}  // namespace rtl::os

// ---- Below: what hosts of the resident driver need (its C entry finding
// the module beside itself, its benchmark driving other programs).

namespace rtl::os {

// The file of the executable or shared library that holds `address` ("" if
// unknown): how a library finds the folder it was loaded from.
std::string ModulePathOf(const void* address);

// A child process running argv[0] (a path) with argv, its standard input and
// output connected to pipes of this process, its standard error this
// process's. False with the reason in *error when it cannot start.
struct Child {
  int pid = -1;
  int input = -1;   // written by this process: the child's standard input
  int output = -1;  // read by this process: the child's standard output
};
bool SpawnWithPipes(const std::vector<std::string>& argv, Child* child, std::string* error);
// Writes all of data to a pipe; false when the other end is gone.
bool WriteToPipe(int fd, std::string_view data);
// Reads at most n bytes, waiting for at least one: the count, 0 at the end, -1 on error.
long ReadSome(int fd, char* buf, size_t n);
// Asks the child to end (SIGTERM; TerminateProcess on Windows).
void StopChild(int pid);
// Ends the child at once, as a crash would (SIGKILL; TerminateProcess with
// 137 on Windows): WaitChild then reads 137 on every system, as it does for
// a process that ended itself with KillProcessNow.
void KillChild(int pid);
// Waits for the child to end: its exit status, or 128 + the signal that ended it.
int WaitChild(int pid);

// The processor time this process has used so far (all its threads), in seconds.
double ProcessCpuSeconds();

}  // namespace rtl::os
