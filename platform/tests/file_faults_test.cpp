// The seam that fails the program's own file operations (Env::FileOperation):
// every routine that changes or opens a file asks it once and fails its
// usual way without touching the disk; queries and the file operations of a
// library the program calls into are not asked. Also the copy written beside
// its target.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/process.h"

using namespace rtl;

namespace {

namespace fs = std::filesystem;

class FileFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rtl-filefaults-" + std::to_string(rtl::ProcessId()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    prev_ = SetEnv(&env_);
  }
  void TearDown() override {
    SetEnv(prev_);
    fs::remove_all(dir_);
  }
  std::string At(const std::string& rel) const { return (dir_ / rel).string(); }
  static std::string Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static void Put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  // The folder's entries, so that a refused operation is seen to leave it as it was.
  std::vector<std::string> Entries() const {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().string() + "=" +
                                                                (e.is_regular_file() ? Text(e.path().string()) : "/"));
    std::sort(out.begin(), out.end());
    return out;
  }

  ConfigurableEnv env_;
  Env* prev_ = nullptr;
  fs::path dir_;
};

// Each routine: what it is asked as, and how its refusal shows.
struct Routine {
  const char* name;
  const char* kind;
  std::function<bool(const std::string& dir)> run;  // false: it failed
};

TEST_F(FileFaultsTest, EveryRoutineAsksOnceAndFailsItsUsualWayWithoutTouchingTheDisk) {
  auto raises = [](const std::function<void()>& f, const char* cls) {
    try {
      f();
    } catch (const Exception& e) {
      EXPECT_STREQ(e.className(), cls);
      EXPECT_NE(std::string(e.what()).find(std::strerror(ENOSPC)), std::string::npos) << e.what();
      return false;
    }
    return true;
  };
  const Routine routines[] = {
      {"ReadFileBytes", "read", [&](const std::string& d) {
         return raises([&] { ReadFileBytes(d + "/old.txt"); }, "EFOpenError"); }},
      {"ReadFileBuffer", "read", [&](const std::string& d) {
         return raises([&] { ReadFileBuffer(d + "/old.txt"); }, "EFOpenError"); }},
      {"WriteFileBytes", "write", [&](const std::string& d) {
         return raises([&] { WriteFileBytes(d + "/old.txt", "new"); }, "EInOutError"); }},
      {"WriteFileAtomic", "replace", [&](const std::string& d) {
         return raises([&] { WriteFileAtomic(d + "/old.txt", "new"); }, "EInOutError"); }},
      {"AppendFileBytes", "append", [&](const std::string& d) {
         return raises([&] { AppendFileBytes(d + "/old.txt", "new"); }, "EInOutError"); }},
      {"ReadWriteFile", "append", [&](const std::string& d) {
         return raises([&] { ReadWriteFile f(d + "/old.txt", true); f.Append("new"); }, "EInOutError"); }},
      {"AppendingFile", "append", [&](const std::string& d) {
         AppendingFile f;
         return raises([&] { f.Append(d + "/old.txt", "new"); }, "EInOutError"); }},
      {"CopyFile", "copy", [](const std::string& d) {
         int error = 0;
         const bool ok = CopyFile(d + "/old.txt", d + "/copy.txt", false, error);
         EXPECT_EQ(error, ok ? 0 : ENOSPC);
         return ok; }},
      {"CopyFileAtomic", "copy", [](const std::string& d) {
         int error = 0;
         const bool ok = CopyFileAtomic(d + "/old.txt", d + "/copy.txt", error);
         EXPECT_EQ(error, ok ? 0 : ENOSPC);
         return ok; }},
      {"RenameFile", "rename", [](const std::string& d) {
         return RenameFile(d + "/old.txt", d + "/renamed.txt"); }},
      {"DeleteFile", "delete", [](const std::string& d) {
         int error = 0;
         const bool ok = DeleteFile(d + "/old.txt", error);
         EXPECT_EQ(error, ok ? 0 : ENOSPC);
         return ok; }},
      {"CreateDir", "mkdir", [](const std::string& d) { return CreateDir(d + "/sub"); }},
      {"ForceDirectories", "mkdir", [](const std::string& d) {
         return ForceDirectories(d + "/a/b"); }},
  };
  for (const Routine& r : routines) {
    SCOPED_TRACE(r.name);
    Put(At("old.txt"), "old");
    for (auto& e : fs::directory_iterator(dir_))
      if (e.path().filename() != "old.txt") fs::remove_all(e.path());
    // Not failed: it runs, asked exactly once.
    env_.fileOperations = 0;
    env_.fileFaultAt = 0;
    EXPECT_TRUE(r.run(dir_.string()));
    EXPECT_EQ(env_.fileOperations, 1);
    // Failed: the usual failure, nothing changed on the disk.
    Put(At("old.txt"), "old");
    for (auto& e : fs::directory_iterator(dir_))
      if (e.path().filename() != "old.txt") fs::remove_all(e.path());
    const auto before = Entries();
    env_.fileOperations = 0;
    env_.fileFaultAt = 1;
    env_.fileFaultError = ENOSPC;
    env_.fileFaultLanded.clear();
    EXPECT_FALSE(r.run(dir_.string()));
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(env_.fileFaultLanded.rfind(std::string(r.kind) + " ", 0), 0u) << env_.fileFaultLanded;
    env_.fileFaultAt = 0;
  }
}

TEST_F(FileFaultsTest, TheNthOperationFailsOnceOrFromThenOn) {
  struct Case {
    const char* name;
    bool fromThenOn;
    std::vector<bool> written;  // of five appends
  } cases[] = {{"once", false, {true, true, false, true, true}},
               {"from then on", true, {true, true, false, false, false}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    env_.fileOperations = 0;
    env_.fileFaultAt = 3;
    env_.fileFaultFromThenOn = c.fromThenOn;
    std::vector<bool> written;
    for (int i = 0; i < 5; ++i) {
      try {
        AppendFileBytes(At("log.txt"), "x");
        written.push_back(true);
      } catch (const EInOutError&) {
        written.push_back(false);
      }
    }
    EXPECT_EQ(written, c.written);
    fs::remove(At("log.txt"));
  }
}

TEST_F(FileFaultsTest, QueriesAndAForeignLibrarysFilesAreNotAsked) {
  Put(At("old.txt"), "old");
  env_.fileFaultAt = 1;
  env_.fileFaultFromThenOn = true;
  EXPECT_TRUE(FileExists(At("old.txt")));
  EXPECT_TRUE(DirectoryExists(dir_.string()));
  EXPECT_EQ(FileSize(At("old.txt")), 3);
  SearchRec rec;
  FileSearch search;
  EXPECT_EQ(search.FindFirst(At("*.txt"), rec), 0);
  EXPECT_EQ(env_.fileOperations, 0);
  {
    ForeignFileScope library;
    EXPECT_NO_THROW(WriteFileAtomic(At("old.txt"), "library's"));
  }
  EXPECT_EQ(env_.fileOperations, 0);
  EXPECT_EQ(Text(At("old.txt")), "library's");
  EXPECT_THROW(WriteFileAtomic(At("old.txt"), "program's"), EInOutError);
  EXPECT_EQ(env_.fileOperations, 1);
  // Off: nothing is counted or failed.
  env_.countFileOperations = false;
  EXPECT_NO_THROW(WriteFileAtomic(At("old.txt"), "program's"));
  EXPECT_EQ(env_.fileOperations, 1);
}

TEST_F(FileFaultsTest, AnAtomicCopyReplacesTheTargetWholeOrLeavesItAlone) {
  Put(At("from.txt"), std::string(100000, 'n'));
  Put(At("to.txt"), "old");
  int error = -1;
  ASSERT_TRUE(CopyFileAtomic(At("from.txt"), At("to.txt"), error));
  EXPECT_EQ(error, 0);
  EXPECT_EQ(Text(At("to.txt")), std::string(100000, 'n'));
  // A source that is not there: the target keeps its contents.
  Put(At("to.txt"), "old");
  EXPECT_FALSE(CopyFileAtomic(At("missing.txt"), At("to.txt"), error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(Text(At("to.txt")), "old");
  // A target folder that is not there: nothing is left anywhere.
  EXPECT_FALSE(CopyFileAtomic(At("from.txt"), At("none/to.txt"), error));
  EXPECT_NE(error, 0);
  EXPECT_EQ(Entries().size(), 2u);
}

}  // namespace
