// Loading shared libraries by the module's names.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/text.h"

using namespace rtl;

namespace {

// The run-time layer's own library (built beside the tests) serves as a
// library to load: its file name is libqorrtl.so.
std::string BinDir() {
  const char* b = std::getenv("QOR_BUILD_BIN");
  if (b && *b) return b;
  return ProgramDir();
}

class LibraryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ClearLibraryOverrides();
    unsetenv("QOR_LIBRARY_PATH");
  }
};

TEST_F(LibraryTest, MissingLibraryGivesAClearError) {
  std::string err;
  EXPECT_EQ(LoadLibraryByName("NoSuchVendor.dll", &err), nullptr);
  EXPECT_NE(err.find("Cannot load library \"NoSuchVendor.dll\""), std::string::npos) << err;
  EXPECT_NE(err.find("libNoSuchVendor.so"), std::string::npos) << err;
  EXPECT_NE(err.find("NoSuchVendor.so"), std::string::npos) << err;
  EXPECT_EQ(LoadLibraryByName("NoSuchVendor.dll"), nullptr);  // no error pointer: fine too
  EXPECT_EQ(LoadLibraryByName("", &err), nullptr);
  EXPECT_EQ(CurrentEnv()->LoadLibrary("NoSuchVendor.dll"), nullptr);
}

TEST_F(LibraryTest, MissingLibraryWithAFolder) {
  std::string err;
  EXPECT_EQ(LoadLibraryByName("C:\\Windows\\NoSuch.dll", &err), nullptr);
  EXPECT_NE(err.find("NoSuch.dll"), std::string::npos) << err;
}

TEST_F(LibraryTest, DllNameFindsLibSoInTheSearchPath) {
  setenv("QOR_LIBRARY_PATH", ("/nonexistent:" + BinDir()).c_str(), 1);
  std::string err;
  void* h = LoadLibraryByName("qorrtl.dll", &err);
  ASSERT_NE(h, nullptr) << err;
  // Case-insensitive file name, one handle for every caller.
  EXPECT_EQ(LoadLibraryByName("QORRTL.DLL", &err), h) << err;
  EXPECT_EQ(CurrentEnv()->LoadLibrary("qorrtl.dll"), h);
  // The same library the tests link: the symbol is the function they call.
  void* sym = GetLibrarySymbol(h, "_ZN3rtl10StrToInt64ESt17basic_string_viewIcSt11char_traitsIcEE");
  EXPECT_EQ(sym, reinterpret_cast<void*>(&rtl::StrToInt64));
  EXPECT_EQ(GetLibrarySymbol(h, "NoSuchEntryPoint"), nullptr);
  EXPECT_EQ(CurrentEnv()->GetProcAddress(h, "NoSuchEntryPoint"), nullptr);
  EXPECT_EQ(GetLibrarySymbol(nullptr, "x"), nullptr);
}

TEST_F(LibraryTest, OverrideComesFirst) {
  std::string lib = BinDir() + "/libqorrtl.so";
  ASSERT_TRUE(FileExists(lib));
  SetLibraryOverride("QorOverrideOnly.dll", lib);
  std::string err;
  void* h = LoadLibraryByName("QOROVERRIDEONLY.dll", &err);
  ASSERT_NE(h, nullptr) << err;
  EXPECT_EQ(LoadLibraryByName("QorOverrideOnly.dll", &err), h);
  SetLibraryOverride("QorOverrideOnly.dll", "");
  EXPECT_EQ(LoadLibraryByName("QorOverrideOnly.dll", &err), nullptr);
  SetLibraryOverride("Broken.dll", "/nonexistent/libBroken.so");
  EXPECT_EQ(LoadLibraryByName("Broken.dll", &err), nullptr);
  EXPECT_NE(err.find("override"), std::string::npos) << err;
}

TEST_F(LibraryTest, ABrokenFileStopsTheSearch) {
  auto dir = std::filesystem::temp_directory_path() / ("rtl-lib-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  WriteFileBytes((dir / "libBad.so").string(), "not an ELF file");
  setenv("QOR_LIBRARY_PATH", dir.string().c_str(), 1);
  std::string err;
  EXPECT_EQ(LoadLibraryByName("Bad.dll", &err), nullptr);
  EXPECT_NE(err.find("libBad.so"), std::string::npos) << err;
  std::filesystem::remove_all(dir);
}

TEST_F(LibraryTest, PathWithFolderLoadsAsGiven) {
  std::string err;
  void* h = LoadLibraryByName(BinDir() + "/libqorrtl.so", &err);
  ASSERT_NE(h, nullptr) << err;
  EXPECT_EQ(LoadLibraryByName(BinDir() + "/qorrtl.dll", &err), h) << err;
}

}  // namespace
