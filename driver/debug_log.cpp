// The debug log: one text file per calendar month in the host program's
// folder, "impdebugMMYY.txt". Each line is handed whole to the operating
// system before the call returns (a crash of the process loses nothing),
// without a flush to the disk per line. The file stays open between lines
// and is opened again when the month or the host folder changes, or when
// the file was deleted meanwhile (the next line creates it again). The
// month's file name is worked out once per month.
//
// Two ways in: ImpFisDebug, the host's call, raises EInOutError when the
// line cannot be written; DebugLog, the module's own lines (the command
// path, the operations' traces), never raises: a log that fails is noted in
// stMensagemTaa and the command goes on, since a printer command must not
// look failed, nor be sent again, because its trace could not be kept.
#include <cmath>
#include <exception>
#include <string>

#include "driver/frame.h"
#include "driver/state.h"
#include "platform/datetime.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/locale.h"

namespace Qor01100 {

namespace {

// The current month's file: its days [firstDay, endDay) and the host folder
// its name was made for.
struct MonthFile {
  std::string dir;
  rtl::TDateTime firstDay = 1, endDay = 0;  // empty until the first line
  std::string path;
};

const std::string& LogPath(rtl::TDateTime now) {
  static MonthFile m;
  const std::string dir = rtl::ProgramDir();
  const rtl::TDateTime day = std::trunc(now);  // the date part, as decoding takes it
  if (day < m.firstDay || day >= m.endDay || dir != m.dir) {
    const rtl::DateParts d = rtl::DecodeDate(now);
    m.firstDay = rtl::EncodeDate(d.year, d.month, 1);
    m.endDay = d.month < 12 ? rtl::EncodeDate(d.year, d.month + 1, 1) : m.firstDay + 31;
    m.dir = dir;
    m.path = dir + "\\impdebug" + rtl::FormatDateTime("mmyy", now) + ".txt";
  }
  return m.path;
}

}  // namespace

namespace {

// The start of the note a failing log leaves in stMensagemTaa ("não",
// "possível" and "depuração" in code page 1252).
const char kLogFailed[] = "N\xE3o foi poss\xEDvel gravar o log de depura\xE7\xE3o";

void WriteLine(const std::string& Msg) {
  static rtl::AppendingFile file;
  const rtl::TDateTime now = rtl::Now();
  const rtl::FormatSettings& fs = rtl::Settings();
  std::string line = rtl::FormatDateTime(fs.ShortDateFormat, now);
  line += ' ';
  line += rtl::FormatDateTime(fs.LongTimeFormat, now);
  line += " - ";
  line += Msg;
  line += "\r\n";
  file.Append(LogPath(now), line);
}

// Once: while stMensagemTaa holds the note, a further failure adds nothing
// (the coupon opening clears stMensagemTaa; the next failure notes it anew).
void NoteFailure(const std::string& reason) {
  if (stMensagemTaa.find(kLogFailed) != std::string::npos) return;
  stMensagemTaa += std::string(" ") + kLogFailed + ": " + reason;
}

}  // namespace

void ImpFisDebug(const std::string& Msg) { WriteLine(Msg); }

bool DebugLog(const std::string& line) {
  try {
    WriteLine(line);
    return true;
  } catch (const std::exception& e) {
    NoteFailure(e.what());
  } catch (...) {
    NoteFailure("?");
  }
  return false;
}

void ReportFailure(const std::string& text) {
  DebugLog("ERRO!!! " + text);
  stMensagemTaa += " " + text;
}

}  // namespace Qor01100
