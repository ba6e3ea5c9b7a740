// Operator dialogs: one handler installed by the host, one log of every
// dialog shown.
#include "hostlib/dialogs.h"

#include <mutex>
#include <utility>

#include "platform/text.h"

namespace hostlib {

namespace {

struct DialogState {
  std::mutex mutex;
  DialogHandler handler;
  std::vector<DialogRecord> log;
};

DialogState& State() {
  static DialogState* state = new DialogState();  // never destroyed: usable during process exit
  return *state;
}

}  // namespace

DialogHandler SetDialogHandler(DialogHandler h) {
  DialogState& st = State();
  std::lock_guard<std::mutex> lock(st.mutex);
  std::swap(st.handler, h);
  return h;
}

std::vector<DialogRecord> TakeDialogLog() {
  DialogState& st = State();
  std::lock_guard<std::mutex> lock(st.mutex);
  std::vector<DialogRecord> out;
  out.swap(st.log);
  return out;
}

const std::vector<DialogRecord>& DialogLog() { return State().log; }

// The answer is the handler's, for questions and notices alike (a host's
// notice usually answers true for its OK button; the module ignores the
// result of a notice). Without a handler nobody can say yes: the answer is
// false. The dialog is recorded in every case, also when the handler raises
// (then with the answer false, and the error goes on to the caller).
bool Mensagem(const std::string& text, const std::string& arg2, const std::string& arg3,
              const std::string& yesNo, int kind, const std::string& arg6,
              const std::string& scheme, int arg8, rtl::ClientDataSet* /*ds*/) {
  DialogRequest req;
  req.text = text;
  req.arg2 = arg2;
  req.arg3 = arg3;
  req.question = rtl::SameText(rtl::Trim(yesNo), "S");
  req.kind = kind;
  req.arg6 = arg6;
  req.scheme = scheme;
  req.arg8 = arg8;

  DialogState& st = State();
  DialogHandler handler;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    handler = st.handler;  // a copy: the handler may itself install another one
  }
  bool answer = false;
  try {
    if (handler) answer = handler(req);
  } catch (...) {
    std::lock_guard<std::mutex> lock(st.mutex);
    st.log.push_back(DialogRecord{std::move(req), false});
    throw;
  }
  std::lock_guard<std::mutex> lock(st.mutex);
  st.log.push_back(DialogRecord{std::move(req), answer});
  return answer;
}

void ShowMessage(const std::string& text) {
  Mensagem(text, "", "N", "N", tmInformacao, "", "", 0, nullptr);
}

}  // namespace hostlib
