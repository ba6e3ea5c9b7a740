// Printed texts sent in pieces (see text_blocks.h).
#include "driver/text_blocks.h"

#include <algorithm>

namespace Qor01100 {

std::string TakeLine(std::string& text) {
  const std::size_t lf = text.find('\n');
  const std::size_t n = lf == std::string::npos ? text.size() : lf + 1;
  std::string line = text.substr(0, n);
  text.erase(0, n);
  return line;
}

std::vector<std::string> LineBlocks(const std::string& text, std::size_t minSize) {
  std::vector<std::string> blocks;
  std::string rest = text;
  while (!rest.empty()) {
    std::string block;
    while (!rest.empty() && (block.empty() || block.size() < minSize)) block += TakeLine(rest);
    blocks.push_back(std::move(block));
  }
  return blocks;
}

std::vector<std::string> LineGroups(const std::string& text, std::size_t lines) {
  std::vector<std::string> groups;
  std::string rest = text;
  while (!rest.empty()) {
    std::string group;
    for (std::size_t i = 0; i < (lines == 0 ? 1 : lines) && !rest.empty(); ++i) group += TakeLine(rest);
    groups.push_back(std::move(group));
  }
  return groups;
}

std::vector<std::string> LimitedBlocks(const std::string& text, std::size_t limit) {
  std::vector<std::string> blocks;
  if (limit == 0) limit = text.size();
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t len = std::min(limit, text.size() - pos);
    if (pos + len < text.size()) {
      const std::size_t lf = text.rfind('\n', pos + len - 1);
      if (lf != std::string::npos && lf >= pos) len = lf - pos + 1;
    }
    blocks.push_back(text.substr(pos, len));
    pos += len;
  }
  return blocks;
}

}  // namespace Qor01100
