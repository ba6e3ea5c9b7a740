// A fault armed for one call by its position: the n-th entry-point call from
// the moment it is armed, whatever entry point that call is. It serves fault
// loops that walk a whole recorded session call by call without knowing in
// advance which entry point each call will be.
#pragma once
#include <cstring>

namespace ecfsim {

class CallFault {
 public:
  enum Kind { kNone, kFail, kRaise, kLostAnswer, kNotExecuted };

  // The kind named by text ("fail", "raise", "lost_answer", "not_executed");
  // kNone for any other text.
  static Kind KindNamed(const char* name) {
    if (!name) return kNone;
    const struct {
      const char* name;
      Kind kind;
    } kinds[] = {{"fail", kFail}, {"raise", kRaise}, {"lost_answer", kLostAnswer}, {"not_executed", kNotExecuted}};
    for (const auto& k : kinds)
      if (std::strcmp(k.name, name) == 0) return k.kind;
    return kNone;
  }

  // Arms the fault for the n-th call from now (n >= 1); n 0 clears it.
  void Arm(long n, Kind kind, int code) {
    left_ = kind == kNone ? 0 : n;
    kind_ = kind;
    code_ = code;
  }

  // Counts one call; answers the kind when this call is the armed one.
  Kind Take() {
    if (left_ <= 0) return kNone;
    return --left_ == 0 ? kind_ : kNone;
  }

  int Code() const { return code_; }

 private:
  long left_ = 0;
  Kind kind_ = kNone;
  int code_ = 0;
};

}  // namespace ecfsim
