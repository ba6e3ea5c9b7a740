// One call of a printer entry point as the simulator sees it: the arguments
// in parameter order with the calling contract applied (a text buffer's
// length is its strlen at entry; answers never go past it).
#pragma once
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace ecfsim {

struct Arg {
  char kind = 'T';  // T text, I integer, O integer output, B boolean
  char* text = nullptr;
  size_t len = 0;  // strlen of the text at entry
  int value = 0;
  int* out = nullptr;
  bool flag = false;
};

inline Arg MakeArg(char* s) {
  Arg a;
  a.kind = 'T';
  a.text = s;
  a.len = s ? std::strlen(s) : 0;
  return a;
}
inline Arg MakeArg(int v) {
  Arg a;
  a.kind = 'I';
  a.value = v;
  return a;
}
inline Arg MakeArg(int* p) {
  Arg a;
  a.kind = 'O';
  a.out = p;
  return a;
}
inline Arg MakeArg(bool b) {
  Arg a;
  a.kind = 'B';
  a.flag = b;
  return a;
}

struct Call {
  int fn = 0;
  const char* name = "";
  Arg args[9];
  int count = 0;

  // Input text i as given (1252 bytes), "" for a null pointer.
  std::string In(int i) const {
    const Arg& a = args[i];
    return a.text ? std::string(a.text, a.len) : std::string();
  }
  size_t Len(int i) const { return args[i].len; }
  int Int(int i) const { return args[i].value; }
  bool Flag(int i) const { return args[i].flag; }
  // Writes an answer from the start of text buffer i, cut at its length at
  // entry; the rest of the buffer keeps the caller's blanks.
  void Put(int i, std::string_view answer) const {
    const Arg& a = args[i];
    if (!a.text) return;
    size_t n = answer.size() < a.len ? answer.size() : a.len;
    if (n) std::memcpy(a.text, answer.data(), n);
  }
  void PutInt(int i, int v) const {
    if (args[i].out) *args[i].out = v;
  }
};

}  // namespace ecfsim
