// qorhost's session scripts: any bytes either parse as a session (within
// the nesting limit) or are refused with a SessionError; every value of a
// parsed session decodes under every parameter kind or is refused, and
// what decodes encodes back.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "calls/codec.h"
#include "platform/errors.h"

namespace {

const char* const kKinds[] = {"text", "int", "real", "bool", "datetime", "record", "list",
                              "result", "packet", "dataset", "strings", "text&", "record&"};

void DecodeEvery(const qorhost::Json& j, const qorhost::DecodeContext& ctx) {
  for (const char* kind : kKinds) {
    qorhost::Arg a;
    try {
      qorhost::DecodeArg(kind, j, a, ctx);
    } catch (const qorhost::SessionError&) {
      continue;
    } catch (const rtl::Exception&) {
      continue;  // a data packet the run-time refuses
    }
    qorhost::EncodeArg(kind, a);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const qorhost::DecodeContext ctx{std::filesystem::temp_directory_path()};
  qorhost::Json session;
  try {
    session = qorhost::ParseSession(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const qorhost::SessionError&) {
    return 0;
  }
  DecodeEvery(session, ctx);
  // The arguments of the steps, one by one, as the runner hands them over.
  if (session.is_object() && session.contains("steps") && session["steps"].is_array())
    for (const auto& step : session["steps"])
      if (step.is_object() && step.contains("args") && step["args"].is_array())
        for (const auto& arg : step["args"]) DecodeEvery(arg, ctx);
  return 0;
}
