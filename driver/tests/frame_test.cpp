// The frame's helpers: printer amounts, the debug log, the parameter reset,
// the data module and its catalogue.
#include <cmath>
#include <fstream>
#include <string>

#include "module/Qor01100.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "tests/support/module_fixture.h"

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

TEST_F(FrameTest, DebugLogWriteFailureRaises) {
  // The host folder is gone and cannot be written: the caller gets the I/O error.
  env.programPath = (tmp / "missing" / "dir" / "qorhost").string();
  EXPECT_THROW(Qor01100::ImpFisDebug("x"), rtl::EInOutError);
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
  EXPECT_EQ(Qor01100::HostDirectory(), hostDir.string() + "\\");
}

}  // namespace
