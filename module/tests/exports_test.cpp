// Every operation of the lists is exported as its line says: a built
// operation under its plain and its decorated name, a decorated-only routine
// under the decorated name alone, a planned operation under neither plain
// name nor as a stub.
#include <cxxabi.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "module/Qor01100.h"

namespace {

// The demangled name of the dynamic symbol at `address` ("" when none).
std::string SymbolAt(void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_sname == nullptr || info.dli_saddr != address) return "";
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> d(abi::__cxa_demangle(info.dli_sname, nullptr, nullptr, &status),
                                                &std::free);
  std::string name = status == 0 ? d.get() : info.dli_sname;
  // A function returning std::string carries the library's ABI tag.
  const std::string tag = "[abi:cxx11]";
  if (auto p = name.find(tag); p != std::string::npos) name.erase(p, tag.size());
  return name;
}

void* Plain(const char* name) { return dlsym(RTLD_DEFAULT, name); }

void ExpectDecorated(void* address, const char* name) {
  const std::string expected = std::string("Qor01100::") + name + "(";
  EXPECT_EQ(SymbolAt(address).rfind(expected, 0), 0u) << name << " is not exported under its decorated name";
}

TEST(Exports, BuiltOperationsHaveBothNames) {
#define QOR_OP(ret, name, params, args, kinds)                                       \
  ExpectDecorated(reinterpret_cast<void*>(&Qor01100::name), #name);                 \
  EXPECT_NE(Plain(#name), nullptr) << #name " has no plain-name export";            \
  EXPECT_NE(Plain(#name), reinterpret_cast<void*>(&Qor01100::name)) << #name " plain name must forward";
#define QOR_DECORATED(ret, name, params)
#define QOR_PLANNED(ret, name, params, args, kinds)
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
}

TEST(Exports, DecoratedOnlyRoutinesHaveNoPlainName) {
#define QOR_OP(ret, name, params, args, kinds)
#define QOR_DECORATED(ret, name, params)                             \
  ExpectDecorated(reinterpret_cast<void*>(&Qor01100::name), #name); \
  EXPECT_EQ(Plain(#name), nullptr) << #name " must not have a plain-name export";
#define QOR_PLANNED(ret, name, params, args, kinds)
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
}

TEST(Exports, PlannedOperationsAreNotExported) {
#define QOR_OP(ret, name, params, args, kinds)
#define QOR_DECORATED(ret, name, params)
#define QOR_PLANNED(ret, name, params, args, kinds) \
  EXPECT_EQ(Plain(#name), nullptr) << #name " is exported but its list line says it is not built";
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
}

}  // namespace
