// String lists: ordered lines, with Text joined by CR LF (the run-time's line break).
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

class StringList {
 public:
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& operator[](int i) const;   // raises EStringListError when out of range
  std::string& operator[](int i);
  int Add(std::string s);
  void Insert(int index, std::string s);
  void Delete(int index);
  void Clear() { lines_.clear(); }
  int IndexOf(std::string_view s) const;  // case-insensitive as the run-time's; -1 when absent

  // Lines joined, each followed by LineBreak.
  std::string Text() const;
  // Splits at CR LF, LF or CR.
  void SetText(std::string_view text);
  std::string LineBreak = "\r\n";

  // name=value lines.
  std::string Names(int i) const;
  std::string Values(std::string_view name) const;  // first line whose name matches (case-insensitive)
  int IndexOfName(std::string_view name) const;

  void LoadFromFile(const std::string& path);  // raises EFOpenError
  void SaveToFile(const std::string& path) const;

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

}  // namespace rtl
