// Small helpers the operations share around a call into the vendor library:
// the bare call, the host's parameter records and the operator notices.
// Internal to the module.
#pragma once
#include <cstddef>
#include <string>
#include <utility>

#include "hostlib/dialogs.h"
#include "hostlib/params.h"
#include "platform/env.h"
#include "platform/text.h"
#include "platform/variant.h"

namespace Qor01100 {

// Calls an entry point; one that is not bound (driver not started) answers 0, the code of a communication failure.
// Operations send their commands through driver/command.h; this is for plain readings of the printer's record.
// What the library does with files meanwhile is its own, not the module's (rtl::ForeignFileScope).
template <class F, class... A>
int Vendor(F* f, A... a) {
  if (f == nullptr) return 0;
  rtl::ForeignFileScope library;
  return f(a...);
}

// A text the library wrote, up to its terminating zero if it wrote one.
// Command answers are read whole (driver/command.h); this cuts a text the
// module hands on as a value.
inline std::string Answer(const std::string& buf) { return buf.substr(0, buf.find('\0')); }

// The text of a key of the host's parameter record; a missing key raises the record's "not found" error.
inline std::string Text(const rtl::Variant& params, const char* key) {
  return hostlib::RecebeParams(params, key).AsString();
}

// A notice to the operator (no question) of the given kind, in the host's
// colour scheme; `detail` is the dialog's second text (a list, a reason).
inline void Notice(const std::string& text, int kind, const std::string& scheme, const std::string& detail = "") {
  hostlib::Mensagem(text, detail, "N", "N", kind, "", scheme, 0, nullptr);
}

// A yes/no confirmation in the host's colour scheme; true when the operator says yes.
inline bool Confirm(const std::string& text, const std::string& scheme) {
  return hostlib::Mensagem(text, "", "N", "S", hostlib::tmConfirmacao, "", scheme, 0, nullptr);
}

// A yes/no retry question (a warning in the host's colour scheme); true when the operator wants the step repeated.
inline bool AskRetry(const std::string& text, const std::string& scheme) {
  return hostlib::Mensagem(text, "", "N", "S", hostlib::tmAviso, "", scheme, 0, nullptr);
}

// A position as the printer numbers totalizers and rates: two digits with a leading zero ("00", "01", ...).
inline std::string TwoDigit(int i) { return i >= 0 && i < 10 ? "0" + rtl::IntToStr(i) : rtl::IntToStr(i); }

}  // namespace Qor01100
