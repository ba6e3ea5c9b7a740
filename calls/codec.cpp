#include "calls/codec.h"

#include <cstdint>
#include <limits>
#include <set>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace qorhost {

namespace {

struct FieldTypeName {
  const char* name;
  rtl::FieldType type;
};
// The first name of a type is the one written on output.
const FieldTypeName kFieldTypes[] = {
    {"string", rtl::FieldType::String},     {"float", rtl::FieldType::Float},
    {"integer", rtl::FieldType::Integer},   {"boolean", rtl::FieldType::Boolean},
    {"datetime", rtl::FieldType::DateTime}, {"date", rtl::FieldType::Date},
    {"time", rtl::FieldType::Time},         {"currency", rtl::FieldType::Currency},
    {"largeint", rtl::FieldType::LargeInt}, {"fixed", rtl::FieldType::Fixed},
    {"memo", rtl::FieldType::Memo},         {"blob", rtl::FieldType::Blob},
};

std::string FieldTypeToName(rtl::FieldType t) {
  for (const auto& f : kFieldTypes)
    if (f.type == t) return f.name;
  return "unknown";
}

bool FieldTypeFromName(const std::string& n, rtl::FieldType& t) {
  for (const auto& f : kFieldTypes)
    if (n == f.name) {
      t = f.type;
      return true;
    }
  return false;
}

std::string FieldTypeNames() {
  std::string s;
  for (const auto& f : kFieldTypes) s += (s.empty() ? "" : ", ") + std::string(f.name);
  return s;
}

// Throws unless the object's keys are all among `allowed`.
void OnlyKeys(const Json& j, std::initializer_list<const char*> allowed, const std::string& what) {
  for (const auto& [k, v] : j.items()) {
    bool ok = false;
    for (const char* a : allowed) ok = ok || k == a;
    if (!ok) {
      std::string list;
      for (const char* a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
      throw SessionError(std::string(what).append(": unknown member \"").append(k).append("\" (expected ").append(list).append(")"));
    }
  }
}

int32_t ToInt32(const Json& j, const std::string& what) {
  if (!j.is_number_integer())
    throw SessionError(what + ": expected an integer, got " + Describe(j));
  if (j.is_number_unsigned()) {
    if (j.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
      throw SessionError(what + ": " + j.dump() + " does not fit a 32-bit integer");
    return static_cast<int32_t>(j.get<uint64_t>());
  }
  int64_t v = j.get<int64_t>();
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    throw SessionError(what + ": " + j.dump() + " does not fit a 32-bit integer");
  return static_cast<int32_t>(v);
}

rtl::TDateTime ToDateTime(const Json& j, const std::string& what) {
  const Json* s = &j;
  if (j.is_object() && j.size() == 1 && j.contains("datetime")) s = &j["datetime"];
  rtl::TDateTime dt = 0;
  if (!s->is_string() || !ParseIsoDateTime(s->get<std::string>(), dt))
    throw SessionError(what + ": expected a date-time \"YYYY-MM-DD\" or \"YYYY-MM-DDThh:mm:ss\", got " +
                       j.dump());
  return dt;
}

std::string TextOf(const Json& j, const std::string& what) {
  if (!j.is_string()) throw SessionError(what + ": expected a string, got " + Describe(j));
  return ToCp1252(j.get<std::string>());
}

rtl::Variant DecodeValueAt(const Json& j, const DecodeContext& ctx, bool nullIsUnassigned, int depth);

rtl::Variant DecodeRecord(const Json& j, const DecodeContext& ctx, int depth) {
  std::vector<rtl::Variant> pairs;
  if (j.is_object()) {
    for (const auto& [k, v] : j.items())
      pairs.emplace_back(
          std::vector<rtl::Variant>{rtl::Variant(ToCp1252(k)), DecodeValueAt(v, ctx, false, depth + 1)});
  } else if (j.is_array()) {
    size_t i = 0;
    for (const auto& p : j) {
      ++i;
      if (!p.is_array() || p.size() != 2 || !p[0].is_string())
        throw SessionError("record pair " + std::to_string(i) + ": expected [\"KEY\", value], got " + p.dump());
      pairs.emplace_back(std::vector<rtl::Variant>{rtl::Variant(ToCp1252(p[0].get<std::string>())),
                                                   DecodeValueAt(p[1], ctx, false, depth + 2)});
    }
  } else {
    throw SessionError("a parameter record is an object or an array of [key, value] pairs, got " + Describe(j));
  }
  return rtl::Variant(std::move(pairs));
}

rtl::Variant DecodeCell(const rtl::FieldDef& f, const Json& v, const std::string& what) {
  if (v.is_null()) return rtl::Variant::Null();
  switch (f.type) {
    case rtl::FieldType::String:
    case rtl::FieldType::Memo:
    case rtl::FieldType::Blob: {
      std::string s = TextOf(v, what);
      const int size = f.size > 0 ? f.size : 20;
      if (f.type == rtl::FieldType::String && static_cast<int>(s.size()) > size)
        throw SessionError(what + ": \"" + v.get<std::string>() + "\" is longer than the field's size " +
                           std::to_string(size));
      return rtl::Variant(std::move(s));
    }
    case rtl::FieldType::Integer:
      return rtl::Variant(ToInt32(v, what));
    case rtl::FieldType::LargeInt:
      if (!v.is_number_integer()) throw SessionError(what + ": expected an integer, got " + Describe(v));
      if (v.is_number_unsigned() && v.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        throw SessionError(what + ": " + v.dump() + " does not fit a 64-bit integer");
      return rtl::Variant(v.get<int64_t>());
    case rtl::FieldType::Float:
    case rtl::FieldType::Currency:
    case rtl::FieldType::Fixed:
      if (!v.is_number()) throw SessionError(what + ": expected a number, got " + Describe(v));
      return rtl::Variant(v.get<double>());
    case rtl::FieldType::Boolean:
      if (!v.is_boolean()) throw SessionError(what + ": expected true or false, got " + Describe(v));
      return rtl::Variant(v.get<bool>());
    case rtl::FieldType::Time:
      // A time field also takes "hh:mm:ss" on its own.
      if (v.is_string() && v.get<std::string>().size() >= 8 && v.get<std::string>()[2] == ':')
        return rtl::Variant::FromDateTime(ToDateTime(Json("1899-12-30T" + v.get<std::string>()), what));
      return rtl::Variant::FromDateTime(ToDateTime(v, what));
    case rtl::FieldType::Date:
    case rtl::FieldType::DateTime:
      return rtl::Variant::FromDateTime(ToDateTime(v, what));
  }
  throw SessionError(what + ": unsupported field type");
}

Json EncodeCell(const rtl::Variant& v) {
  // Inside rows a null field is plain null, the form rows are written in.
  if (v.IsNull() || v.IsEmpty()) return nullptr;
  return EncodeVariant(v);
}

std::filesystem::path PacketFile(const Json& j, const DecodeContext& ctx) {
  OnlyKeys(j, {"file"}, "packet file");
  if (!j["file"].is_string() || j["file"].get<std::string>().empty())
    throw SessionError("\"file\" must name a data-packet file, got " + j["file"].dump());
  auto p = ConfinedPath(ctx.baseDir.empty() ? std::filesystem::path(".") : ctx.baseDir, j["file"].get<std::string>(),
                        "data-packet file");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(p, ec)) throw SessionError("data-packet file not found: " + p.string());
  return p;
}

}  // namespace

std::string Describe(const Json& j) {
  switch (j.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::boolean: return "a boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned: return "an integer";
    case Json::value_t::number_float: return "a number";
    case Json::value_t::string: return "a string";
    case Json::value_t::array: return "an array";
    case Json::value_t::object: return "an object";
    default: return "a " + std::string(j.type_name());
  }
}

Json ParseSession(const std::string& text) {
  // The nesting is measured first, on the text (brackets outside strings):
  // the parser then reads without a callback for every value.
  int depth = 0;
  bool inString = false, escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxNesting)
        throw SessionError("arrays and objects nest deeper than " + std::to_string(kMaxNesting) + " levels");
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  try {
    return Json::parse(text);
  } catch (const Json::exception& e) {
    throw SessionError(std::string("unreadable JSON: ") + e.what());
  }
}

std::filesystem::path ConfinedRelative(const std::filesystem::path& base, const std::string& name,
                                       const std::string& what) {
  namespace fs = std::filesystem;
  if (name.find('\0') != std::string::npos)
    throw SessionError(what + " \"" + name.substr(0, name.find('\0')) + "...\" holds a NUL character");
  std::error_code ec;
  const fs::path realBase = fs::canonical(base, ec);
  if (ec) throw SessionError(what + " \"" + name + "\": the folder " + base.string() + " cannot be used");
  fs::path p = fs::path(name).lexically_normal();
  if (p.is_absolute()) {
    // An absolute name is taken relative to the folder as given or as resolved.
    fs::path rel = p.lexically_relative(base.lexically_normal());
    if (rel.empty() || *rel.begin() == "..") rel = p.lexically_relative(realBase);
    p = rel;
  }
  if (p.empty() || p == "." || *p.begin() == "..")
    throw SessionError(what + " \"" + name + "\" must stay inside " + base.string());
  return p;
}

std::filesystem::path ConfinedPath(const std::filesystem::path& base, const std::string& name,
                                   const std::string& what) {
  namespace fs = std::filesystem;
  const fs::path p = ConfinedRelative(base, name, what);
  std::error_code ec;
  const fs::path realBase = fs::canonical(base, ec);
  fs::path real = realBase;
  bool exists = true;
  for (const auto& part : p) {
    real /= part;
    if (!exists) continue;
    const auto st = fs::symlink_status(real, ec);
    if (fs::is_symlink(st))
      throw SessionError(std::string(what).append(" \"").append(name).append("\" goes through the symbolic link ")
                             .append(real.string()).append(", which may lead outside ").append(base.string()));
    exists = fs::exists(st);
  }
  return real;
}

std::string ToCp1252(const std::string& utf8) {
  std::string s = rtl::Utf8ToCp1252(utf8);
  if (rtl::Cp1252ToUtf8(s) != utf8)
    throw SessionError("text \"" + utf8 + "\" has a character that code page 1252 cannot hold");
  return s;
}

std::string ToUtf8(const std::string& cp1252) { return rtl::Cp1252ToUtf8(cp1252); }

bool ParseIsoDateTime(std::string_view s, rtl::TDateTime& out) {
  auto digits = [&](size_t pos, size_t n, int& v) {
    if (pos + n > s.size()) return false;
    v = 0;
    for (size_t i = pos; i < pos + n; ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      v = v * 10 + (s[i] - '0');
    }
    return true;
  };
  int y, m, d;
  if (s.size() < 10 || !digits(0, 4, y) || s[4] != '-' || !digits(5, 2, m) || s[7] != '-' || !digits(8, 2, d))
    return false;
  rtl::TDateTime date = 0;
  if (!rtl::TryEncodeDate(y, m, d, date)) return false;
  if (s.size() == 10) {
    out = date;
    return true;
  }
  int hh, nn, ss, ms = 0;
  if (s.size() < 19 || s[10] != 'T' || !digits(11, 2, hh) || s[13] != ':' || !digits(14, 2, nn) || s[16] != ':' ||
      !digits(17, 2, ss))
    return false;
  if (s.size() > 19) {
    const size_t n = s.size() - 20;
    if (s[19] != '.' || n < 1 || n > 3 || !digits(20, n, ms)) return false;
    for (size_t i = n; i < 3; ++i) ms *= 10;
  }
  rtl::TDateTime time = 0;
  if (!rtl::TryEncodeTime(hh, nn, ss, ms, time)) return false;
  // Before 30/12/1899 the day is negative and the time still counts forward.
  out = date >= 0 ? date + time : date - time;
  return true;
}

std::string FormatIsoDateTime(rtl::TDateTime dt) { return rtl::ToIso(dt); }

std::string BaseKind(const std::string& kind) {
  return !kind.empty() && kind.back() == '&' ? kind.substr(0, kind.size() - 1) : kind;
}

bool IsReported(const std::string& kind) {
  const std::string b = BaseKind(kind);
  return b != kind || b == "result" || b == "dataset" || b == "strings";
}

rtl::Variant DecodeValue(const Json& j, const DecodeContext& ctx, bool nullIsUnassigned) {
  return DecodeValueAt(j, ctx, nullIsUnassigned, 0);
}

namespace {

rtl::Variant DecodeValueAt(const Json& j, const DecodeContext& ctx, bool nullIsUnassigned, int depth) {
  if (depth > kMaxNesting)
    throw SessionError("values nest deeper than " + std::to_string(kMaxNesting) + " levels");
  switch (j.type()) {
    case Json::value_t::null:
      return nullIsUnassigned ? rtl::Variant() : rtl::Variant::Null();
    case Json::value_t::boolean:
      return rtl::Variant(j.get<bool>());
    case Json::value_t::number_integer:
      return rtl::Variant(j.get<int64_t>());
    case Json::value_t::number_unsigned:
      if (j.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        throw SessionError(j.dump() + " is too large an integer");
      return rtl::Variant(static_cast<int64_t>(j.get<uint64_t>()));
    case Json::value_t::number_float:
      return rtl::Variant(j.get<double>());
    case Json::value_t::string:
      return rtl::Variant(ToCp1252(j.get<std::string>()));
    case Json::value_t::array: {
      std::vector<rtl::Variant> items;
      for (const auto& e : j) items.push_back(DecodeValueAt(e, ctx, false, depth + 1));
      return rtl::Variant(std::move(items));
    }
    case Json::value_t::object:
      if (j.size() == 1 && j.contains("datetime")) return rtl::Variant::FromDateTime(ToDateTime(j, "date-time"));
      if (j.size() == 1 && j.contains("null")) {
        if (j["null"] != true) throw SessionError("a null value is written {\"null\": true}");
        return rtl::Variant::Null();
      }
      if (j.contains("fields") || j.contains("file")) return rtl::Variant(DecodePacket(j, ctx));
      return DecodeRecord(j, ctx, depth);
    default:
      throw SessionError("unsupported value " + j.dump());
  }
}

}  // namespace

Json EncodeVariant(const rtl::Variant& v) {
  switch (v.type()) {
    case rtl::VarType::Unassigned: return nullptr;
    case rtl::VarType::Null: return Json{{"null", true}};
    case rtl::VarType::Boolean: return v.AsBoolean();
    case rtl::VarType::Integer: return v.AsInt64();
    case rtl::VarType::Double: return Json(v.AsDouble());
    case rtl::VarType::String: return ToUtf8(v.AsString());
    case rtl::VarType::DateTime: return Json{{"datetime", FormatIsoDateTime(v.AsDouble())}};
    case rtl::VarType::Array: {
      Json a = Json::array();
      for (const auto& e : v.Items()) a.push_back(EncodeVariant(e));
      return a;
    }
    case rtl::VarType::DataPacket: {
      auto p = v.AsPacket();
      return p ? EncodePacket(*p) : Json(nullptr);
    }
  }
  return nullptr;
}

std::shared_ptr<rtl::DataPacket> DecodePacket(const Json& j, const DecodeContext& ctx) {
  if (!j.is_object())
    throw SessionError("a data packet is {\"fields\": [...], \"rows\": [...]} or {\"file\": \"x.xml\"}, got " +
                       Describe(j));
  if (j.contains("file")) {
    auto path = PacketFile(j, ctx);
    try {
      return rtl::PacketFromXml(rtl::ReadFileBytes(path.string()));
    } catch (const rtl::Exception& e) {
      throw SessionError("data-packet file " + path.string() + ": " + ToUtf8(e.message()));
    }
  }
  OnlyKeys(j, {"fields", "indexes", "rows"}, "data packet");
  auto p = std::make_shared<rtl::DataPacket>();
  if (!j.contains("fields") || !j["fields"].is_array()) throw SessionError("a data packet needs a \"fields\" array");
  std::set<std::string> names;
  for (const auto& f : j["fields"]) {
    const std::string what = "field " + std::to_string(p->fields.size() + 1);
    if (!f.is_object()) throw SessionError(what + ": expected {\"name\": ..., \"type\": ...}, got " + Describe(f));
    OnlyKeys(f, {"name", "type", "size", "decimals"}, what);
    rtl::FieldDef def;
    if (!f.contains("name") || !f["name"].is_string() || f["name"].get<std::string>().empty())
      throw SessionError(what + ": needs a \"name\"");
    def.name = ToCp1252(f["name"].get<std::string>());
    if (!names.insert(rtl::UpperCase(def.name)).second)
      throw SessionError(what + ": field \"" + f["name"].get<std::string>() + "\" is defined twice");
    const std::string type = f.contains("type") && f["type"].is_string() ? f["type"].get<std::string>() : "";
    if (!FieldTypeFromName(type, def.type))
      throw SessionError(what + " (" + f["name"].get<std::string>() + "): type must be one of " + FieldTypeNames());
    if (f.contains("size")) {
      def.size = ToInt32(f["size"], what + " size");
      if (def.size <= 0) throw SessionError(what + ": size must be positive");
    }
    if (f.contains("decimals")) {
      def.decimals = ToInt32(f["decimals"], what + " decimals");
      if (def.decimals < 0 || def.decimals > 32) throw SessionError(what + ": decimals must be from 0 to 32");
    }
    p->fields.push_back(std::move(def));
  }
  if (j.contains("indexes")) {
    if (!j["indexes"].is_array()) throw SessionError("\"indexes\" must be an array");
    for (const auto& x : j["indexes"]) {
      const std::string what = "index " + std::to_string(p->indexes.size() + 1);
      if (!x.is_object()) throw SessionError(what + ": expected {\"name\": ..., \"fields\": ...}");
      OnlyKeys(x, {"name", "fields", "desc_fields", "case_insensitive"}, what);
      rtl::IndexDef def;
      def.name = TextOf(x.value("name", Json()), what + " name");
      def.fields = TextOf(x.value("fields", Json()), what + " fields");
      if (x.contains("desc_fields")) def.descFields = TextOf(x["desc_fields"], what + " desc_fields");
      if (x.contains("case_insensitive")) {
        if (!x["case_insensitive"].is_boolean()) throw SessionError(what + ": case_insensitive is true or false");
        def.caseInsensitive = x["case_insensitive"].get<bool>();
      }
      p->indexes.push_back(std::move(def));
    }
  }
  if (j.contains("rows")) {
    if (!j["rows"].is_array()) throw SessionError("\"rows\" must be an array");
    for (const auto& r : j["rows"]) {
      const std::string what = "row " + std::to_string(p->rows.size() + 1);
      if (!r.is_array()) throw SessionError(what + ": expected an array of values, got " + Describe(r));
      if (r.size() != p->fields.size())
        throw SessionError(what + " has " + std::to_string(r.size()) + " values, the packet has " +
                           std::to_string(p->fields.size()) + " fields");
      std::vector<rtl::Variant> row;
      for (size_t i = 0; i < r.size(); ++i)
        row.push_back(DecodeCell(p->fields[i], r[i], what + ", field " + ToUtf8(p->fields[i].name)));
      p->rows.push_back(std::move(row));
    }
  }
  return p;
}

Json EncodePacket(const rtl::DataPacket& p) {
  Json fields = Json::array();
  for (const auto& f : p.fields) {
    Json o = {{"name", ToUtf8(f.name)}, {"type", FieldTypeToName(f.type)}};
    if (f.type == rtl::FieldType::String) o["size"] = f.size > 0 ? f.size : 20;
    if (f.type == rtl::FieldType::Fixed) {
      o["size"] = f.size;
      o["decimals"] = f.decimals;
    }
    fields.push_back(std::move(o));
  }
  Json rows = Json::array();
  for (const auto& r : p.rows) {
    Json row = Json::array();
    for (const auto& v : r) row.push_back(EncodeCell(v));
    rows.push_back(std::move(row));
  }
  return Json{{"fields", std::move(fields)}, {"rows", std::move(rows)}};
}

std::shared_ptr<rtl::ClientDataSet> DecodeDataSet(const Json& j, const DecodeContext& ctx) {
  auto ds = std::make_shared<rtl::ClientDataSet>();
  if (j.is_object() && j.contains("file")) {
    auto path = PacketFile(j, ctx);
    try {
      ds->LoadFromFile(path.string());
    } catch (const rtl::Exception& e) {
      throw SessionError("data-packet file " + path.string() + ": " + ToUtf8(e.message()));
    }
    return ds;
  }
  auto p = DecodePacket(j, ctx);
  // No fields: the host hands over an empty, closed dataset for the operation to define.
  if (p->fields.empty()) return ds;
  try {
    ds->LoadPacket(*p);
  } catch (const rtl::Exception& e) {
    throw SessionError("dataset: " + ToUtf8(e.message()));
  }
  return ds;
}

Json EncodeDataSet(const rtl::ClientDataSet& ds) {
  if (ds.Active()) {
    try {
      return EncodePacket(*ds.ToPacket());
    } catch (const rtl::Exception&) {
      // A dataset left mid-edit by the operation: fall back to its structure.
    }
  }
  rtl::DataPacket p;
  p.fields = ds.FieldDefs();
  return EncodePacket(p);
}

void DecodeArg(const std::string& kind, const Json& j, Arg& a, const DecodeContext& ctx) {
  const std::string k = BaseKind(kind);
  if (k == "text") {
    a.text = TextOf(j, "text");
  } else if (k == "int") {
    a.integer = ToInt32(j, "int");
  } else if (k == "real") {
    if (!j.is_number()) throw SessionError("real: expected a number, got " + Describe(j));
    a.real = j.get<double>();
  } else if (k == "bool") {
    if (!j.is_boolean()) throw SessionError("bool: expected true or false, got " + Describe(j));
    a.boolean = j.get<bool>();
  } else if (k == "datetime") {
    a.real = ToDateTime(j, "datetime");
  } else if (k == "record") {
    a.variant = DecodeRecord(j, ctx, 0);
  } else if (k == "list") {
    if (!j.is_array()) throw SessionError("list: expected an array of values, got " + Describe(j));
    a.variant = DecodeValue(j, ctx);
  } else if (k == "result") {
    if (j.is_number_integer()) {
      const int32_t n = ToInt32(j, "result");
      if (n < 0 || n > 100000) throw SessionError("result: the element count must be between 0 and 100000");
      a.variant = rtl::Variant::CreateArray(static_cast<size_t>(n));
    } else if (j.is_array()) {
      std::vector<rtl::Variant> items;
      for (const auto& e : j) items.push_back(DecodeValue(e, ctx, true));
      a.variant = rtl::Variant(std::move(items));
    } else {
      throw SessionError("result: expected an element count or an array of initial values, got " + Describe(j));
    }
  } else if (k == "packet") {
    a.variant = rtl::Variant(std::shared_ptr<const rtl::DataPacket>(DecodePacket(j, ctx)));
  } else if (k == "dataset") {
    a.dataset = DecodeDataSet(j, ctx);
  } else if (k == "strings") {
    if (!j.is_array()) throw SessionError("strings: expected an array of strings, got " + Describe(j));
    for (const auto& s : j) a.strings.Add(TextOf(s, "strings"));
  } else {
    throw SessionError("unknown parameter kind \"" + kind + "\"");
  }
}

Json EncodeArg(const std::string& kind, const Arg& a) {
  if (!IsReported(kind)) return nullptr;
  const std::string k = BaseKind(kind);
  if (k == "text") return ToUtf8(a.text);
  if (k == "int") return a.integer;
  if (k == "real") return Json(a.real);
  if (k == "bool") return a.boolean;
  if (k == "datetime") return Json{{"datetime", FormatIsoDateTime(a.real)}};
  if (k == "dataset") return a.dataset ? EncodeDataSet(*a.dataset) : Json(nullptr);
  if (k == "strings") {
    Json arr = Json::array();
    for (const auto& s : a.strings.Lines()) arr.push_back(ToUtf8(s));
    return arr;
  }
  return EncodeVariant(a.variant);  // record, list, result, packet
}

Json EncodeResult(const std::string& resultKind, const rtl::Variant& v) {
  if (resultKind == "none") return nullptr;
  if (resultKind == "datetime" && !v.IsEmpty() && !v.IsNull())
    return Json{{"datetime", FormatIsoDateTime(v.AsDouble())}};
  return EncodeVariant(v);
}

}  // namespace qorhost
