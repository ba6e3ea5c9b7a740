// The debug log: one text file per calendar month in the host program's
// folder, "impdebugMMYY.txt". Each line is opened, appended and closed
// (so it is on disk before the call returns, and a month change simply
// names a new file); a failure to write raises EInOutError to the caller.
#include <string>

#include "driver/frame.h"
#include "platform/datetime.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/locale.h"

namespace Qor01100 {

void ImpFisDebug(const std::string& Msg) {
  const rtl::TDateTime now = rtl::Now();
  const std::string path = rtl::ProgramDir() + "\\impdebug" + rtl::FormatDateTime("mmyy", now) + ".txt";
  const rtl::FormatSettings& fs = rtl::Settings();
  std::string line = rtl::FormatDateTime(fs.ShortDateFormat, now) + " " +
                     rtl::FormatDateTime(fs.LongTimeFormat, now) + " - " + Msg + "\r\n";
  rtl::AppendFileBytes(path, line);
}

}  // namespace Qor01100

