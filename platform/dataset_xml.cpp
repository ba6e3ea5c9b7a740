// The XML data-packet format of client datasets:
//
//   <?xml version="1.0" encoding="UTF-8" standalone="yes"?>
//   <DATAPACKET Version="2.0"><METADATA><FIELDS>
//   <FIELD attrname="CDFILIAL" fieldtype="string" WIDTH="4"/> ...
//   </FIELDS><PARAMS .../></METADATA><ROWDATA><ROW CDFILIAL="0001" .../></ROWDATA></DATAPACKET>
//
// Texts are code page 1252 in memory and UTF-8 in the files we write. On
// reading, an encoding declaration is honoured (UTF-8, or ISO-8859-1 /
// windows-1252 / US-ASCII, all read as 1252); without one the text is UTF-8,
// and a file whose bytes are not valid UTF-8 is read as 1252, the way hosts
// that write their ANSI code page without a declaration produce it.
//
// Values: a null field has no attribute; numbers use '.'; booleans TRUE/FALSE;
// date "yyyymmdd"; time "hh:nn:sszzz"; dateTime "yyyymmddThh:nn:sszzz" (the
// milliseconds may be absent on input); memo fields hold their text, binary
// fields base64. Rows flagged deleted (RowState bit 2) are skipped; a row
// flagged modified (bit 8) that follows its original (bit 1) or inserted
// (bit 4) row updates that row with the attributes it carries. What is
// written marks no pending changes.
//
// Index definitions travel as PARAMS attributes INDEXDEF1, INDEXDEF2, ...
// whose value is "name|fields|descending fields|case-insensitive (0/1)";
// other PARAMS attributes are kept as they came.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <pugixml.hpp>

#include "platform/dataset_impl.h"
#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace rtl::dsimpl {

namespace {

constexpr unsigned char kBinarySignature[] = {0x96, 0x19, 0xE0, 0xBD, 0x01};

[[noreturn]] void Bad(const std::string& what) { throw EDatabaseError("Invalid XML data packet: " + what); }

bool IsAscii(std::string_view s) {
  // Whole packets pass through here: the bytes of a block are or-ed together
  // (a loop the compiler turns into vector code), then the block is judged.
  const char* p = s.data();
  size_t n = s.size();
  constexpr size_t kBlock = 256;
  for (; n >= kBlock; p += kBlock, n -= kBlock) {
    uint64_t acc = 0;
    for (size_t k = 0; k < kBlock; k += 8) {
      uint64_t w;
      std::memcpy(&w, p + k, 8);
      acc |= w;
    }
    if (acc & 0x8080808080808080ull) return false;
  }
  for (; n >= 8; p += 8, n -= 8) {  // the short texts of single values
    uint64_t w;
    std::memcpy(&w, p, 8);
    if (w & 0x8080808080808080ull) return false;
  }
  for (; n > 0; ++p, --n)
    if (static_cast<unsigned char>(*p) >= 0x80) return false;
  return true;
}

bool ValidUtf8(std::string_view s) {
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
    else return false;
    if (i + len > n) return false;
    for (int k = 1; k < len; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    i += len;
  }
  return true;
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

// The value of encoding="..." in an XML declaration at the start; "" when none.
std::string DeclaredEncoding(std::string_view doc) {
  if (doc.substr(0, 5) != "<?xml") return "";
  size_t end = doc.find("?>");
  if (end == std::string_view::npos) Bad("unterminated XML declaration");
  std::string_view decl = doc.substr(0, end);
  size_t p = decl.find("encoding");
  if (p == std::string_view::npos) return "";
  p += 8;
  while (p < decl.size() && (decl[p] == ' ' || decl[p] == '\t' || decl[p] == '\r' || decl[p] == '\n')) ++p;
  if (p >= decl.size() || decl[p] != '=') Bad("malformed encoding declaration");
  ++p;
  while (p < decl.size() && (decl[p] == ' ' || decl[p] == '\t' || decl[p] == '\r' || decl[p] == '\n')) ++p;
  if (p >= decl.size() || (decl[p] != '"' && decl[p] != '\'')) Bad("malformed encoding declaration");
  char q = decl[p];
  size_t close = decl.find(q, p + 1);
  if (close == std::string_view::npos) Bad("malformed encoding declaration");
  return Lower(decl.substr(p + 1, close - p - 1));
}

bool SingleByteEncoding(const std::string& e) {
  return e == "iso-8859-1" || e == "iso8859-1" || e == "latin1" || e == "latin-1" || e == "l1" ||
         e == "iso_8859-1" || e == "windows-1252" || e == "cp1252" || e == "us-ascii" || e == "ascii";
}

std::string ToAnsi(std::string_view v) {
  return IsAscii(v) ? std::string(v) : Utf8ToCp1252(v);
}

// ---- base64 (binary fields) ----

const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(std::string_view in) {
  std::string out;
  out.reserve((in.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    uint32_t v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                 static_cast<unsigned char>(in[i + 2]);
    out += kB64[v >> 18];
    out += kB64[(v >> 12) & 63];
    out += kB64[(v >> 6) & 63];
    out += kB64[v & 63];
  }
  if (i < in.size()) {
    uint32_t v = static_cast<unsigned char>(in[i]) << 16;
    if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
    out += kB64[v >> 18];
    out += kB64[(v >> 12) & 63];
    out += i + 1 < in.size() ? kB64[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool Base64Decode(std::string_view in, std::string& out) {
  out.clear();
  uint32_t acc = 0;
  int bits = 0;
  size_t pad = 0;
  for (char ch : in) {
    if (ch == ' ' || ch == '\r' || ch == '\n' || ch == '\t') continue;
    if (ch == '=') {
      ++pad;
      continue;
    }
    if (pad) return false;
    const char* p = std::strchr(kB64, ch);
    if (!p || ch == 0) return false;
    acc = (acc << 6) | static_cast<uint32_t>(p - kB64);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((acc >> bits) & 0xFF));
    }
  }
  return pad <= 2;
}

// ---- field types ----

struct TypeInfo {
  FieldType type;
  bool canonical;  // written back by the type alone
};

bool MapFieldType(const std::string& ft, const std::string& subtype, TypeInfo& out) {
  if (ft == "string") out = {FieldType::String, true};
  else if (ft == "string.uni") out = {FieldType::String, false};
  else if (ft == "i4") out = {FieldType::Integer, true};
  else if (ft == "i1" || ft == "i2" || ft == "ui1" || ft == "ui2") out = {FieldType::Integer, false};
  else if (ft == "ui4") out = {FieldType::LargeInt, false};
  else if (ft == "i8") out = {FieldType::LargeInt, true};
  else if (ft == "r8") out = {subtype == "Money" ? FieldType::Currency : FieldType::Float, true};
  else if (ft == "r4") out = {subtype == "Money" ? FieldType::Currency : FieldType::Float, false};
  else if (ft == "fixed") out = {FieldType::Fixed, true};
  else if (ft == "fixedFMT") out = {FieldType::Fixed, false};
  else if (ft == "boolean") out = {FieldType::Boolean, true};
  else if (ft == "date") out = {FieldType::Date, true};
  else if (ft == "time") out = {FieldType::Time, true};
  else if (ft == "dateTime") out = {FieldType::DateTime, true};
  else if (ft == "SQLdateTime") out = {FieldType::DateTime, false};
  else if (ft == "bin.hex") out = {subtype == "Text" || subtype == "WideText" ? FieldType::Memo : FieldType::Blob, true};
  else return false;
  return true;
}

const char* CanonicalType(FieldType t) {
  switch (t) {
    case FieldType::String: return "string";
    case FieldType::Integer: return "i4";
    case FieldType::LargeInt: return "i8";
    case FieldType::Float:
    case FieldType::Currency: return "r8";
    case FieldType::Fixed: return "fixed";
    case FieldType::Boolean: return "boolean";
    case FieldType::Date: return "date";
    case FieldType::Time: return "time";
    case FieldType::DateTime: return "dateTime";
    case FieldType::Memo:
    case FieldType::Blob: return "bin.hex";
  }
  return "string";
}

const char* CanonicalSubtype(FieldType t) {
  switch (t) {
    case FieldType::Currency: return "Money";
    case FieldType::Memo: return "Text";
    case FieldType::Blob: return "Binary";
    default: return nullptr;
  }
}

bool ParseInt(std::string_view s, int64_t& out) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// Plain decimals ("-12.34", up to 15 digits) read as from_chars reads them:
// the digits and the power of ten are exact doubles, and one division
// rounds correctly. False for any other form.
bool PlainDecimal(std::string_view s, double& out) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  size_t i = s.size() > 0 && s[0] == '-' ? 1 : 0;
  const bool negative = i == 1;
  if (i >= s.size() || s[i] == '.') return false;
  uint64_t m = 0;
  int digits = 0, decimals = -1;  // -1: no point yet
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      m = m * 10 + static_cast<uint64_t>(c - '0');
      if (++digits > 15) return false;
      if (decimals >= 0) ++decimals;
    } else if (c == '.' && decimals < 0) {
      decimals = 0;
    } else {
      return false;
    }
  }
  if (decimals == 0) return false;  // "5."
  const double v = static_cast<double>(m) / kPow10[decimals < 0 ? 0 : decimals];
  out = negative ? -v : v;
  return true;
}

bool ParseDouble(std::string_view s, double& out) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  if (PlainDecimal(s, out)) return true;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E' || c == '+')) return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

bool Digits(std::string_view s, size_t at, size_t n, int& out) {
  if (at + n > s.size()) return false;
  int v = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  out = v;
  return true;
}

bool ParseDate(std::string_view s, TDateTime& out) {
  int y, m, d;
  if (s.size() != 8 || !Digits(s, 0, 4, y) || !Digits(s, 4, 2, m) || !Digits(s, 6, 2, d)) return false;
  return TryEncodeDate(y, m, d, out);
}

// "hh:nn:ss" with optional "zzz".
bool ParseTime(std::string_view s, TDateTime& out) {
  int h, n, sec, ms = 0;
  if ((s.size() != 8 && s.size() != 11) || !Digits(s, 0, 2, h) || s[2] != ':' || !Digits(s, 3, 2, n) ||
      s[5] != ':' || !Digits(s, 6, 2, sec))
    return false;
  if (s.size() == 11 && !Digits(s, 8, 3, ms)) return false;
  return TryEncodeTime(h, n, sec, ms, out);
}

TDateTime Combine(TDateTime date, TDateTime time) { return date >= 0 ? date + time : date - time; }

// The last date a field read: the rows of a packet mostly share their days.
class DayCache {
 public:
  bool Parse(std::string_view s, TDateTime& out) {
    if (s.size() == 8 && valid_ && std::memcmp(text_, s.data(), 8) == 0) {
      out = value_;
      return true;
    }
    if (!ParseDate(s, out)) return false;
    std::memcpy(text_, s.data(), 8);
    value_ = out;
    valid_ = true;
    return true;
  }

 private:
  char text_[8] = {};
  TDateTime value_ = 0;
  bool valid_ = false;
};

bool ParseDateTime(std::string_view s, TDateTime& out, DayCache& days) {
  TDateTime d, t = 0;
  if (s.size() == 8) return days.Parse(s, out);
  if (s.size() < 9 || s[8] != 'T' || !days.Parse(s.substr(0, 8), d) || !ParseTime(s.substr(9), t)) return false;
  out = Combine(d, t);
  return true;
}

bool ParseBool(std::string_view s, int64_t& out) {
  if (SameText(s, "TRUE") || s == "1") out = 1;
  else if (SameText(s, "FALSE") || s == "0") out = 0;
  else return false;
  return true;
}

// Bytes readable after the end of a parsed text: the lengths of a parsed
// ROW's names and values are found eight bytes at a time.
constexpr size_t kNamePad = 16;

struct FieldReader {
  FieldReader(const FieldDef* d, Store s, std::string name) : def(d), store(s), xmlName(std::move(name)) {}
  const FieldDef* def;
  Store store;
  std::string xmlName;  // UTF-8, as in the ROW attributes
  DayCache days;        // date and date-time fields
};

// The length of a name or value of a parsed ROW, eight bytes at a time (the text
// parsed is followed by kNamePad more bytes, so no read leaves the buffer).
size_t ValueLength(const char* p) {
  if constexpr (std::endian::native != std::endian::little) {
    return std::strlen(p);
  } else {
    for (size_t n = 0;; n += 8) {
      uint64_t w;
      std::memcpy(&w, p + n, 8);
      // The lowest byte flagged is the first zero byte.
      const uint64_t zero = (w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull;
      if (zero) return n + static_cast<size_t>(std::countr_zero(zero) >> 3);
    }
  }
}

void ReadValue(FieldReader& f, std::string_view v, Cell& c, size_t row) {
  auto fail = [&]() {
    Bad("invalid value '" + ToAnsi(v) + "' for field '" + f.def->name + "' in row " + std::to_string(row));
  };
  switch (f.store) {
    case Store::Text:
      if (v.empty()) {
        c.null = true;
        c.s.clear();
        return;
      }
      if (f.def->type == FieldType::Blob) {
        std::string bytes;
        if (!Base64Decode(v, bytes)) fail();
        c.s = bytes;
      } else if (IsAscii(v)) {
        c.s = v;
      } else {
        c.s = Utf8ToCp1252(v);
      }
      c.null = c.s.empty();
      return;
    case Store::Int: {
      int64_t x;
      bool ok = f.def->type == FieldType::Boolean ? ParseBool(v, x) : ParseInt(v, x);
      if (!ok || (f.def->type == FieldType::Integer && (x < INT32_MIN || x > INT32_MAX))) fail();
      c.i = x;
      c.null = false;
      return;
    }
    case Store::Real: {
      double x;
      bool ok;
      switch (f.def->type) {
        case FieldType::Date: ok = f.days.Parse(v, x); break;
        case FieldType::Time: ok = ParseTime(v, x); break;
        case FieldType::DateTime: ok = ParseDateTime(v, x, f.days); break;
        default: ok = ParseDouble(v, x); break;
      }
      if (!ok) fail();
      c.d = x;
      c.null = false;
      return;
    }
  }
}

int ParseIntAttr(const pugi::xml_attribute& a, const std::string& field) {
  int64_t v;
  if (!ParseInt(a.value(), v) || v < 0 || v > INT32_MAX)
    Bad("invalid " + std::string(a.name()) + " '" + ToAnsi(a.value()) + "' for field '" + field + "'");
  return static_cast<int>(v);
}

FieldDef ReadFieldDef(const pugi::xml_node& node, size_t number) {
  FieldDef f;
  pugi::xml_attribute name = node.attribute("attrname");
  if (!name || !*name.value()) Bad("field " + std::to_string(number) + " has no attrname");
  f.name = ToAnsi(name.value());
  std::string ft = node.attribute("fieldtype").value();
  std::string subtype = node.attribute("SUBTYPE").value();
  if (ft.empty()) Bad("field '" + f.name + "' has no fieldtype");
  if (ft == "nested") Bad("field '" + f.name + "' is a nested dataset, which is not supported");
  TypeInfo ti;
  if (!MapFieldType(ft, subtype, ti)) Bad("unknown fieldtype '" + ToAnsi(ft.c_str()) + "' for field '" + f.name + "'");
  f.type = ti.type;
  bool subtypeUsed = (f.type == FieldType::Currency && subtype == "Money") ||
                     (f.type == FieldType::Memo && subtype == "Text") ||
                     (f.type == FieldType::Blob && subtype == "Binary");
  bool widthUsed = f.type == FieldType::String || f.type == FieldType::Fixed;
  bool decimalsUsed = f.type == FieldType::Fixed;
  if (widthUsed) {
    pugi::xml_attribute w = node.attribute("WIDTH");
    f.size = w ? ParseIntAttr(w, f.name) : 0;
    if (f.type == FieldType::String && f.size == 0) f.size = 20;
  }
  if (decimalsUsed) {
    pugi::xml_attribute d = node.attribute("DECIMALS");
    f.decimals = d ? ParseIntAttr(d, f.name) : 0;
  }
  if (!ti.canonical) f.extraAttrs.emplace_back("fieldtype", ft);
  for (pugi::xml_attribute a : node.attributes()) {
    std::string an = a.name();
    if (an == "attrname" || an == "fieldtype" || (an == "SUBTYPE" && subtypeUsed) || (an == "WIDTH" && widthUsed) ||
        (an == "DECIMALS" && decimalsUsed))
      continue;
    f.extraAttrs.emplace_back(ToAnsi(an.c_str()), ToAnsi(a.value()));
  }
  return f;
}

bool IsIndexParam(std::string_view name) {
  if (name.size() <= 8 || name.substr(0, 8) != "INDEXDEF") return false;
  for (char c : name.substr(8))
    if (c < '0' || c > '9') return false;
  return true;
}

IndexDef ParseIndexParam(const std::string& value) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t bar = value.find('|', start);
    parts.push_back(value.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) Bad("malformed index definition '" + value + "'");
  IndexDef ix;
  ix.name = parts[0];
  ix.fields = parts[1];
  if (parts.size() > 2) ix.descFields = parts[2];
  ix.caseInsensitive = parts.size() > 3 && parts[3] == "1";
  return ix;
}

// The packet as UTF-8 text, checked, after any byte-order mark. A text in
// code page 1252 is converted into `converted`, which the result then views.
std::string_view PrepareText(std::string_view bytes, std::string& converted) {
  if (bytes.size() >= sizeof kBinarySignature && std::memcmp(bytes.data(), kBinarySignature, sizeof kBinarySignature) == 0)
    throw EDatabaseError(
        "This is a binary client dataset file; only the XML data-packet form can be read (save it as XML)");
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  size_t start = 0;
  if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    start = 3;
  } else if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
    Bad("UTF-16 text is not supported; write the packet in UTF-8");
  }
  const std::string_view text = bytes.substr(start);
  if (text.empty()) Bad("the packet is empty");
  const std::string enc = DeclaredEncoding(text);
  if (enc.empty() || enc == "utf-8" || enc == "utf8") {
    if (!IsAscii(text) && !ValidUtf8(text)) {
      if (!enc.empty() || start > 0) Bad("the text is not valid UTF-8");
      converted = Cp1252ToUtf8(text);
      return converted;
    }
  } else if (SingleByteEncoding(enc)) {
    if (!IsAscii(text)) {
      converted = Cp1252ToUtf8(text);
      return converted;
    }
  } else {
    Bad("unsupported encoding '" + enc + "'");
  }
  return text;
}

// FIELDS and PARAMS into t; one reader per field.
std::vector<FieldReader> ReadStructure(const pugi::xml_node& meta, Table& t) {
  pugi::xml_node fieldsNode = meta.child("FIELDS");
  if (!fieldsNode) Bad("FIELDS is missing");
  std::vector<FieldReader> readers;
  for (pugi::xml_node f : fieldsNode.children()) {
    if (f.type() != pugi::node_element) continue;
    if (std::strcmp(f.name(), "FIELD") != 0) Bad("unexpected element '" + ToAnsi(f.name()) + "' in FIELDS");
    t.fields.push_back(ReadFieldDef(f, t.fields.size() + 1));
    readers.emplace_back(nullptr, StoreOf(t.fields.back().type), f.attribute("attrname").value());
  }
  ValidateFields(t.fields);
  for (size_t i = 0; i < t.fields.size(); ++i) readers[i].def = &t.fields[i];

  for (pugi::xml_attribute a : meta.child("PARAMS").attributes()) {
    std::string name = ToAnsi(a.name());
    std::string value = ToAnsi(a.value());
    if (IsIndexParam(name)) {
      IndexDef ix = ParseIndexParam(value);
      for (const std::string& fn : SplitFieldList(ix.fields))
        if (FindField(t.fields, fn) < 0) Bad("index '" + ix.name + "' names an unknown field '" + fn + "'");
      t.indexes.push_back(std::move(ix));
    } else if (name != "CHANGE_LOG") {
      t.params.emplace_back(std::move(name), std::move(value));
    }
  }
  return readers;
}

// The field an attribute of a ROW holds: usually the one after the last
// (attributes come in field order); -1 for RowState and unknown names.
bool SameXmlName(const FieldReader& f, std::string_view name) {
  return name.size() == f.xmlName.size() && std::memcmp(name.data(), f.xmlName.data(), name.size()) == 0;
}

int FieldOf(const std::vector<FieldReader>& readers, size_t expect, std::string_view name) {
  const size_t n = readers.size();
  if (expect < n && SameXmlName(readers[expect], name)) return static_cast<int>(expect);
  for (size_t k = 0; k < n; ++k)
    if (SameXmlName(readers[k], name)) return static_cast<int>(k);
  return -1;
}

// Reads ROW elements into t.rows, one parent element at a time: the rows
// may come in several pieces, parsed or plain, and a modification
// (RowState bit 8) may follow its original row across them.
class RowsReader {
 public:
  RowsReader(std::vector<FieldReader>& readers, Table& t)
      : readers_(readers), t_(t), n_(static_cast<uint32_t>(t.fields.size())), values_(n_) {}

  void Read(const pugi::xml_node& parent) {
    for (pugi::xml_node r : parent.children()) {
      if (r.type() != pugi::node_element) continue;
      if (std::strcmp(r.name(), "ROW") != 0) Bad("unexpected element '" + ToAnsi(r.name()) + "' in ROWDATA");
      Begin();
      for (pugi::xml_attribute a = r.first_attribute(); a; a = a.next_attribute()) {
        const char* name = a.name();
        const char* value = a.value();
        Take(std::string_view(name, ValueLength(name)), std::string_view(value, ValueLength(value)));
      }
      End();
    }
  }

  // Rows of ROWDATA content in the plain form; returns where they stop
  // (the content's size when all were read).
  size_t ReadPlain(std::string_view content) {
    PlainRows rows(content);
    while (rows.Next(attrs_)) {
      Begin();
      for (const PlainAttr& a : attrs_) {
        if (!a.escaped) {
          Take(a.name, a.value);
          continue;
        }
        // Expanded into a buffer of its own until the row is read.
        if (escapedUsed_ == escaped_.size()) escaped_.emplace_back();
        Take(a.name, PlainRows::Unescape(a.value, escaped_[escapedUsed_++]));
      }
      End();
    }
    return rows.Stopped();
  }

 private:
  void Begin() {
    ++number_;
    std::fill(values_.begin(), values_.end(), std::string_view());
    rowState_ = {};
    expect_ = 0;
    escapedUsed_ = 0;
  }

  // One attribute: a field's text (the field after the last one taken is
  // tried first: attributes come in field order), or RowState.
  void Take(std::string_view name, std::string_view value) {
    if (!rowState_.data() && name == "RowState") rowState_ = value;
    const int f = FieldOf(readers_, expect_, name);
    if (f >= 0) {
      values_[f] = value;
      expect_ = static_cast<size_t>(f) + 1;
    }
  }

  void End() {
    int64_t state = 0;
    if (rowState_.data() && !ParseInt(rowState_, state))
      Bad("invalid RowState '" + ToAnsi(rowState_) + "' in row " + std::to_string(number_));
    if (state & 2) {  // deleted
      lastBase_ = nullptr;
      return;
    }
    Row* target;
    RowPtr fresh;
    if ((state & 8) && lastBase_) {
      target = lastBase_;  // the modification of the row before
      lastBase_ = nullptr;
    } else {
      fresh.reset(arena_.Create(n_));
      target = fresh.get();
      lastBase_ = (state & 5) ? target : nullptr;
    }
    for (uint32_t f = 0; f < n_; ++f)
      if (values_[f].data()) ReadValue(readers_[f], values_[f], target->cells()[f], number_);
    if (fresh) t_.rows.push_back(std::move(fresh));
  }

  std::vector<FieldReader>& readers_;
  Table& t_;
  const uint32_t n_;
  std::vector<std::string_view> values_;  // null: the row has no attribute for the field
  std::string_view rowState_;
  size_t expect_ = 0;
  std::vector<PlainAttr> attrs_;
  std::deque<std::string> escaped_;  // expanded values of the row being read (kept in place as it grows)
  size_t escapedUsed_ = 0;
  RowArena arena_;
  Row* lastBase_ = nullptr;  // the last row an update (RowState bit 8) may apply to
  size_t number_ = 0;
};

// The document element, checked, and the table's structure read from it.
std::vector<FieldReader> ReadHead(const pugi::xml_document& doc, Table& t) {
  pugi::xml_node root = doc.document_element();
  if (std::strcmp(root.name(), "DATAPACKET") != 0)
    Bad("the root element is '" + ToAnsi(root.name()) + "', not DATAPACKET");
  pugi::xml_node meta = root.child("METADATA");
  if (!meta) Bad("METADATA is missing");
  return ReadStructure(meta, t);
}

// The whole text parsed at once (in place: the parser's strings point into
// it while the rows are read). kNamePad bytes follow `size`.
Table ReadWhole(char* text, size_t size) {
  pugi::xml_document doc;
  pugi::xml_parse_result res = doc.load_buffer_inplace(text, size, pugi::parse_default, pugi::encoding_utf8);
  if (!res) Bad(std::string(res.description()) + " at offset " + std::to_string(res.offset));
  Table t;
  std::vector<FieldReader> readers = ReadHead(doc, t);
  RowsReader(readers, t).Read(doc.document_element().child("ROWDATA"));
  return t;
}

// A packet is read in pieces: the text without the rows parsed first, then
// the rows a piece at a time, the plain rows at the start of each piece
// straight from the text and the rest of it by the parser, whose tree then
// stays small and in the cache (see dataset_xml_split.cpp for why the
// pieces read as the whole text would). nullopt when the text is not read
// this way or a piece fails: the whole text is then parsed at once and
// decides.
std::optional<Table> ReadInPieces(std::string_view text, size_t pieceBytes) {
  const std::optional<RowDataSpan> span = FindRowData(text);
  if (!span) return std::nullopt;
  std::string outer(text.substr(0, span->begin));
  outer.append(text.substr(span->end));
  pugi::xml_document doc;
  if (!doc.load_buffer_inplace(outer.data(), outer.size(), pugi::parse_default, pugi::encoding_utf8))
    return std::nullopt;
  const pugi::xml_node rowData = doc.document_element().child("ROWDATA");
  // The element kept empty must be the one whose rows the whole text would read.
  if (!rowData || rowData.offset_debug() != static_cast<ptrdiff_t>(span->begin - kRowDataNameBack))
    return std::nullopt;
  try {
    Table t;
    std::vector<FieldReader> readers = ReadHead(doc, t);
    RowsReader rows(readers, t);
    std::string piece;
    pugi::xml_document pieceDoc;
    for (size_t at = span->begin; at < span->end;) {
      const size_t end = PieceEnd(text, at, span->end, pieceBytes);
      // Plain rows straight from the text; the parser takes the rest of the piece.
      const size_t from = at + rows.ReadPlain(text.substr(at, end - at));
      at = end;
      if (from == end) continue;
      if (HidesMarkup(text, from, end)) return std::nullopt;
      // Inside a ROWDATA element, as in the whole text.
      piece.assign(kRowDataOpen);
      piece.append(text.data() + from, end - from);
      piece.append(kRowDataClose);
      piece.append(kNamePad, '\0');
      if (!pieceDoc.load_buffer_inplace(piece.data(), piece.size() - kNamePad, pugi::parse_default, pugi::encoding_utf8))
        return std::nullopt;
      // The element must be the only node: a "</ROWDATA>" among the rows would have closed it early.
      const pugi::xml_node own = pieceDoc.first_child();
      if (own != pieceDoc.last_child() || own.type() != pugi::node_element) return std::nullopt;
      rows.Read(own);
    }
    return t;
  } catch (const Exception&) {
    return std::nullopt;  // the whole text gives the error
  }
}

}  // namespace

Table ReadXml(std::string_view bytes, size_t pieceBytes) {
  std::string converted;
  const std::string_view text = PrepareText(bytes, converted);
  if (pieceBytes > 0) {
    std::optional<Table> t = ReadInPieces(text, pieceBytes);
    if (t) return std::move(*t);
  }
  // Parsed in place: a copy unless the text was converted already.
  std::string whole = text.data() == converted.data() ? std::move(converted) : std::string(text);
  whole.append(kNamePad, '\0');
  return ReadWhole(whole.data(), whole.size() - kNamePad);
}

// ---- writing ----

namespace {

void AppendEscaped(std::string& out, std::string_view ansi) {
  std::string utf8;
  std::string_view s = ansi;
  if (!IsAscii(ansi)) {
    utf8 = Cp1252ToUtf8(ansi);
    s = utf8;
  }
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "&#";
          out += std::to_string(static_cast<unsigned char>(c));
          out += ';';
        } else {
          out += c;
        }
    }
  }
}

void Attr(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  AppendEscaped(out, value);
  out += '"';
}

bool ValidXmlName(std::string_view s) {
  if (s.empty()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0xC0;
    bool other = (c >= '0' && c <= '9') || c == '.' || c == '-';
    if (!(letter || (i > 0 && other))) return false;
  }
  return true;
}

std::string XmlName(std::string_view ansi, const char* what) {
  if (!ValidXmlName(ansi) || ansi == "RowState")
    throw EDatabaseError(std::string("The ") + what + " name '" + std::string(ansi) +
                         "' cannot be written to an XML data packet");
  return IsAscii(ansi) ? std::string(ansi) : Cp1252ToUtf8(ansi);
}

void Two(std::string& out, int v) {
  out += static_cast<char>('0' + v / 10 % 10);
  out += static_cast<char>('0' + v % 10);
}

void AppendDate(std::string& out, TDateTime v) {
  DateParts d = DecodeDate(v);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d", d.year);
  out += buf;
  Two(out, d.month);
  Two(out, d.day);
}

void AppendTime(std::string& out, TDateTime v) {
  TimeParts t = DecodeTime(v);
  Two(out, t.hour);
  out += ':';
  Two(out, t.minute);
  out += ':';
  Two(out, t.second);
  out += static_cast<char>('0' + t.msec / 100 % 10);
  Two(out, t.msec % 100);
}

void AppendNumber(std::string& out, double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void AppendValue(std::string& out, const Cell& c, FieldType t) {
  switch (t) {
    case FieldType::String:
    case FieldType::Memo:
      AppendEscaped(out, c.s);
      return;
    case FieldType::Blob:
      out += Base64Encode(c.s);
      return;
    case FieldType::Boolean:
      out += c.i ? "TRUE" : "FALSE";
      return;
    case FieldType::Integer:
    case FieldType::LargeInt:
      out += std::to_string(c.i);
      return;
    case FieldType::Date:
      AppendDate(out, c.d);
      return;
    case FieldType::Time:
      AppendTime(out, c.d);
      return;
    case FieldType::DateTime:
      AppendDate(out, c.d);
      out += 'T';
      AppendTime(out, c.d);
      return;
    default:
      AppendNumber(out, c.d);
      return;
  }
}

const std::string* Extra(const FieldDef& f, const char* key) {
  for (const auto& kv : f.extraAttrs)
    if (kv.first == key) return &kv.second;
  return nullptr;
}

}  // namespace

std::string WriteXml(const std::vector<FieldDef>& fields, const std::vector<IndexDef>& indexes, const Params& params,
                     const std::vector<RowPtr>& rows) {
  std::vector<std::string> names;
  names.reserve(fields.size());
  for (const FieldDef& f : fields) names.push_back(XmlName(f.name, "field"));

  std::string out;
  out.reserve(256 + fields.size() * 64 + rows.size() * (16 + fields.size() * 24));
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  out += "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
  for (size_t i = 0; i < fields.size(); ++i) {
    const FieldDef& f = fields[i];
    out += "<FIELD";
    Attr(out, "attrname", f.name);
    const std::string* ft = Extra(f, "fieldtype");
    Attr(out, "fieldtype", ft ? *ft : std::string(CanonicalType(f.type)));
    if (f.type == FieldType::Fixed) Attr(out, "DECIMALS", std::to_string(f.decimals));
    if (f.type == FieldType::String || f.type == FieldType::Fixed)
      Attr(out, "WIDTH", std::to_string(f.type == FieldType::String && f.size == 0 ? 20 : f.size));
    const std::string* st = Extra(f, "SUBTYPE");
    if (st) Attr(out, "SUBTYPE", *st);
    else if (const char* cs = CanonicalSubtype(f.type)) Attr(out, "SUBTYPE", cs);
    for (const auto& kv : f.extraAttrs) {
      if (kv.first == "fieldtype" || kv.first == "SUBTYPE") continue;
      Attr(out, XmlName(kv.first, "field attribute"), kv.second);
    }
    out += "/>";
  }
  out += "</FIELDS><PARAMS";
  for (const auto& kv : params) {
    if (IsIndexParam(kv.first) || kv.first == "CHANGE_LOG") continue;
    Attr(out, XmlName(kv.first, "parameter"), kv.second);
  }
  int ixNo = 0;
  for (const IndexDef& ix : indexes) {
    if (ix.name.find('|') != std::string::npos || ix.fields.find('|') != std::string::npos ||
        ix.descFields.find('|') != std::string::npos)
      throw EDatabaseError("The index '" + ix.name + "' cannot be written to an XML data packet");
    Attr(out, "INDEXDEF" + std::to_string(++ixNo),
         ix.name + "|" + ix.fields + "|" + ix.descFields + "|" + (ix.caseInsensitive ? "1" : "0"));
  }
  out += "/></METADATA><ROWDATA>";
  for (const RowPtr& r : rows) {
    out += "<ROW";
    const Cell* c = r->cells();
    for (size_t i = 0; i < fields.size(); ++i) {
      if (c[i].null) continue;
      out += ' ';
      out += names[i];
      out += "=\"";
      AppendValue(out, c[i], fields[i].type);
      out += '"';
    }
    out += "/>";
  }
  out += "</ROWDATA></DATAPACKET>\n";
  return out;
}

}  // namespace rtl::dsimpl

namespace rtl {

std::string PacketToXml(const DataPacket& p) {
  dsimpl::Table t = dsimpl::TableFromPacket(p);
  return dsimpl::WriteXml(t.fields, t.indexes, t.params, t.rows);
}

std::shared_ptr<DataPacket> PacketFromXml(std::string_view xml) {
  dsimpl::Table t = dsimpl::ReadXml(xml);
  return dsimpl::PacketFromTable(t.fields, t.indexes, t.params, t.rows);
}

}  // namespace rtl
