// Files: existence, folders, paths with "\", FindFirst wildcards, copies,
// whole-file reads and writes, WriteFileAtomic, AppendFileBytes and the
// appending file kept open.
#include <gtest/gtest.h>


#include <filesystem>
#include <thread>

#include "platform/env.h"
#include "platform/process.h"
#include "tests/support/portable.h"
#include "platform/errors.h"
#include "platform/files.h"

using namespace rtl;

namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("rtl-files-" + std::to_string(rtl::ProcessId()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    d_ = dir_.string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string At(const std::string& rel) const { return d_ + "/" + rel; }
  std::filesystem::path dir_;
  std::string d_;
};

TEST_F(FilesTest, NativePath) {
  EXPECT_EQ(NativePath("C:\\x\\y.txt"), "C:/x/y.txt");
  EXPECT_EQ(NativePath("a/b\\c"), "a/b/c");
  EXPECT_EQ(NativePath(""), "");
}

TEST_F(FilesTest, ExistsCreateDelete) {
  EXPECT_FALSE(FileExists(At("f.txt")));
  WriteFileBytes(At("f.txt"), "abc");
  EXPECT_TRUE(FileExists(At("f.txt")));
  EXPECT_TRUE(FileExists(d_ + "\\f.txt"));  // written with "\"
  EXPECT_FALSE(DirectoryExists(At("f.txt")));
  EXPECT_FALSE(FileExists(d_));
  EXPECT_TRUE(DirectoryExists(d_));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(DirectoryExists(""));
  EXPECT_EQ(FileSize(At("f.txt")), 3);
  EXPECT_EQ(FileSize(At("none")), -1);
  EXPECT_EQ(FileSize(d_), -1);

  EXPECT_TRUE(CreateDir(At("sub")));
  EXPECT_FALSE(CreateDir(At("sub")));          // exists already
  EXPECT_FALSE(CreateDir(At("a/b/c")));        // one level only
  EXPECT_TRUE(ForceDirectories(d_ + "\\a\\b\\c"));
  EXPECT_TRUE(DirectoryExists(At("a/b/c")));
  EXPECT_TRUE(ForceDirectories(At("a/b/c")));  // already there
  EXPECT_FALSE(ForceDirectories(At("f.txt/x")));
  EXPECT_FALSE(ForceDirectories(""));

  EXPECT_TRUE(DeleteFile(At("f.txt")));
  EXPECT_FALSE(DeleteFile(At("f.txt")));
  EXPECT_FALSE(DeleteFile(At("sub")));  // not a file
}

TEST_F(FilesTest, RenameAndCopy) {
  WriteFileBytes(At("a"), "1");
  WriteFileBytes(At("b"), "2");
  EXPECT_FALSE(RenameFile(At("a"), At("b")));  // the target exists
  EXPECT_TRUE(RenameFile(At("a"), At("c")));
  EXPECT_FALSE(FileExists(At("a")));
  EXPECT_FALSE(RenameFile(At("a"), At("d")));
  EXPECT_TRUE(CopyFile(At("c"), At("d"), true));
  EXPECT_EQ(ReadFileBytes(At("d")), "1");
  EXPECT_FALSE(CopyFile(At("b"), At("d"), true));
  EXPECT_EQ(ReadFileBytes(At("d")), "1");
  EXPECT_TRUE(CopyFile(At("b"), At("d"), false));
  EXPECT_EQ(ReadFileBytes(At("d")), "2");
  EXPECT_FALSE(CopyFile(At("none"), At("e"), false));
  EXPECT_FALSE(CopyFile(At("b"), At("nodir/e"), false));
}

TEST_F(FilesTest, PathParts) {
  const struct {
    const char* p;
    const char* path;
    const char* name;
    const char* ext;
  } cases[] = {
      {"C:\\x\\y.txt", "C:\\x\\", "y.txt", ".txt"},
      {"/a/b/c.tar.gz", "/a/b/", "c.tar.gz", ".gz"},
      {"a\\b/c", "a\\b/", "c", ""},
      {"file", "", "file", ""},
      {"C:file.ini", "C:", "file.ini", ".ini"},
      {"dir.d\\file", "dir.d\\", "file", ""},
      {"dir\\", "dir\\", "", ""},
      {"", "", "", ""},
      {".hidden", "", ".hidden", ".hidden"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.p), c.path) << c.p;
    EXPECT_EQ(ExtractFileName(c.p), c.name) << c.p;
    EXPECT_EQ(ExtractFileExt(c.p), c.ext) << c.p;
  }
  EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\x"), "C:\\x\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\x\\"), "C:\\x\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/x/"), "/x/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "\\");
}

TEST_F(FilesTest, FindFirstWildcards) {
  for (const char* n : {"ECF01.TXT", "ecf02.txt", "ecf10.log", "other.txt", "noext"}) WriteFileBytes(At(n), "12345");
  ForceDirectories(At("ECFDIR"));
  auto find = [&](const std::string& pattern) {
    std::vector<std::string> names;
    FileSearch s;
    SearchRec r;
    for (int rc = s.FindFirst(pattern, r); rc == 0; rc = s.FindNext(r)) names.push_back(r.Name);
    return names;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(find(d_ + "\\ecf*.txt"), (V{"ECF01.TXT", "ecf02.txt"}));
  EXPECT_EQ(find(d_ + "/ECF??.*"), (V{"ECF01.TXT", "ecf02.txt", "ecf10.log"}));
  EXPECT_EQ(find(d_ + "/*.*"), (V{"ECF01.TXT", "ECFDIR", "ecf02.txt", "ecf10.log", "noext", "other.txt"}));
  EXPECT_EQ(find(d_ + "/*"), (V{"ECF01.TXT", "ECFDIR", "ecf02.txt", "ecf10.log", "noext", "other.txt"}));
  EXPECT_EQ(find(d_ + "/ecf0?.txt"), (V{"ECF01.TXT", "ecf02.txt"}));
  EXPECT_EQ(find(d_ + "/OTHER.TXT"), (V{"other.txt"}));
  EXPECT_EQ(find(d_ + "/*x*"), (V{"ECF01.TXT", "ecf02.txt", "noext", "other.txt"}));
  EXPECT_EQ(find(d_ + "/ecf"), V{});

  FileSearch s;
  SearchRec r;
  ASSERT_EQ(s.FindFirst(d_ + "/ecf01.txt", r), 0);
  EXPECT_EQ(r.Name, "ECF01.TXT");
  EXPECT_EQ(r.Size, 5);
  EXPECT_FALSE(r.IsDirectory);
  EXPECT_EQ(s.FindNext(r), 18);
  EXPECT_EQ(s.FindNext(r), 18);
  ASSERT_EQ(s.FindFirst(d_ + "/ecfdir", r), 0);
  EXPECT_TRUE(r.IsDirectory);
  EXPECT_EQ(s.FindFirst(d_ + "/zzz*", r), 2);
  EXPECT_EQ(s.FindFirst(d_ + "/nodir/*", r), 3);
}

TEST_F(FilesTest, ReadWriteBytes) {
  const std::string cases[] = {std::string("a\0b\r\n\xFF", 6), "x", "", std::string(200000, '\0') + "end"};
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(bytes.size());
    WriteFileBytes(At("bin"), bytes);
    EXPECT_EQ(ReadFileBytes(At("bin")), bytes);
    EXPECT_EQ(ReadFileBuffer(At("bin")).view(), bytes);
  }
  EXPECT_THROW(ReadFileBytes(At("missing")), EFOpenError);
  EXPECT_THROW(ReadFileBytes(d_), EFOpenError);
  EXPECT_THROW(ReadFileBuffer(At("missing")), EFOpenError);
  EXPECT_THROW(ReadFileBuffer(d_), EFOpenError);
  EXPECT_THROW(WriteFileBytes(At("nodir/x"), "x"), EInOutError);
}

// Files without a size of their own are read to their end as well.
TEST_F(FilesTest, ReadsFilesWithoutASize) {
  if (!std::filesystem::exists("/proc/self/status")) GTEST_SKIP() << "no /proc here";
  EXPECT_NE(ReadFileBuffer("/proc/self/status").view().find("Name:"), std::string_view::npos);
  EXPECT_NE(ReadFileBytes("/proc/self/status").find("Name:"), std::string::npos);
}

TEST_F(FilesTest, WriteFileAtomicReplacesWholeFile) {
  WriteFileAtomic(At("state.json"), "old");
  EXPECT_EQ(ReadFileBytes(At("state.json")), "old");
  WriteFileAtomic(d_ + "\\state.json", std::string(100000, 'n'));
  EXPECT_EQ(ReadFileBytes(At("state.json")), std::string(100000, 'n'));
  // No temporary file left beside the target.
  size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir_)) {
    (void)e;
    ++n;
  }
  EXPECT_EQ(n, 1u);
  EXPECT_THROW(WriteFileAtomic(At("nodir/state.json"), "x"), EInOutError);
  // A folder in the way: the rename fails and the temporary file is removed.
  ForceDirectories(At("isdir/inner"));
  EXPECT_THROW(WriteFileAtomic(At("isdir"), "x"), EInOutError);
  n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir_)) {
    (void)e;
    ++n;
  }
  EXPECT_EQ(n, 2u);
}

TEST_F(FilesTest, WriteFileAtomicReadersSeeOldOrNew) {
  if (qortest::UnderWine()) GTEST_SKIP() << "wine refuses to replace a file a reader holds open";
  const std::string a(200000, 'a'), b(300000, 'b');
  WriteFileAtomic(At("f"), a);
  std::atomic<bool> stop{false};
  std::atomic<int> mixed{0};
  std::thread reader([&] {
    while (!stop) {
      std::string s = ReadFileBytes(At("f"));
      if (s != a && s != b) ++mixed;
    }
  });
  for (int i = 0; i < 20; ++i) WriteFileAtomic(At("f"), i % 2 ? a : b);
  stop = true;
  reader.join();
  EXPECT_EQ(mixed.load(), 0);
}

// A writer killed between writing the new file and renaming it leaves that
// file behind; the next replacing write of the same target removes it, but
// never the new file of a writer that still runs.
TEST_F(FilesTest, WriteFileAtomicRemovesWhatADeadWriterLeft) {
  const int child = qortest::DeadProcessId();
  const std::string dead = At("Kalvora.cds.tmp" + std::to_string(child) + "_0");
  const std::string living = At("Kalvora.cds.tmp" + std::to_string(qortest::OtherLivingProcessId()) + "_3");
  const std::string other = At("Outro.cds.tmp" + std::to_string(child) + "_0");
  const std::string notOurs = At("Kalvora.cds.tmpx_0");
  for (const std::string& f : {dead, living, other, notOurs}) WriteFileBytes(f, "half");
  WriteFileAtomic(At("Kalvora.cds"), "new");
  EXPECT_EQ(ReadFileBytes(At("Kalvora.cds")), "new");
  EXPECT_FALSE(FileExists(dead));
  EXPECT_TRUE(FileExists(living));
  EXPECT_TRUE(FileExists(other));
  EXPECT_TRUE(FileExists(notOurs));
}

// The point between writing and renaming is announced to the Env, so that
// a crash test can end the process exactly there.
TEST_F(FilesTest, WriteFileAtomicAnnouncesThePointBeforeTheRename) {
  struct Recorder : EnvWrapper {
    Recorder() : EnvWrapper(DefaultEnv()) {}
    void Reached(const char* point, const std::string& detail) override {
      seen.push_back(std::string(point) + " " + detail + " " + (FileExists(detail) ? "old" : "none"));
    }
    std::vector<std::string> seen;
  } env;
  ScopedEnv scoped(&env);
  WriteFileAtomic(At("f"), "1");
  WriteFileAtomic(At("f"), "2");
  EXPECT_EQ(env.seen, (std::vector<std::string>{"WriteFileAtomic " + NativePath(At("f")) + " none",
                                                "WriteFileAtomic " + NativePath(At("f")) + " old"}));
}

TEST_F(FilesTest, AppendFileBytes) {
  AppendFileBytes(At("journal"), "one\n");
  AppendFileBytes(d_ + "\\journal", "two\n");
  AppendFileBytes(At("journal"), "");
  EXPECT_EQ(ReadFileBytes(At("journal")), "one\ntwo\n");
  EXPECT_THROW(AppendFileBytes(At("nodir/journal"), "x"), EInOutError);
}

TEST_F(FilesTest, ReadFileBytesReadsFilesOfEverySize) {
  // Sizes around the pieces a file is read in, and a file whose size the
  // system does not know in advance.
  for (size_t n : {size_t{1}, size_t{65535}, size_t{65536}, size_t{65537}, size_t{1} << 20}) {
    std::string data(n, '\0');
    for (size_t i = 0; i < n; ++i) data[i] = static_cast<char>(i * 131 % 251);
    WriteFileBytes(At("sized"), data);
    EXPECT_EQ(ReadFileBytes(At("sized")), data) << n;
  }
  if (std::filesystem::exists("/proc/self/status")) {
    EXPECT_NE(ReadFileBytes("/proc/self/status").find("Pid:"), std::string::npos);
  }
}

TEST_F(FilesTest, AppendingFileKeepsEveryLineInOrder) {
  AppendingFile log;
  log.Append(At("log"), "one\r\n");
  EXPECT_EQ(ReadFileBytes(At("log")), "one\r\n") << "in the file before Append returns";
  log.Append(d_ + "\\log", "two\r\n");
  // Another writer of the same file: both lines land at the end.
  AppendFileBytes(At("log"), "other\r\n");
  log.Append(At("log"), "three\r\n");
  EXPECT_EQ(ReadFileBytes(At("log")), "one\r\ntwo\r\nother\r\nthree\r\n");
}

TEST_F(FilesTest, AppendingFileFollowsPathAndDeletedFiles) {
  AppendingFile log;
  log.Append(At("a"), "1\n");
  log.Append(At("b"), "2\n");
  EXPECT_EQ(ReadFileBytes(At("a")), "1\n");
  EXPECT_EQ(ReadFileBytes(At("b")), "2\n");
  // Deleted while open: the next line creates it again. (Windows before
  // its files' POSIX deletion, and wine, keep a deleted file's name until
  // its last handle closes; the Windows side looks at the file's pending
  // deletion where the system reports it.)
#ifndef _WIN32
  ASSERT_TRUE(DeleteFile(At("b")));
  log.Append(At("b"), "3\n");
  EXPECT_EQ(ReadFileBytes(At("b")), "3\n");
#endif
  if (qortest::UnderWine()) GTEST_SKIP() << "wine refuses to replace a file the log holds open";
  // Replaced by another file of its name: the line goes to the new file.
  WriteFileAtomic(At("b"), "new\n");
  log.Append(At("b"), "4\n");
  EXPECT_EQ(ReadFileBytes(At("b")), "new\n4\n");
  // Renamed away while open (a cleanup tool keeping old logs): the next
  // line goes to a new file of the name, not to the renamed one.
  ASSERT_TRUE(RenameFile(At("b"), At("b.old")));
  log.Append(At("b"), "5\n");
  EXPECT_EQ(ReadFileBytes(At("b")), "5\n");
  EXPECT_EQ(ReadFileBytes(At("b.old")), "new\n4\n");
}

TEST_F(FilesTest, AppendingFileFailureRaisesAndRecovers) {
  AppendingFile log;
  EXPECT_THROW(log.Append(At("nodir/log"), "x"), EInOutError);
  ForceDirectories(At("nodir"));
  log.Append(At("nodir/log"), "y");
  EXPECT_EQ(ReadFileBytes(At("nodir/log")), "y");
  // The folder removed under the open file: the next line cannot be written.
  // (Windows refuses to remove a folder with a file open in it.)
#ifndef _WIN32
  std::filesystem::remove_all(At("nodir"));
  EXPECT_THROW(log.Append(At("nodir/log"), "z"), EInOutError);
#endif
}

}  // namespace
