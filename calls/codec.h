// JSON <-> the module's values, for qorhost's session scripts.
//
// Session files and qorhost's output are UTF-8 JSON; the module's texts are
// code page 1252. Every text crossing here is converted (a character that
// code page 1252 cannot hold is an error, never a silent '?').
//
// Decoding an argument by kind (see adapter.h for the kind names):
//   text      "abc"
//   int       integer (32-bit)
//   real      number
//   bool      true / false
//   datetime  "YYYY-MM-DD", "YYYY-MM-DDThh:mm:ss[.zzz]" or {"datetime": "..."}
//   record    {"KEY": value, ...} (order kept) or [["KEY", value], ...]
//   list      [value, ...]
//   result    n (n unassigned elements) or [initial values] (null = unassigned)
//   packet    {"fields": [...], "indexes": [...], "rows": [[...], ...]} or {"file": "x.xml"}
//   dataset   the same encodings as packet
//   strings   ["line", ...]
// A value inside a record, list or result array:
//   string -> text, integer -> integer, other number -> double, boolean,
//   null -> null (unassigned inside a result array), array -> array,
//   {"datetime": "..."} -> date-time, {"null": true} -> null,
//   {"fields"/"file": ...} -> data packet, any other object -> a nested record.
//
// Encoding (results and by-reference arguments after a call):
//   text -> string, integer -> integer, double -> number with a decimal
//   point, boolean, date-time -> {"datetime": "YYYY-MM-DDThh:mm:ss.zzz"},
//   unassigned -> null, null -> {"null": true}, array (and so a record) ->
//   array, data packet / dataset -> {"fields": [...], "rows": [...]} where a
//   null field is null.
#pragma once
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "calls/adapter.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/variant.h"

namespace qorhost {

using Json = nlohmann::ordered_json;

// Bad input in a session script. The message says what is wrong; the
// runner adds which step it was.
class SessionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Deepest nesting of arrays and objects that a session file may hold. The
// decoders and the expect comparison recurse, so a deeper document is refused
// before anything runs instead of overflowing the stack.
constexpr int kMaxNesting = 64;

// Parses a session file's text. SessionError when it is not JSON or nests
// arrays and objects deeper than kMaxNesting.
Json ParseSession(const std::string& text);

// The part of `name` (relative to `base`, or absolute) below the folder
// `base`, when the name stays inside it: no climbing out with "..", no NUL
// character. SessionError naming `what` otherwise. Files opened from it go
// through rtl::ConfinedFolder, which refuses a symbolic link met on the way.
std::filesystem::path ConfinedRelative(const std::filesystem::path& base, const std::string& name,
                                       const std::string& what);
// The file `name` when it lies inside the folder `base` (ConfinedRelative)
// and no part of it below `base` is a symbolic link, which could lead
// anywhere on the machine. SessionError naming `what` otherwise. The result
// is `base`'s real path joined with the checked part.
std::filesystem::path ConfinedPath(const std::filesystem::path& base, const std::string& name,
                                   const std::string& what);

struct DecodeContext {
  std::filesystem::path baseDir;  // folder of the session file: relative "file" paths start here
};

// "text&" -> "text".
std::string BaseKind(const std::string& kind);
// True when the parameter's value after the call is reported: "&" kinds and
// the kinds the operation fills (result, dataset, strings).
bool IsReported(const std::string& kind);

// Fills the member of `a` that the kind uses. Raises SessionError.
void DecodeArg(const std::string& kind, const Json& j, Arg& a, const DecodeContext& ctx);
// The argument's value after the call (null for a by-value kind).
Json EncodeArg(const std::string& kind, const Arg& a);
// An operation's result under its adapter's result kind.
Json EncodeResult(const std::string& resultKind, const rtl::Variant& v);

rtl::Variant DecodeValue(const Json& j, const DecodeContext& ctx, bool nullIsUnassigned = false);
Json EncodeVariant(const rtl::Variant& v);

std::shared_ptr<rtl::DataPacket> DecodePacket(const Json& j, const DecodeContext& ctx);
Json EncodePacket(const rtl::DataPacket& p);
std::shared_ptr<rtl::ClientDataSet> DecodeDataSet(const Json& j, const DecodeContext& ctx);
Json EncodeDataSet(const rtl::ClientDataSet& ds);

// "YYYY-MM-DD" or "YYYY-MM-DDThh:mm:ss" with optional ".z" to ".zzz".
bool ParseIsoDateTime(std::string_view s, rtl::TDateTime& out);
// "YYYY-MM-DDThh:mm:ss.zzz".
std::string FormatIsoDateTime(rtl::TDateTime dt);

// UTF-8 JSON string -> 1252 text (SessionError when a character has no 1252 form).
std::string ToCp1252(const std::string& utf8);
// 1252 text -> UTF-8.
std::string ToUtf8(const std::string& cp1252);

// A short description of a JSON value's type for messages ("a string", "an integer", ...).
std::string Describe(const Json& j);

}  // namespace qorhost
