// The C entry (capi/qorcall.h): the service's requests and answers
// (service/service.h) called in process. Every entry catches everything: a
// C caller never sees an exception.
#include "capi/qorcall.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>

#include "calls/loader.h"
#include "platform/env.h"
#include "platform/library.h"
#include "service/service.h"

namespace {

using qorservice::Json;

// What qor_init loaded; it lives until the process ends.
struct Driver {
  rtl::ConfigurableEnv env;
  std::unique_ptr<qorhost::Caller> caller;
  std::unique_ptr<qorservice::Service> service;
  std::string hostDir;
};

std::mutex& InitMutex() {
  static std::mutex m;
  return m;
}
Driver* g_driver = nullptr;

char* Copy(const std::string& s) {
  char* p = static_cast<char*>(std::malloc(s.size() + 1));
  if (p) std::memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

char* Answer(const Json& j) { return Copy(qorservice::Service::Dump(j)); }

char* Refuse(const std::string& why) {
  try {
    return Answer(Json{{"invalid", why}});
  } catch (...) {
    return nullptr;
  }
}

class Refusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string Text(const Json& config, const char* key, const std::string& fallback) {
  if (!config.contains(key)) return fallback;
  if (!config[key].is_string() || config[key].get<std::string>().empty())
    throw Refusal(std::string("\"") + key + "\" is a non-empty text");
  return config[key].get<std::string>();
}

// Loads the module and the printer as the configuration says (InitMutex held).
Json Load(const Json& config) {
  if (g_driver) throw Refusal("the driver is already loaded: qor_init comes once, before the first qor_call");
  if (!config.is_object()) throw Refusal("the configuration is a JSON object");
  for (const auto& [k, v] : config.items())
    if (k != "host_dir" && k != "state" && k != "printer" && k != "journal" && k != "default_answer" &&
        k != "max_request_bytes")
      throw Refusal("unknown member \"" + k +
                    "\" (host_dir, state, printer, journal, default_answer, max_request_bytes)");
  qorservice::ServiceOptions options;
  if (config.contains("default_answer")) {
    if (!config["default_answer"].is_boolean()) throw Refusal("\"default_answer\" is true or false");
    options.unansweredDefault = config["default_answer"].get<bool>();
  }
  if (config.contains("max_request_bytes")) {
    const Json& m = config["max_request_bytes"];
    if (!m.is_number_unsigned() || m.get<uint64_t>() < 64 || m.get<uint64_t>() > (1ull << 30))
      throw Refusal("\"max_request_bytes\" is a number of bytes from 64 to 1073741824");
    options.maxRequestBytes = m.get<size_t>();
  }
  std::string error;
  const std::string hostDir = qorhost::PrepareHostFolder(Text(config, "host_dir", ""), &error);
  if (hostDir.empty()) throw Refusal(error);
  const std::string stateDir = qorhost::AbsolutePath(Text(config, "state", ""));
  options.journal = qorhost::AbsolutePath(Text(config, "journal", ""));
  options.hostDir = hostDir;
  const std::string printer = Text(config, "printer", "sim");

  auto driver = std::make_unique<Driver>();
  driver->hostDir = hostDir;
  driver->env.programPath = (std::filesystem::path(hostDir) / "qorcall").string();
  rtl::SetEnv(&driver->env);
  std::string warnings;
  try {
    // The module and the printer library lie beside this library.
    const std::string self = rtl::LibraryPathOf(reinterpret_cast<const void*>(&qor_call));
    if (!self.empty()) rtl::AddLibraryFolder(std::filesystem::path(self).parent_path().string());
    const qorhost::SimControl sim =
        qorhost::LoadPrinter(printer, [&warnings](const std::string& w) { warnings += (warnings.empty() ? "" : "; ") + w; });
    void* module = qorhost::LoadModule(&error);
    if (!module) throw Refusal("cannot load the module Pkg_Qor01100: " + error);
    qorhost::UsePrinterFolders(sim, stateDir, options.journal);
    std::string folder = stateDir.empty() ? qorhost::PrinterStateFolder(sim) : stateDir;
    if (folder.empty()) folder = hostDir;
    options.storePath = (std::filesystem::path(folder) / qorservice::kAnswerStoreFile).string();
    driver->caller = std::make_unique<qorhost::Caller>(qorhost::ModuleSymbols(module), sim, qorhost::DecodeContext{hostDir});
    driver->service = std::make_unique<qorservice::Service>(*driver->caller, options);
  } catch (...) {
    rtl::SetEnv(nullptr);
    throw;
  }
  Json answer = {{"ok", true}, {"host_dir", hostDir}};
  answer["record"] = driver->service->StoreProblem().empty() ? Json(options.storePath)
                                                             : Json{{"unusable", driver->service->StoreProblem()}};
  if (!warnings.empty()) answer["warning"] = warnings;
  g_driver = driver.release();  // lives until the process ends, as the module does
  return answer;
}

}  // namespace

extern "C" {

char* qor_init(const char* config_json) {
  try {
    Json config = Json::object();
    if (config_json && *config_json) {
      try {
        config = qorhost::ParseSession(config_json);
      } catch (const std::exception& e) {
        return Refuse(std::string("the configuration is not readable: ") + e.what());
      }
    }
    std::lock_guard<std::mutex> lock(InitMutex());
    return Answer(Load(config));
  } catch (const std::exception& e) {
    return Refuse(e.what());
  } catch (...) {
    return Refuse("the driver could not be loaded");
  }
}

char* qor_call(const char* request_json) {
  try {
    if (!request_json) return Refuse("no request (a null pointer)");
    qorservice::Service* service = nullptr;
    {
      std::lock_guard<std::mutex> lock(InitMutex());
      if (!g_driver) Load(Json::object());
      service = g_driver->service.get();
    }
    return Answer(service->HandleText(request_json));
  } catch (const std::exception& e) {
    return Refuse(e.what());
  } catch (...) {
    return Refuse("the request failed in the driver; it keeps running");
  }
}

void qor_free(char* answer) { std::free(answer); }

}  // extern "C"
