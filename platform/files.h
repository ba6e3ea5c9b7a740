// Files and folders. Paths may be written with "\" (as the module's texts
// do): every routine here accepts both separators.
//
// Every routine that opens, creates, changes or removes a file or folder
// asks the Env first (Env::FileOperation, platform/env.h), so a test or a
// host can fail the program's n-th file operation as a full disk would.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

// "C:\x\y.txt" style paths converted to the platform's form: "\" becomes "/".
// A drive prefix such as "C:" is kept as a folder name (POSIX has no drives).
std::string NativePath(std::string_view path);

bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);
bool CreateDir(std::string_view path);       // one level; false on failure
bool ForceDirectories(std::string_view path);
bool DeleteFile(std::string_view path);
// The same, with the system's error number of a failure in `error` (0 on
// success; a file that is not there fails with ENOENT).
bool DeleteFile(std::string_view path, int& error);
bool RenameFile(std::string_view from, std::string_view to);
// Copies a file; failIfExists as in the platform call. False on failure.
bool CopyFile(std::string_view from, std::string_view to, bool failIfExists);
// The same, with the system's error number of a failure in `error` (0 on success).
bool CopyFile(std::string_view from, std::string_view to, bool failIfExists, int& error);
int64_t FileSize(std::string_view path);  // -1 when absent

// Directory part with its trailing separator, as written ("\" or "/").
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileName(std::string_view path);
std::string ExtractFileExt(std::string_view path);
std::string IncludeTrailingPathDelimiter(std::string_view path);  // adds "\" if the path ends with neither

// FindFirst with a wildcard pattern (* and ?) in the file-name part, case-insensitive.
struct SearchRec {
  std::string Name;   // file name only
  int64_t Size = 0;
  int64_t WriteTime = 0;  // last modification, nanoseconds of the file system's clock (0 when unknown)
  bool IsDirectory = false;
};
// 0 when found (rec filled), non-zero otherwise; FindNext continues the same search.
class FileSearch {
 public:
  int FindFirst(std::string_view pattern, SearchRec& rec);
  int FindNext(SearchRec& rec);
 private:
  std::vector<SearchRec> found_;
  size_t next_ = 0;
};

// Whole-file helpers (bytes as they are).
std::string ReadFileBytes(std::string_view path);           // raises EFOpenError
// The same bytes in a buffer that is not cleared before the read (large
// files go straight from the system into it).
struct FileBuffer {
  std::unique_ptr<char[]> data;
  size_t size = 0;
  std::string_view view() const { return {data.get(), size}; }
};
FileBuffer ReadFileBuffer(std::string_view path);  // raises EFOpenError
void WriteFileBytes(std::string_view path, std::string_view data);  // raises EInOutError
// Writes a new file beside the target, flushes it to disk and renames it
// over the target: a reader sees the old or the new contents, never a mix.
void WriteFileAtomic(std::string_view path, std::string_view data);  // raises EInOutError
// Copies a file the way WriteFileAtomic writes one: beside the target,
// flushed, renamed over it; the target holds its old contents or the whole
// copy, never a part, and a failure leaves nothing under its name that was
// not there before. False with the system's error number in `error`.
bool CopyFileAtomic(std::string_view from, std::string_view to, int& error);
// Removes the new files that writers of `path` which no longer run left
// beside it (target + ".tmp" + pid + "_" + n: the process died between
// writing and renaming). WriteFileAtomic does this before each write.
void RemoveAbandonedWrites(std::string_view path);
// Appends and flushes before returning.
void AppendFileBytes(std::string_view path, std::string_view data);  // raises EInOutError

// A log file kept open between appends. Each Append hands its data to the
// operating system in one write before it returns, so a crash of the process
// loses nothing already appended; there is no flush to the disk. The file is
// opened again when the path changes, and when the open file was deleted,
// renamed away or replaced since the last append (the next line then goes
// to the file at the path, created anew if need be, as opening per line
// would). One writer object per log; not thread-safe.
class AppendingFile {
 public:
  AppendingFile() = default;
  ~AppendingFile();
  AppendingFile(const AppendingFile&) = delete;
  AppendingFile& operator=(const AppendingFile&) = delete;
  // Raises EInOutError when the file cannot be opened or written (the next
  // append then opens it again).
  void Append(std::string_view path, std::string_view data);
  void Close();

 private:
  int fd_ = -1;
  std::string path_;  // as given
};

// The path in UTF-8, for libraries that take UTF-8 file names (SQLite): on
// Windows the ANSI code page's text converted; elsewhere unchanged.
std::string Utf8Path(std::string_view path);

// A file open for reading and writing, created when missing and closed
// with the object (or by Close). With append, every write lands at the
// file's end, whoever else appends to it. On Windows the file is shared for
// reading, writing and deletion, and never translates line ends.
class ReadWriteFile {
 public:
  // Raises EInOutError when the file cannot be opened.
  ReadWriteFile(std::string_view path, bool append);
  ~ReadWriteFile();
  ReadWriteFile(const ReadWriteFile&) = delete;
  ReadWriteFile& operator=(const ReadWriteFile&) = delete;

  int64_t Size() const;  // -1 when it cannot be examined
  // Exactly n bytes at offset; false when the file has fewer or cannot be read.
  bool ReadAt(int64_t offset, char* buf, size_t n) const;
  bool Append(std::string_view data);                   // a file opened to append
  bool WriteAt(int64_t offset, std::string_view data);  // a file opened without append
  bool Sync();                                          // flushes it to the disk
  void Close();

 private:
  int fd_ = -1;
  std::string path_;  // native
};

}  // namespace rtl
