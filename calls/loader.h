// Loading the module and its printer the way a point-of-sale host does,
// shared by qorhost (sessions and the service) and the C entry (capi/).
//
// The host's environment (rtl::Env, with the host program's path) must be in
// place before anything is loaded: the module and the simulated printer read
// the program's folder and the clock through it.
#pragma once
#include <functional>
#include <string>

#include "calls/caller.h"

namespace qorhost {

// `p` made absolute and normal ("" stays "").
std::string AbsolutePath(const std::string& p);

// The host program's folder `dir` ("" = the current folder), absolute and
// created when missing; "" with the reason in *error when it cannot be used.
std::string PrepareHostFolder(const std::string& dir, std::string* error);

// Loads the vendor library the module will load as "Elgin.dll": "sim" the
// simulated printer found by that name, otherwise the library at the path
// (or of the name) `printer`; finds the simulated printer's control
// interface in it. A library that does not load is only reported through
// `warn`: the module's start then fails as it would at a point of sale.
SimControl LoadPrinter(const std::string& printer, const std::function<void(const std::string&)>& warn);

// Loads the module Pkg_Qor01100; null with the loader's message in *error.
void* LoadModule(std::string* error);
// The module's exports by plain name.
SymbolResolver ModuleSymbols(void* module);

// Points the simulated printer at its state folder (created when missing)
// and call journal, each when given. SessionError when the printer has no
// control interface or refuses.
void UsePrinterFolders(const SimControl& sim, const std::string& stateDir, const std::string& journal);

// The simulated printer's state folder ("" when the printer is not the simulated one).
std::string PrinterStateFolder(const SimControl& sim);

}  // namespace qorhost
