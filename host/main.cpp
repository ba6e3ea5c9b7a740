// qorhost: loads the driver module like a point-of-sale host and runs a
// session script against it (see host/README.md).
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "host/session.h"
#include "platform/library.h"
#include "platform/process.h"
#include "platform/text.h"

namespace {

const char kUsage[] =
    "usage: qorhost [options] SESSION.json\n"
    "Loads the driver module Pkg_Qor01100 the way a point-of-sale host does, runs the\n"
    "session's steps in order and prints one JSON object per step on standard output.\n"
    "\n"
    "options:\n"
    "  --printer sim|LIB  the vendor library: the simulated printer (default) or the\n"
    "                     path or name of another library used as \"Elgin.dll\"\n"
    "  --state DIR        state folder of the simulated printer\n"
    "  --host-dir DIR     folder the module sees as the host program's folder (debug\n"
    "                     log, configuration files, \"Dados\"); default: the current folder\n"
    "  --journal FILE     write the simulated printer's call journal to FILE\n"
    "  --tape             after the steps, print the paper tape the session produced\n"
    "  --list             list the operations qorhost can call and their parameter kinds\n"
    "  --help             this text\n"
    "\n"
    "exit status: 0 every step ran and every expect held; 1 an expect failed;\n"
    "2 bad command line or session script; 3 the module could not be loaded.\n";

struct CommandLine {
  std::string printer = "sim";
  std::string stateDir;
  std::string hostDir;
  std::string journal;
  bool tape = false;
  bool help = false;
  bool list = false;
  std::string session;
};

// Parses the options ("--name value" or "--name=value"); false with a message on error.
bool Parse(int argc, char** argv, CommandLine& cl, std::string& error) {
  for (int i = 1; i < argc; ++i) {
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
    else if (a == "--list") ok = flag(cl.list);
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
  if (!cl.help && !cl.list && cl.session.empty()) {
    error = "no session file given";
    return false;
  }
  return true;
}

void ListOperations() {
  for (const auto& [name, a] : qorhost::Adapters()) {
    std::string kinds;
    for (const auto& k : a.kinds) kinds += (kinds.empty() ? "" : ", ") + k;
    std::cout << name << "(" << kinds << ")" << (a.resultKind == "none" ? "" : " -> " + a.resultKind)
              << (a.planned ? "  [not available]" : "") << "\n";
  }
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

std::string Absolute(const std::string& p) {
  std::error_code ec;
  auto a = std::filesystem::absolute(p, ec);
  return ec ? p : a.lexically_normal().string();
}

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

// A path for a message: a very long one is shortened to its start and length.
std::string Shown(const std::string& path) {
  return path.size() <= 200 ? path : path.substr(0, 120) + "... (" + std::to_string(path.size()) + " characters)";
}

// The host program's folder, absolute and created when missing; empty (with
// the reason on standard error) when it cannot be used.
std::string HostFolder(const CommandLine& cl) {
  const std::string hostDir = Absolute(cl.hostDir.empty() ? "." : cl.hostDir);
  std::error_code ec;
  std::filesystem::create_directories(hostDir, ec);
  std::error_code is;
  if (!std::filesystem::is_directory(hostDir, is)) {
    const std::error_code& why = ec ? ec : is;
    std::cerr << "qorhost: the host folder " << Shown(hostDir) << " cannot be used"
              << (why ? ": " + why.message() : std::string()) << "\n";
    return "";
  }
  return hostDir;
}

// The module binds the printer library's entry points in this order and
// fails its start at the first one missing: that one is named here.
void ReportMissingEntryPoints(void* printer) {
  static const char* const kEntryPoints[] = {
#define ELGIN_ENTRY(name, types, params, args, kinds) #name,
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
  };
  const char* first = nullptr;
  int missing = 0;
  for (const char* name : kEntryPoints)
    if (!rtl::GetLibrarySymbol(printer, name)) {
      if (!first) first = name;
      ++missing;
    }
  if (first)
    std::cerr << "qorhost: the printer library lacks the entry point " << first
              << (missing > 1 ? " (and " + std::to_string(missing - 1) + " more)" : std::string())
              << "; the module's start will fail\n";
}

// Loads the vendor library the command line names as "Elgin.dll" and finds
// the simulated printer's control interface in it. A library that does not
// load is only reported: the module's start then fails as it would at a
// point of sale.
qorhost::SimControl LoadPrinter(const CommandLine& cl) {
  std::error_code ec;
  if (cl.printer != "sim") {
    // A file that exists is taken by its full path; anything else is a name for the loader.
    const std::string lib = std::filesystem::exists(cl.printer, ec) ? Absolute(cl.printer) : cl.printer;
    rtl::SetLibraryOverride("Elgin.dll", lib);
  }
  std::string loadError;
  void* printer = rtl::LoadLibraryByName("Elgin.dll", &loadError);
  if (!printer)
    std::cerr << "qorhost: cannot load the printer library (" << loadError
              << "); the module's start will fail\n";
  if (printer) ReportMissingEntryPoints(printer);
  qorhost::SimControl sim = qorhost::SimControl::Resolve(
      [printer](const char* name) { return printer ? rtl::GetLibrarySymbol(printer, name) : nullptr; });
  if (printer && cl.printer == "sim" && !sim.Available())
    std::cerr << "qorhost: the printer library found as Elgin.dll is not the simulated printer\n";
  return sim;
}

// The simulated printer's state folder: the command line's, else the one
// the printer takes by default, so that the session opens it before its
// first step (and a folder another process holds is refused then).
std::string StateFolder(const CommandLine& cl, const qorhost::SimControl& sim) {
  if (!cl.stateDir.empty()) return Absolute(cl.stateDir);
  char buf[4096] = {0};
  if (!sim.Available() || !sim.state_dir || sim.state_dir(buf, sizeof buf) != 0) return "";
  return buf;
}

qorhost::HostOptions OptionsFrom(const CommandLine& cl, const qorhost::SimControl& sim) {
  qorhost::HostOptions options;
  options.stateDir = StateFolder(cl, sim);
  options.journal = cl.journal.empty() ? "" : Absolute(cl.journal);
  options.tape = cl.tape;
  options.sessionDir = std::filesystem::path(Absolute(cl.session)).parent_path();
  options.sessionName = cl.session;
  return options;
}

}  // namespace

int main(int argc, char** argv) {
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
  if (!ReadSession(cl.session, session)) return qorhost::kExitBadSession;

  // The host's environment, in place before any library is loaded: the
  // module and the simulated printer read the program's folder and the clock through it.
  const std::string hostDir = HostFolder(cl);
  if (hostDir.empty()) return qorhost::kExitBadSession;
  static HostEnv env;
  env.programPath = (std::filesystem::path(hostDir) / "qorhost").string();
  rtl::SetEnv(&env);

  const qorhost::SimControl sim = LoadPrinter(cl);
  std::string loadError;
  void* module = rtl::LoadLibraryByName("Pkg_Qor01100.dll", &loadError);
  if (!module) {
    std::cerr << "qorhost: cannot load the module Pkg_Qor01100: " << loadError << "\n";
    rtl::SetEnv(nullptr);
    return qorhost::kExitLoad;
  }

  qorhost::SessionRunner runner([module](const std::string& name) { return rtl::GetLibrarySymbol(module, name); },
                                sim, env, OptionsFrom(cl, sim), std::cout, std::cerr);
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
