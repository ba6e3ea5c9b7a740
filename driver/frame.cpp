// Small services every operation shares: printer amounts, the data module,
// message lookup, traces and the host directory.
#include "driver/frame.h"

#include "driver/datamodule/dtmElgin01100.h"
#include "platform/env.h"
#include "platform/format.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace Qor01100 {

double GetValue(const std::string& S) {
  // Digits with two implied decimals: "000000012345" is 123.45. Separators
  // the printer may have put in are removed first, so "1.234,56" is 1234.56.
  std::string s = rtl::Trim(S);
  s = rtl::StringReplace(s, ",", "");
  s = rtl::StringReplace(s, ".", "");
  const int64_t n = static_cast<int64_t>(s.size());
  std::string text = rtl::Copy(s, 1, n - 2) + rtl::Settings().DecimalSeparator + rtl::Copy(s, n - 1, 2);
  return rtl::StrToFloat(text);  // raises EConvertError on text that is not a number
}

void LimpaParametros() {
  // Created first when nothing has created it yet (a host that calls this
  // before any other operation must not crash).
  TdtmElgin01100& dm = DataModule();
  inRetornoErro = 0;
  inRetornoFuncao = 0;
  dm.inPos = 0;
  dm.inPos1 = 0;
  stRetornoErro.clear();
  stRetornoFuncao.clear();
  stTamRetorno.clear();
  stParametro.clear();
}

const char* StrToPChar(const std::string& S) {
  // The string's own buffer, no copy. An empty string has a buffer too
  // here (a single terminating zero), so the pointer is never null.
  return S.c_str();
}

TdtmElgin01100& DataModule() {
  if (dtmElgin01100 == nullptr) dtmElgin01100 = new TdtmElgin01100();  // lives until the process ends
  return *dtmElgin01100;
}

std::string HostDirectory() {
  rtl::Env* env = rtl::CurrentEnv();
  return env->ShortPath(rtl::ProgramDir() + "\\");
}

std::string Msg(const std::string& key) { return DataModule().msgPadrao.Msg(key); }
std::string Msg2(const std::string& key) { return DataModule().msgPadrao2.Msg(key); }

std::string Trace(const std::string& name, const std::string& answer) {
  return name + "\r\nRetorno da Impressora : " + answer;
}

}  // namespace Qor01100

