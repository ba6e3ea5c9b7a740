#include "service/files_view.h"

#include <filesystem>
#include <fstream>

#include "platform/text.h"

namespace qorservice {

namespace fs = std::filesystem;

std::optional<std::string> TailLines(const std::string& path, size_t maxLines, size_t maxBytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return std::nullopt;
  const std::streamoff start = size > static_cast<std::streamoff>(maxBytes) ? size - static_cast<std::streamoff>(maxBytes) : 0;
  in.seekg(start);
  std::string text(static_cast<size_t>(size - start), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (start > 0) {  // the first line is cut: start after it
    const size_t nl = text.find('\n');
    text.erase(0, nl == std::string::npos ? text.size() : nl + 1);
  }
  size_t lines = 0;
  size_t pos = text.size();
  if (pos > 0 && text[pos - 1] == '\n') --pos;
  while (pos > 0) {
    const size_t nl = text.rfind('\n', pos - 1);
    if (++lines == maxLines) {
      if (nl != std::string::npos) text.erase(0, nl + 1);
      break;
    }
    if (nl == std::string::npos) break;
    pos = nl;
  }
  return text;
}

std::string NewestDebugLog(const std::string& hostDir) {
  std::error_code ec;
  fs::path newest;
  fs::file_time_type newestTime{};
  for (fs::directory_iterator it(hostDir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = rtl::LowerCase(it->path().filename().string());
    if (name.rfind("impdebug", 0) != 0 || it->path().extension() != ".txt") continue;
    std::error_code ec2;
    const auto t = fs::last_write_time(it->path(), ec2);
    if (!ec2 && (newest.empty() || t > newestTime)) {
      newest = it->path();
      newestTime = t;
    }
  }
  return newest.string();
}

std::optional<std::string> DebugLogTail(const std::string& hostDir, size_t maxLines) {
  const std::string path = NewestDebugLog(hostDir);
  if (path.empty()) return std::nullopt;
  auto text = TailLines(path, maxLines, 4u << 20);
  if (!text) return std::nullopt;
  std::string out;
  size_t start = 0;
  while (start < text->size()) {
    size_t nl = text->find('\n', start);
    if (nl == std::string::npos) nl = text->size();
    std::string line = text->substr(start, nl - start);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    out += rtl::Cp1252ToUtf8(line) + "\n";
    start = nl + 1;
  }
  return out;
}

}  // namespace qorservice
