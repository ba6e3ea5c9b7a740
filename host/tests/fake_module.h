// A stand-in for the driver module and the simulated printer's control
// interface, so that the session runner can be tested in-process: fake
// operations of every parameter kind, fake shared state, and control
// functions that record what they were asked.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "calls/adapter.h"
#include "host/session.h"
#include "hostlib/dialogs.h"
#include "platform/datetime.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "platform/format.h"

namespace fake {

// The module's shared state (driver/state.def), the values a host sees.
#define QOR_STATE(type, name, init, kind) QOR_STATE_IF_VALUE_##kind(inline type name init;)
#include "driver/state.def"
#undef QOR_STATE

inline int counter = 0;                   // bumped by QhtCount
inline std::vector<std::string> simCalls;  // what the control interface was asked
inline std::string tapeFile;              // the fake printer's paper tape

inline void Reset() {
#define QOR_STATE(type, name, init, kind) QOR_STATE_IF_VALUE_##kind(name = type init;)
#include "driver/state.def"
#undef QOR_STATE
  counter = 0;
  simCalls.clear();
}

inline void Print(const std::string& line) {
  std::ofstream(tapeFile, std::ios::app | std::ios::binary) << line << "\n";
}

}  // namespace fake

// Fake operations: global functions, as the module's plain exports are.
inline bool QhtText(const std::string& in, std::string& out) {
  out = in + "!";
  return true;
}
inline int32_t QhtInt(int32_t a, int32_t& b) {
  b = a * 2;
  return a + 1;
}
inline double QhtReal(double a, double& b) {
  b = a / 2;
  return a * 2;
}
inline void QhtBool(bool a, bool& b) { b = !a; }
inline double QhtDate(double a, double& b) {
  b = b + 1;
  return a;
}
// Echoes the record and appends a pair to the by-reference record.
inline bool QhtRecord(const rtl::Variant& in, rtl::Variant& out) {
  auto items = in.Items();
  items.emplace_back(std::vector<rtl::Variant>{rtl::Variant("ADDED"), rtl::Variant(1)});
  out = rtl::Variant(std::move(items));
  return true;
}
// Puts the list's length and its elements into the result array's first two slots.
inline bool QhtList(const rtl::Variant& list, rtl::Variant& result) {
  result[0] = rtl::Variant(static_cast<int>(list.ArrayLength()));
  result[1] = list;
  return true;
}
inline bool QhtPacket(const rtl::Variant& in, rtl::Variant& out) {
  out = in;
  return true;
}
// Appends a row (the first field "x", the second 1.5) to the host's dataset.
inline int32_t QhtDataSet(rtl::ClientDataSet* ds) {
  const int before = ds->RecordCount();
  ds->Append();
  ds->Fields(0).SetAsString("x");
  ds->Fields(1).SetAsFloat(1.5);
  ds->Post();
  return before;
}
inline bool QhtStrings(rtl::StringList& sl) {
  sl.Add("fim");
  return true;
}
inline rtl::StringList QhtLines() {
  rtl::StringList sl;
  sl.Add("um");
  sl.Add("dois");
  return sl;
}
inline rtl::Variant QhtVariant(int32_t which) {
  switch (which) {
    case 0: return rtl::Variant();
    case 1: return rtl::Variant::Null();
    case 2: return rtl::Variant::FromDateTime(rtl::EncodeDate(2026, 3, 5) + rtl::EncodeTime(10, 20, 30, 400));
    default: return rtl::Variant(std::vector<rtl::Variant>{rtl::Variant(true), rtl::Variant(2.5), rtl::Variant("a")});
  }
}
// A question followed by a notice; answers what the question got.
inline bool QhtAsk(const std::string& text) {
  const bool yes = hostlib::Mensagem(text, "", "N", "S", 1, "", "001", 0, nullptr);
  hostlib::Mensagem("aviso", "", "N", "N", 3, "", "002", 0, nullptr);
  return yes;
}
inline bool QhtThrow(int32_t how) {
  fake::inRetorno = 99;  // state changed before the failure stays visible
  if (how == 0) throw rtl::EConvertError("'x' n\xE3o \xE9 um n\xFAmero");
  if (how == 1) throw std::runtime_error("falha simulada");
  throw 42;
}
inline double QhtNow() { return rtl::Now(); }
inline std::string QhtProgramPath() { return rtl::ParamStr0(); }
inline std::string QhtFormat(double v) { return rtl::FormatFloat("#,##0.00", v); }
inline void QhtCount() { ++fake::counter; }
inline void QhtPrint(const std::string& line) { fake::Print(line); }
inline bool QhtNotExported() { return true; }
inline bool QhtPlanned(const std::string&) { return true; }
inline bool QhtNoAdapter() { return true; }

namespace fake {

inline void* Symbol(const std::string& name) {
  static const std::map<std::string, void*> symbols = {
      {"QhtText", reinterpret_cast<void*>(&QhtText)},
      {"QhtInt", reinterpret_cast<void*>(&QhtInt)},
      {"QhtReal", reinterpret_cast<void*>(&QhtReal)},
      {"QhtBool", reinterpret_cast<void*>(&QhtBool)},
      {"QhtDate", reinterpret_cast<void*>(&QhtDate)},
      {"QhtRecord", reinterpret_cast<void*>(&QhtRecord)},
      {"QhtList", reinterpret_cast<void*>(&QhtList)},
      {"QhtPacket", reinterpret_cast<void*>(&QhtPacket)},
      {"QhtDataSet", reinterpret_cast<void*>(&QhtDataSet)},
      {"QhtStrings", reinterpret_cast<void*>(&QhtStrings)},
      {"QhtLines", reinterpret_cast<void*>(&QhtLines)},
      {"QhtVariant", reinterpret_cast<void*>(&QhtVariant)},
      {"QhtAsk", reinterpret_cast<void*>(&QhtAsk)},
      {"QhtThrow", reinterpret_cast<void*>(&QhtThrow)},
      {"QhtNow", reinterpret_cast<void*>(&QhtNow)},
      {"QhtProgramPath", reinterpret_cast<void*>(&QhtProgramPath)},
      {"QhtFormat", reinterpret_cast<void*>(&QhtFormat)},
      {"QhtCount", reinterpret_cast<void*>(&QhtCount)},
      {"QhtPrint", reinterpret_cast<void*>(&QhtPrint)},
      {"QhtNoAdapter", reinterpret_cast<void*>(&QhtNoAdapter)},
#define QOR_STATE(type, name, init, kind) QOR_STATE_IF_VALUE_##kind({#name, &name},)
#include "driver/state.def"
#undef QOR_STATE
  };
  auto it = symbols.find(name);
  return it == symbols.end() ? nullptr : it->second;
}

// The control interface: each call is recorded; the entry point "Bogus" is refused.
inline int Record(const std::string& call) {
  simCalls.push_back(call);
  return call.find("Bogus") != std::string::npos ? -2 : 0;
}
inline int SetStateDir(const char* d) { return Record(std::string("state_dir ") + d); }
inline int ResetSim() {
  { std::ofstream fresh(tapeFile, std::ios::trunc); }  // a fresh printer starts a fresh tape
  return Record("reset");
}
inline int SetPower(int on) { return Record("power " + std::to_string(on)); }
inline int SetPaper(int s) { return Record("paper " + std::to_string(s)); }
inline int SetCover(int o) { return Record("cover " + std::to_string(o)); }
inline int ForceStatus(int a, int b, int c, int t) {
  return Record("status " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " x" +
                std::to_string(t));
}
inline int Fail(const char* fn, int code, int t) {
  return Record(std::string("fail ") + fn + " " + std::to_string(code) + " x" + std::to_string(t));
}
inline int Answer(const char* fn, int ret, const char* outs, int t) {
  return Record(std::string("answer ") + fn + " " + std::to_string(ret) + " " + outs + " x" + std::to_string(t));
}
inline int Raise(const char* fn, int t) { return Record(std::string("raise ") + fn + " x" + std::to_string(t)); }
inline int LostAnswer(const char* fn, int t) { return Record(std::string("lost_answer ") + fn + " x" + std::to_string(t)); }
inline int NotExecuted(const char* fn, int t) {
  return Record(std::string("not_executed ") + fn + " x" + std::to_string(t));
}
inline int FaultCall(long n, const char* kind, int code) {
  return Record("fault_call " + std::to_string(n) + " " + kind + " " + std::to_string(code));
}
inline int JournalNote(const char* text) { return Record(std::string("note ") + text); }
// A programming naming a document that is open is refused, as the printer does.
inline int Program(const char* json) {
  int r = Record(std::string("program ") + json);
  return std::string(json).find("\"refuse\"") != std::string::npos ? -1 : r;
}
inline int LastError(char* buf, int len) {
  const std::string why = "a document is open";
  if (static_cast<int>(why.size()) + 1 <= len) std::snprintf(buf, static_cast<size_t>(len), "%s", why.c_str());
  return static_cast<int>(why.size());
}
inline int ClockOffset(long long s) { return Record("clock_offset " + std::to_string(s)); }
inline int SetClock(const char* iso) { return Record(std::string("clock ") + iso); }
inline int SetJournal(const char* p) { return Record(std::string("journal ") + p); }
inline int TapePath(char* buf, int len) {
  if (static_cast<int>(tapeFile.size()) + 1 > len) return -1;
  std::snprintf(buf, static_cast<size_t>(len), "%s", tapeFile.c_str());
  return 0;
}

inline qorhost::SimControl Sim() {
  qorhost::SimControl s;
  s.set_state_dir = SetStateDir;
  s.reset = ResetSim;
  s.set_power = SetPower;
  s.set_paper = SetPaper;
  s.set_cover = SetCover;
  s.force_status = ForceStatus;
  s.fail = Fail;
  s.answer = Answer;
  s.raise = Raise;
  s.lost_answer = LostAnswer;
  s.not_executed = NotExecuted;
  s.program = Program;
  s.last_error = LastError;
  s.set_clock_offset = ClockOffset;
  s.set_clock = SetClock;
  s.set_journal = SetJournal;
  s.tape_path = TapePath;
  s.fault_call = FaultCall;
  s.journal_note = JournalNote;
  return s;
}

}  // namespace fake
