// Loading shared libraries by the module's names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/text.h"
#include "tests/support/portable.h"

using namespace rtl;

namespace {

// The run-time layer's own library (built beside the tests) serves as a
// library to load: its file name is libqorrtl.so (qorrtl.dll on Windows).
#ifdef _WIN32
constexpr char kListSeparator = ';';
#else
constexpr char kListSeparator = ':';
#endif

std::string BinDir() {
  const char* b = std::getenv("QOR_BUILD_BIN");
  if (b && *b) return b;
  return ProgramDir();
}

class LibraryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ClearLibraryOverrides();
    qortest::UnsetEnvVar("QOR_LIBRARY_PATH");
  }
};

TEST_F(LibraryTest, MissingLibraryGivesAClearError) {
  std::string err;
  EXPECT_EQ(LoadLibraryByName("NoSuchVendor.dll", &err), nullptr);
  EXPECT_NE(err.find("Cannot load library \"NoSuchVendor.dll\""), std::string::npos) << err;
  EXPECT_NE(err.find(qortest::SharedLibraryFile("NoSuchVendor")), std::string::npos) << err;
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
  qortest::SetEnvVar("QOR_LIBRARY_PATH", "/nonexistent" + std::string(1, kListSeparator) + BinDir());
  std::string err;
  void* h = LoadLibraryByName("qorrtl.dll", &err);
  ASSERT_NE(h, nullptr) << err;
  // Case-insensitive file name, one handle for every caller.
  EXPECT_EQ(LoadLibraryByName("QORRTL.DLL", &err), h) << err;
  EXPECT_EQ(CurrentEnv()->LoadLibrary("qorrtl.dll"), h);
  // The same library the tests link: the symbol is the function they call
  // (on Windows the test program's own address of it is an import stub, so
  // the symbol is called instead of compared).
  void* sym = GetLibrarySymbol(h, "_ZN3rtl10StrToInt64ESt17basic_string_viewIcSt11char_traitsIcEE");
  ASSERT_NE(sym, nullptr);
#ifndef _WIN32
  EXPECT_EQ(sym, reinterpret_cast<void*>(&rtl::StrToInt64));
#endif
  EXPECT_EQ(reinterpret_cast<decltype(&rtl::StrToInt64)>(sym)("1234567890123"), 1234567890123);
  EXPECT_EQ(GetLibrarySymbol(h, "NoSuchEntryPoint"), nullptr);
  EXPECT_EQ(CurrentEnv()->GetProcAddress(h, "NoSuchEntryPoint"), nullptr);
  EXPECT_EQ(GetLibrarySymbol(nullptr, "x"), nullptr);
}

TEST_F(LibraryTest, OverrideComesFirst) {
  std::string lib = BinDir() + "/" + qortest::SharedLibraryFile("qorrtl");
  ASSERT_TRUE(FileExists(lib));
  SetLibraryOverride("QorOverrideOnly.dll", lib);
  std::string err;
  void* h = LoadLibraryByName("QOROVERRIDEONLY.dll", &err);
  ASSERT_NE(h, nullptr) << err;
  EXPECT_EQ(LoadLibraryByName("QorOverrideOnly.dll", &err), h);
  SetLibraryOverride("QorOverrideOnly.dll", "");
  EXPECT_EQ(LoadLibraryByName("QorOverrideOnly.dll", &err), nullptr);
  SetLibraryOverride("Broken.dll", "/nonexistent/" + qortest::SharedLibraryFile("Broken"));
  EXPECT_EQ(LoadLibraryByName("Broken.dll", &err), nullptr);
  EXPECT_NE(err.find("override"), std::string::npos) << err;
}

TEST_F(LibraryTest, ABrokenFileStopsTheSearch) {
  auto dir = qortest::MakeTempDir("rtl-lib");
  WriteFileBytes((dir / qortest::SharedLibraryFile("Bad")).string(), "not a library file");
  qortest::SetEnvVar("QOR_LIBRARY_PATH", dir.string());
  std::string err;
  EXPECT_EQ(LoadLibraryByName("Bad.dll", &err), nullptr);
  EXPECT_NE(err.find(qortest::SharedLibraryFile("Bad")), std::string::npos) << err;
  std::filesystem::remove_all(dir);
}

TEST_F(LibraryTest, PathWithFolderLoadsAsGiven) {
  std::string err;
  void* h = LoadLibraryByName(BinDir() + "/" + qortest::SharedLibraryFile("qorrtl"), &err);
  ASSERT_NE(h, nullptr) << err;
  EXPECT_EQ(LoadLibraryByName(BinDir() + "/qorrtl.dll", &err), h) << err;
}

}  // namespace
