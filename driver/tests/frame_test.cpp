// The frame's helpers: printer amounts, the debug log, the parameter reset,
// the data module and its catalogue.
#include <cmath>
#include <fstream>
#include <string>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "tests/support/module_fixture.h"
#include "tests/support/portable.h"

namespace {

using qortest::ModuleTest;
class FrameTest : public ModuleTest {};

TEST_F(FrameTest, GetValueReadsTwoImpliedDecimals) {
  const std::pair<const char*, double> cases[] = {
      {"000000012345", 123.45}, {"000000000000", 0.0},  {"  000000100000  ", 1000.0},
      {"1.234,56", 1234.56},    {"1,234.56", 1234.56},  {"5", 0.5},
      {"-000000001050", -10.5}, {"99999999999999", 999999999999.99},
  };
  for (auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    EXPECT_DOUBLE_EQ(Qor01100::GetValue(text), value);
  }
}

TEST_F(FrameTest, GetValueFollowsTheLocaleDecimalSeparator) {
  rtl::ScopedSettings keep;
  rtl::Settings().DecimalSeparator = '.';
  EXPECT_DOUBLE_EQ(Qor01100::GetValue("000000012345"), 123.45);
}

TEST_F(FrameTest, GetValueRaisesOnTextThatIsNotAnAmount) {
  for (const char* text : {"", "   ", "12AB56", "x"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(Qor01100::GetValue(text), rtl::EConvertError);
  }
}

TEST_F(FrameTest, DebugLogLineFormatAndMonthlyFiles) {
  SetClock(2026, 7, 31, 23, 59, 58);
  Qor01100::ImpFisDebug("primeira");
  Qor01100::ImpFisDebug(A("Elgin_X\r\nRetorno da Impressora : ação"));
  SetClock(2026, 8, 1, 0, 0, 1);
  Qor01100::ImpFisDebug("segunda");

  std::ifstream july(hostDir / "impdebug0726.txt", std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(july)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "31/07/2026 23:59:58 - primeira\r\n31/07/2026 23:59:58 - " +
                         A("Elgin_X\r\nRetorno da Impressora : ação") + "\r\n");
  std::ifstream august(hostDir / "impdebug0826.txt", std::ios::binary);
  std::string content2((std::istreambuf_iterator<char>(august)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content2, "01/08/2026 00:00:01 - segunda\r\n");
}

TEST_F(FrameTest, DebugLogLinesAreInTheFileWhenTheCallReturns) {
  SetClock(2026, 3, 5, 10, 0, 0);
  const auto path = hostDir / "impdebug0326.txt";
  Qor01100::ImpFisDebug("um");
  EXPECT_EQ(rtl::ReadFileBytes(path.string()), "05/03/2026 10:00:00 - um\r\n");
  // Deleted while the module runs (an operator clearing the log): the next
  // line starts the file again.
  if (qortest::UnderWine())
    GTEST_SKIP() << "wine keeps a deleted file's name and contents until its last handle closes, "
                    "and does not report the pending deletion";
  std::filesystem::remove(path);
  Qor01100::ImpFisDebug("dois");
  EXPECT_EQ(rtl::ReadFileBytes(path.string()), "05/03/2026 10:00:00 - dois\r\n");
}

TEST_F(FrameTest, DebugLogFollowsTheHostFolderAndTheLocale) {
  SetClock(2026, 3, 5, 10, 0, 0);
  Qor01100::ImpFisDebug("antes");
  const auto other = tmp / "outro";
  std::filesystem::create_directories(other);
  env.programPath = (other / "qorhost").string();
  {
    rtl::ScopedSettings keep;
    rtl::Settings().ShortDateFormat = "yyyy-mm-dd";
    Qor01100::ImpFisDebug("depois");
  }
  EXPECT_EQ(rtl::ReadFileBytes((hostDir / "impdebug0326.txt").string()), "05/03/2026 10:00:00 - antes\r\n");
  EXPECT_EQ(rtl::ReadFileBytes((other / "impdebug0326.txt").string()), "2026-03-05 10:00:00 - depois\r\n");
}

TEST_F(FrameTest, DebugLogMonthsOutsideTheUsualRange) {
  // The first and last months a date-time holds, and a date before 1899.
  const std::pair<rtl::TDateTime, const char*> cases[] = {
      {rtl::EncodeDate(9999, 12, 31) + 0.5, "impdebug1299.txt"},
      {rtl::EncodeDate(9999, 11, 30), "impdebug1199.txt"},
      {rtl::EncodeDate(1899, 12, 29) - 0.25, "impdebug1299.txt"},
      {rtl::EncodeDate(1, 1, 1), "impdebug0101.txt"},
  };
  env.clockFrozen = true;
  for (auto& [when, name] : cases) {
    SCOPED_TRACE(name);
    std::filesystem::remove(hostDir / name);
    env.frozenNow = when;
    Qor01100::ImpFisDebug("x");
    EXPECT_EQ(rtl::FileSize((hostDir / name).string()) > 0, true);
  }
}

TEST_F(FrameTest, DebugLogWriteFailureRaises) {
  // The host folder is gone and cannot be written: the caller gets the I/O error.
  env.programPath = (tmp / "missing" / "dir" / "qorhost").string();
  EXPECT_THROW(Qor01100::ImpFisDebug("x"), rtl::EInOutError);
}

TEST_F(FrameTest, LimpaParametrosBeforeAnythingElseCreatesTheDataModule) {
  ASSERT_EQ(Qor01100::dtmElgin01100, nullptr);  // a fresh process: nothing created it yet
  Qor01100::inRetornoErro = 3;
  EXPECT_NO_FATAL_FAILURE(Qor01100::LimpaParametros());
  ASSERT_NE(Qor01100::dtmElgin01100, nullptr);
  EXPECT_EQ(Qor01100::dtmElgin01100->inPos, 0);
  EXPECT_EQ(Qor01100::inRetornoErro, 0);
}

TEST_F(FrameTest, LimpaParametrosResetsOnlyTheHostFacingVariables) {
  Qor01100::DataModule();
  Qor01100::inRetorno = 5;
  Qor01100::stMensagemTaa = "msg";
  Qor01100::stRetorno = "ret";
  Qor01100::stImpDebug = "dbg";
  Qor01100::inRetornoErro = 3;
  Qor01100::inRetornoFuncao = 4;
  Qor01100::stRetornoErro = "a";
  Qor01100::stRetornoFuncao = "b";
  Qor01100::stTamRetorno = "c";
  Qor01100::stParametro = "d";
  Qor01100::dtmElgin01100->inPos = 7;
  Qor01100::dtmElgin01100->inPos1 = 8;
  Qor01100::LimpaParametros();
  EXPECT_EQ(Qor01100::inRetorno, 5);
  EXPECT_EQ(Qor01100::stMensagemTaa, "msg");
  EXPECT_EQ(Qor01100::stRetorno, "ret");
  EXPECT_EQ(Qor01100::stImpDebug, "dbg");
  EXPECT_EQ(Qor01100::inRetornoErro, 0);
  EXPECT_EQ(Qor01100::inRetornoFuncao, 0);
  EXPECT_EQ(Qor01100::stRetornoErro, "");
  EXPECT_EQ(Qor01100::stRetornoFuncao, "");
  EXPECT_EQ(Qor01100::stTamRetorno, "");
  EXPECT_EQ(Qor01100::stParametro, "");
  EXPECT_EQ(Qor01100::dtmElgin01100->inPos, 0);
  EXPECT_EQ(Qor01100::dtmElgin01100->inPos1, 0);
}

TEST_F(FrameTest, StrToPCharSharesTheStringsBuffer) {
  std::string s = "abc";
  EXPECT_EQ(Qor01100::StrToPChar(s), s.c_str());
  std::string empty;
  ASSERT_NE(Qor01100::StrToPChar(empty), nullptr);
  EXPECT_EQ(Qor01100::StrToPChar(empty)[0], '\0');
}

TEST_F(FrameTest, InitialSharedState) {
  EXPECT_EQ(Qor01100::inRetorno, 0);
  EXPECT_TRUE(Qor01100::boNUtilTaa);
  EXPECT_FALSE(Qor01100::boClieUtil);
  EXPECT_FALSE(Qor01100::boImpFiscalOK);
  EXPECT_TRUE(Qor01100::stRetorno.empty());
  EXPECT_TRUE(Qor01100::stMensagemTaa.empty());
}

TEST_F(FrameTest, DataModuleIsCreatedOnceAndReused) {
  TdtmElgin01100* first = &Qor01100::DataModule();
  EXPECT_EQ(Qor01100::dtmElgin01100, first);
  EXPECT_EQ(&Qor01100::DataModule(), first);
}

TEST_F(FrameTest, TraceFormat) {
  EXPECT_EQ(Qor01100::Trace("Elgin_NumeroCupom", "000123"),
            "Elgin_NumeroCupom\r\nRetorno da Impressora : 000123");
}

TEST_F(FrameTest, HostDirectoryEndsWithBackslash) {
  // The system's short form of the host folder (Windows gives the 8.3 name
  // where a name is long; elsewhere the path is as it is).
  const std::string dir = Qor01100::HostDirectory();
  EXPECT_EQ(dir, env.ShortPath(hostDir.string() + "\\"));
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '\\');
#ifdef _WIN32
  // The short form names the same folder.
  std::ofstream(hostDir / "marca.txt") << "x";
  EXPECT_EQ(rtl::ReadFileBytes(dir + "marca.txt"), "x");
#endif
}

}  // namespace
