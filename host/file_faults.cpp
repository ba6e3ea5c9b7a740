// The "file_fault" step: the module's own file operations (the debug log,
// the configuration files, the host's records, the fiscal files) failing as
// a full disk would, through the run-time's file seam (rtl::Env::FileOperation).
//
//   {"file_fault": {"at": 12}}                      the 12th file operation of
//                                                   the module from here fails
//   {"file_fault": {"at": 12, "times": -1}}         ... and every later one
//   {"file_fault": {"at": 12, "error": "EIO"}}      with another error
//   {"file_fault": {"at": 0}}                       none fails; only counted
//
// Only the module's operations count: qorhost's own files (a "files" or
// "read" step, the data packets of an "op"'s arguments) and the printer
// library's never do. From the first such step on, every "op" line says how
// many file operations the module made in it ("file_ops") and, on the step
// where the fault landed, which one it was ("file_fault": "kind path").
#include <cerrno>
#include <string>

#include "host/session.h"

namespace qorhost {

namespace {

struct ErrorName {
  const char* name;
  int value;
};

// The errors a step may name: a full disk, an input/output error, no permission, a read-only disk.
const ErrorName kErrors[] = {{"ENOSPC", ENOSPC}, {"EIO", EIO}, {"EACCES", EACCES}, {"EROFS", EROFS}};

int ErrorNamed(const Json& e) {
  std::string names;
  for (const ErrorName& n : kErrors) {
    if (e.is_string() && e.get<std::string>() == n.name) return n.value;
    names += (names.empty() ? "" : ", ") + std::string(n.name);
  }
  throw SessionError("file_fault \"error\" is one of " + names + ", got " + e.dump());
}

}  // namespace

Json SessionRunner::RunFileFault(int n, const Json& j) {
  if (!j.is_object() || !j.contains("at") || !j["at"].is_number_integer() || j["at"].get<long>() < 0)
    throw SessionError("\"file_fault\" is an object such as {\"at\": 12}: the position of a later file operation "
                       "of the module, 1 or more (0: none, only counted)");
  for (const auto& [k, v] : j.items())
    if (k != "at" && k != "times" && k != "error")
      throw SessionError("unknown member \"" + k + "\" in a \"file_fault\" step (it has at, times and error)");
  const long at = j["at"].get<long>();
  int times = 1;
  if (j.contains("times")) {
    if (!j["times"].is_number_integer() || (j["times"] != 1 && j["times"] != -1))
      throw SessionError("file_fault \"times\" is 1 (that operation) or -1 (that one and every later one)");
    times = j["times"].get<int>();
  }
  const int error = j.contains("error") ? ErrorNamed(j["error"]) : ENOSPC;
  env_.fileFaultAt = at == 0 ? 0 : env_.fileOperations + at;
  env_.fileFaultFromThenOn = times == -1;
  env_.fileFaultError = error;
  env_.fileFaultLanded.clear();
  fileFaultReported_ = false;
  countingFiles_ = true;
  return Json{{"step", n}, {"file_fault", j}};
}

void SessionRunner::ReportFileOps(Json& out, long before) {
  if (!countingFiles_) return;
  out["file_ops"] = env_.fileOperations - before;
  if (!fileFaultReported_ && !env_.fileFaultLanded.empty()) {
    out["file_fault"] = ToUtf8(env_.fileFaultLanded);
    fileFaultReported_ = true;
  }
}

}  // namespace qorhost
