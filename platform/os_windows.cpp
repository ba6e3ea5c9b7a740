// The Windows side of os.h: every direct Windows call of the project lives
// here, and <windows.h> is included nowhere else (its CopyFile, DeleteFile
// and LoadLibrary macros would clash with the run-time layer's names).
//
// Paths are texts in the ANSI code page and go to the ANSI ("A") calls.
// Files are opened with read, write and delete sharing, so that another
// process (a reader, a backup program, an antivirus, a cleanup tool) may
// read, replace or delete a file this process holds open; an open file is
// a C run-time descriptor over the Windows handle (binary mode: no byte is
// ever translated), and reads and writes go to the handle.
#include "platform/os.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>

namespace rtl::os {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string ErrorText(DWORD code) {
  char* buf = nullptr;
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<char*>(&buf), 0, nullptr);
  std::string text = n && buf ? std::string(buf, n) : "error " + std::to_string(code);
  if (buf) ::LocalFree(buf);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string LastErrorText(const std::string& what, const std::string& path) {
  return what + " \"" + path + "\": " + ErrorText(::GetLastError());
}

HANDLE Handle(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// A descriptor over a handle (closing the descriptor closes the handle).
int Descriptor(HANDLE h, int flags) {
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
  if (fd < 0) ::CloseHandle(h);
  return fd;
}

bool WriteAll(HANDLE h, std::string_view data, OVERLAPPED* at) {
  while (!data.empty()) {
    DWORD chunk = data.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(data.size());
    DWORD n = 0;
    if (!::WriteFile(h, data.data(), chunk, &n, at) || n == 0) return false;
    data.remove_prefix(n);
    if (at) {
      ULARGE_INTEGER off;
      off.LowPart = at->Offset;
      off.HighPart = at->OffsetHigh;
      off.QuadPart += n;
      at->Offset = off.LowPart;
      at->OffsetHigh = off.HighPart;
    }
  }
  return true;
}

OVERLAPPED At(int64_t offset) {
  OVERLAPPED o{};
  ULARGE_INTEGER off;
  off.QuadPart = static_cast<ULONGLONG>(offset);
  o.Offset = off.LowPart;
  o.OffsetHigh = off.HighPart;
  return o;
}

bool WriteAndSync(const std::string& path, std::string_view data, bool append, std::string* error) {
  HANDLE h = ::CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, kShareAll, nullptr,
                           append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = LastErrorText("Cannot open file", path);
    return false;
  }
  bool ok = WriteAll(h, data, nullptr) && ::FlushFileBuffers(h);
  if (!ok && error) *error = LastErrorText("Cannot write file", path);
  ::CloseHandle(h);
  return ok;
}

CalendarTime FromTm(const struct tm& tm, int msec) {
  CalendarTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  t.msec = msec;
  return t;
}

// The identity of an open file: its volume and its index there.
bool Identity(HANDLE h, BY_HANDLE_FILE_INFORMATION& info) { return ::GetFileInformationByHandle(h, &info) != 0; }

}  // namespace

CalendarTime LocalNow() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  CalendarTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond > 59 ? 59 : st.wSecond;
  t.msec = st.wMilliseconds;
  return t;
}

CalendarTime LocalFromUnix(int64_t secs) {
  __time64_t t = static_cast<__time64_t>(secs);
  struct tm tm;
  if (::_localtime64_s(&tm, &t) != 0) return CalendarTime{};
  return FromTm(tm, 0);
}

int64_t UnixFromLocal(const CalendarTime& t) {
  struct tm tm {};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(::_mktime64(&tm));
}

std::string ExecutablePath() {
  char buf[MAX_PATH * 4];
  DWORD n = ::GetModuleFileNameA(nullptr, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return std::string();
  return std::string(buf, n);
}

std::string GetEnvVar(const char* name) {
  char small[512];
  DWORD n = ::GetEnvironmentVariableA(name, small, sizeof small);
  if (n == 0) return std::string();
  if (n < sizeof small) return std::string(small, n);
  std::string big(n, '\0');
  n = ::GetEnvironmentVariableA(name, big.data(), static_cast<DWORD>(big.size()));
  big.resize(n < big.size() ? n : 0);
  return big;
}

int ProcessId() { return static_cast<int>(::GetCurrentProcessId()); }

bool ProcessAlive(int pid) {
  if (pid <= 0) return false;
  HANDLE h = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (!h) return ::GetLastError() == ERROR_ACCESS_DENIED;  // exists, someone else's
  const bool running = ::WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  ::CloseHandle(h);
  return running;
}

void* OpenLibrary(const std::string& path, std::string* error) {
  // A path with a folder: the libraries it needs are looked for beside it first.
  const bool hasFolder = path.find_first_of("\\/") != std::string::npos;
  HMODULE h = ::LoadLibraryExA(path.c_str(), nullptr, hasFolder ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
  if (!h && error) *error = ErrorText(::GetLastError());
  return reinterpret_cast<void*>(h);
}

void* LibrarySymbol(void* lib, const std::string& name) {
  if (!lib) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(lib), name.c_str()));
}

const char* SharedLibraryPrefix() { return ""; }
const char* SharedLibrarySuffix() { return ".dll"; }
char PathListSeparator() { return ';'; }

bool WriteFileSynced(const std::string& path, std::string_view data, std::string* error) {
  return WriteAndSync(path, data, false, error);
}

bool AppendFileSynced(const std::string& path, std::string_view data, std::string* error) {
  return WriteAndSync(path, data, true, error);
}

// A folder's entries are written through by the file system's own journal;
// there is nothing to flush.
void SyncDirectory(const std::string&) {}

int OpenAppend(const std::string& path, std::string* error) {
  HANDLE h = ::CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = LastErrorText("Cannot open file", path);
    return -1;
  }
  int fd = Descriptor(h, _O_APPEND | _O_WRONLY);
  if (fd < 0 && error) *error = "Cannot open file \"" + path + "\": no descriptor left";
  return fd;
}

bool WriteAppend(int fd, std::string_view data, const std::string& path, std::string* error) {
  if (WriteAll(Handle(fd), data, nullptr)) return true;
  if (error) *error = LastErrorText("Cannot write file", path);
  return false;
}

// A file deleted while open is only marked for deletion while it is held
// (its name may even stay until the last handle closes), and a file renamed
// away keeps its handle: the open file is still the file at path only when
// it is not marked for deletion and the path's file is the very same file.
bool StillNamed(int fd, const std::string& path) {
  HANDLE h = Handle(fd);
  FILE_STANDARD_INFO standard{};
  if (!::GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard) || standard.DeletePending)
    return false;
  HANDLE byName = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (byName == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a, b;
  const bool same = Identity(h, a) && Identity(byName, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                    a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  ::CloseHandle(byName);
  return same;
}

void CloseFile(int fd) {
  if (fd >= 0) ::_close(fd);
}

// ---- Locks and files reached one name at a time.

// The lock is a byte-range lock far beyond the file's contents, so that the
// holder's text stays readable by whoever is refused. Byte-range locks
// belong to the handle: a second open in this process is refused as well.
namespace {
constexpr DWORD kLockOffsetHigh = 0x40000000u;
}  // namespace

int LockFile(const std::string& path, bool* busy, std::string* error) {
  *busy = false;
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = LastErrorText("Cannot open file", path);
    return -1;
  }
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD code = ::GetLastError();
    *busy = code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING;
    if (error) *error = "Cannot lock file \"" + path + "\": " + ErrorText(code);
    ::CloseHandle(h);
    return -1;
  }
  int fd = Descriptor(h, _O_RDWR);
  if (fd < 0 && error) *error = "Cannot open file \"" + path + "\": no descriptor left";
  return fd;
}

bool WriteLockedFile(int handle, std::string_view data) {
  if (handle < 0) return false;
  HANDLE h = Handle(handle);
  LARGE_INTEGER zero{};
  if (!::SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) || !::SetEndOfFile(h)) return false;
  return WriteAll(h, data, nullptr);
}

std::string ReadSmallFile(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  std::string data;
  char buf[512];
  DWORD n = 0;
  while (::ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) data.append(buf, n);
  ::CloseHandle(h);
  return data;
}

// Closing the handle lets the lock go.
void UnlockFile(int handle) { CloseFile(handle); }

namespace {

AtFailure FailureOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return AtFailure::Missing;
    case ERROR_DIRECTORY: return AtFailure::NotAFolder;
    default: return AtFailure::Other;
  }
}

// A single name: no separator, drive or stream mark, not "." or "..", not empty.
bool SingleName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of(std::string("/\\:\0", 4)) == std::string::npos;
}

// The path of the open folder `dir` now (wherever it was moved), with `name` below it.
bool PathAt(int dir, const std::string& name, std::string* path) {
  char buf[MAX_PATH * 4];
  const DWORD n = ::GetFinalPathNameByHandleA(Handle(dir), buf, sizeof buf, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= sizeof buf) return false;
  *path = std::string(buf, n);
  if (path->back() != '\\') *path += '\\';
  *path += name;
  return true;
}

// Opens a name without following it when it is a link (a reparse point).
HANDLE OpenNoFollow(const std::string& path, DWORD access, DWORD share) {
  return ::CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

// A folder is held without delete sharing: it cannot be renamed or removed
// while it is open, so a name below it reaches below it.
int OpenFolderAt(int dir, const std::string& name, bool create, AtFailure* why, std::string* error) {
  *why = AtFailure::None;
  if (dir >= 0 && !SingleName(name)) {
    *why = AtFailure::Other;
    if (error) *error = "\"" + name + "\" is not a single name";
    return -1;
  }
  std::string path = name;
  if (dir >= 0 && !PathAt(dir, name, &path)) {
    *why = AtFailure::Other;
    if (error) *error = LastErrorText("Cannot open folder", name);
    return -1;
  }
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (dir < 0 ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  auto open = [&] { return ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, flags, nullptr); };
  HANDLE h = open();
  if (h == INVALID_HANDLE_VALUE && create && dir >= 0 && FailureOf(::GetLastError()) == AtFailure::Missing) {
    if (::CreateDirectoryA(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) h = open();
  }
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    *why = FailureOf(code);
    if (error) *error = "Cannot open folder \"" + name + "\": " + ErrorText(code);
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!Identity(h, info) || (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) !=
                                FILE_ATTRIBUTE_DIRECTORY) {
    *why = info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? AtFailure::Link : AtFailure::NotAFolder;
    if (error) *error = "Cannot open folder \"" + name + "\": " + (*why == AtFailure::Link ? "a link" : "not a folder");
    ::CloseHandle(h);
    return -1;
  }
  int fd = Descriptor(h, _O_RDONLY);
  if (fd < 0) {
    *why = AtFailure::Other;
    if (error) *error = "Cannot open folder \"" + name + "\": no descriptor left";
  }
  return fd;
}

int OpenFileAt(int dir, const std::string& name, int* links, AtFailure* why, std::string* error) {
  *why = AtFailure::None;
  std::string path;
  if (!SingleName(name) || !PathAt(dir, name, &path)) {
    *why = AtFailure::Other;
    if (error) *error = "\"" + name + "\" is not a single name";
    return -1;
  }
  HANDLE h = OpenNoFollow(path, GENERIC_READ, kShareAll);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    *why = FailureOf(code);
    if (error) *error = "Cannot open file \"" + name + "\": " + ErrorText(code);
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = Identity(h, info) && ::GetFileType(h) == FILE_TYPE_DISK;
  if (!known || (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
    *why = known && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? AtFailure::Link : AtFailure::NotAFile;
    if (error) *error = "\"" + name + "\" is not a regular file";
    ::CloseHandle(h);
    return -1;
  }
  *links = static_cast<int>(info.nNumberOfLinks);
  int fd = Descriptor(h, _O_RDONLY);
  if (fd < 0) {
    *why = AtFailure::Other;
    if (error) *error = "Cannot open file \"" + name + "\": no descriptor left";
  }
  return fd;
}

bool ReadOpenFile(int fd, std::string* data, std::string* error) {
  data->clear();
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(Handle(fd), buf, sizeof buf, &n, nullptr)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) return true;
      if (error) *error = "Cannot read file: " + ErrorText(::GetLastError());
      return false;
    }
    if (n == 0) return true;
    data->append(buf, n);
  }
}

bool IsLinkAt(int dir, const std::string& name) {
  std::string path;
  if (!SingleName(name) || !PathAt(dir, name, &path)) return false;
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool ReplaceFileAt(int dir, const std::string& name, std::string_view data, std::string* error) {
  std::string path;
  if (!SingleName(name) || !PathAt(dir, name, &path)) {
    if (error) *error = "\"" + name + "\" is not a single name";
    return false;
  }
  static unsigned counter = 0;
  const std::string tmp = path + ".tmp" + std::to_string(ProcessId()) + "_" + std::to_string(counter++);
  HANDLE h = ::CreateFileA(tmp.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = LastErrorText("Cannot create file", name);
    return false;
  }
  const bool written = WriteAll(h, data, nullptr) && ::FlushFileBuffers(h);
  const std::string writeError = written ? std::string() : LastErrorText("Cannot write file", name);
  ::CloseHandle(h);
  // The rename replaces the name itself, a link included, never what it points to.
  if (!written || !RenameOver(tmp, path, error)) {
    ::DeleteFileA(tmp.c_str());
    if (!written && error) *error = writeError;
    return false;
  }
  return true;
}

// ---- The calls the Windows port moved behind the seam.

std::string SystemDirectory() {
  char buf[MAX_PATH];
  UINT n = ::GetSystemDirectoryA(buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return std::string();
  return std::string(buf, n);
}

std::string ShortPath(const std::string& path) {
  DWORD n = ::GetShortPathNameA(path.c_str(), nullptr, 0);
  if (n == 0) return path;
  std::string s(n, '\0');
  n = ::GetShortPathNameA(path.c_str(), s.data(), n);
  if (n == 0 || n >= s.size()) return path;
  s.resize(n);
  return s;
}

std::string Utf8Path(const std::string& path) {
  if (path.empty()) return path;
  int wn = ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  if (wn <= 0) return path;
  std::wstring w(static_cast<size_t>(wn), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), w.data(), wn);
  int un = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
  if (un <= 0) return path;
  std::string u(static_cast<size_t>(un), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w.data(), wn, u.data(), un, nullptr, nullptr);
  return u;
}

int CopyFileOver(const std::string& from, const std::string& to, bool failIfExists) {
  if (::CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE)) return 0;
  return static_cast<int>(::GetLastError());
}

bool RenameOver(const std::string& from, const std::string& to, std::string* error) {
  // Held open without delete sharing by someone else: a short retry (about
  // a second in all) before giving up.
  for (int attempt = 0;; ++attempt) {
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD code = ::GetLastError();
    if ((code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION) || attempt == 20) {
      if (error) *error = "Cannot replace file \"" + to + "\": " + ErrorText(code);
      return false;
    }
    ::Sleep(50);
  }
}

int OpenReadWrite(const std::string& path, bool append, std::string* error) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | (append ? FILE_APPEND_DATA : GENERIC_WRITE), kShareAll,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = LastErrorText("Cannot open file", path);
    return -1;
  }
  int fd = Descriptor(h, _O_RDWR | (append ? _O_APPEND : 0));
  if (fd < 0 && error) *error = "Cannot open file \"" + path + "\": no descriptor left";
  return fd;
}

int OpenRead(const std::string& path, std::string* error) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = LastErrorText("Cannot open file", path);
    return -1;
  }
  int fd = Descriptor(h, _O_RDONLY);
  if (fd < 0 && error) *error = "Cannot open file \"" + path + "\": no descriptor left";
  return fd;
}

int64_t OpenFileSize(int fd) {
  LARGE_INTEGER size;
  return ::GetFileSizeEx(Handle(fd), &size) ? static_cast<int64_t>(size.QuadPart) : -1;
}

int64_t ReadAt(int fd, int64_t offset, char* buf, size_t n) {
  OVERLAPPED at = At(offset);
  DWORD got = 0;
  DWORD want = n > 0x40000000u ? 0x40000000u : static_cast<DWORD>(n);
  if (!::ReadFile(Handle(fd), buf, want, &got, &at)) return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  return static_cast<int64_t>(got);
}

bool WriteAt(int fd, int64_t offset, std::string_view data) {
  OVERLAPPED at = At(offset);
  return WriteAll(Handle(fd), data, &at);
}

bool SyncFile(int fd) { return ::FlushFileBuffers(Handle(fd)) != 0; }

bool StdinIsTerminal() {
  DWORD mode;
  return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

void KillProcessNow() {
  ::TerminateProcess(::GetCurrentProcess(), 137);
  std::_Exit(137);
}

void ExitProcessNow(int status) {
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(status));
  std::_Exit(status);
}

void BinaryStandardStreams() {
  std::fflush(stdout);
  std::fflush(stderr);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}

}  // namespace rtl::os

// ---- What hosts of the resident driver need (os.h, last block).

namespace rtl::os {

namespace {

// The children started here, by process id: their handles stay open until
// they are waited for, so that the id names the same process until then.
std::mutex& ChildrenMutex() {
  static std::mutex m;
  return m;
}
std::map<int, HANDLE>& Children() {
  static std::map<int, HANDLE> m;
  return m;
}

HANDLE ChildHandle(int pid) {
  std::lock_guard<std::mutex> lock(ChildrenMutex());
  auto it = Children().find(pid);
  return it == Children().end() ? nullptr : it->second;
}

// One argument as the C run-time's command-line parser reads it back.
std::string QuoteArgument(const std::string& a) {
  if (!a.empty() && a.find_first_of(" \t\"") == std::string::npos) return a;
  std::string q = "\"";
  size_t backslashes = 0;
  for (char c : a) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    q.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    q += c;
  }
  q.append(backslashes * 2, '\\');
  return q + "\"";
}

std::string LastErrorText() { return "Windows error " + std::to_string(::GetLastError()); }

}  // namespace

std::string ModulePathOf(const void* address) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
    return std::string();
  char buf[MAX_PATH];
  const DWORD n = ::GetModuleFileNameA(module, buf, sizeof buf);
  return n == 0 || n >= sizeof buf ? std::string() : std::string(buf, n);
}

bool SpawnWithPipes(const std::vector<std::string>& argv, Child* child, std::string* error) {
  if (argv.empty()) {
    if (error) *error = "no program to start";
    return false;
  }
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
  if (!::CreatePipe(&inRead, &inWrite, &inherit, 0) || !::CreatePipe(&outRead, &outWrite, &inherit, 0)) {
    if (error) *error = LastErrorText();
    for (HANDLE h : {inRead, inWrite, outRead, outWrite})
      if (h) ::CloseHandle(h);
    return false;
  }
  // This process's ends are not inherited.
  ::SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = inRead;
  si.hStdOutput = outWrite;
  si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  std::string commandLine;
  for (const auto& a : argv) commandLine += (commandLine.empty() ? "" : " ") + QuoteArgument(a);
  PROCESS_INFORMATION pi{};
  const BOOL started = ::CreateProcessA(argv[0].c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &si, &pi);
  const std::string why = started ? std::string() : LastErrorText();
  ::CloseHandle(inRead);
  ::CloseHandle(outWrite);
  if (!started) {
    if (error) *error = why;
    ::CloseHandle(inWrite);
    ::CloseHandle(outRead);
    return false;
  }
  ::CloseHandle(pi.hThread);
  {
    std::lock_guard<std::mutex> lock(ChildrenMutex());
    Children()[static_cast<int>(pi.dwProcessId)] = pi.hProcess;
  }
  child->pid = static_cast<int>(pi.dwProcessId);
  child->input = ::_open_osfhandle(reinterpret_cast<intptr_t>(inWrite), _O_BINARY);
  child->output = ::_open_osfhandle(reinterpret_cast<intptr_t>(outRead), _O_BINARY | _O_RDONLY);
  return true;
}

bool WriteToPipe(int fd, std::string_view data) {
  while (!data.empty()) {
    const unsigned chunk = data.size() > (1u << 30) ? (1u << 30) : static_cast<unsigned>(data.size());
    const int n = ::_write(fd, data.data(), chunk);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

long ReadSome(int fd, char* buf, size_t n) {
  const unsigned chunk = n > (1u << 30) ? (1u << 30) : static_cast<unsigned>(n);
  return ::_read(fd, buf, chunk);
}

void StopChild(int pid) {
  if (HANDLE h = ChildHandle(pid)) ::TerminateProcess(h, 1);
}

void KillChild(int pid) {
  if (HANDLE h = ChildHandle(pid)) ::TerminateProcess(h, 137);
}

int WaitChild(int pid) {
  HANDLE h = ChildHandle(pid);
  if (!h) return -1;
  ::WaitForSingleObject(h, INFINITE);
  DWORD code = 0;
  const int status = ::GetExitCodeProcess(h, &code) ? static_cast<int>(code) : -1;
  ::CloseHandle(h);
  std::lock_guard<std::mutex> lock(ChildrenMutex());
  Children().erase(pid);
  return status;
}

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

}  // namespace rtl::os
