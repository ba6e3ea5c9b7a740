// The surroundings of a fuzz target that drives the module: the host folder
// and the system folder below a temporary folder of this process (the debug
// log lands there; it is removed at exit), the clock frozen at 05/03/2026
// 12:00. Made once per process, on the first call.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/env.h"

inline rtl::ConfigurableEnv& FuzzModuleEnv(const std::string& prefix) {
  static rtl::ConfigurableEnv* env = [&prefix] {
    auto* e = new rtl::ConfigurableEnv;
    const auto dir = std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    static const auto* folder = new std::filesystem::path(dir);
    std::atexit([] { std::filesystem::remove_all(*folder); });
    e->programPath = (dir / "host").string();
    e->systemDirectory = dir.string();
    e->clockFrozen = true;
    e->frozenNow = 46086.5;  // 05/03/2026 12:00
    rtl::SetEnv(e);
    return e;
  }();
  return *env;
}
