// The Env seam: default implementation, replacement, wrappers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "platform/datetime.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/portable.h"

using namespace rtl;

namespace {

TEST(Env, DefaultClockIsLocalNow) {
  TDateTime before = DefaultEnv()->Now();
  ASSERT_GT(before, EncodeDate(2020, 1, 1));
  EXPECT_NEAR(FromUnixSeconds(ToUnixSeconds(before)), std::floor(before * 86400) / 86400, 2.0 / 86400);
  EXPECT_EQ(CurrentEnv(), DefaultEnv());
}

TEST(Env, DefaultPaths) {
  Env* e = DefaultEnv();
  std::string exe = e->ProgramPath();
  ASSERT_FALSE(exe.empty());
  EXPECT_TRUE(std::filesystem::path(exe).is_absolute()) << exe;
  EXPECT_TRUE(FileExists(exe)) << exe;
  EXPECT_NE(exe.find("_tests"), std::string::npos) << exe;  // this test program
  EXPECT_EQ(ParamStr0(), exe);
  std::string dir = ProgramDir();
  const size_t sep = exe.find_last_of("/\\");
  EXPECT_EQ(dir + exe[sep] + exe.substr(sep + 1), exe);
  EXPECT_NE(dir.back(), exe[sep]);
  EXPECT_EQ(e->ShortPath("C:\\Arquivos de Programas\\x"), "C:\\Arquivos de Programas\\x");

  qortest::UnsetEnvVar("QOR_SYSTEM_DIR");
#ifdef _WIN32
  const std::string system = e->SystemDirectory();  // GetSystemDirectoryA: "C:\windows\system32" or so
  EXPECT_TRUE(DirectoryExists(system)) << system;
  EXPECT_NE(AnsiLowerCase(system).find("system32"), std::string::npos) << system;
#else
  EXPECT_EQ(e->SystemDirectory(), "/etc");
#endif
  qortest::SetEnvVar("QOR_SYSTEM_DIR", "/tmp/sys");
  EXPECT_EQ(e->SystemDirectory(), "/tmp/sys");
  qortest::UnsetEnvVar("QOR_SYSTEM_DIR");
}

#ifdef _WIN32
// The short form of an existing path has no blanks and names the same folder.
TEST(Env, ShortPathOfAnExistingFolder) {
  const std::filesystem::path base = qortest::MakeTempDir("envshort");
  const std::filesystem::path dir = base / "Arquivos de Programas";
  std::filesystem::create_directories(dir);
  const std::string shortPath = DefaultEnv()->ShortPath(dir.string());
  EXPECT_TRUE(DirectoryExists(shortPath)) << shortPath;
  EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
  std::filesystem::remove_all(base);
}
#endif

// A test's folder is its own short form, whatever other folders the
// temporary folder holds: under wine the short form of a longer name is a
// hash that another folder may share, and the module works with short paths.
TEST(Env, TestFoldersAreTheirOwnShortForm) {
  for (const char* prefix : {"qortest", "Arquivos de Programas", "x"}) {
    const std::filesystem::path dir = qortest::MakeTempDir(prefix);
    EXPECT_EQ(DefaultEnv()->ShortPath(dir.string()), dir.string()) << prefix;
    std::filesystem::remove_all(dir);
  }
}

TEST(Env, SleepAndMessages) {
  TDateTime t0 = DefaultEnv()->Now();
  DefaultEnv()->Sleep(20);
  EXPECT_GE((DefaultEnv()->Now() - t0) * 86400000.0, 15);
  DefaultEnv()->Sleep(0);
  DefaultEnv()->Sleep(-5);
  ProcessMessages();
}

TEST(Env, ReplaceAndRestore) {
  ConfigurableEnv c;
  c.clockFrozen = true;
  c.frozenNow = EncodeDate(2024, 3, 1);
  c.programPath = "/opt/host/qorhost";
  c.systemDirectory = "/sys/dir";
  {
    ScopedEnv scope(&c);
    EXPECT_EQ(CurrentEnv(), &c);
    EXPECT_EQ(Now(), EncodeDate(2024, 3, 1));
    EXPECT_EQ(ParamStr0(), "/opt/host/qorhost");
    EXPECT_EQ(ProgramDir(), "/opt/host");
    EXPECT_EQ(CurrentEnv()->SystemDirectory(), "/sys/dir");
    ProcessMessages();
    ProcessMessages();
    EXPECT_EQ(c.processMessagesCalls, 2);
    EXPECT_FALSE(CurrentEnv()->Terminated());
    Terminate();
    EXPECT_TRUE(c.terminateRequested);
    EXPECT_TRUE(CurrentEnv()->Terminated());
    CurrentEnv()->Sleep(1000);
    EXPECT_EQ(c.sleptMs, 1000);  // not really slept
  }
  EXPECT_EQ(CurrentEnv(), DefaultEnv());
  Env* prev = SetEnv(&c);
  EXPECT_EQ(prev, DefaultEnv());
  EXPECT_EQ(SetEnv(nullptr), &c);
  EXPECT_EQ(CurrentEnv(), DefaultEnv());
}

TEST(Env, ProgramDirEdgeCases) {
  ConfigurableEnv c;
  ScopedEnv scope(&c);
  c.programPath = "C:\\Caixa\\host.exe";
  EXPECT_EQ(ProgramDir(), "C:\\Caixa");
  c.programPath = "/qorhost";
  EXPECT_EQ(ProgramDir(), "/");
}

TEST(Env, WrapperOverridesOneCall) {
  struct Late : EnvWrapper {
    Late() : EnvWrapper(DefaultEnv()) {}
    TDateTime Now() override { return 1.5; }
  } late;
  ScopedEnv scope(&late);
  EXPECT_EQ(Now(), 1.5);
  EXPECT_EQ(ParamStr0(), DefaultEnv()->ProgramPath());
}

}  // namespace
