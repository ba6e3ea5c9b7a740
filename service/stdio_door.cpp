#include "service/doors.h"

namespace qorservice {

namespace {

// Reads one line into `line`, keeping at most `limit` + 1 characters of it
// (the rest is read and dropped). False at the end of the input.
bool ReadLine(std::istream& in, std::string& line, size_t limit) {
  line.clear();
  bool any = false;
  char buf[4096];
  while (true) {
    in.getline(buf, sizeof buf);
    const std::streamsize got = in.gcount();
    if (got > 0) any = true;
    const bool wholeLine = !in.fail();  // the line ended within the buffer (its '\n' counted in gcount)
    size_t n = static_cast<size_t>(got) - (wholeLine && got > 0 && !in.eof() ? 1 : 0);
    if (line.size() <= limit) line.append(buf, std::min(n, limit + 1 - line.size()));
    if (wholeLine) return any || !in.eof();
    if (in.eof()) return any;
    in.clear();  // the buffer filled before the line ended: go on reading it
  }
}

}  // namespace

int ServeStdio(Service& service, std::istream& in, std::ostream& out) {
  std::string line;
  const size_t limit = service.Options().maxRequestBytes;
  while (ReadLine(in, line, limit)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    out << Service::Dump(service.HandleText(line)) << "\n" << std::flush;
  }
  return 0;
}

}  // namespace qorservice
