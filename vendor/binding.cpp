// Binding of the printer maker's library: loads "Elgin.dll" and resolves
// its entry points by name, in bind order, into the exported variables.
#include <iterator>
#include <stdexcept>
#include <string>

#include "driver/frame.h"
#include "driver/state.h"
#include "platform/env.h"
#include "platform/text.h"
#include "vendor/answer_width.h"
#include "vendor/elgin.h"
#include "vendor/elgin_facts.h"

namespace Qor01100 {
extern "C" {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) int(QOR_STDCALL* name) types = nullptr;
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY

#define FURTHER_ENTRY(name, types) int(QOR_STDCALL* name) types = nullptr;
#include "vendor/further_entries.def"
#undef FURTHER_ENTRY
}

namespace {
// One entry of the bind table: its name and where its address goes.
struct Binding {
  const char* name;
  void** slot;
};

const Binding kBindOrder[] = {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) {#name, reinterpret_cast<void**>(&name)},
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
};
static_assert(std::size(kBindOrder) == elgin::kEntryCount);

// Why the binding failed, for the debug log only (the operator sees
// nothing: the host decides what to tell). A log that cannot be written
// does not change the binding's answer.
void LogReason(const std::string& reason) {
  try {
    DebugLog("ERRO!!! Elgin.dll: " + reason);
  } catch (...) {
  }
}

}  // namespace

bool BindElgin() {
  rtl::Env* env = rtl::CurrentEnv();
  ImpFisDLLHandle = nullptr;
  ImpFisDLLHandle = env->LoadLibrary("Elgin.dll");
  if (ImpFisDLLHandle == nullptr) {
    LogReason("the library could not be loaded");
    StopImpFiscal();
    return false;
  }
  for (const Binding& b : kBindOrder) {
    void* p = env->GetProcAddress(ImpFisDLLHandle, b.name);
    if (p == nullptr) {
      LogReason(std::string("entry point ") + b.name + " missing");
      StopImpFiscal();
      return false;
    }
    *b.slot = p;
  }
  return true;
}

std::size_t ListedAnswerWidth(const void* entryVariable, int param) {
  for (std::size_t i = 0; i < std::size(kBindOrder); ++i) {
    if (kBindOrder[i].slot != entryVariable) continue;
    const elgin::EntryFacts& facts = elgin::kEntries[i];
    const int width = facts.Answers(param) ? facts.widths[static_cast<std::size_t>(param)] : 0;
    if (width <= 0)
      throw std::logic_error(std::string(kBindOrder[i].name) + ": parameter " + std::to_string(param + 1) +
                             " has no answer width in the entry list");
    return static_cast<std::size_t>(width);
  }
  throw std::logic_error("not an entry-point variable of the printer library");
}

bool StopImpFiscal() {
  // Clears the bindings only: the library stays loaded, the handle and
  // boImpFiscalOK keep their values, the port is not closed.
  for (const Binding& b : kBindOrder) *b.slot = nullptr;
  return true;
}
}  // namespace Qor01100

