// The vendor library's "ELGIN.INI" as the module reads it: any bytes in
// the file give the paths and the port as texts (never a crash), and a
// path always ends with "\".
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "driver/state.h"
#include "platform/env.h"
#include "session/operations.h"

namespace {

std::filesystem::path Folder() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("qor-fuzz-ini-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    static const auto* scratch = new std::filesystem::path(d);  // outlives the exit handler
    std::atexit([] { std::filesystem::remove_all(*scratch); });
    static rtl::ConfigurableEnv env;
    env.programPath = (d / "host").string();
    env.systemDirectory = d.string();
    rtl::SetEnv(&env);
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto dir = Folder();
  std::ofstream(dir / "ELGIN.INI", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  Qor01100::dsDirCad.clear();
  for (const std::string& path : {Qor01100::retornaPathElgin(), Qor01100::retornaPathRFDElgin()})
    if (path.empty() || path.back() != '\\') __builtin_trap();
  Qor01100::retornaPortaElgin();
  return 0;
}
