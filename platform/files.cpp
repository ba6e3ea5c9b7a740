// Files and folders over std::filesystem (portable) plus os.h for flushing.
//
// Choices:
// - FileExists is true for files only (not folders), as in the run-time library.
// - RenameFile fails when the target exists (the platform call it stands for
//   does not replace); WriteFileAtomic is the replacing rename.
// - FindFirst lists files and folders matching the pattern, never "." and
//   "..", sorted by name (byte order) so that results are reproducible;
//   "*.*" matches every name, also one without a dot. It returns 0 when
//   found, 2 when nothing matches, 3 when the folder does not exist;
//   FindNext returns 18 at the end (the platform's error codes).
// - ExtractFilePath/ExtractFileName split at the last "\", "/" or ":".
// - IncludeTrailingPathDelimiter("") is "\" as in the run-time library.
#include "platform/files.h"

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/env.h"
#include "platform/errors.h"
#include "platform/os.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace rtl {

namespace {

bool IsDelimiter(char c) { return c == '\\' || c == '/' || c == ':'; }

size_t LastDelimiter(std::string_view p) {
  for (size_t i = p.size(); i > 0; --i)
    if (IsDelimiter(p[i - 1])) return i - 1;
  return std::string_view::npos;
}

fs::path P(std::string_view path) { return fs::path(NativePath(path)); }

// Wildcard match, '*' any run, '?' one character (callers fold the case).
bool MatchFolded(std::string_view pat, std::string_view name) {
  size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pat.size() && (pat[p] == '?' || pat[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pat.size() && pat[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == '*') ++p;
  return p == pat.size();
}

bool Match(std::string_view pat, std::string_view name) {
  return MatchFolded(AnsiUpperCase(pat), AnsiUpperCase(name));
}

// The Env's answer for one of the program's file operations (Env::FileOperation):
// 0 to go on, or the error number it fails with.
int Refusal(const char* kind, std::string_view path) {
  if (ForeignFileScope::Active()) return 0;
  return CurrentEnv()->FileOperation(kind, std::string(path));
}

std::string RefusalText(const char* what, std::string_view path, int error) {
  return std::string(what) + " \"" + std::string(path) + "\": " + std::strerror(error);
}

}  // namespace

std::string NativePath(std::string_view path) {
  std::string r(path);
  std::replace(r.begin(), r.end(), '\\', '/');
  return r;
}

bool FileExists(std::string_view path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_regular_file(P(path), ec);
}

bool DirectoryExists(std::string_view path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_directory(P(path), ec);
}

bool CreateDir(std::string_view path) {
  if (path.empty() || Refusal("mkdir", path) != 0) return false;
  std::error_code ec;
  return fs::create_directory(P(path), ec);
}

bool ForceDirectories(std::string_view path) {
  if (path.empty() || Refusal("mkdir", path) != 0) return false;
  std::error_code ec;
  fs::path p = P(path);
  fs::create_directories(p, ec);
  return fs::is_directory(p, ec);
}

bool DeleteFile(std::string_view path) {
  int error = 0;
  return DeleteFile(path, error);
}

bool DeleteFile(std::string_view path, int& error) {
  if (path.empty()) {
    error = ENOENT;
    return false;
  }
  if ((error = Refusal("delete", path)) != 0) return false;
  std::error_code ec;
  fs::path p = P(path);
  if (fs::is_directory(p, ec)) {
    error = EISDIR;
    return false;
  }
  if (fs::remove(p, ec)) return true;
  error = ec ? ec.value() : ENOENT;
  return false;
}

bool RenameFile(std::string_view from, std::string_view to) {
  if (Refusal("rename", to) != 0) return false;
  std::error_code ec;
  fs::path f = P(from), t = P(to);
  if (!fs::exists(f, ec) || fs::exists(t, ec)) return false;
  fs::rename(f, t, ec);
  return !ec;
}

bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) {
  int error = 0;
  return CopyFile(from, to, failIfExists, error);
}

bool CopyFile(std::string_view from, std::string_view to, bool failIfExists, int& error) {
  if ((error = Refusal("copy", to)) != 0) return false;
  error = os::CopyFileOver(NativePath(from), NativePath(to), failIfExists);
  return error == 0;
}

int64_t FileSize(std::string_view path) {
  std::error_code ec;
  fs::path p = P(path);
  if (!fs::is_regular_file(p, ec)) return -1;
  auto n = fs::file_size(p, ec);
  return ec ? -1 : static_cast<int64_t>(n);
}

std::string ExtractFilePath(std::string_view path) {
  size_t p = LastDelimiter(path);
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtractFileName(std::string_view path) {
  size_t p = LastDelimiter(path);
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ExtractFileExt(std::string_view path) {
  std::string_view name = path;
  size_t d = LastDelimiter(path);
  if (d != std::string_view::npos) name = path.substr(d + 1);
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string IncludeTrailingPathDelimiter(std::string_view path) {
  if (!path.empty() && (path.back() == '\\' || path.back() == '/')) return std::string(path);
  return std::string(path) + "\\";
}

int FileSearch::FindFirst(std::string_view pattern, SearchRec& rec) {
  found_.clear();
  next_ = 0;
  std::string dir = ExtractFilePath(pattern);
  std::string pat = ExtractFileName(pattern);
  if (pat == "*.*") pat = "*";
  fs::path d = dir.empty() ? fs::path(".") : P(dir);
  std::error_code ec;
  if (!fs::is_directory(d, ec)) return 3;
  for (fs::directory_iterator it(d, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name == "." || name == ".." || !Match(pat, name)) continue;
    SearchRec r;
    r.Name = name;
    std::error_code ec2;
    r.IsDirectory = it->is_directory(ec2);
    if (!r.IsDirectory) {
      auto n = it->file_size(ec2);
      r.Size = ec2 ? 0 : static_cast<int64_t>(n);
      auto t = it->last_write_time(ec2);
      r.WriteTime = ec2 ? 0 : static_cast<int64_t>(t.time_since_epoch().count());
    }
    found_.push_back(std::move(r));
  }
  std::sort(found_.begin(), found_.end(), [](const SearchRec& a, const SearchRec& b) { return a.Name < b.Name; });
  if (found_.empty()) return 2;
  return FindNext(rec);
}

int FileSearch::FindNext(SearchRec& rec) {
  if (next_ >= found_.size()) return 18;
  rec = found_[next_++];
  return 0;
}

namespace {

// A file open for reading (on Windows with delete sharing, so that a writer
// may replace it meanwhile), closed on every way out.
class Reading {
 public:
  Reading(std::string_view path, const std::string& native) : path_(path) {
    if (const int error = Refusal("read", path)) throw EFOpenError(RefusalText("Cannot open file", path, error));
    std::error_code ec;
    if (fs::is_directory(native, ec))
      throw EFOpenError("Cannot open file \"" + std::string(path) + "\": it is a folder");
    fd_ = os::OpenRead(native, nullptr);
    if (fd_ < 0) throw EFOpenError("Cannot open file \"" + std::string(path) + "\": not found or not readable");
  }
  ~Reading() { os::CloseFile(fd_); }
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;

  // The size the file says it has; -1 when it has none.
  int64_t Size() const { return os::OpenFileSize(fd_); }
  // Up to n bytes into buf (fewer only at the end of the file).
  size_t Read(char* buf, size_t n) {
    size_t got = 0;
    while (got < n) {
      const int64_t r = os::ReadAt(fd_, offset_, buf + got, n - got);
      if (r < 0) throw EFOpenError("Cannot read file \"" + path_ + "\"");
      if (r == 0) break;
      got += static_cast<size_t>(r);
      offset_ += r;
    }
    return got;
  }
  // Whatever follows (a file that grew meanwhile, or one without a size), in large pieces.
  void ReadRest(std::string& data) {
    char piece[65536];
    for (size_t n; (n = Read(piece, sizeof piece)) > 0;) data.append(piece, n);
  }

 private:
  std::string path_;
  int fd_ = -1;
  int64_t offset_ = 0;
};

}  // namespace

std::string ReadFileBytes(std::string_view path) {
  Reading in(path, NativePath(path));
  // The whole file in one read when its size is known.
  std::string data;
  const int64_t size = in.Size();
  if (size > 0) {
    data.resize(static_cast<size_t>(size));
    data.resize(in.Read(data.data(), data.size()));
  }
  in.ReadRest(data);
  return data;
}

FileBuffer ReadFileBuffer(std::string_view path) {
  Reading in(path, NativePath(path));
  FileBuffer b;
  const int64_t size = in.Size();
  if (size > 0) {
    b.data = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(size));
    b.size = in.Read(b.data.get(), static_cast<size_t>(size));
  }
  std::string rest;
  in.ReadRest(rest);
  if (!rest.empty()) {
    auto all = std::make_unique_for_overwrite<char[]>(b.size + rest.size());
    if (b.size) std::memcpy(all.get(), b.data.get(), b.size);
    std::memcpy(all.get() + b.size, rest.data(), rest.size());
    b.data = std::move(all);
    b.size += rest.size();
  }
  return b;
}

void WriteFileBytes(std::string_view path, std::string_view data) {
  if (const int error = Refusal("write", path)) throw EInOutError(RefusalText("Cannot create file", path, error));
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  if (!out) throw EInOutError("Cannot create file \"" + std::string(path) + "\"");
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  out.flush();
  if (!out) throw EInOutError("Cannot write file \"" + std::string(path) + "\"");
}

void RemoveAbandonedWrites(std::string_view path) {
  const fs::path target(NativePath(path));
  std::error_code ec;
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::string prefix = target.filename().string() + ".tmp";
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string rest = name.substr(prefix.size());
    const size_t sep = rest.find('_');
    if (sep == 0 || sep == std::string::npos || sep > 9 ||
        rest.find_first_not_of("0123456789_") != std::string::npos)
      continue;
    const int pid = std::stoi(rest.substr(0, sep));
    std::error_code rec;
    if (pid != os::ProcessId() && !os::ProcessAlive(pid)) fs::remove(it->path(), rec);
  }
}

namespace {

// The name a new file is written under beside `target` before the rename
// (RemoveAbandonedWrites knows its form).
std::string NewFileName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + ".tmp" + std::to_string(os::ProcessId()) + "_" + std::to_string(counter++);
}

}  // namespace

void WriteFileAtomic(std::string_view path, std::string_view data) {
  if (const int error = Refusal("replace", path)) throw EInOutError(RefusalText("Cannot write file", path, error));
  std::string target = NativePath(path);
  fs::path t(target);
  std::string dir = t.parent_path().string();
  RemoveAbandonedWrites(target);
  std::string tmp = NewFileName(target);
  std::string err;
  if (!os::WriteFileSynced(tmp, data, &err)) {
    std::error_code ec;
    fs::remove(tmp, ec);
    throw EInOutError(err);
  }
  CurrentEnv()->Reached("WriteFileAtomic", target);
  if (!os::RenameOver(tmp, target, &err)) {
    std::error_code ec;
    fs::remove(tmp, ec);
    throw EInOutError(err);
  }
  os::SyncDirectory(dir);
}

bool CopyFileAtomic(std::string_view from, std::string_view to, int& error) {
  if ((error = Refusal("copy", to)) != 0) return false;
  const std::string target = NativePath(to);
  const std::string dir = fs::path(target).parent_path().string();
  RemoveAbandonedWrites(target);
  const std::string tmp = NewFileName(target);
  error = os::CopyFileOver(NativePath(from), tmp, false);
  std::string err;
  bool ok = error == 0;
  if (ok) {
    // The copy reaches the disk before its name does.
    const int fd = os::OpenReadWrite(tmp, false, &err);
    ok = fd >= 0 && os::SyncFile(fd);
    os::CloseFile(fd);
    if (!ok) error = EIO;
  }
  if (ok) {
    CurrentEnv()->Reached("WriteFileAtomic", target);
    ok = os::RenameOver(tmp, target, &err);
    if (!ok) error = EIO;
  }
  if (!ok) {
    std::error_code ec;
    fs::remove(tmp, ec);
    return false;
  }
  os::SyncDirectory(dir);
  return true;
}

void AppendFileBytes(std::string_view path, std::string_view data) {
  if (const int error = Refusal("append", path)) throw EInOutError(RefusalText("Cannot write file", path, error));
  std::string err;
  if (!os::AppendFileSynced(NativePath(path), data, &err)) throw EInOutError(err);
}

AppendingFile::~AppendingFile() { Close(); }

void AppendingFile::Close() {
  os::CloseFile(fd_);
  fd_ = -1;
  path_.clear();
}

void AppendingFile::Append(std::string_view path, std::string_view data) {
  if (const int error = Refusal("append", path)) throw EInOutError(RefusalText("Cannot write file", path, error));
  if (fd_ >= 0 && (path != path_ || !os::StillNamed(fd_, NativePath(path)))) Close();
  std::string err;
  if (fd_ < 0) {
    const int fd = os::OpenAppend(NativePath(path), &err);
    if (fd < 0) throw EInOutError(err);
    fd_ = fd;
    path_ = std::string(path);
  }
  if (!os::WriteAppend(fd_, data, NativePath(path), &err)) {
    Close();
    throw EInOutError(err);
  }
}

std::string Utf8Path(std::string_view path) { return os::Utf8Path(NativePath(path)); }

ReadWriteFile::ReadWriteFile(std::string_view path, bool append) : path_(NativePath(path)) {
  if (const int error = Refusal(append ? "append" : "write", path))
    throw EInOutError(RefusalText("Cannot open file", path, error));
  std::string err;
  fd_ = os::OpenReadWrite(path_, append, &err);
  if (fd_ < 0) throw EInOutError(err);
}

ReadWriteFile::~ReadWriteFile() { Close(); }

int64_t ReadWriteFile::Size() const { return fd_ < 0 ? -1 : os::OpenFileSize(fd_); }

bool ReadWriteFile::ReadAt(int64_t offset, char* buf, size_t n) const {
  while (n > 0) {
    if (fd_ < 0) return false;
    const int64_t r = os::ReadAt(fd_, offset, buf, n);
    if (r <= 0) return false;
    buf += r;
    offset += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

bool ReadWriteFile::Append(std::string_view data) { return fd_ >= 0 && os::WriteAppend(fd_, data, path_, nullptr); }

bool ReadWriteFile::WriteAt(int64_t offset, std::string_view data) { return fd_ >= 0 && os::WriteAt(fd_, offset, data); }

bool ReadWriteFile::Sync() { return fd_ >= 0 && os::SyncFile(fd_); }

void ReadWriteFile::Close() {
  os::CloseFile(fd_);
  fd_ = -1;
}

}  // namespace rtl
