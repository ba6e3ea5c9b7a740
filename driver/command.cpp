// The one path of every printer command (see command.h).
#include "driver/command.h"

#include <exception>

#include "driver/state.h"
#include "driver/status_tables.h"
#include "hostlib/dialogs.h"

namespace Qor01100 {

struct CommandPath {
  // Calls the entry point; a throwing library becomes a failed call (code 0
  // unless the command names another) with its text reported.
  static int Call(const Command& c) {
    std::string what;
    try {
      return c.call_ ? c.call_() : 0;
    } catch (const std::exception& e) {
      what = e.what();
    } catch (...) {
      what = Msg("ComandoNExec");
    }
    DebugLog("ERRO!!! " + what);
    stMensagemTaa += " " + what;
    if (c.showThrow_) Notice(what, hostlib::tmAviso, c.throwScheme_);
    return c.throwCode_;
  }

  static int CallOnly(const Command& c) {
    const int code = Call(c);
    if (c.keepCode_) inRetorno = code;
    if (c.traceFn_)
      stImpDebug = c.traceFn_();
    else if (!c.trace_.empty())
      stImpDebug = c.trace_;
    return code;
  }

  static bool Analyse(const Command& c, int code) {
    return AnalisaRetorno(code, c.boMsg_, c.boFechaCupom_, c.boAbreCupom_);
  }

  static Outcome Send(const Command& c) {
    const int code = CallOnly(c);
    if (Analyse(c, code)) return Outcome::Ok;
    if (code < 0) return Outcome::NotExecuted;
    // Code 1 is the printer's own word that it acted, even when the status
    // query after it got no answer.
    const status::ReadStatus& st = status::LastStatus();
    if (code == 0) return Outcome::NoAnswer;
    if (!st.answered) return Outcome::Executed;
    if ((st.st1 & status::kNotExecuted1) != 0 || (st.st2 & status::kNotExecuted2) != 0) return Outcome::NotExecuted;
    return Outcome::Executed;
  }

  static std::optional<std::string> Probe(const Command& c) {
    if (!c.probe_) return std::nullopt;
    try {
      return c.probe_();
    } catch (...) {
      return std::nullopt;
    }
  }
};

int CallOnly(const Command& c) { return CommandPath::CallOnly(c); }

bool Analyse(const Command& c, int code) { return CommandPath::Analyse(c, code); }

bool Send(const Command& c) { return CommandPath::Send(c) == Outcome::Ok; }

Outcome SendFor(const Command& c) { return CommandPath::Send(c); }

std::optional<std::string> ReadProbe(const Command& c) { return CommandPath::Probe(c); }

bool Step::Run() {
  unanswered_ = false;
  if (state_ == State::Done) return true;
  if (!probed_) {
    probed_ = true;
    if (cmd_.HasProbe()) before_ = ReadProbe(cmd_);
  }
  if (state_ == State::Registered) {
    // Executed earlier with a status error: only the status is checked again.
    inRetorno = 1;
    stImpDebug = "Elgin_VerificaEstadoImpressora";
    if (!AnalisaRetorno(1, false, false, false)) return false;
    state_ = State::Done;
    return true;
  }
  if (state_ == State::Unknown) {
    // The last send had no answer and the printer could not be read then.
    const std::optional<std::string> now = ReadProbe(cmd_);
    if (!now) {
      unanswered_ = true;
      return false;
    }
    if (*now != *before_) {
      state_ = State::Done;
      return true;
    }
    state_ = State::Pending;
  }
  return Decide(SendFor(cmd_));
}

bool Step::Decide(Outcome o) {
  switch (o) {
    case Outcome::Ok:
      state_ = State::Done;
      return true;
    case Outcome::NotExecuted:
      state_ = State::Pending;
      return false;
    case Outcome::Executed:
      state_ = State::Registered;
      // Code 1 with a status query that got no answer: the printer acted, so
      // its status is asked once more before the step is called failed (a
      // step reported false must leave nothing on the printer).
      if (!status::LastStatus().answered) return Run();
      return false;
    case Outcome::NoAnswer:
      break;
  }
  if (!cmd_.HasProbe() || !before_) {
    // Nothing to compare with: sending again is the printer's to refuse.
    state_ = State::Pending;
    unanswered_ = true;
    return false;
  }
  const std::optional<std::string> now = ReadProbe(cmd_);
  if (!now) {
    state_ = State::Unknown;
    unanswered_ = true;
    return false;
  }
  if (*now != *before_) {
    // The printer registered it: the lost answer does not undo that.
    state_ = State::Done;
    return true;
  }
  state_ = State::Pending;
  return false;
}

RetryEnd RetryLoop(const std::function<bool()>& attempt, const std::function<bool()>& ask) {
  for (;;) {
    if (attempt()) return RetryEnd::Succeeded;
    if (!boNUtilTaa) return RetryEnd::Failed;
    if (!ask()) return RetryEnd::Declined;
  }
}

}  // namespace Qor01100
