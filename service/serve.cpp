#include "service/serve.h"

#include <filesystem>

#include "calls/loader.h"
#include "service/doors.h"

namespace qorservice {

bool CheckServeOptions(ServeOptions& options, const std::string& defaultAnswer, const std::string& maxRequest,
                       const std::string& session, std::string& error) {
  if (!session.empty()) {
    error = "serve takes no session file (got " + session + ")";
    return false;
  }
  if (options.stdio == !options.http.empty()) {
    error = "serve needs one door: --stdio or --http [HOST:]PORT";
    return false;
  }
  if (!options.token.empty() && options.stdio) {
    error = "--token goes with --http";
    return false;
  }
  if (defaultAnswer == "yes" || defaultAnswer == "no" || defaultAnswer.empty()) {
    options.defaultAnswer = defaultAnswer == "yes";
  } else {
    error = "--default-answer is yes or no, got \"" + defaultAnswer + "\"";
    return false;
  }
  if (!maxRequest.empty()) {
    bool digits = maxRequest.size() <= 9;
    for (char c : maxRequest) digits = digits && c >= '0' && c <= '9';
    if (!digits || std::stoul(maxRequest) < 64) {
      error = "--max-request is a number of bytes from 64 to 999999999, got \"" + maxRequest + "\"";
      return false;
    }
    options.maxRequestBytes = std::stoul(maxRequest);
  }
  if (!options.http.empty()) {
    HttpOptions http;
    if (!ParseListenAddress(options.http, http, error)) return false;
    if (!IsLoopback(http.host) && options.token.empty()) {
      error = "listening on " + http.host + " lets other machines drive the printer: give a --token that every "
              "request must carry";
      return false;
    }
  }
  return true;
}

int Serve(const ServeOptions& options, qorhost::SymbolResolver module, const qorhost::SimControl& sim,
          std::istream& in, std::ostream& out, std::ostream& err) {
  try {
    qorhost::UsePrinterFolders(sim, options.stateDir, options.journal);
  } catch (const std::exception& e) {
    err << "qorhost serve: " << e.what() << "\n";
    return 2;
  }
  ServiceOptions so;
  so.unansweredDefault = options.defaultAnswer;
  so.maxRequestBytes = options.maxRequestBytes;
  so.journal = options.journal;
  so.hostDir = options.hostDir;
  // The record of request ids lives with the printer's state: the simulated
  // printer's folder, or the host folder for another printer.
  std::string folder = options.stateDir.empty() ? qorhost::PrinterStateFolder(sim) : options.stateDir;
  if (folder.empty()) folder = options.hostDir;
  so.storePath = (std::filesystem::path(folder) / kAnswerStoreFile).string();

  qorhost::DecodeContext ctx{options.hostDir};  // data-packet files named by a request are read from the host folder
  qorhost::Caller caller(std::move(module), sim, ctx);
  Service service(caller, so);
  if (!service.StoreProblem().empty())
    err << "qorhost serve: requests with an id will be refused: " << service.StoreProblem() << "\n";
  if (options.stdio) {
    // Standard input and output are this door's alone: no need to keep them in step with C's streams.
    std::ios::sync_with_stdio(false);
    return ServeStdio(service, in, out);
  }
  HttpOptions http;
  std::string error;
  ParseListenAddress(options.http, http, error);
  http.token = options.token;
  return ServeHttp(service, http, out, err);
}

}  // namespace qorservice
