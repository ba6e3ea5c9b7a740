#include "sim/core/files.h"

#include <exception>
#include <filesystem>

#include "platform/files.h"

namespace ecfsim {

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  const std::filesystem::path p(path);
  std::error_code ec;
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
  try {
    rtl::WriteFileAtomic(path, bytes);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace ecfsim
