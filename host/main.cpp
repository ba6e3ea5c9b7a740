// qorhost: loads the driver module like a point-of-sale host and runs a
// session script against it, or serves it to other programs as a resident
// driver (`qorhost serve`; see host/README.md).
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "calls/loader.h"
#include "host/session.h"
#include "platform/library.h"
#include "platform/process.h"
#include "platform/text.h"
#include "service/serve.h"

namespace {

const char kUsage[] =
    "usage: qorhost [options] SESSION.json\n"
    "       qorhost serve --stdio | --http [HOST:]PORT [options]\n"
    "Loads the driver module Pkg_Qor01100 the way a point-of-sale host does, runs the\n"
    "session's steps in order and prints one JSON object per step on standard output.\n"
    "With serve, keeps the module loaded and answers requests (one JSON object each):\n"
    "one per line on standard input (--stdio), or over HTTP (--http; POST /call,\n"
    "GET /status, /tape, /journal, /log, /recent, and GET / the support page).\n"
    "\n"
    "options:\n"
    "  --printer sim|LIB  the vendor library: the simulated printer (default) or the\n"
    "                     path or name of another library used as \"Elgin.dll\"\n"
    "  --state DIR        state folder of the simulated printer\n"
    "  --host-dir DIR     folder the module sees as the host program's folder (debug\n"
    "                     log, configuration files, \"Dados\"); default: the current folder\n"
    "  --journal FILE     write the simulated printer's call journal to FILE\n"
    "  --tape             after the steps, print the paper tape the session produced\n"
    "  --brief            one line per step (operation, result, return code, new\n"
    "                     messages) and a summary, instead of the JSON lines\n"
    "  --list             list the operations qorhost can call, their parameters and kinds\n"
    "  --help             this text\n"
    "\n"
    "serve options (with --state, --host-dir, --printer, --journal as above):\n"
    "  --stdio            requests on standard input, answers on standard output\n"
    "  --http [HOST:]PORT listen on HOST (default 127.0.0.1) and PORT (0: any free\n"
    "                     port; the address is printed on standard output)\n"
    "  --token TEXT       every HTTP request must carry it (Authorization: Bearer\n"
    "                     TEXT, or ?token=TEXT); needed to listen beyond loopback\n"
    "  --default-answer yes|no  the answer of an operator question that the\n"
    "                     request does not answer (default no)\n"
    "  --max-request BYTES  longest request read (default 1048576)\n"
    "\n"
    "exit status: 0 every step ran and every expect held; 1 an expect failed;\n"
    "2 bad command line or session script; 3 the module could not be loaded.\n";

struct CommandLine {
  std::string printer = "sim";
  std::string stateDir;
  std::string hostDir;
  std::string journal;
  bool tape = false;
  bool brief = false;
  bool help = false;
  bool list = false;
  std::string session;
  bool serve = false;
  qorservice::ServeOptions service;
};

// Options of a session run that serve does not take.
bool CheckServeCombination(const CommandLine& cl, std::string& error) {
  if (cl.tape || cl.brief || cl.list) {
    error = "serve does not take --tape, --brief or --list (GET /tape shows the tape)";
    return false;
  }
  return true;
}

// Parses the options ("--name value" or "--name=value"); false with a message on error.
bool Parse(int argc, char** argv, CommandLine& cl, std::string& error) {
  int first = 1;
  if (argc > 1 && std::string(argv[1]) == "serve") {
    cl.serve = true;
    first = 2;
  }
  std::string defaultAnswer, maxRequest;
  for (int i = first; i < argc; ++i) {
    std::string a = argv[i];
    std::string value;
    bool hasValue = false;
    if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
      value = a.substr(a.find('=') + 1);
      a = a.substr(0, a.find('='));
      hasValue = true;
    }
    auto take = [&](std::string& target) {
      if (!hasValue) {
        if (i + 1 >= argc) {
          error = a + " needs a value";
          return false;
        }
        value = argv[++i];
      }
      if (value.empty()) {
        error = a + " needs a value";
        return false;
      }
      target = value;
      return true;
    };
    auto flag = [&](bool& target) {
      if (hasValue) {
        error = a + " takes no value";
        return false;
      }
      target = true;
      return true;
    };
    bool ok = true;
    if (a == "--printer") ok = take(cl.printer);
    else if (a == "--state") ok = take(cl.stateDir);
    else if (a == "--host-dir") ok = take(cl.hostDir);
    else if (a == "--journal") ok = take(cl.journal);
    else if (a == "--tape") ok = flag(cl.tape);
    else if (a == "--brief") ok = flag(cl.brief);
    else if (a == "--list") ok = flag(cl.list);
    else if (cl.serve && a == "--stdio") ok = flag(cl.service.stdio);
    else if (cl.serve && a == "--http") ok = take(cl.service.http);
    else if (cl.serve && a == "--token") ok = take(cl.service.token);
    else if (cl.serve && a == "--default-answer") ok = take(defaultAnswer);
    else if (cl.serve && a == "--max-request") ok = take(maxRequest);
    else if (a == "--help" || a == "-h") ok = flag(cl.help);
    else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    } else if (!cl.session.empty()) {
      error = "one session file at a time (got " + cl.session + " and " + a + ")";
      return false;
    } else {
      cl.session = a;
    }
    if (!ok) return false;
  }
  if (cl.serve) return qorservice::CheckServeOptions(cl.service, defaultAnswer, maxRequest, cl.session, error) &&
                       (cl.help || CheckServeCombination(cl, error));
  if (!cl.help && !cl.list && cl.session.empty()) {
    error = "no session file given";
    return false;
  }
  return true;
}

void ListOperations() {
  for (const auto& [name, a] : qorhost::Adapters())
    std::cout << name << "(" << qorhost::ParameterList(a) << ")" << (a.resultKind == "none" ? "" : " -> " + a.resultKind)
              << (a.planned ? "  [not available]" : "") << "\n";
}

// The person at the terminal answers the module's yes/no questions.
std::optional<bool> AskTerminal(const hostlib::DialogRequest& r) {
  std::cerr << "\nqorhost: the driver asks:\n  " << rtl::Cp1252ToUtf8(r.text) << "\n";
  while (true) {
    std::cerr << "answer y (yes) or n (no): " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    const std::string a = rtl::LowerCase(rtl::Trim(line));
    if (a == "y" || a == "yes" || a == "s" || a == "sim") return true;
    if (a == "n" || a == "no" || a == "nao" || a == "não") return false;
  }
}

// The host's environment. For crash tests, QORHOST_KILL_AT="POINT:TEXT:N"
// ends the process at once, as a crash would (SIGKILL; TerminateProcess on
// Windows), the N-th time the run-time reaches POINT
// (see rtl::Env::Reached) for a target whose path holds TEXT, e.g.
// "WriteFileAtomic:Kalvora.cds:2": inside the second rewrite of that file.
class HostEnv : public rtl::ConfigurableEnv {
 public:
  HostEnv() {
    const char* spec = std::getenv("QORHOST_KILL_AT");
    if (!spec) return;
    const std::string s = spec;
    const size_t a = s.find(':'), b = s.rfind(':');
    if (a == std::string::npos || b == a) return;
    point_ = s.substr(0, a);
    text_ = s.substr(a + 1, b - a - 1);
    count_ = std::atoi(s.c_str() + b + 1);
  }
  void Reached(const char* point, const std::string& detail) override {
    if (count_ > 0 && point_ == point && detail.find(text_) != std::string::npos && ++seen_ == count_)
      rtl::KillProcessNow();
  }

 private:
  std::string point_, text_;
  int count_ = 0;
  int seen_ = 0;
};

// Reads and checks the session script; false (with the reason on standard
// error) when it cannot run.
bool ReadSession(const std::string& path, qorhost::Json& session) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "qorhost: cannot read the session file " << path << ": " << std::strerror(errno) << "\n";
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  try {
    session = qorhost::ParseSession(text.str());
  } catch (const qorhost::SessionError& e) {
    std::cerr << "qorhost: " << path << ": " << e.what() << "\n";
    return false;
  }
  return true;
}

// The host program's folder, absolute and created when missing; empty (with
// the reason on standard error) when it cannot be used.
std::string HostFolder(const CommandLine& cl) {
  std::string error;
  std::string hostDir = qorhost::PrepareHostFolder(cl.hostDir, &error);
  if (hostDir.empty()) std::cerr << "qorhost: " << error << "\n";
  return hostDir;
}

// Loads the vendor library the command line names as "Elgin.dll" (see
// calls/loader.h); what goes wrong is reported on standard error.
qorhost::SimControl LoadPrinter(const CommandLine& cl) {
  return qorhost::LoadPrinter(cl.printer, [](const std::string& why) { std::cerr << "qorhost: " << why << "\n"; });
}

// The simulated printer's state folder: the command line's, else the one
// the printer takes by default, so that the session opens it before its
// first step (and a folder another process holds is refused then).
std::string StateFolder(const CommandLine& cl, const qorhost::SimControl& sim) {
  if (!cl.stateDir.empty()) return qorhost::AbsolutePath(cl.stateDir);
  return qorhost::PrinterStateFolder(sim);
}

qorhost::HostOptions OptionsFrom(const CommandLine& cl, const qorhost::SimControl& sim) {
  qorhost::HostOptions options;
  options.stateDir = StateFolder(cl, sim);
  options.journal = qorhost::AbsolutePath(cl.journal);
  options.tape = cl.tape;
  options.brief = cl.brief;
  options.sessionDir = std::filesystem::path(qorhost::AbsolutePath(cl.session)).parent_path();
  options.sessionName = cl.session;
  return options;
}

int Run(int argc, char** argv) {
  rtl::BinaryStandardStreams();  // the same bytes on every system
  CommandLine cl;
  std::string error;
  if (!Parse(argc, argv, cl, error)) {
    std::cerr << "qorhost: " << error << "\n\n" << kUsage;
    return qorhost::kExitBadSession;
  }
  if (cl.help) {
    std::cout << kUsage;
    return qorhost::kExitOk;
  }
  if (cl.list) {
    ListOperations();
    return qorhost::kExitOk;
  }

  // The script first: nothing is loaded for a script that cannot run.
  qorhost::Json session;
  if (!cl.serve && !ReadSession(cl.session, session)) return qorhost::kExitBadSession;

  // The host's environment, in place before any library is loaded: the
  // module and the simulated printer read the program's folder and the clock through it.
  const std::string hostDir = HostFolder(cl);
  if (hostDir.empty()) return qorhost::kExitBadSession;
  static HostEnv env;
  env.programPath = (std::filesystem::path(hostDir) / "qorhost").string();
  rtl::SetEnv(&env);

  const qorhost::SimControl sim = LoadPrinter(cl);
  std::string loadError;
  void* module = qorhost::LoadModule(&loadError);
  if (!module) {
    std::cerr << "qorhost: cannot load the module Pkg_Qor01100: " << loadError << "\n";
    rtl::SetEnv(nullptr);
    return qorhost::kExitLoad;
  }

  if (cl.serve) {
    cl.service.stateDir = StateFolder(cl, sim);
    cl.service.journal = qorhost::AbsolutePath(cl.journal);
    cl.service.hostDir = hostDir;
    std::error_code ec;
    std::filesystem::current_path(hostDir, ec);
    const int status = qorservice::Serve(cl.service, qorhost::ModuleSymbols(module), sim, std::cin, std::cout, std::cerr);
    rtl::SetEnv(nullptr);
    return status;
  }
  qorhost::SessionRunner runner(qorhost::ModuleSymbols(module), sim, env, OptionsFrom(cl, sim), std::cout, std::cerr);
  if (rtl::StdinIsTerminal()) runner.SetAsker(AskTerminal);
  // The host folder is also the working folder, as for a point-of-sale
  // program started from its own folder: relative names (a library folder
  // in "ELGIN.INI", a file named in a session's arguments) are read from
  // there. Every path of the command line is absolute by now.
  std::error_code ec;
  std::filesystem::current_path(hostDir, ec);
  const int status = runner.Run(session);
  rtl::SetEnv(nullptr);
  return status;
}

}  // namespace

// Whatever raises out of a run ends it with its text on standard error and
// the load failure's status, never with the run-time's abort.
int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "qorhost: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "qorhost: an unknown exception ended the run\n";
  }
  return qorhost::kExitLoad;
}
