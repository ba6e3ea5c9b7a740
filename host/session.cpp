#include "host/session.h"

#include <cmath>
#include <memory>
#include <fstream>
#include <optional>
#include <sstream>

#include "calls/loader.h"
#include "host/brief.h"
#include "platform/confined_folder.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "platform/locale.h"

namespace qorhost {

namespace {

const char* const kActions[] = {"op", "answers", "clock", "set", "sim", "locale", "files", "read", "file_fault"};

bool NumbersEqual(const Json& a, const Json& b) {
  if (a.is_number_integer() && b.is_number_integer()) return a == b;
  const double x = a.get<double>(), y = b.get<double>();
  if (x == y) return true;
  const double scale = std::max({1.0, std::fabs(x), std::fabs(y)});
  return std::fabs(x - y) <= 1e-9 * scale;
}

bool DeepEqual(const Json& a, const Json& b) {
  if (a.is_number() && b.is_number()) return NumbersEqual(a, b);
  if (a.type() != b.type()) return false;
  if (a.is_array()) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (!DeepEqual(a[i], b[i])) return false;
    return true;
  }
  if (a.is_object()) {
    if (a.size() != b.size()) return false;
    for (const auto& [k, v] : a.items())
      if (!b.contains(k) || !DeepEqual(v, b[k])) return false;
    return true;
  }
  return a == b;
}

void Mismatch(Json& list, const std::string& path, const Json& expected, const Json* actual) {
  Json m = {{"path", path}, {"expected", expected}};
  if (actual) m["actual"] = *actual;
  else m["missing"] = true;
  list.push_back(std::move(m));
}

// Compares the members of `expected` with those of `actual` by key.
void CompareKeys(const Json& expected, const Json& actual, const std::string& path, Json& list) {
  if (!expected.is_object()) {
    if (!DeepEqual(expected, actual)) Mismatch(list, path, expected, &actual);
    return;
  }
  for (const auto& [k, v] : expected.items()) {
    const std::string at = std::string(path).append(".").append(k);
    if (!actual.is_object() || !actual.contains(k)) Mismatch(list, at, v, nullptr);
    else if (!DeepEqual(v, actual[k])) Mismatch(list, at, v, &actual[k]);
  }
}

// Separators that would make numbers and dates unreadable: a digit, a sign
// (decimal and thousands), or the decimal and thousands separators alike.
void CheckSeparators(const rtl::FormatSettings& fs) {
  const struct {
    const char* name;
    char c;
    bool numeric;
  } seps[] = {{"decimal", fs.DecimalSeparator, true},
              {"thousands", fs.ThousandSeparator, true},
              {"date_separator", fs.DateSeparator, false},
              {"time_separator", fs.TimeSeparator, false}};
  for (const auto& s : seps) {
    const bool bad = (s.c >= '0' && s.c <= '9') || static_cast<unsigned char>(s.c) < 0x20 ||
                     (s.numeric && (s.c == '-' || s.c == '+'));
    if (bad)
      throw SessionError("locale \"" + std::string(s.name) + "\" cannot be \"" + ToUtf8(std::string(1, s.c)) +
                         "\": numbers and dates would not read back");
  }
  if (fs.DecimalSeparator == fs.ThousandSeparator)
    throw SessionError("locale \"decimal\" and \"thousands\" are both \"" +
                       ToUtf8(std::string(1, fs.DecimalSeparator)) + "\": numbers would not read back");
}

std::string DumpUtf8(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace

SessionRunner::SessionRunner(SymbolResolver module, SimControl sim, rtl::ConfigurableEnv& env, HostOptions options,
                             std::ostream& out, std::ostream& err)
    : sim_(sim),
      env_(env),
      options_(std::move(options)),
      out_(out),
      err_(err),
      ctx_{options_.sessionDir},
      caller_(std::move(module), sim, ctx_) {}

int SessionRunner::Run(const Json& session) {
  rtl::ScopedEnv scopedEnv(&env_);
  rtl::ScopedSettings scopedSettings;
  Caller::DialogScope dialogs(caller_);

  mismatches_ = 0;
  printed_ = 0;
  failures_ = 0;
  caller_.DropAnswers();
  // Only the module's own file operations count (see RunStep's "op").
  env_.countFileOperations = false;
  tapeKept_.clear();
  try {
    Prepare(session);
  } catch (const std::exception& e) {
    err_ << "qorhost: " << options_.sessionName << ": " << e.what() << "\n";
    return kExitBadSession;
  }

  const Json& steps = session["steps"];
  bool invalid = false;
  for (size_t i = 0; i < steps.size(); ++i) {
    const int n = static_cast<int>(i) + 1;
    const Json& step = steps[i];
    std::string label = "step " + std::to_string(n);
    if (step.is_object() && step.contains("op") && step["op"].is_string())
      label += " (" + step["op"].get<std::string>() + ")";
    Json out;
    std::optional<std::string> why;
    if (options_.brief) messagesBefore_ = caller_.StateSnapshot().value("stMensagemTaa", "");
    try {
      out = RunStep(n, step);
    } catch (const SessionError& e) {
      why = e.what();
    } catch (const rtl::Exception& e) {
      // Raised outside the operation itself (e.g. while creating the data module for "set").
      why = e.className() + std::string(": ") + ToUtf8(e.message());
    } catch (const std::exception& e) {
      why = e.what();
    }
    if (why) {
      err_ << "qorhost: " << options_.sessionName << ": " << label << ": " << *why << "\n";
      Json bad = {{"step", n}};
      if (step.is_object() && step.contains("op")) bad["op"] = step["op"];
      bad["invalid"] = *why;
      Print(n, step, bad);
      invalid = true;
      break;
    }
    if (step.contains("expect")) {
      Json list = CheckExpect(step["expect"], out);
      if (!list.empty()) {
        ++mismatches_;
        for (const auto& m : list) {
          err_ << "qorhost: " << options_.sessionName << ": " << label << ": " << m["path"].get<std::string>()
               << ": expected " << DumpUtf8(m["expected"]) << ", got "
               << (m.contains("actual") ? DumpUtf8(m["actual"]) : std::string("nothing")) << "\n";
        }
        out["mismatch"] = std::move(list);
      }
    }
    Print(n, step, out);
  }
  if (options_.brief) out_ << BriefSummary(printed_, failures_) << std::flush;
  Finish();
  if (invalid) return kExitBadSession;
  if (mismatches_ > 0) {
    err_ << "qorhost: " << options_.sessionName << ": " << mismatches_ << " step(s) did not meet their expect\n";
    return kExitMismatch;
  }
  return kExitOk;
}

void SessionRunner::Prepare(const Json& session) {
  if (!session.is_object()) throw SessionError("a session is a JSON object with a \"steps\" array");
  for (const auto& [k, v] : session.items())
    if (k != "locale" && k != "clock" && k != "steps" && k != "comment")
      throw SessionError("unknown member \"" + k + "\" (a session has locale, clock, steps and comment)");
  if (!session.contains("steps") || !session["steps"].is_array())
    throw SessionError("a session needs a \"steps\" array");
  if (session.contains("locale")) ApplyLocale(session["locale"]);

  const bool needSim = !options_.stateDir.empty() || !options_.journal.empty() || options_.tape;
  if (needSim && !sim_.Available())
    throw SessionError("--state, --journal and --tape need the simulated printer, and the printer library has no "
                       "simulator control interface");
  UsePrinterFolders(sim_, options_.stateDir, options_.journal);
  if (session.contains("clock")) SetClock(session["clock"]);
  tapeStart_ = TapeSize();
}

Json SessionRunner::RunStep(int n, const Json& step) {
  if (!step.is_object()) throw SessionError("a step is a JSON object, got " + Describe(step));
  std::string action;
  for (const char* a : kActions) {
    if (!step.contains(a)) continue;
    if (!action.empty()) throw SessionError("a step has one action; this one has both \"" + action + "\" and \"" + a + "\"");
    action = a;
  }
  if (action.empty())
    throw SessionError("a step needs one of op, answers, clock, set, sim, locale, files, read, file_fault");
  for (const auto& [k, v] : step.items()) {
    if (k == action || k == "expect" || k == "comment") continue;
    if (k == "args" && action == "op") continue;
    throw SessionError(std::string("unknown member \"").append(k).append("\" in a step with \"").append(action).append("\""));
  }
  if (step.contains("expect") && !step["expect"].is_object())
    throw SessionError("\"expect\" is an object with the members to compare");

  Json out = {{"step", n}};
  auto numbered = [&out](Json answer) {
    for (auto& [k, v] : answer.items()) out[k] = std::move(v);
    return out;
  };
  if (action == "op") {
    PreparedOp op = caller_.Prepare(step);
    // Only the call itself counts: the data packets of its arguments are qorhost's own files.
    const long before = env_.fileOperations;
    struct CountFiles {
      rtl::ConfigurableEnv& env;
      explicit CountFiles(rtl::ConfigurableEnv& e) : env(e) { env.countFileOperations = true; }
      ~CountFiles() { env.countFileOperations = false; }
    };
    Json answer;
    {
      CountFiles counting(env_);
      answer = caller_.Invoke(op);
    }
    ReportFileOps(answer, before);
    return numbered(std::move(answer));
  }
  if (action == "sim") return numbered(RunSim(step["sim"]));
  if (action == "set") return numbered(caller_.RunSet(step["set"]));
  if (action == "answers") {
    caller_.QueueAnswers(step["answers"]);
    return Json{{"step", n}, {"answers", step["answers"]}, {"queued", caller_.QueuedAnswers()}};
  }
  if (action == "files") return RunFiles(n, step["files"]);
  if (action == "file_fault") return RunFileFault(n, step["file_fault"]);
  if (action == "read") return RunRead(n, step["read"]);
  if (action == "clock") {
    SetClock(step["clock"]);
    return Json{{"step", n}, {"clock", step["clock"]}};
  }
  ApplyLocale(step["locale"]);
  return Json{{"step", n}, {"locale", step["locale"]}};
}

// A sim step; a reset may start a new tape, so what this session printed
// before it is kept once the reset is done.
Json SessionRunner::RunSim(const Json& sim) {
  const bool reset = sim.is_object() && sim.contains("reset");
  const std::string printed = reset && options_.tape ? TapeFrom(tapeStart_) : std::string();
  Json out = caller_.RunSim(sim);
  if (reset) {
    tapeKept_ += printed;
    tapeStart_ = TapeSize();
  }
  return out;
}

void SessionRunner::SetClock(const Json& iso) {
  rtl::TDateTime dt = 0;
  if (!iso.is_string() || !ParseIsoDateTime(iso.get<std::string>(), dt))
    throw SessionError("\"clock\" is \"YYYY-MM-DDThh:mm:ss\", got " + iso.dump());
  env_.clockFrozen = true;
  env_.frozenNow = dt;
  if (sim_.set_clock) {
    const std::string s = FormatIsoDateTime(dt).substr(0, 19);
    if (sim_.set_clock(s.c_str()) < 0) throw SessionError("the simulated printer refused the clock " + s);
  }
}

void SessionRunner::ApplyLocale(const Json& locale) {
  if (!locale.is_object()) throw SessionError("\"locale\" is an object such as {\"decimal\": \",\"}");
  rtl::FormatSettings fs = rtl::Settings();  // applied only when all of it makes sense
  for (const auto& item : locale.items()) {
    const std::string& k = item.key();
    const Json& v = item.value();
    if (!v.is_string()) throw SessionError("locale \"" + k + "\" is a string");
    const std::string s = ToCp1252(v.get<std::string>());
    auto oneChar = [&](char& target) {
      if (s.size() != 1) throw SessionError("locale \"" + k + "\" is one character, got \"" + v.get<std::string>() + "\"");
      target = s[0];
    };
    if (k == "decimal") oneChar(fs.DecimalSeparator);
    else if (k == "thousands") oneChar(fs.ThousandSeparator);
    else if (k == "date_separator") oneChar(fs.DateSeparator);
    else if (k == "time_separator") oneChar(fs.TimeSeparator);
    else if (k == "short_date") fs.ShortDateFormat = s;
    else if (k == "long_time") fs.LongTimeFormat = s;
    else if (k == "short_time") fs.ShortTimeFormat = s;
    else if (k == "currency") fs.CurrencyString = s;
    else
      throw SessionError("unknown locale member \"" + k +
                         "\" (decimal, thousands, short_date, date_separator, time_separator, long_time, short_time, "
                         "currency)");
  }
  CheckSeparators(fs);
  rtl::Settings() = fs;
}

std::string SessionRunner::HostRelative(const Json& name) const {
  if (!name.is_string() || name.get<std::string>().empty())
    throw SessionError("a file in the host folder is named by a relative path, got " + name.dump());
  std::string rel = name.get<std::string>();
  // Refused before anything else: the system would end the name there.
  if (rel.find('\0') != std::string::npos) throw SessionError(name.dump() + " holds a NUL character");
  for (char& c : rel)
    if (c == '\\') c = '/';
  const std::filesystem::path p(rel);
  // Only inside the host folder: a script never writes or reads elsewhere through it.
  if (p.is_absolute() || p.has_root_name() || p.has_root_directory())
    throw SessionError("\"" + rel + "\" must be relative to the host folder");
  for (const auto& part : p)
    if (part == "..") throw SessionError("\"" + rel + "\" must stay inside the host folder");
  return ConfinedRelative(rtl::ProgramDir(), rel, "the host-folder file").generic_string();
}

namespace {

// The folder a session's files are read from or written to, reached
// without ever leaving it (rtl::ConfinedFolder).
std::unique_ptr<rtl::ConfinedFolder> OpenConfined(const std::filesystem::path& folder) {
  try {
    return std::make_unique<rtl::ConfinedFolder>(folder.string());
  } catch (const rtl::Exception& e) {
    throw SessionError("the folder " + folder.string() + " cannot be used: " + ToUtf8(e.message()));
  }
}

// The contents of `rel` inside `folder`; nothing when it does not exist.
std::optional<std::string> ReadConfined(const rtl::ConfinedFolder& folder, const std::string& rel,
                                        const std::string& what) {
  try {
    return folder.Read(rel);
  } catch (const rtl::Exception& e) {
    throw SessionError(what + ": " + ToUtf8(e.message()));
  }
}

}  // namespace

Json SessionRunner::RunFiles(int n, const Json& files) {
  if (!files.is_object() || files.empty())
    throw SessionError("\"files\" maps host-folder paths to a source file or {\"text\": ...}");
  struct Pending {
    std::string target;  // relative to the host folder
    std::string bytes;
  };
  std::vector<Pending> pending;  // everything is checked before anything is written
  for (const auto& [name, source] : files.items()) {
    Pending p;
    p.target = HostRelative(Json(name));
    if (source.is_string()) {
      // A source is one of the session's own files, never any file the process may read.
      const std::filesystem::path base = ctx_.baseDir.empty() ? std::filesystem::path(".") : ctx_.baseDir;
      const std::string what = "files \"" + name + "\": the source";
      const std::string rel = ConfinedRelative(base, source.get<std::string>(), what).generic_string();
      const std::optional<std::string> bytes = ReadConfined(*OpenConfined(base), rel, std::string(what).append(" ").append(rel));
      if (!bytes) throw SessionError(what + ": cannot read " + (base / rel).string() + " (not a file)");
      p.bytes = *bytes;
    } else if (source.is_object() && source.size() == 1 && source.contains("text") && source["text"].is_string()) {
      p.bytes = ToCp1252(source["text"].get<std::string>());  // the module reads its files as code page 1252
    } else {
      throw SessionError("files \"" + name + "\": the source is a file path or {\"text\": ...}, got " + source.dump());
    }
    pending.push_back(std::move(p));
  }
  // Each file is written beside its name and renamed over it: a link or a
  // second name (hard link) in its place is replaced, never written through.
  const std::filesystem::path host = rtl::ProgramDir();
  const auto folder = OpenConfined(host);
  std::error_code ec;
  const std::filesystem::path shown = std::filesystem::canonical(host, ec);
  Json written = Json::array();
  for (const auto& p : pending) {
    try {
      folder->Write(p.target, p.bytes);
    } catch (const rtl::Exception& e) {
      throw SessionError("cannot write " + p.target + " in the host folder: " + ToUtf8(e.message()));
    }
    written.push_back(((ec ? host : shown) / p.target).string());
  }
  return Json{{"step", n}, {"files", written}};
}

Json SessionRunner::RunRead(int n, const Json& name) {
  const std::string rel = HostRelative(name);
  Json out = {{"step", n}, {"read", name}};
  const std::optional<std::string> text =
      ReadConfined(*OpenConfined(rtl::ProgramDir()), rel, "read \"" + name.get<std::string>() + "\"");
  out["exists"] = text.has_value();
  if (text) out["text"] = ToUtf8(*text);
  return out;
}

Json SessionRunner::CheckExpect(const Json& expect, const Json& actual) const {
  Json list = Json::array();
  for (const auto& [k, v] : expect.items()) {
    if (!actual.contains(k)) {
      Mismatch(list, k, v, nullptr);
      continue;
    }
    const Json& a = actual[k];
    if (k == "state" || k == "error") {
      CompareKeys(v, a, k, list);
    } else if (k == "args" && v.is_array() && a.is_array()) {
      for (size_t i = 0; i < v.size(); ++i) {
        if (v[i].is_null()) continue;  // not checked
        const std::string path = "args[" + std::to_string(i) + "]";
        if (i >= a.size()) Mismatch(list, path, v[i], nullptr);
        else if (!DeepEqual(v[i], a[i])) Mismatch(list, path, v[i], &a[i]);
      }
    } else if (k == "dialogs" && v.is_array() && a.is_array()) {
      if (v.size() != a.size()) {
        Mismatch(list, "dialogs", v, &a);
        continue;
      }
      for (size_t i = 0; i < v.size(); ++i) CompareKeys(v[i], a[i], "dialogs[" + std::to_string(i) + "]", list);
    } else if (!DeepEqual(v, a)) {
      Mismatch(list, k, v, &a);
    }
  }
  return list;
}

void SessionRunner::Print(int n, const Json& step, const Json& out) {
  if (!options_.brief) {
    out_ << DumpUtf8(out) << "\n" << std::flush;
    return;
  }
  const std::string messages = caller_.StateSnapshot().value("stMensagemTaa", "");
  ++printed_;
  if (IsFailure(out)) ++failures_;
  out_ << BriefLine(n, step, out, messagesBefore_, messages) << std::flush;
}

int64_t SessionRunner::TapeSize() const {
  if (!sim_.tape_path) return 0;
  char buf[4096] = {0};
  if (sim_.tape_path(buf, sizeof buf) != 0) return 0;
  std::error_code ec;
  auto size = std::filesystem::file_size(buf, ec);
  return ec ? 0 : static_cast<int64_t>(size);
}

std::string SessionRunner::TapeFrom(int64_t offset) const {
  if (!sim_.tape_path) return "";
  char buf[4096] = {0};
  if (sim_.tape_path(buf, sizeof buf) != 0) return "";
  std::ifstream in(buf, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string all = ss.str();
  // A tape shorter than where the session started was started afresh: all of it is new.
  if (offset > static_cast<int64_t>(all.size())) offset = 0;
  return all.substr(static_cast<size_t>(offset));
}

void SessionRunner::Finish() {
  if (options_.tape) {
    std::string tape = tapeKept_ + TapeFrom(tapeStart_);
    out_ << tape;
    if (!tape.empty() && tape.back() != '\n') out_ << "\n";
    out_ << std::flush;
  }
  if (caller_.QueuedAnswers() > 0)
    err_ << "qorhost: " << options_.sessionName << ": " << caller_.QueuedAnswers()
         << " queued answer(s) were not used by any question\n";
}

}  // namespace qorhost
