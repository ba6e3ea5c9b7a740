// Loading shared libraries by the names the module uses ("Elgin.dll").
//
// On POSIX a bare name "X.dll" is looked for, in this order, as
//   1. an override registered with SetLibraryOverride (hosts: qorhost --printer),
//   2. in each folder of the environment variable QOR_LIBRARY_PATH (':'-separated),
//   3. in the folder of the running executable,
//   4. in each folder added with AddLibraryFolder, in the order added,
//   5. the platform loader's own search (LD_LIBRARY_PATH, ...),
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
// Adds a folder to search after the executable's (a library loaded into a
// program of another folder, such as the C entry, adds its own).
void AddLibraryFolder(const std::string& dir);
// The file of the executable or shared library that holds `address` ("" if unknown).
std::string LibraryPathOf(const void* address);

}  // namespace rtl
