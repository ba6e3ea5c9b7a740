// What the entry list (vendor/elgin_entries.def) says of each entry point of
// the printer maker's library besides its parameters: what a call does to
// the printer and how wide the answers it writes are. The module's answer
// buffers, the simulated printer's tables and the fault loops' lists of
// registering commands come from here. Header-only and self-contained: the
// simulated printer and the tests read it as the module does.
#pragma once
#include <array>
#include <cstddef>
#include <iterator>
#include <string_view>

namespace elgin {

// What one call of an entry point does to the printer (see the entry list).
enum class Effect { Local, Reads, Acts, Registers, Voids };

// The width of an answer as long as the buffer the caller gives.
inline constexpr int kAnyWidth = -1;
// The most parameters an entry point takes.
inline constexpr int kMaxParams = 9;

struct EntryFacts {
  std::string_view name;
  std::string_view kinds;  // one letter per parameter: T text, I integer, O integer output, B boolean
  Effect effect;
  // Per parameter: 0 when it is no answer, else the width of the answer the
  // library writes into that text buffer (kAnyWidth: the buffer's length).
  std::array<int, kMaxParams> widths;

  constexpr bool TouchesPort() const { return effect != Effect::Local; }
  // Whether a call may change the printer's memory (Local and Reads never do).
  constexpr bool ChangesPrinter() const { return effect != Effect::Local && effect != Effect::Reads; }
  // Whether a call registers something on the printer, a cancellation included.
  constexpr bool Registering() const { return effect == Effect::Registers || effect == Effect::Voids; }
  constexpr bool Answers(int param) const { return param >= 0 && param < kMaxParams && widths[param] != 0; }
};

// The entry points by name, in bind order.
enum class Entry : int {
#define ELGIN_ENTRY(name, ...) name,
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
};

#define ELGIN_FACTS_LIST(...) __VA_ARGS__
inline constexpr EntryFacts kEntries[] = {
#define ELGIN_ENTRY(name, types, params, args, kinds, effect, widths) \
  {#name, kinds, Effect::effect, {ELGIN_FACTS_LIST widths}},
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
};
#undef ELGIN_FACTS_LIST

inline constexpr int kEntryCount = static_cast<int>(std::size(kEntries));

// Every answer width belongs to a text parameter.
constexpr bool WidthsFitKinds() {
  for (const EntryFacts& e : kEntries)
    for (int i = 0; i < kMaxParams; ++i) {
      const bool text = static_cast<std::size_t>(i) < e.kinds.size() && e.kinds[static_cast<std::size_t>(i)] == 'T';
      if (e.widths[static_cast<std::size_t>(i)] < kAnyWidth || (e.widths[static_cast<std::size_t>(i)] != 0 && !text))
        return false;
    }
  return true;
}
static_assert(WidthsFitKinds(), "vendor/elgin_entries.def: an answer width on a parameter that is no text buffer");

constexpr const EntryFacts& Facts(Entry e) { return kEntries[static_cast<int>(e)]; }

// The width of the answer `e` writes into its text parameter `param`.
constexpr int AnswerWidth(Entry e, int param = 0) { return Facts(e).widths[static_cast<std::size_t>(param)]; }

// The position of the entry point named `name` in bind order; -1 when none.
constexpr int IndexOf(std::string_view name) {
  for (int i = 0; i < kEntryCount; ++i)
    if (kEntries[i].name == name) return i;
  return -1;
}

// The facts of the entry point named `name`; null when none.
constexpr const EntryFacts* FindEntry(std::string_view name) {
  const int i = IndexOf(name);
  return i < 0 ? nullptr : &kEntries[i];
}

}  // namespace elgin
