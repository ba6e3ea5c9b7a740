#include "calls/loader.h"

#include <filesystem>

#include "platform/library.h"

namespace qorhost {

std::string AbsolutePath(const std::string& p) {
  if (p.empty()) return p;
  std::error_code ec;
  auto a = std::filesystem::absolute(p, ec);
  return ec ? p : a.lexically_normal().string();
}

namespace {

// A path for a message: a very long one is shortened to its start and length.
std::string Shown(const std::string& path) {
  return path.size() <= 200 ? path : path.substr(0, 120) + "... (" + std::to_string(path.size()) + " characters)";
}

// The module binds the printer library's entry points in this order and
// fails its start at the first one missing: that one is named.
void ReportMissingEntryPoints(void* printer, const std::function<void(const std::string&)>& warn) {
  static const char* const kEntryPoints[] = {
#define ELGIN_ENTRY(name, ...) #name,
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
  };
  const char* first = nullptr;
  int missing = 0;
  for (const char* name : kEntryPoints)
    if (!rtl::GetLibrarySymbol(printer, name)) {
      if (!first) first = name;
      ++missing;
    }
  if (first && warn)
    warn(std::string("the printer library lacks the entry point ") + first +
         (missing > 1 ? " (and " + std::to_string(missing - 1) + " more)" : std::string()) +
         "; the module's start will fail");
}

}  // namespace

std::string PrepareHostFolder(const std::string& dir, std::string* error) {
  std::string hostDir = AbsolutePath(dir.empty() ? "." : dir);
  std::error_code ec;
  std::filesystem::create_directories(hostDir, ec);
  std::error_code is;
  if (!std::filesystem::is_directory(hostDir, is)) {
    const std::error_code& why = ec ? ec : is;
    if (error) *error = "the host folder " + Shown(hostDir) + " cannot be used" + (why ? ": " + why.message() : std::string());
    return "";
  }
  return hostDir;
}

SimControl LoadPrinter(const std::string& printer, const std::function<void(const std::string&)>& warn) {
  std::error_code ec;
  if (printer != "sim") {
    // A file that exists is taken by its full path; anything else is a name for the loader.
    const std::string lib = std::filesystem::exists(printer, ec) ? AbsolutePath(printer) : printer;
    rtl::SetLibraryOverride("Elgin.dll", lib);
  }
  std::string loadError;
  void* library = rtl::LoadLibraryByName("Elgin.dll", &loadError);
  if (!library && warn) warn("cannot load the printer library (" + loadError + "); the module's start will fail");
  if (library) ReportMissingEntryPoints(library, warn);
  SimControl sim = SimControl::Resolve(
      [library](const char* name) { return library ? rtl::GetLibrarySymbol(library, name) : nullptr; });
  if (library && printer == "sim" && !sim.Available() && warn)
    warn("the printer library found as Elgin.dll is not the simulated printer");
  return sim;
}

void* LoadModule(std::string* error) { return rtl::LoadLibraryByName("Pkg_Qor01100.dll", error); }

SymbolResolver ModuleSymbols(void* module) {
  return [module](const std::string& name) { return rtl::GetLibrarySymbol(module, name); };
}

void UsePrinterFolders(const SimControl& sim, const std::string& stateDir, const std::string& journal) {
  if ((!stateDir.empty() || !journal.empty()) && !sim.Available())
    throw SessionError("a state folder and a call journal need the simulated printer, and the printer library has "
                       "no simulator control interface");
  if (!stateDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(stateDir, ec);
    if (sim.set_state_dir(stateDir.c_str()) < 0) {
      const std::string why = sim.LastError();
      throw SessionError("the simulated printer cannot use the state folder " + stateDir +
                         (why.empty() ? "" : ": " + why));
    }
  }
  if (!journal.empty() && sim.set_journal(journal.c_str()) < 0)
    throw SessionError("the simulated printer cannot write its journal to " + journal);
}

std::string PrinterStateFolder(const SimControl& sim) {
  if (!sim.Available() || !sim.state_dir) return "";
  char buf[4096] = {0};
  if (sim.state_dir(buf, sizeof buf) != 0) return "";
  return buf;
}

}  // namespace qorhost
