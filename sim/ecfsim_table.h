// The simulated printer's control functions as a table of pointers, resolved
// by name from the loaded printer library (hosts and tests do not link it).
#pragma once
#include <string>

namespace ecfsim {

struct ControlTable {
#define ECFSIM_CONTROL(name, ret, params) ret(*name) params = nullptr;
#include "sim/ecfsim_controls.def"
#undef ECFSIM_CONTROL

  // Resolves every ecfsim_* function through symbol(const char*) -> void*;
  // returns the names it could not find, separated by blanks ("" = all found).
  template <typename Resolver>
  std::string Bind(Resolver&& symbol) {
    std::string missing;
#define ECFSIM_CONTROL(name, ret, params)                                      \
  name = reinterpret_cast<decltype(name)>(symbol("ecfsim_" #name));           \
  if (!name) missing += (missing.empty() ? "" : " ") + std::string("ecfsim_" #name);
#include "sim/ecfsim_controls.def"
#undef ECFSIM_CONTROL
    return missing;
  }

  // Why the last control call failed, as the printer says it.
  std::string LastError() const {
    if (!last_error) return std::string();
    char buf[512] = {0};
    int n = last_error(buf, sizeof buf);
    return n >= 0 && n < static_cast<int>(sizeof buf) ? std::string(buf, static_cast<size_t>(n)) : std::string();
  }
};

}  // namespace ecfsim
