// The POSIX side of os.h: every direct POSIX call of the run-time layer lives here.
#include "platform/os.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace rtl::os {

namespace {

CalendarTime FromTm(const struct tm& tm, int msec) {
  CalendarTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // leap second
  t.msec = msec;
  return t;
}

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " \"" + path + "\": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view data) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteAndSync(const std::string& path, std::string_view data, int flags, std::string* error) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (error) *error = ErrnoText("Cannot open file", path);
    return false;
  }
  if (!WriteAll(fd, data) || ::fsync(fd) != 0) {
    if (error) *error = ErrnoText("Cannot write file", path);
    ::close(fd);
    return false;
  }
  if (::close(fd) != 0) {
    if (error) *error = ErrnoText("Cannot close file", path);
    return false;
  }
  return true;
}

}  // namespace

CalendarTime LocalNow() {
  struct timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  time_t secs = ts.tv_sec;
  struct tm tm;
  ::localtime_r(&secs, &tm);
  return FromTm(tm, static_cast<int>(ts.tv_nsec / 1000000));
}

CalendarTime LocalFromUnix(int64_t secs) {
  time_t t = static_cast<time_t>(secs);
  struct tm tm;
  if (!::localtime_r(&t, &tm)) return CalendarTime{};
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
  return static_cast<int64_t>(::mktime(&tm));
}

std::string ExecutablePath() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

std::string GetEnvVar(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

int ProcessId() { return static_cast<int>(::getpid()); }

bool ProcessAlive(int pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

void* OpenLibrary(const std::string& path, std::string* error) {
  ::dlerror();
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h && error) {
    const char* e = ::dlerror();
    *error = e ? e : "unknown error";
  }
  return h;
}

void* LibrarySymbol(void* lib, const std::string& name) {
  if (!lib) return nullptr;
  return ::dlsym(lib, name.c_str());
}

const char* SharedLibraryPrefix() { return "lib"; }
const char* SharedLibrarySuffix() { return ".so"; }
char PathListSeparator() { return ':'; }

bool WriteFileSynced(const std::string& path, std::string_view data, std::string* error) {
  return WriteAndSync(path, data, O_TRUNC, error);
}

bool AppendFileSynced(const std::string& path, std::string_view data, std::string* error) {
  return WriteAndSync(path, data, O_APPEND, error);
}

int OpenAppend(const std::string& path, std::string* error) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 && error) *error = ErrnoText("Cannot open file", path);
  return fd;
}

bool WriteAppend(int fd, std::string_view data, const std::string& path, std::string* error) {
  if (WriteAll(fd, data)) return true;
  if (error) *error = ErrnoText("Cannot write file", path);
  return false;
}

bool StillNamed(int fd, const std::string& path) {
  struct stat open, named;
  return ::fstat(fd, &open) == 0 && open.st_nlink > 0 && ::stat(path.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void CloseFile(int fd) {
  if (fd >= 0) ::close(fd);
}

void SyncDirectory(const std::string& dir) {
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

int LockFile(const std::string& path, bool* busy, std::string* error) {
  *busy = false;
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (error) *error = ErrnoText("Cannot open file", path);
    return -1;
  }
  // A lock of the open file itself: a second open, in this process or
  // another, is refused; closing it (or the process ending) lets it go.
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    *busy = errno == EWOULDBLOCK;
    if (error) *error = ErrnoText("Cannot lock file", path);
    ::close(fd);
    return -1;
  }
  return fd;
}

bool WriteLockedFile(int handle, std::string_view data) {
  if (handle < 0 || ::ftruncate(handle, 0) != 0 || ::lseek(handle, 0, SEEK_SET) != 0) return false;
  return WriteAll(handle, data);
}

std::string ReadSmallFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "";
  std::string data;
  char buf[512];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) data.append(buf, static_cast<size_t>(n));
  ::close(fd);
  return data;
}

// Closing the descriptor lets the lock go; an explicit unlock would also
// take it from a forked child still sharing the open file.
void UnlockFile(int handle) {
  if (handle >= 0) ::close(handle);
}

namespace {

AtFailure FailureOf(int err) {
  switch (err) {
    case ENOENT: return AtFailure::Missing;
    case ELOOP: return AtFailure::Link;
    case ENOTDIR: return AtFailure::NotAFolder;
    default: return AtFailure::Other;
  }
}

// A single name: no separator, not "." or "..", not empty.
bool SingleName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

int OpenAt(int dir, const std::string& name, int flags) {
  int fd;
  do {
    fd = dir < 0 ? ::open(name.c_str(), flags) : ::openat(dir, name.c_str(), flags);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

int OpenFolderAt(int dir, const std::string& name, bool create, AtFailure* why, std::string* error) {
  *why = AtFailure::None;
  if (dir >= 0 && !SingleName(name)) {
    *why = AtFailure::Other;
    if (error) *error = "\"" + name + "\" is not a single name";
    return -1;
  }
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (dir < 0 ? 0 : O_NOFOLLOW);
  int fd = OpenAt(dir, name, flags);
  if (fd < 0 && errno == ENOENT && create && dir >= 0) {
    if (::mkdirat(dir, name.c_str(), 0777) == 0 || errno == EEXIST) fd = OpenAt(dir, name, flags);
  }
  if (fd < 0) {
    // A symbolic link opened with O_NOFOLLOW | O_DIRECTORY answers ENOTDIR
    // on some systems: the name itself is looked at to tell them apart.
    struct stat st;
    const int err = errno;
    *why = dir >= 0 && ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)
               ? AtFailure::Link
               : FailureOf(err);
    errno = err;
    if (error) *error = ErrnoText("Cannot open folder", name);
  }
  return fd;
}

int OpenFileAt(int dir, const std::string& name, int* links, AtFailure* why, std::string* error) {
  *why = AtFailure::None;
  if (!SingleName(name)) {
    *why = AtFailure::Other;
    if (error) *error = "\"" + name + "\" is not a single name";
    return -1;
  }
  // Non-blocking: a pipe swapped in under the name never stalls the open.
  int fd = OpenAt(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *why = FailureOf(errno);
    if (error) *error = ErrnoText("Cannot open file", name);
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *why = AtFailure::NotAFile;
    if (error) *error = "\"" + name + "\" is not a regular file";
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  *links = static_cast<int>(st.st_nlink);
  return fd;
}

bool ReadOpenFile(int fd, std::string* data, std::string* error) {
  data->clear();
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (error) *error = std::string("Cannot read file: ") + std::strerror(errno);
      return false;
    }
    if (n == 0) return true;
    data->append(buf, static_cast<size_t>(n));
  }
}

bool IsLinkAt(int dir, const std::string& name) {
  struct stat st;
  return ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

bool ReplaceFileAt(int dir, const std::string& name, std::string_view data, std::string* error) {
  if (!SingleName(name)) {
    if (error) *error = "\"" + name + "\" is not a single name";
    return false;
  }
  static unsigned counter = 0;
  const std::string tmp = name + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
  int fd;
  do {
    fd = ::openat(dir, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (error) *error = ErrnoText("Cannot create file", tmp);
    return false;
  }
  const bool written = WriteAll(fd, data) && ::fsync(fd) == 0;
  const int err = errno;
  ::close(fd);
  if (!written || ::renameat(dir, tmp.c_str(), dir, name.c_str()) != 0) {
    const int failed = written ? errno : err;
    ::unlinkat(dir, tmp.c_str(), 0);
    errno = failed;
    if (error) *error = ErrnoText(written ? "Cannot replace file" : "Cannot write file", name);
    return false;
  }
  ::fsync(dir);
  return true;
}

}  // namespace rtl::os

// ---- The calls the Windows port moved behind the seam.

namespace rtl::os {

std::string SystemDirectory() { return "/etc"; }

std::string ShortPath(const std::string& path) { return path; }

std::string Utf8Path(const std::string& path) { return path; }

int CopyFileOver(const std::string& from, const std::string& to, bool failIfExists) {
  int in;
  do {
    in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  } while (in < 0 && errno == EINTR);
  if (in < 0) return errno;
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int e = ::fstat(in, &st) != 0 ? errno : ENOENT;  // not a file: as if missing
    ::close(in);
    return e;
  }
  int out;
  do {
    out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC), 0666);
  } while (out < 0 && errno == EINTR);
  if (out < 0) {
    const int e = errno;
    ::close(in);
    return e;
  }
  char buf[65536];
  int error = 0;
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    if (!WriteAll(out, std::string_view(buf, static_cast<size_t>(n)))) {
      error = errno;
      break;
    }
  }
  ::close(in);
  if (::close(out) != 0 && error == 0) error = errno;
  return error;
}

bool RenameOver(const std::string& from, const std::string& to, std::string* error) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  if (error) *error = ErrnoText("Cannot replace file", to);
  return false;
}

int OpenReadWrite(const std::string& path, bool append, std::string* error) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (append ? O_APPEND : 0), 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 && error) *error = ErrnoText("Cannot open file", path);
  return fd;
}

int OpenRead(const std::string& path, std::string* error) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 && error) *error = ErrnoText("Cannot open file", path);
  return fd;
}

int64_t OpenFileSize(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int64_t ReadAt(int fd, int64_t offset, char* buf, size_t n) {
  for (;;) {
    ssize_t r = ::pread(fd, buf, n, static_cast<off_t>(offset));
    if (r < 0 && errno == EINTR) continue;
    return static_cast<int64_t>(r);
  }
}

bool WriteAt(int fd, int64_t offset, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
    offset += n;
  }
  return true;
}

bool SyncFile(int fd) { return ::fsync(fd) == 0; }

bool StdinIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }

void KillProcessNow() {
  ::raise(SIGKILL);
  std::_Exit(137);
}

void ExitProcessNow(int status) { ::_exit(status); }

void BinaryStandardStreams() {}

}  // namespace rtl::os

// ---- What hosts of the resident driver need (os.h, last block).

namespace rtl::os {

std::string ModulePathOf(const void* address) {
  Dl_info info;
  if (::dladdr(address, &info) == 0 || !info.dli_fname) return std::string();
  return info.dli_fname;
}

bool SpawnWithPipes(const std::vector<std::string>& argv, Child* child, std::string* error) {
  if (argv.empty()) {
    if (error) *error = "no program to start";
    return false;
  }
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  if (::pipe2(out, O_CLOEXEC) != 0) {
    if (error) *error = std::strerror(errno);
    ::close(in[0]);
    ::close(in[1]);
    return false;
  }
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  const int saved = errno;
  ::close(in[0]);
  ::close(out[1]);
  if (pid < 0) {
    if (error) *error = std::strerror(saved);
    ::close(in[1]);
    ::close(out[0]);
    return false;
  }
  child->pid = pid;
  child->input = in[1];
  child->output = out[0];
  return true;
}

bool WriteToPipe(int fd, std::string_view data) { return WriteAll(fd, data); }

long ReadSome(int fd, char* buf, size_t n) {
  while (true) {
    const ssize_t got = ::read(fd, buf, n);
    if (got < 0 && errno == EINTR) continue;
    return static_cast<long>(got);
  }
}

void StopChild(int pid) {
  if (pid > 0) ::kill(pid, SIGTERM);
}

void KillChild(int pid) {
  if (pid > 0) ::kill(pid, SIGKILL);
}

int WaitChild(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

double ProcessCpuSeconds() {
  timespec ts{};
  if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts) != 0) return 0;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace rtl::os
