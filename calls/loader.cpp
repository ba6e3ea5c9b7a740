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

std::string PrepareHostFolder(const std::string& dir, std::string* error) {
  const std::string hostDir = AbsolutePath(dir.empty() ? "." : dir);
  std::error_code ec;
  std::filesystem::create_directories(hostDir, ec);
  if (!std::filesystem::is_directory(hostDir, ec)) {
    if (error) *error = "the host folder " + hostDir + " cannot be used";
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
  if (!sim.state_dir) return "";
  char buf[4096] = {0};
  if (sim.state_dir(buf, sizeof buf) != 0) return "";
  return buf;
}

}  // namespace qorhost
