// The module's dynamic symbols are its export list and nothing else, and the
// export list is what the operation, state and entry lists say: a built
// operation under its plain and its decorated name, a decorated-only routine
// under its decorated name alone, a planned operation under neither, every
// shared-state and entry-point variable under its plain name.
#include <cxxabi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/library.h"

namespace {

// The export list the build generated, one name per line.
std::set<std::string> ExportList() {
  std::set<std::string> names;
  std::ifstream in(QOR_EXPORT_LIST);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) names.insert(line);
  return names;
}

// The defined dynamic symbols of the built module, as nm reads them.
std::set<std::string> ModuleSymbols() {
  std::set<std::string> names;
  const std::string cmd = std::string(QOR_NM) + " -D --defined-only '" + QOR_MODULE_FILE + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> nm(popen(cmd.c_str(), "r"), &pclose);
  if (!nm) return names;
  char line[4096];
  while (std::fgets(line, sizeof line, nm.get())) {
    std::string l(line);
    while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
    const size_t last = l.rfind(' ');
    if (last != std::string::npos) names.insert(l.substr(last + 1));
  }
  return names;
}

// A C++ name as written ("Qor01100::GetValue(std::..."), without the ABI tag
// of a function returning std::string; the name itself when it is no C++ name.
std::string Demangled(const std::string& name) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> d(abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status),
                                                &std::free);
  std::string out = status == 0 ? d.get() : name;
  const std::string tag = "[abi:cxx11]";
  if (auto p = out.find(tag); p != std::string::npos) out.erase(p, tag.size());
  return out;
}

std::string Listed(const std::set<std::string>& names) {
  std::string s;
  for (const std::string& n : names) s += "\n  " + n + (n.rfind("_Z", 0) == 0 ? "  (" + Demangled(n) + ")" : "");
  return s;
}

TEST(Exports, TheModuleExportsItsListAndNothingElse) {
#ifdef _WIN32
  GTEST_SKIP() << "a DLL's export table is checked by scripts/check-windows-dlls.py";
#endif
  const std::set<std::string> list = ExportList(), exported = ModuleSymbols();
  ASSERT_FALSE(list.empty()) << "no export list at " << QOR_EXPORT_LIST;
  ASSERT_FALSE(exported.empty()) << "nm read no symbol of " << QOR_MODULE_FILE;
  std::set<std::string> missing, extra;
  for (const std::string& n : list)
    if (!exported.count(n)) missing.insert(n);
  for (const std::string& n : exported)
    if (!list.count(n)) extra.insert(n);
  EXPECT_TRUE(missing.empty()) << "listed, not exported:" << Listed(missing);
  EXPECT_TRUE(extra.empty()) << "exported, not listed:" << Listed(extra);
}

// What each line of the lists puts into the export list.
struct Expected {
  bool plain = false;      // the plain (C) name
  bool decorated = false;  // Qor01100::Name(...)
};

std::map<std::string, Expected> ExpectedExports() {
  std::map<std::string, Expected> e;
#define QOR_OP(ret, name, params, args, kinds) e[#name] = {true, true};
#define QOR_DECORATED(ret, name, params) e[#name] = {false, true};
#define QOR_PLANNED(ret, name, params, args, kinds) e[#name] = {false, false};
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
#define QOR_STATE(type, name, init, kind) e[#name] = {true, false};
#include "driver/state.def"
#undef QOR_STATE
#define ELGIN_ENTRY(name, ...) e[#name] = {true, false};
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
#define FURTHER_ENTRY(name, types) e[#name] = {true, false};
#include "vendor/further_entries.def"
#undef FURTHER_ENTRY
  return e;
}

TEST(Exports, TheListIsWhatTheOperationStateAndEntryListsSay) {
  const std::set<std::string> list = ExportList();
  // Each listed name, by the name it stands for: a plain name for itself, a
  // decorated one for the routine of namespace Qor01100 it names.
  std::map<std::string, Expected> found;
  std::set<std::string> strangers;
  for (const std::string& n : list) {
    const std::string d = Demangled(n);
    if (n.rfind("_Z", 0) != 0) {
      found[n].plain = true;
    } else if (d.rfind("Qor01100::", 0) == 0 && d.find('(') != std::string::npos) {
      const std::string name = d.substr(10, d.find('(') - 10);
      EXPECT_FALSE(found[name].decorated) << name << " is exported under two decorated names";
      found[name].decorated = true;
    } else {
      strangers.insert(n);
    }
  }
  EXPECT_TRUE(strangers.empty()) << "names that no list gives:" << Listed(strangers);
  for (const auto& [name, want] : ExpectedExports()) {
    const Expected got = found.count(name) ? found[name] : Expected{};
    EXPECT_EQ(got.plain, want.plain) << name << (want.plain ? " lacks" : " must not have") << " its plain name";
    EXPECT_EQ(got.decorated, want.decorated)
        << name << (want.decorated ? " lacks" : " must not have") << " its decorated name";
    found.erase(name);
  }
  for (const auto& [name, got] : found) ADD_FAILURE() << name << " is exported but no list names it";
}

// Every listed name resolves in the loaded module, and a plain-name
// operation forwards to its decorated function rather than being it.
TEST(Exports, EveryListedNameResolvesAndPlainNamesForward) {
  std::string err;
  void* lib = rtl::LoadLibraryByName("Pkg_Qor01100.dll", &err);
  ASSERT_NE(lib, nullptr) << err;
  std::map<std::string, void*> decorated;
  for (const std::string& n : ExportList()) {
    void* p = rtl::GetLibrarySymbol(lib, n);
    EXPECT_NE(p, nullptr) << n;
    const std::string d = Demangled(n);
    if (n.rfind("_Z", 0) == 0) decorated[d.substr(10, d.find('(') - 10)] = p;
  }
#define QOR_OP(ret, name, params, args, kinds) \
  EXPECT_NE(rtl::GetLibrarySymbol(lib, #name), decorated[#name]) << #name " plain name must forward";
#define QOR_DECORATED(ret, name, params)
#define QOR_PLANNED(ret, name, params, args, kinds)
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
}

}  // namespace
