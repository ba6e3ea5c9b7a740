#include "platform/confined_folder.h"

#include <vector>

#include "platform/errors.h"
#include "platform/os.h"

namespace rtl {

namespace {

std::vector<std::string> Names(const std::string& relative) {
  if (relative.find('\0') != std::string::npos)
    throw EInOutError("\"" + relative.substr(0, relative.find('\0')) + "...\" holds a NUL character");
  std::vector<std::string> names;
  size_t start = 0;
  for (;;) {
    const size_t end = relative.find('/', start);
    const std::string name = relative.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (name.empty() || name == "." || name == "..")
      throw EInOutError("\"" + relative + "\" is not a plain relative path");
    names.push_back(name);
    if (end == std::string::npos) return names;
    start = end + 1;
  }
}

std::string Why(os::AtFailure why, const std::string& relative, const std::string& name, const std::string& error) {
  switch (why) {
    case os::AtFailure::Link: return "\"" + relative + "\": \"" + name + "\" is a symbolic link";
    case os::AtFailure::NotAFolder: return "\"" + relative + "\": \"" + name + "\" is not a folder";
    case os::AtFailure::NotAFile: return "\"" + relative + "\" is not a regular file";
    default: return "\"" + relative + "\": " + error;
  }
}

// A folder handle closed when it goes out of scope (the base folder's is kept).
struct Held {
  int fd = -1;
  bool owned = false;
  Held() = default;
  Held(int f, bool o) : fd(f), owned(o) {}
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() {
    if (owned) os::CloseFile(fd);
  }
};

// The folder holding the last name of `names`, opened name by name from
// `base`; -1 when one is missing (or is a file) and not `create`.
int OpenParent(int base, const std::vector<std::string>& names, const std::string& relative, bool create,
               Held& held) {
  held.fd = base;
  held.owned = false;
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    os::AtFailure why;
    std::string error;
    const int fd = os::OpenFolderAt(held.fd, names[i], create, &why, &error);
    if (fd < 0) {
      if ((why == os::AtFailure::Missing || why == os::AtFailure::NotAFolder) && !create) return -1;
      throw EInOutError(Why(why, relative, names[i], error));
    }
    if (held.owned) os::CloseFile(held.fd);
    held.fd = fd;
    held.owned = true;
  }
  return held.fd;
}

}  // namespace

ConfinedFolder::ConfinedFolder(const std::string& folder) : folder_(folder) {
  os::AtFailure why;
  std::string error;
  fd_ = os::OpenFolderAt(-1, folder, false, &why, &error);
  if (fd_ < 0) throw EInOutError(error);
}

ConfinedFolder::~ConfinedFolder() { os::CloseFile(fd_); }

std::optional<std::string> ConfinedFolder::Read(const std::string& relative) const {
  const std::vector<std::string> names = Names(relative);
  Held parent;
  if (OpenParent(fd_, names, relative, false, parent) < 0) return std::nullopt;
  os::AtFailure why;
  std::string error;
  int links = 0;
  const int fd = os::OpenFileAt(parent.fd, names.back(), &links, &why, &error);
  if (fd < 0) {
    if (why == os::AtFailure::Missing || why == os::AtFailure::NotAFile || why == os::AtFailure::NotAFolder)
      return std::nullopt;
    throw EInOutError(Why(why, relative, names.back(), error));
  }
  const Held file{fd, true};
  if (links != 1) throw EInOutError("\"" + relative + "\" has " + std::to_string(links) + " names (hard links)");
  std::string data;
  if (!os::ReadOpenFile(fd, &data, &error)) throw EInOutError("\"" + relative + "\": " + error);
  return data;
}

void ConfinedFolder::Write(const std::string& relative, std::string_view data) const {
  const std::vector<std::string> names = Names(relative);
  Held parent;
  OpenParent(fd_, names, relative, true, parent);
  // A link found at the name is refused, as on the way to it; one swapped
  // in after this look is replaced by the rename, never written through.
  if (os::IsLinkAt(parent.fd, names.back()))
    throw EInOutError(Why(os::AtFailure::Link, relative, names.back(), ""));
  std::string error;
  if (!os::ReplaceFileAt(parent.fd, names.back(), data, &error)) throw EInOutError("\"" + relative + "\": " + error);
}

}  // namespace rtl
