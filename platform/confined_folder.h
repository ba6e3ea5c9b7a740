// Files inside one folder, reached without ever leaving it: a path below
// the folder is opened one name at a time, and a symbolic link anywhere
// below it is refused where it is met (not checked first and opened later),
// so a link swapped in between cannot send a read or a write elsewhere. A
// file with a second name (a hard link, which may be another folder's file)
// is not read, and a write replaces the name whole (written beside and
// renamed), so nothing the name pointed to or shared its contents with
// changes.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace rtl {

class ConfinedFolder {
 public:
  // Opens `folder` (links in its own path are followed). Raises EInOutError
  // when it cannot be opened as a folder.
  explicit ConfinedFolder(const std::string& folder);
  ~ConfinedFolder();
  ConfinedFolder(const ConfinedFolder&) = delete;
  ConfinedFolder& operator=(const ConfinedFolder&) = delete;

  // The contents of the file at `relative` (names separated by "/"; no
  // empty name, ".", ".." or NUL character), or nothing when there is no
  // regular file there (it, or a folder on its way, is missing or is
  // something else). Raises EInOutError when a name on the way is a
  // symbolic link, the file has another name, or it cannot be read.
  std::optional<std::string> Read(const std::string& relative) const;
  // Puts `data` at `relative` whole, creating the missing folders on the
  // way. Raises EInOutError when a name on the way, or the name itself, is
  // a symbolic link, a name on the way is not a folder, or the file cannot
  // be written (the name then keeps what it held).
  void Write(const std::string& relative, std::string_view data) const;

 private:
  int fd_ = -1;
  std::string folder_;
};

}  // namespace rtl
