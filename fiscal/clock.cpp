// The printer's calendar: movement date, date and time, the clock check
// run when the port is opened, and summer time.
#include "fiscal/clock.h"

#include "driver/command.h"
#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "hostlib/dialogs.h"
#include "hostlib/params.h"
#include "platform/errors.h"
#include "platform/format.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

bool TwoDigits(const std::string& s, int pos, int& out) {
  if (s.size() < static_cast<size_t>(pos) + 2) return false;
  const char a = s[pos], b = s[pos + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return false;
  out = (a - '0') * 10 + (b - '0');
  return true;
}

// A six-digit printer date "ddmmyy" in the current century: the first two
// digits of this year's four followed by the printer's two (so 311299 in
// 2026 is 31/12/2099). False when the text is not such a date.
bool PrinterDate(const std::string& ddmmyy, rtl::TDateTime& out) {
  int d = 0, m = 0, y = 0;
  if (!TwoDigits(ddmmyy, 0, d) || !TwoDigits(ddmmyy, 2, m) || !TwoDigits(ddmmyy, 4, y)) return false;
  const int century = rtl::DecodeDate(rtl::Date()).year / 100;
  return rtl::TryEncodeDate(century * 100 + y, m, d, out);
}

// The printer's date-time "ddmmyyhhnn..." as a date-time; the two-digit
// year is read as the locale's date conversion reads one (the century
// window around the current year).
bool PrinterDateTime(const std::string& s, rtl::TDateTime& out) {
  int d = 0, m = 0, y = 0, hh = 0, nn = 0;
  if (!TwoDigits(s, 0, d) || !TwoDigits(s, 2, m) || !TwoDigits(s, 4, y) || !TwoDigits(s, 6, hh) ||
      !TwoDigits(s, 8, nn))
    return false;
  const int window = rtl::Settings().TwoDigitYearCenturyWindow;
  const int pivot = rtl::DecodeDate(rtl::Date()).year - window;
  int year = y + pivot / 100 * 100;
  if (window > 0 && year < pivot) year += 100;
  rtl::TDateTime date = 0, time = 0;
  if (!rtl::TryEncodeDate(year, m, d, date) || !rtl::TryEncodeTime(hh, nn, 0, 0, time)) return false;
  out = date + time;
  return true;
}

// The clock difference "hh:nn" (optionally with a leading "-") as the
// number hhnn; false when it is not a time of day (a printer a day or
// more off, or an answer that makes no sense).
bool DifferenceHhNn(const std::string& diff, int& out) {
  const std::string t = !diff.empty() && diff[0] == '-' ? rtl::Copy(diff, 2, 5) : diff;
  rtl::TDateTime time = 0;
  if (!rtl::TryStrToTime(t, time)) return false;
  out = rtl::StrToInt(rtl::FormatDateTime("hhnn", time));
  return true;
}

}  // namespace

std::string TodayDdMmYy() { return rtl::FormatDateTime("ddmm", rtl::Now()) + rtl::FormatDateTime("yy", rtl::Date()); }

bool ReadMovementDate(rtl::TDateTime& date) {
  std::string data;
  const bool answered = Send(Query("Elgin_DataMovimento", Elgin_DataMovimento, data));
  if (data == "000000") data = TodayDdMmYy();  // no movement yet
  if (PrinterDate(data, date)) return answered;
  date = rtl::Date();
  return false;
}

rtl::TDateTime DataMoviFiscal(const std::string& stIgnorado) {
  rtl::TDateTime date = 0;
  ReadMovementDate(date);
  return date;
}

bool Data_Imp(const std::string& stIgnorado, std::string& stDataHora) {
  std::string date, time;
  return Send(Call("", Elgin_DataHoraImpressora, Into(date), Into(time))
                  .TraceWith([&] {
                    stDataHora = date + time;
                    return "Elgin_DataHoraImpressora" + stDataHora + time;
                  })
                  .Show(boNUtilTaa));
}

bool VerificaData(const std::string& stEsquemaCor, rtl::TDateTime& dtDate, const std::string& stDataAtu,
                  const std::string& stData, bool boSetaData) {
  bool result = true;
  try {
    DataModule();
    std::string dataAtu = stDataAtu;
    if (boSetaData && !Data_Imp("", dataAtu)) {
      boClieUtil = false;
      return false;
    }
    if (!dataAtu.empty()) {
      rtl::TDateTime printer = 0;
      if (!PrinterDateTime(dataAtu, printer))
        throw rtl::EConvertError("'" + rtl::Copy(dataAtu, 1, 10) + "' is not a valid date and time");
      const std::string diff = hostlib::SubtDataHoraKvx(printer, rtl::Now());
      // A difference that is not even a time of day (a day or more) is far
      // beyond the tolerance: it fails the check like any other.
      int hhnn = 0;
      const bool readable = DifferenceHhNn(diff, hhnn);
      if (!readable || hhnn > 15) {
        if (!(!boNUtilTaa && boClieUtil))
          Notice(Msg("Datadif"), hostlib::tmAviso, stEsquemaCor);
        boClieUtil = false;
        result = false;
      }
    }
    if (stData.empty()) {
      dtDate = rtl::Date();
    } else {
      rtl::TDateTime d = 0;
      if (!PrinterDate(stData, d)) throw rtl::EConvertError("'" + stData + "' is not a valid date");
      dtDate = d;
    }
  } catch (const rtl::Exception&) {
    dtDate = rtl::Date();
  }
  return result;
}

bool Estado_HorVerao(const std::string& stIgnorado) {
  int flags = 0;
  Send(Call("", Elgin_FlagsFiscais, &flags).TraceWith([&] { return Trace("Elgin_FlagsFiscais", rtl::IntToStr(flags)); }).Show(true));
  return (flags & 4) != 0;  // bit 2 of the fiscal flags: summer time
}

bool Muda_Horario() {
  return Send(Call("Elgin_ProgramaHorarioVerao", Elgin_ProgramaHorarioVerao));
}

}  // namespace Qor01100

