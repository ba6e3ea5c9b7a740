// The HTTP door (cpp-httplib):
//   POST /call      one request as the body; the answer as --stdio gives it
//                   (status 200 when it ran, 400 when it was refused)
//   GET  /status    the status (service.h), without touching a document
//   GET  /recent    the recent requests in short
//   GET  /tape      the end of the simulated printer's paper tape (?lines=N)
//   GET  /journal   the end of its call journal, JSON lines (?lines=N)
//   GET  /log       the end of the module's debug log in UTF-8 (?lines=N)
//   GET  /          the support page (page.html)
// With a token every request must carry it: "Authorization: Bearer TOKEN",
// or "?token=TOKEN" (how a browser opens the page; the page's script then
// sends the header).
#include <httplib.h>

#include <algorithm>

#include "service/doors.h"
#include "service/files_view.h"
#include "service/page.h"

namespace qorservice {

namespace {

constexpr size_t kDefaultLines = 200;
constexpr size_t kMaxLines = 5000;
constexpr size_t kTailBytes = 1u << 20;

void SendJson(httplib::Response& res, const Json& j, int status = 200) {
  res.status = status;
  res.set_content(Service::Dump(j) + "\n", "application/json; charset=utf-8");
}

size_t LinesParam(const httplib::Request& req) {
  if (!req.has_param("lines")) return kDefaultLines;
  const std::string v = req.get_param_value("lines");
  size_t n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return kDefaultLines;
    n = std::min(kMaxLines, n * 10 + static_cast<size_t>(c - '0'));
  }
  return std::max<size_t>(n, 1);
}

// Compares without stopping at the first difference.
bool SameToken(const std::string& a, const std::string& b) {
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
  return diff == 0;
}

bool Authorised(const httplib::Request& req, const std::string& token) {
  if (token.empty()) return true;
  const std::string auth = req.get_header_value("Authorization");
  if (auth.rfind("Bearer ", 0) == 0 && SameToken(auth.substr(7), token)) return true;
  return req.has_param("token") && SameToken(req.get_param_value("token"), token);
}

std::string TapePath(const qorhost::SimControl& sim) {
  if (!sim.tape_path) return "";
  char buf[4096] = {0};
  return sim.tape_path(buf, sizeof buf) == 0 ? std::string(buf) : std::string();
}

void Text(httplib::Response& res, const std::optional<std::string>& text, const std::string& missing,
          const char* type) {
  if (!text) return SendJson(res, Json{{"invalid", missing}}, 404);
  res.set_content(*text, type);
}

void Routes(httplib::Server& server, Service& service, const qorhost::SimControl& sim) {
  server.Post("/call", [&service](const httplib::Request& req, httplib::Response& res) {
    const Json answer = service.HandleText(req.body);
    SendJson(res, answer, answer.contains("invalid") ? 400 : 200);
  });
  server.Get("/status", [&service](const httplib::Request&, httplib::Response& res) { SendJson(res, service.Status()); });
  server.Get("/recent", [&service](const httplib::Request&, httplib::Response& res) { SendJson(res, service.Recent()); });
  server.Get("/tape", [&sim](const httplib::Request& req, httplib::Response& res) {
    const std::string path = TapePath(sim);
    Text(res, path.empty() ? std::nullopt : TailLines(path, LinesParam(req), kTailBytes),
         "no paper tape: the printer is not the simulated one, or it printed nothing yet", "text/plain; charset=utf-8");
  });
  server.Get("/journal", [&service](const httplib::Request& req, httplib::Response& res) {
    const std::string& path = service.Options().journal;
    Text(res, path.empty() ? std::nullopt : TailLines(path, LinesParam(req), kTailBytes),
         "no call journal is kept: start the service with --journal FILE", "application/x-ndjson; charset=utf-8");
  });
  server.Get("/log", [&service](const httplib::Request& req, httplib::Response& res) {
    Text(res, DebugLogTail(service.Options().hostDir, LinesParam(req)), "the module has written no debug log yet",
         "text/plain; charset=utf-8");
  });
  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(SupportPage(), "text/html; charset=utf-8");
  });
}

}  // namespace

int ServeHttp(Service& service, const HttpOptions& options, std::ostream& out, std::ostream& err) {
  if (!IsLoopback(options.host) && options.token.empty()) {
    err << "qorhost serve: listening on " << options.host
        << " lets other machines drive the printer: give a --token that every request must carry\n";
    return 2;
  }
  httplib::Server server;
  server.set_payload_max_length(service.Options().maxRequestBytes);
  // Answers leave at once (no waiting for more to send), and a client keeps
  // its connection for a whole day of requests.
  server.set_tcp_nodelay(true);
  server.set_keep_alive_max_count(100000);
  const std::string token = options.token;
  server.set_pre_routing_handler([token](const httplib::Request& req, httplib::Response& res) {
    if (Authorised(req, token)) return httplib::Server::HandlerResponse::Unhandled;
    SendJson(res, Json{{"invalid", "this service needs its token: Authorization: Bearer TOKEN"}}, 401);
    return httplib::Server::HandlerResponse::Handled;
  });
  server.set_error_handler(httplib::Server::HandlerWithResponse([&service](const httplib::Request& req,
                                                                          httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;  // a route's own answer
    std::string why = "no such page: " + req.method + " " + req.path +
                      " (POST /call; GET /status, /recent, /tape, /journal, /log, /)";
    if (res.status == 413)
      why = "the request is longer than the " + std::to_string(service.Options().maxRequestBytes) + " bytes read at most";
    else if (res.status == 400)
      why = "the HTTP request is not readable";
    SendJson(res, Json{{"invalid", why}}, res.status);
    return httplib::Server::HandlerResponse::Handled;
  }));
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, const std::exception_ptr&) {
    SendJson(res, Json{{"invalid", "the service failed on this request; it keeps running"}}, 500);
  });
  Routes(server, service, service.Sim());
  int port = options.port;
  if (port == 0) {
    port = server.bind_to_any_port(options.host);
    if (port < 0) {
      err << "qorhost serve: cannot listen on " << options.host << "\n";
      return 2;
    }
  } else if (!server.bind_to_port(options.host, port)) {
    err << "qorhost serve: cannot listen on " << options.host << ":" << port << "\n";
    return 2;
  }
  const bool v6 = options.host.find(':') != std::string::npos;
  out << "qorhost serve: listening on http://" << (v6 ? "[" + options.host + "]" : options.host) << ":" << port
      << "/" << std::endl;
  return server.listen_after_bind() ? 0 : 2;
}

}  // namespace qorservice
