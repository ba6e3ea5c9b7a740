// The one path of every printer command (see command.h).
#include "driver/command.h"

#include <exception>
#include <optional>

#include "driver/state.h"
#include "driver/status_tables.h"
#include "hostlib/dialogs.h"

namespace Qor01100 {

namespace {

// The text of the exception being handled (inside a catch block).
std::string CurrentText() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return Msg("ComandoNExec");
  }
}

}  // namespace

struct CommandPath {
  // Calls the entry point; a throwing library becomes a failed call (code 0
  // unless the command names another) with its text reported.
  static int Call(const Command& c) {
    std::string what;
    try {
      return c.call_ ? c.call_() : 0;
    } catch (...) {
      what = CurrentText();
    }
    ReportFailure(what);
    if (c.showThrow_) Notice(what, hostlib::tmAviso, c.throwScheme_);
    return c.throwCode_;
  }

  // What the module keeps of a call that returned: the code and the trace.
  static void Keep(const Command& c, int code) {
    if (c.keepCode_) inRetorno = code;
    if (c.traceFn_)
      stImpDebug = c.traceFn_();
    else if (!c.trace_.empty())
      stImpDebug = c.trace_;
  }

  static int CallOnly(const Command& c) {
    const int code = Call(c);
    Keep(c, code);
    return code;
  }

  static bool Analyse(const Command& c, int code) {
    const std::optional<status::Verdict> v = Judge(c, code);
    return v && v->ok;
  }

  // The analysis of a code; nullopt when something raised in it (a dialog
  // the host could not show, a message table that could not be read): its
  // text is reported and the command's outcome is undecided.
  static std::optional<status::Verdict> Judge(const Command& c, int code) {
    try {
      return status::Judge(code, c.boMsg_, c.boFechaCupom_, c.boAbreCupom_);
    } catch (...) {
      ReportFailure(CurrentText());
      return std::nullopt;
    }
  }

  // One send and what the printer's answer, as analysed, says about it.
  struct Reply {
    Outcome outcome = Outcome::NoAnswer;
    bool statusAnswered = false;  // the status query of the analysis answered
  };

  static Reply Send(const Command& c) {
    const int code = Call(c);
    // From here the call has returned: whatever raises now cannot tell
    // whether the printer took the command, so it leaves the answer
    // undecided, as a lost answer does.
    std::optional<status::Verdict> v;
    try {
      Keep(c, code);
    } catch (...) {
      ReportFailure(CurrentText());
      return {};
    }
    v = Judge(c, code);
    if (!v) return {};
    return {Read(code, *v), v->status.answered};
  }

  // The outcome of a code and the status its own analysis read (never a
  // later reading: the analysis may have sent a cancellation since).
  static Outcome Read(int code, const status::Verdict& v) {
    if (v.ok) return Outcome::Ok;
    if (code < 0) return Outcome::NotExecuted;
    if (code == 0) return Outcome::NoAnswer;
    // Code 1 is the printer's own word that it acted, even when the status
    // query after it got no answer.
    if (!v.status.answered) return Outcome::Executed;
    if ((v.status.st1 & status::kNotExecuted1) != 0 || (v.status.st2 & status::kNotExecuted2) != 0)
      return Outcome::NotExecuted;
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

bool Send(const Command& c) { return CommandPath::Send(c).outcome == Outcome::Ok; }

Outcome SendFor(const Command& c) { return CommandPath::Send(c).outcome; }

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
  // The last send had no answer and the printer could not be read then:
  // its record decides before anything is sent again.
  if (state_ == State::Unknown && FromRecord()) return true;
  if (state_ == State::Unknown) return false;
  const CommandPath::Reply r = CommandPath::Send(cmd_);
  return Decide(r.outcome, r.statusAnswered);
}

bool Step::Decide(Outcome o, bool statusAnswered) {
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
      if (!statusAnswered) return Run();
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
  state_ = State::Unknown;
  return FromRecord();
}

bool Step::FromRecord() {
  const std::optional<std::string> now = ReadProbe(cmd_);
  if (!now) {
    // Unreadable: failed for now; the next Run reads the record again first.
    state_ = State::Unknown;
    unanswered_ = true;
    return false;
  }
  if (*now != *before_) {
    // The printer registered it: a lost answer does not undo that.
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
