// The doors of the service: each reads requests from somewhere, hands them to
// the Service (which carries them out one at a time) and writes the answers.
#pragma once
#include <istream>
#include <ostream>
#include <string>

#include "service/service.h"

namespace qorservice {

// One request per line of `in`, one answer per line of `out`, until `in`
// ends. A line longer than the service's limit is answered as too long
// without being kept in memory; blank lines are skipped. Returns 0.
int ServeStdio(Service& service, std::istream& in, std::ostream& out);

struct HttpOptions {
  std::string host = "127.0.0.1";
  int port = 0;       // 0: any free port
  std::string token;  // required of every request when not empty
};

// Parses "[HOST:]PORT" (a bare port listens on 127.0.0.1). False with the reason.
bool ParseListenAddress(const std::string& text, HttpOptions& options, std::string& error);
// True for the loopback addresses and "localhost".
bool IsLoopback(const std::string& host);

// Serves over HTTP until the process is stopped; prints
// "qorhost serve: listening on http://HOST:PORT/" on `out` once it listens.
// Returns 2 (the reason on `err`) when it cannot listen.
int ServeHttp(Service& service, const HttpOptions& options, std::ostream& out, std::ostream& err);

}  // namespace qorservice
