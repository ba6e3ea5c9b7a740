// `qorhost serve`: the module, loaded once by qorhost, offered to other
// programs through one door: standard input and output (--stdio) or HTTP
// (--http). The requests and answers are those of service/service.h.
#pragma once
#include <cstddef>
#include <istream>
#include <ostream>
#include <string>

#include "calls/caller.h"

namespace qorservice {

struct ServeOptions {
  bool stdio = false;
  std::string http;               // "[HOST:]PORT"
  std::string token;              // required of every HTTP request when set
  bool defaultAnswer = false;     // the answer of a question the request does not answer
  size_t maxRequestBytes = 1u << 20;
  std::string stateDir;           // the simulated printer's state folder (absolute; "" = its default)
  std::string journal;            // its call journal (absolute; "" = none)
  std::string hostDir;            // the module's host folder (absolute)
};

// Checks and completes the serve options read from the command line:
// `defaultAnswer` ("yes"/"no"/""), `maxRequest` (digits or ""), `session`
// (a session file, which serve does not take). False with the reason in `error`.
bool CheckServeOptions(ServeOptions& options, const std::string& defaultAnswer, const std::string& maxRequest,
                       const std::string& session, std::string& error);

// Serves the loaded module until standard input ends (--stdio) or the process
// is stopped (--http). Returns the exit status: 0, or 2 when the service
// cannot start (the reason on `err`).
int Serve(const ServeOptions& options, qorhost::SymbolResolver module, const qorhost::SimControl& sim,
          std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace qorservice
