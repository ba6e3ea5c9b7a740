// Loading shared libraries by the module's names (see library.h for the
// search order).
//
// One name gives one handle to every caller: the platform loader returns the
// same handle for the same file, and the search is deterministic. Within a
// folder a candidate file name is matched exactly first, then ignoring case
// (the module's names come from a case-insensitive file system). A candidate
// file that exists but fails to load stops the search with the loader's
// message (a broken library is never silently replaced by another one).
#include "platform/library.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "platform/files.h"
#include "platform/os.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace rtl {

namespace {

std::mutex& Mutex() {
  static std::mutex m;
  return m;
}

std::map<std::string, std::string>& Overrides() {  // key: upper-case name
  static std::map<std::string, std::string> m;
  return m;
}

std::vector<std::string>& AddedFolders() {
  static std::vector<std::string> v;
  return v;
}

std::vector<std::string> CandidateNames(const std::string& file) {
  std::vector<std::string> names{file};
  std::string base = file;
  std::string ext = ExtractFileExt(file);
  if (SameText(ext, ".dll") || ext.empty()) {
    if (!ext.empty()) base = file.substr(0, file.size() - ext.size());
    names.push_back(std::string(os::SharedLibraryPrefix()) + base + os::SharedLibrarySuffix());
    names.push_back(base + os::SharedLibrarySuffix());
  }
  return names;
}

// The file in dir named `name`, exactly or ignoring case; "" when none.
std::string FindInFolder(const std::string& dir, const std::string& name) {
  std::error_code ec;
  fs::path exact = fs::path(dir) / name;
  if (fs::is_regular_file(exact, ec)) return exact.string();
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string n = it->path().filename().string();
    std::error_code ec2;
    if (AnsiSameText(n, name) && it->is_regular_file(ec2)) return it->path().string();
  }
  return std::string();
}

std::vector<std::string> SplitPath(const std::string& list) {
  std::vector<std::string> r;
  size_t start = 0;
  while (start <= list.size()) {
    size_t p = list.find(os::PathListSeparator(), start);
    if (p == std::string::npos) p = list.size();
    if (p > start) r.push_back(list.substr(start, p - start));
    start = p + 1;
  }
  return r;
}

}  // namespace

void* LoadLibraryByName(const std::string& name, std::string* error) {
  std::lock_guard<std::mutex> lock(Mutex());
  std::string err;
  auto fail = [&](const std::string& msg) -> void* {
    if (error) *error = msg;
    return nullptr;
  };
  if (name.empty()) return fail("Cannot load a library without a name");

  // 1. Override.
  auto ov = Overrides().find(AnsiUpperCase(name));
  if (ov != Overrides().end()) {
    void* h = os::OpenLibrary(ov->second, &err);
    if (!h) return fail("Cannot load library \"" + name + "\" from \"" + ov->second + "\" (override): " + err);
    return h;
  }

  std::string native = NativePath(name);
  std::string dirPart = ExtractFilePath(native);
  std::string file = ExtractFileName(native);
  std::vector<std::string> names = CandidateNames(file);
  std::string looked;

  auto tryFolder = [&](const std::string& dir, void*& handle) -> bool {
    for (const auto& n : names) {
      std::string path = FindInFolder(dir, n);
      if (path.empty()) continue;
      handle = os::OpenLibrary(path, &err);
      if (!handle) err = std::string("\"").append(path).append("\": ").append(err);
      return true;  // found a file: loaded or broken, the search stops
    }
    looked += (looked.empty() ? "" : ", ") + dir;
    return false;
  };

  const std::string cannotLoad = "Cannot load library \"" + name + "\": ";
  void* h = nullptr;
  if (!dirPart.empty()) {
    // A name with a folder: as given, then the other candidate names there.
    if (tryFolder(dirPart, h)) {
      if (!h) return fail(cannotLoad + err);
      return h;
    }
    return fail(cannotLoad + "no file " + names[0] +
                (names.size() > 1 ? " (nor " + names[1] + ", " + names[2] + ")" : "") + " in " + dirPart);
  }

  // 2. QOR_LIBRARY_PATH.
  for (const auto& dir : SplitPath(os::GetEnvVar("QOR_LIBRARY_PATH"))) {
    if (tryFolder(dir, h)) {
      if (!h) return fail(cannotLoad + err);
      return h;
    }
  }
  // 3. The executable's folder.
  std::string exe = os::ExecutablePath();
  if (!exe.empty()) {
    std::string dir = fs::path(exe).parent_path().string();
    if (tryFolder(dir, h)) {
      if (!h) return fail(cannotLoad + err);
      return h;
    }
  }
  // 4. The folders added by the host.
  for (const auto& dir : AddedFolders()) {
    if (tryFolder(dir, h)) {
      if (!h) return fail(cannotLoad + err);
      return h;
    }
  }
  // 5. The platform loader's own search.
  std::string loaderErrors;
  for (const auto& n : names) {
    h = os::OpenLibrary(n, &err);
    if (h) return h;
    loaderErrors += (loaderErrors.empty() ? "" : "; ") + err;
  }
  std::string tried;
  for (const auto& n : names) tried += (tried.empty() ? "" : ", ") + n;
  return fail(cannotLoad + "not found (tried " + tried + " in " +
              (looked.empty() ? std::string("no folder") : looked) + " and the system loader: " + loaderErrors +
              ")");
}

void* GetLibrarySymbol(void* lib, const std::string& name) { return os::LibrarySymbol(lib, name); }

void SetLibraryOverride(const std::string& name, const std::string& path) {
  std::lock_guard<std::mutex> lock(Mutex());
  if (path.empty()) Overrides().erase(AnsiUpperCase(name));
  else Overrides()[AnsiUpperCase(name)] = NativePath(path);
}

void AddLibraryFolder(const std::string& dir) {
  std::lock_guard<std::mutex> lock(Mutex());
  for (const auto& d : AddedFolders())
    if (d == dir) return;
  AddedFolders().push_back(dir);
}

std::string LibraryPathOf(const void* address) { return os::ModulePathOf(address); }

void ClearLibraryOverrides() {
  std::lock_guard<std::mutex> lock(Mutex());
  Overrides().clear();
}

}  // namespace rtl
