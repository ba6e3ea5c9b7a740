// Loading shared libraries by the names the module uses ("Elgin.dll").
//
// On POSIX a bare name "X.dll" is looked for, in this order, as
//   1. an override registered with SetLibraryOverride (hosts: qorhost --printer),
//   2. in each folder of the environment variable QOR_LIBRARY_PATH (':'-separated),
//   3. in the folder of the running executable,
//   4. the platform loader's own search (LD_LIBRARY_PATH, ...),
// trying the file names "X.dll", "libX.so" and "X.so" in each place.
// A name with a folder in it is loaded as given. Libraries are loaded with
// local symbol scope so that their entry points never bind to the module's
// variables of the same names.
#pragma once
#include <string>

namespace rtl {

void* LoadLibraryByName(const std::string& name, std::string* error = nullptr);
void* GetLibrarySymbol(void* lib, const std::string& name);
void SetLibraryOverride(const std::string& name, const std::string& path);  // "" removes
void ClearLibraryOverrides();

}  // namespace rtl
