// The one path of every printer command.
//
// A printer command is a value (`Command`): the entry point with its
// arguments, the trace written to stImpDebug, whether the code goes to
// inRetorno, and the three flags of the status analysis. `Send` runs it:
//
//   1. calls the bound entry point (an unbound one answers 0, a
//      communication failure);
//   2. stores the code in inRetorno (unless the command says otherwise);
//   3. writes the trace to stImpDebug;
//   4. when the vendor library throws, the command failed: the exception's
//      text goes to the debug log ("ERRO!!! " line) and to stMensagemTaa,
//      and the code is 0, as for a call that never answered;
//   5. runs the status analysis (AnalisaRetorno(code, boMsg, boFechaCupom,
//      boAbreCupom)) and returns its verdict, read from the value the
//      analysis hands back (never from a status read afterwards).
//
// Once the call has returned nothing raises out of a send: an exception in
// steps 3 and 5 (a dialog the host could not show, a message table that
// could not be read) is reported as in step 4 and leaves the answer
// undecided, as a lost answer does (a Step asks the printer's record). The
// debug log never raises here (DebugLog, driver/frame.h).
//
// One call per command at the call site:
//
//   Arguments are copied into fresh zero-terminated buffers on every send;
//   std::string and string literals become char*, `Into(text)` is a
//   buffer of blanks the library answers in (as wide as the entry list
//   gives that answer), everything else (int, int*) passes as it is:
//     ok = Send(Call("Elgin_AbreCupomMFD", Elgin_AbreCupomMFD, cpf, nome, endereco).Show(boNUtilTaa).Opening());
//   A text answer: blanks handed to the library (as many as the entry list
//   gives the answer), the whole buffer read back into `out` (NUL bytes
//   included; callers trim as the run-time's Trim does), the trace "Name"
//   CR LF "Retorno da Impressora : " + answer:
//     ok = Send(Query("Elgin_NumeroCupom", Elgin_NumeroCupom, stRetorno));
//   A trace that depends on what the call wrote: `.TraceWith(fn)`.
//
// Steps that register something on the printer (coupon opening, item, item
// adjustment, subtotal adjustment, payment, closing, supply, withdrawal,
// non-fiscal receipts, vouchers, reports) go through `Step`, which sends its
// command exactly once across retries and decides from the printer's own
// record whether it registered (see `Step`). `RetryLoop` is the retry
// question of the sale steps on top of it.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "vendor/answer_width.h"

namespace Qor01100 {

// What the printer answered to one send, as the status analysis saw it.
enum class Outcome {
  Ok,           // code 1 and no status error
  NotExecuted,  // the printer refused: negative code, or code 1 with a "not executed" / command / parameter status bit
  Executed,     // code 1 and the command acted, but a status bit reports an error (e.g. paper)
  NoAnswer,     // code 0, the library threw, or something raised after the call returned: the printer's record decides
};

class QOR_API Command {
 public:
  Command() = default;
  Command(std::string trace, std::function<int()> call) : trace_(std::move(trace)), call_(std::move(call)) {}

  // Status analysis flags (AnalisaRetorno's boMsg, boFechaCupom, boAbreCupom).
  Command& Show(bool boMsg) { boMsg_ = boMsg; return *this; }
  Command& CancelOpenCoupon(bool on = true) { boFechaCupom_ = on; return *this; }
  Command& Opening(bool on = true) { boAbreCupom_ = on; return *this; }
  // The code stays out of inRetorno (queries that leave the host's code as it was).
  Command& KeepInRetorno(bool keep) { keepCode_ = keep; return *this; }
  // The trace computed after the call (from what the call wrote).
  Command& TraceWith(std::function<std::string()> f) { traceFn_ = std::move(f); return *this; }
  // When the library throws, its text is also shown to the operator as a
  // warning in this colour scheme (the item sale does so).
  Command& ShowThrow(std::string scheme) { throwScheme_ = std::move(scheme); showThrow_ = true; return *this; }
  // The code a throwing library counts as: 0 (no answer) for the printer's
  // library; a further library whose 0 means success names its failure code.
  Command& OnThrow(int code) { throwCode_ = code; return *this; }
  // Exactly-once probe: a reading of the printer's record that changes when
  // this command registers (last item number, amount paid, coupon number
  // and state, a document counter); nullopt when the reading itself fails.
  Command& Probe(std::function<std::optional<std::string>()> f) { probe_ = std::move(f); return *this; }

  const std::string& TraceText() const { return trace_; }
  bool HasProbe() const { return static_cast<bool>(probe_); }

 private:
  friend struct CommandPath;
  std::string trace_;
  std::function<int()> call_;
  std::function<std::string()> traceFn_;
  std::function<std::optional<std::string>()> probe_;
  std::string throwScheme_;
  int throwCode_ = 0;
  bool boMsg_ = false, boFechaCupom_ = false, boAbreCupom_ = false, keepCode_ = true, showThrow_ = false;
};

// Sends the command once (see the top of this file); true when the analysis accepts it.
QOR_API bool Send(const Command& c);
// Steps 1 to 4 alone, for an operation whose analysis comes later or not at
// all: returns the code. A command without a trace leaves stImpDebug alone.
QOR_API int CallOnly(const Command& c);
// Step 5 alone: the analysis of `code` with the command's flags.
QOR_API bool Analyse(const Command& c, int code);
// The same, with the analysis' finer reading of the answer.
QOR_API Outcome SendFor(const Command& c);
// The printer's reading of a probe (nullopt when it failed); used by Step and the operations' own checks.
QOR_API std::optional<std::string> ReadProbe(const Command& c);

// A step that registers something on the printer, sent exactly once across retries:
//   - not executed (negative code, or code 1 with a not-executed / command /
//     parameter status bit): nothing registered; the next Run sends it again;
//   - executed (code 1) with a status error or an unanswered status query:
//     registered; the next Run only checks the status again (trace
//     "Elgin_VerificaEstadoImpressora");
//   - no answer (code 0, the library threw, an exception after the call
//     returned): the probe decides. Changed since before the first send: registered, and the
//     step succeeded whatever the lost answer said. Unchanged: nothing
//     registered, the next Run sends again. Unreadable: the step failed and
//     the next Run reads the probe again before deciding to send.
// Without a probe a lost answer counts as not registered (the command is one
// the printer refuses when repeated, so sending again cannot double it).
class QOR_API Step {
 public:
  explicit Step(Command c) : cmd_(std::move(c)) {}
  bool Run();
  // The printer holds this step (whatever the last Run answered).
  bool Registered() const { return state_ == State::Registered || state_ == State::Done; }
  bool Done() const { return state_ == State::Done; }
  // The last Run got no answer and nothing could tell whether the printer
  // took it: the caller decides from what the printer does next.
  bool Unanswered() const { return unanswered_; }

 private:
  enum class State { Pending, Registered, Unknown, Done };
  bool Decide(Outcome o, bool statusAnswered);
  // The printer's record against the reading before the first send: the
  // one comparison that decides an undecided answer.
  bool FromRecord();
  Command cmd_;
  State state_ = State::Pending;
  std::optional<std::string> before_;
  bool probed_ = false;
  bool unanswered_ = false;
};

// The retry question of the sale steps: runs `attempt`; when it fails and
// dialogs are allowed (boNUtilTaa), `ask` puts the question and answers
// whether to repeat. Steps kept across attempts are never sent twice.
enum class RetryEnd { Succeeded, Failed, Declined };
QOR_API RetryEnd RetryLoop(const std::function<bool()>& attempt, const std::function<bool()>& ask);

// ---- building commands ----------------------------------------------------

// A text buffer the entry point writes its answer into: the caller's own
// string, set to blanks on every send and read back whole, NUL bytes
// included. As wide as the entry list gives that answer
// (vendor/elgin_entries.def); a width is named only for the further
// libraries, whose entry points the list does not describe.
struct Into {
  explicit Into(std::string& text) : s(&text) {}
  Into(std::string& text, std::size_t width) : s(&text), size(width) {}
  std::string* s;
  std::optional<std::size_t> size;  // set from the entry list when the command is built
};

namespace command_detail {
template <class T>
auto Own(T&& a) {
  using D = std::decay_t<T>;
  if constexpr (std::is_same_v<D, std::string> || std::is_same_v<D, const char*> || std::is_same_v<D, char*>)
    return std::string(a);
  else
    return D(a);
}
template <class T>
auto Pass(T& a) {
  if constexpr (std::is_same_v<T, std::string>) {
    return a.data();
  } else if constexpr (std::is_same_v<T, Into>) {
    a.s->assign(a.size.value_or(0), ' ');
    return a.s->data();
  } else
    return a;
}
// An answer buffer without a width gets the one the entry list gives its parameter.
template <class T>
void Width(T&, const void*, int) {}
inline void Width(Into& a, const void* entry, int param) {
  if (!a.size) a.size = ListedAnswerWidth(entry, param);
}
template <class Tuple, std::size_t... I>
void Widths([[maybe_unused]] Tuple& args, [[maybe_unused]] const void* entry, std::index_sequence<I...>) {
  (Width(std::get<I>(args), entry, static_cast<int>(I)), ...);
}
}  // namespace command_detail

// `entry` is the entry-point variable itself (read when the command is sent).
// A command calling `entry` with `args` (texts copied into fresh buffers on every send).
template <class F, class... A>
Command Call(std::string trace, F* const& entry, A&&... args) {
  auto owned = std::make_tuple(command_detail::Own(std::forward<A>(args))...);
  command_detail::Widths(owned, &entry, std::index_sequence_for<A...>{});
  F* const* slot = &entry;  // read at send time: binding may change between building and sending
  return Command(std::move(trace), [slot, owned]() {
    auto copy = owned;
    return std::apply([&](auto&... a) { return Vendor(*slot, command_detail::Pass(a)...); }, copy);
  });
}

// A text-answer query: as many blanks as the entry list gives the answer
// handed to `entry`, the whole buffer read back into `out`.
template <class F>
Command Query(const std::string& name, F* const& entry, std::string& out) {
  const std::size_t size = ListedAnswerWidth(&entry, 0);
  F* const* slot = &entry;
  std::string* target = &out;
  Command c(name, [slot, size, target]() {
    target->assign(size, ' ');
    return Vendor(*slot, target->data());
  });
  c.TraceWith([name, target] { return Trace(name, *target); });
  return c;
}

}  // namespace Qor01100
