// String lists. Choices: IndexOf/IndexOfName/Values compare with the 1252
// case-insensitive comparison (AnsiSameText); a line without '=' has the
// name "" ; SaveToFile raises EInOutError when the file cannot be written.
#include "platform/stringlist.h"

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace rtl {

namespace {
[[noreturn]] void IndexError(int i) {
  throw EStringListError("List index out of bounds (" + std::to_string(i) + ")");
}
}  // namespace

const std::string& StringList::operator[](int i) const {
  if (i < 0 || i >= Count()) IndexError(i);
  return lines_[static_cast<size_t>(i)];
}

std::string& StringList::operator[](int i) {
  if (i < 0 || i >= Count()) IndexError(i);
  return lines_[static_cast<size_t>(i)];
}

int StringList::Add(std::string s) {
  lines_.push_back(std::move(s));
  return Count() - 1;
}

void StringList::Insert(int index, std::string s) {
  if (index < 0 || index > Count()) IndexError(index);
  lines_.insert(lines_.begin() + index, std::move(s));
}

void StringList::Delete(int index) {
  if (index < 0 || index >= Count()) IndexError(index);
  lines_.erase(lines_.begin() + index);
}

int StringList::IndexOf(std::string_view s) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiSameText(lines_[static_cast<size_t>(i)], s)) return i;
  return -1;
}

std::string StringList::Text() const {
  std::string r;
  size_t n = 0;
  for (const auto& l : lines_) n += l.size() + LineBreak.size();
  r.reserve(n);
  for (const auto& l : lines_) {
    r += l;
    r += LineBreak;
  }
  return r;
}

void StringList::SetText(std::string_view text) {
  lines_.clear();
  size_t i = 0;
  while (i < text.size()) {
    size_t start = i;
    while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
    lines_.emplace_back(text.substr(start, i - start));
    if (i < text.size() && text[i] == '\r') {
      ++i;
      if (i < text.size() && text[i] == '\n') ++i;  // CR LF is one break
    } else if (i < text.size()) {
      ++i;  // LF
    }
  }
}

std::string StringList::Names(int i) const {
  const std::string& l = (*this)[i];
  size_t p = l.find('=');
  return p == std::string::npos ? std::string() : l.substr(0, p);
}

int StringList::IndexOfName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& l = lines_[static_cast<size_t>(i)];
    size_t p = l.find('=');
    if (p != std::string::npos && AnsiSameText(std::string_view(l).substr(0, p), name)) return i;
  }
  return -1;
}

std::string StringList::Values(std::string_view name) const {
  int i = IndexOfName(name);
  if (i < 0) return std::string();
  const std::string& l = lines_[static_cast<size_t>(i)];
  return l.substr(l.find('=') + 1);
}

void StringList::LoadFromFile(const std::string& path) { SetText(ReadFileBytes(path)); }

void StringList::SaveToFile(const std::string& path) const { WriteFileBytes(path, Text()); }

}  // namespace rtl
