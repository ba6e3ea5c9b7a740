// Locale settings that the formatting and conversion routines read. One
// process-wide instance, Brazilian by default, switchable by hosts and tests.
#pragma once
#include <array>
#include <string>

namespace rtl {

struct FormatSettings {
  char DecimalSeparator = ',';
  char ThousandSeparator = '.';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "dd/mm/yyyy";
  std::string LongDateFormat = "dddd, d' de 'mmmm' de 'yyyy";
  std::string ShortTimeFormat = "hh:nn";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::string CurrencyString = "R$";
  int CurrencyFormat = 2;   // "$ 1"
  int NegCurrFormat = 9;    // "-$ 1"
  int CurrencyDecimals = 2;
  int TwoDigitYearCenturyWindow = 50;
  std::array<std::string, 12> ShortMonthNames{"jan", "fev", "mar", "abr", "mai", "jun",
                                              "jul", "ago", "set", "out", "nov", "dez"};
  std::array<std::string, 12> LongMonthNames{"janeiro", "fevereiro", "março", "abril",
                                             "maio",    "junho",     "julho", "agosto",
                                             "setembro", "outubro",  "novembro", "dezembro"};
  std::array<std::string, 7> ShortDayNames{"dom", "seg", "ter", "qua", "qui", "sex", "sáb"};
  std::array<std::string, 7> LongDayNames{"domingo", "segunda-feira", "terça-feira",
                                          "quarta-feira", "quinta-feira", "sexta-feira",
                                          "sábado"};
};
// Note: the month and day names above are written in this source as UTF-8
// and converted to 1252 when the settings are first created.

// The process-wide settings (shared by the host and the module).
FormatSettings& Settings();
// Back to the Brazilian defaults.
void ResetSettings();

// Sets the settings for the lifetime of the object and restores them after (tests).
class ScopedSettings {
 public:
  ScopedSettings() : saved_(Settings()) {}
  ~ScopedSettings() { Settings() = saved_; }
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;

 private:
  FormatSettings saved_;
};

}  // namespace rtl
