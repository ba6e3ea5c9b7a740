// Message tables: ordered lines "Key|Text", looked up by key.
//
// Lookup rule (the tables hold keys twice and callers ask for keys in other
// capitalisations): the first line whose key matches exactly wins; failing
// that, the first line whose key matches ignoring case; failing that, the
// key itself is returned, so a missing message shows its own name.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace hostlib {

class TMessages {
 public:
  TMessages() = default;
  explicit TMessages(std::string name) : Name(std::move(name)) {}
  std::string Name;
  // Lines "Key|Text" (1252 text).
  void SetLines(std::vector<std::string> lines);
  // Loads a table file: one "Key|Text" per line, UTF-8, converted to 1252.
  // Blank lines and lines starting with "#" are skipped. Raises EFOpenError.
  // A line without a key raises EConvertError naming the table and the line
  // (the table is then left as it was).
  void LoadFromFile(const std::string& path);
  // The same from the text of such a file (UTF-8).
  void SetText(std::string_view utf8);
  const std::vector<std::string>& Lines() const { return lines_; }
  std::string Msg(std::string_view key) const;
  bool HasKey(std::string_view key) const;  // exact match

 private:
  std::vector<std::string> lines_;
};

}  // namespace hostlib
