// Message tables.
#include "hostlib/messages.h"

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace hostlib {

namespace {

// The key of a line: everything before the first "|" (a text may itself hold
// further bars). A line without a bar has no key.
std::string_view KeyOf(std::string_view line) {
  size_t bar = line.find('|');
  return bar == std::string_view::npos ? std::string_view() : line.substr(0, bar);
}

std::string_view TextOf(std::string_view line) {
  size_t bar = line.find('|');
  return bar == std::string_view::npos ? std::string_view() : line.substr(bar + 1);
}

}  // namespace

void TMessages::SetLines(std::vector<std::string> lines) { lines_ = std::move(lines); }

// File rules: lines end with LF or CR LF; a UTF-8 byte-order mark at the start
// is ignored; empty or blank lines and lines starting with "#" are skipped;
// every other line must be "Key|Text" with a non-empty key, or the whole
// table is refused with an error naming the line (a table silently missing
// an entry would show key names to the operator instead of texts). Blanks
// inside and at the end of a text are kept: several printed captions end in
// blanks that the layouts rely on.
void TMessages::SetText(std::string_view utf8) {
  if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  std::vector<std::string> lines;
  size_t pos = 0;
  int lineNo = 0;
  while (pos < utf8.size()) {
    size_t end = utf8.find('\n', pos);
    if (end == std::string_view::npos) end = utf8.size();
    std::string_view line = utf8.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (rtl::Trim(line).empty() || line.front() == '#') continue;
    if (KeyOf(line).empty()) {
      std::string where = Name.empty() ? std::string("tabela de mensagens") : Name;
      throw rtl::EConvertError(rtl::Utf8ToCp1252(where + ": linha " + std::to_string(lineNo) +
                                                 " inválida (esperado Chave|Texto): ") +
                               rtl::Utf8ToCp1252(line));
    }
    lines.push_back(rtl::Utf8ToCp1252(line));
  }
  lines_ = std::move(lines);
}

void TMessages::LoadFromFile(const std::string& path) { SetText(rtl::ReadFileBytes(path)); }

std::string TMessages::Msg(std::string_view key) const {
  // Lines without a key (possible through SetLines) never match.
  for (const std::string& line : lines_) {
    std::string_view k = KeyOf(line);
    if (!k.empty() && k == key) return std::string(TextOf(line));
  }
  for (const std::string& line : lines_) {
    std::string_view k = KeyOf(line);
    if (!k.empty() && rtl::AnsiSameText(k, key)) return std::string(TextOf(line));
  }
  return std::string(key);
}

bool TMessages::HasKey(std::string_view key) const {
  if (key.empty()) return false;
  for (const std::string& line : lines_) {
    if (KeyOf(line) == key) return true;
  }
  return false;
}

}  // namespace hostlib
