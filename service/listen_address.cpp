// The HTTP door's listening address, read apart from the door itself (it
// is checked before anything is loaded, and a build without the door reads
// it too).
#include <string>

#include "service/doors.h"

namespace qorservice {

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host == "[::1]" || host.rfind("127.", 0) == 0;
}

bool ParseListenAddress(const std::string& text, HttpOptions& options, std::string& error) {
  const size_t colon = text.rfind(':');
  const std::string host = colon == std::string::npos ? "" : text.substr(0, colon);
  const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
  bool digits = !port.empty() && port.size() <= 5;
  for (char c : port) digits = digits && c >= '0' && c <= '9';
  if (!digits || std::stoi(port) > 65535) {
    error = "--http takes [HOST:]PORT with a port from 0 to 65535, got \"" + text + "\"";
    return false;
  }
  if (colon != std::string::npos && host.empty()) {
    error = "--http \"" + text + "\" names no host (leave out the colon for 127.0.0.1)";
    return false;
  }
  options.host = host.empty() ? "127.0.0.1" : host;
  if (options.host.size() > 2 && options.host.front() == '[' && options.host.back() == ']')
    options.host = options.host.substr(1, options.host.size() - 2);
  options.port = std::stoi(port);
  return true;
}

}  // namespace qorservice
