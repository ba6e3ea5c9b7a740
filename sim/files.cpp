// Files the printer library writes: the vendor folders named by "ELGIN.INI",
// serial readings ("IMPRESSAO.txt"), the detail-memory download and its
// mirror, the memory image, the daily generic sales files ("ZP..."), and the
// summary records of the reductions ("SINTEGRA.TXT").
//
// Files meant for the host are code page 1252 with CR LF line ends, as the
// printer maker's library writes them; the paper tape is UTF-8. Each file
// appears whole under its name or not at all (sim/core/files.h).
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/env.h"
#include "platform/files.h"
#include "sim/core/atocotepe.h"
#include "sim/core/files.h"
#include "sim/core/text.h"
#include "sim/printer.h"

namespace ecfsim {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

int64_t Num(const std::string& s) {
  std::string t = Trim(s);
  return IsDigits(t) && t.size() < 18 ? std::stoll(t) : 0;
}

std::string CrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (auto& l : lines) out += l + "\r\n";
  return out;
}

// "ELGIN.INI" in the host program's folder, else in the system folder; the
// file name is matched without regard to case.
std::optional<std::string> FindIni() {
  std::vector<std::string> dirs = {rtl::ProgramDir(), rtl::CurrentEnv()->SystemDirectory()};
  for (auto& d : dirs) {
    if (d.empty()) continue;
    std::error_code ec;
    fs::path exact = fs::path(d) / "ELGIN.INI";
    if (fs::is_regular_file(exact, ec)) return exact.string();
    for (fs::directory_iterator it(d, ec), end; !ec && it != end; it.increment(ec))
      if (Upper(it->path().filename().string()) == "ELGIN.INI" && it->is_regular_file(ec)) return it->path().string();
  }
  return std::nullopt;
}

}  // namespace

// The value of `key` in "ELGIN.INI" (first line "key=value" whose name
// matches without regard to case; sections are ignored), as a native folder.
// Without the file or the key: the state folder.
std::string Printer::VendorFolder(const char* key) {
  std::string folder;
  if (auto ini = FindIni()) {
    if (auto text = ReadFile(*ini)) {
      std::istringstream in(*text);
      std::string line;
      while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (Upper(Trim(line.substr(0, eq))) != Upper(key)) continue;
        folder = Trim(line.substr(eq + 1));
        break;
      }
    }
  }
  if (folder.empty()) return StateDir();
  folder = rtl::NativePath(folder);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::error_code ec;
  fs::create_directories(folder, ec);
  return folder;
}

bool Printer::WriteSerialOutput(std::vector<std::string> lines) {
  for (auto& l : lines)
    while (!l.empty() && l.back() == ' ') l.pop_back();
  std::string path = (fs::path(VendorFolder("Path")) / "IMPRESSAO.txt").string();
  if (!WriteWholeFile(path, CrLf(lines))) return false;
  st_.serialOutput = path;
  return true;
}

int Printer::Elgin_LeArquivoRetorno(const Call& c) {
  if (st_.serialOutput.empty()) return Refuse(kExecError);
  auto text = ReadFile(st_.serialOutput);
  if (!text) return Refuse(kExecError);
  c.Put(0, *text);
  return Ok();
}

// ---------------------------------------------------------------- detail memory

json Printer::DocumentsJson() {
  json out = json::array();
  auto add = [&](const DocumentRow& r) {
    out.push_back({{"coo", r.coo},
                   {"kind", r.kind},
                   {"movement_date", r.movementDate},
                   {"issued_at", r.issuedAt},
                   {"data", json::parse(r.data)},
                   {"text", r.text}});
  };
  for (auto& r : store_.Documents()) add(r);
  for (auto& r : newDocs_) add(r);
  return out;
}

json Printer::MemoryImage() {
  const Programming& p = st_.prog;
  json reductions = json::array();
  for (auto& z : AllReductions()) reductions.push_back(ToJson(z));
  return {{"format", "ecfsim-memory-image"},
          {"version", 1},
          {"identity",
           {{"serial", Cp1252ToUtf8(p.serial)},
            {"brand", Cp1252ToUtf8(p.brand)},
            {"model", Cp1252ToUtf8(p.model)},
            {"type", Cp1252ToUtf8(p.type)},
            {"firmware", Cp1252ToUtf8(p.firmware)},
            {"firmware_date", p.firmwareDate},
            {"till", Cp1252ToUtf8(p.till)},
            {"mf_adicional", Cp1252ToUtf8(p.mfAdicional)},
            {"user_number", Cp1252ToUtf8(p.userNumber)}}},
          {"owner",
           [&] {
             json owner = OwnerJson(p.owner);
             owner["since"] = p.ownerSince;
             return owner;
           }()},
          {"counters", ToJson(st_.counters)},
          {"gt", st_.gt},
          {"reductions", reductions},
          {"documents", DocumentsJson()}};
}

namespace {

// A range of documents: "0" all, "1" dates, "2" COO numbers.
struct Range {
  char type = '0';
  int64_t from = 0, to = 0;
  bool Contains(const json& doc) const {
    if (type == '0') return true;
    int64_t key = type == '1' ? DateKeyDay(doc.value("movement_date", std::string())).value_or(-1)
                              : doc.value("coo", int64_t{0});
    return key >= from && key <= to;
  }
};

// 0 when the texts make a valid range, else the error code.
int ParseRange(const std::string& type, const std::string& a, const std::string& b, const std::string& user,
               Range& r) {
  std::string t = Trim(type);
  if (t == "0") {
    r.type = '0';
    return 0;
  }
  if (t == "1") {
    auto x = ParseDate(a), y = ParseDate(b);
    if (!x || !y || *x > *y) return kBadParam;
    r = {'1', *x, *y};
    return 0;
  }
  if (t == "2") {
    auto x = ParseInt(a, 9), y = ParseInt(b, 9);
    if (!x || !y || *x > *y || Trim(user) != "1") return kBadParam;
    r = {'2', *x, *y};
    return 0;
  }
  return kBadParam;
}

}  // namespace

// The download: a header line, the owner, then each document as
// "DOC|coo|kind|movement date|issued at|lines" followed by its printed lines.
int Printer::Elgin_DownloadMFD(const Call& c) {
  std::string file = Trim(c.In(0));
  Range range;
  if (file.empty() || ParseRange(c.In(1), c.In(2), c.In(3), c.In(4), range)) return Refuse(kBadParam, kSt1Syntax);
  if (doc_) return Refuse(kExecError);
  const Programming& p = st_.prog;
  std::vector<std::string> l;
  l.push_back("ECFSIM-MFD|1|" + Trim(p.serial) + "|" + Trim(c.In(1)) + "|" + Trim(c.In(2)) + "|" + Trim(c.In(3)));
  l.push_back("OWNER|" + Trim(p.owner.name) + "|" + Trim(p.owner.cnpj) + "|" + Trim(p.owner.ie) + "|" +
              Trim(p.owner.im) + "|" + Trim(p.brand) + " " + Trim(p.model));
  for (auto& d : DocumentsJson()) {
    if (!range.Contains(d)) continue;
    std::vector<std::string> text;
    std::istringstream in(Utf8ToCp1252(d.value("text", std::string())));
    std::string line;
    while (std::getline(in, line)) text.push_back(line);
    l.push_back("DOC|" + std::to_string(d.value("coo", int64_t{0})) + "|" + d.value("kind", std::string()) + "|" +
                d.value("movement_date", std::string()) + "|" + d.value("issued_at", std::string()) + "|" +
                std::to_string(text.size()));
    for (auto& t : text) l.push_back(t);
  }
  if (!WriteWholeFile(rtl::NativePath(file), CrLf(l))) return Refuse(kExecError);
  return Ok();
}

// Converts a download into the detail-memory mirror (format "0": text).
// A file conversion: it does not talk to the printer.
int Printer::Elgin_FormatoDadosMFD(const Call& c) {
  std::string in = Trim(c.In(0)), out = Trim(c.In(1));
  Range range;
  if (in.empty() || out.empty() || Trim(c.In(2)) != "0" || ParseRange(c.In(3), c.In(4), c.In(5), c.In(6), range))
    return Refuse(kBadParam, kSt1Syntax);
  auto text = ReadFile(rtl::NativePath(in));
  if (!text || text->rfind("ECFSIM-MFD|", 0) != 0) return Refuse(kExecError);
  std::istringstream src(*text);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(src, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  auto field = [](const std::string& l, size_t i) {
    size_t start = 0;
    for (size_t k = 0; k < i; ++k) {
      start = l.find('|', start);
      if (start == std::string::npos) return std::string();
      ++start;
    }
    size_t end = l.find('|', start);
    return l.substr(start, end == std::string::npos ? std::string::npos : end - start);
  };
  std::vector<std::string> o;
  o.push_back(Center("ESPELHO DA MEMORIA DE FITA-DETALHE", 48));
  if (lines.size() > 1) {
    o.push_back(Center(field(lines[1], 1), 48));
    o.push_back("CNPJ:" + field(lines[1], 2) + "  IE:" + field(lines[1], 3));
    o.push_back("ECF: " + field(lines[1], 5) + "  FAB:" + field(lines[0], 2));
  }
  if (range.type == '1') o.push_back("PERIODO: " + PrintedDate(range.from) + " a " + PrintedDate(range.to));
  if (range.type == '2') o.push_back("COO: " + Zeros(range.from, 6) + " a " + Zeros(range.to, 6));
  o.push_back(std::string(48, '='));
  int docs = 0;
  for (size_t i = 2; i < lines.size(); ++i) {
    if (lines[i].rfind("DOC|", 0) != 0) continue;
    json d = {{"coo", Num(field(lines[i], 1))}, {"movement_date", field(lines[i], 3)}};
    std::string countText = field(lines[i], 5);
    size_t n = IsDigits(countText) ? std::stoul(countText) : 0;
    bool take = range.Contains(d);
    for (size_t k = 1; k <= n && i + k < lines.size(); ++k)
      if (take) o.push_back(lines[i + k]);
    if (take) ++docs;
    i += n;
  }
  if (docs == 0) o.push_back(Center("NAO HA DOCUMENTOS NO PERIODO", 48));
  o.push_back(std::string(48, '='));
  o.push_back(Spread("DOCUMENTOS:", Zeros(docs, 6), 48));
  if (!WriteWholeFile(rtl::NativePath(out), CrLf(o))) return Refuse(kExecError);
  return Ok();
}

int Printer::Elgin_LeMemoriasBinario(const Call& c) {
  std::string file = Trim(c.In(0)), serial = Trim(c.In(1));
  if (file.empty()) return Refuse(kBadParam, kSt1Syntax);
  if (!serial.empty() && serial != Trim(st_.prog.serial)) return Refuse(kBadParam, kSt1Syntax);
  json image = MemoryImage();
  if (!c.Flag(2)) image["documents"] = json::array();
  if (!WriteWholeFile(rtl::NativePath(file), image.dump(1))) return Refuse(kExecError);
  return Ok();
}

// ---------------------------------------------------------------- generic sales files

// One file per day with documents, named "ZP" + serial + "_" + YYYYMMDD +
// ".TXT", in the folder of "PathRFD".
int Printer::ConvertDay(int64_t from, int64_t to) {
  json image = MemoryImage();
  std::string folder = VendorFolder("PathRFD");
  int written = 0;
  for (int64_t day = from; day <= to; ++day) {
    AtoSelection sel;
    sel.byDate = true;
    sel.from = sel.to = day;
    int records = 0;
    std::string text = AtoCotepeFile(image, sel, &records);
    if (records == 0) continue;
    std::string name = "ZP" + Trim(st_.prog.serial) + "_" + DateKey(day) + ".TXT";
    if (!WriteWholeFile((fs::path(folder) / name).string(), text)) return Refuse(kExecError);
    ++written;
  }
  if (written == 0) {
    Ok();
    return kNoData;
  }
  return Ok();
}

int Printer::RFD_ConvertedaMFDData(const Call& c) {
  auto a = ParseDate(c.In(0)), b = ParseDate(c.In(1));
  if (!a || !b || *a > *b || *b - *a > 366) return Refuse(kBadParam, kSt1Syntax);
  return ConvertDay(*a, *b);
}

int Printer::RFD_ConvertedaMFD(const Call& c) {
  auto a = ParseDate(c.In(0));
  if (!a) return Refuse(kBadParam, kSt1Syntax);
  return ConvertDay(*a, *a);
}

// Records 60M (one per reduction) and 60A (one per taxed totalizer) of the
// reductions whose movement date is in the range, in "SINTEGRA.TXT".
int Printer::Elgin_DadosSintegra(const Call& c) {
  auto a = ParseDate(c.In(0)), b = ParseDate(c.In(1));
  if (!a || !b || *a > *b) return Refuse(kBadParam, kSt1Syntax);
  std::vector<std::string> l;
  for (auto& z : AllReductions()) {
    auto day = DateKeyDay(z.movementDate);
    if (!day || *day < *a || *day > *b) continue;
    l.push_back("60M" + z.movementDate + Fit(st_.prog.serial, 20) + Zeros(Num(st_.prog.till), 3) +
                "2D" + Zeros(z.day.firstCoo, 6) + Zeros(z.counters.coo, 6) + Zeros(z.counters.crz, 6) +
                Zeros(z.counters.cro, 3) + Zeros(z.day.gross, 16) + Zeros(z.gt, 16) + std::string(37, ' '));
    for (int i = 0; i < kRateSlots; ++i)
      if (z.rates[i] && !z.iss[i])
        l.push_back("60A" + z.movementDate + Fit(st_.prog.serial, 20) + Zeros(z.rates[i], 4) +
                    Zeros(z.day.taxed[i], 12) + std::string(79, ' '));
    l.push_back("60A" + z.movementDate + Fit(st_.prog.serial, 20) + "F   " + Zeros(z.day.substitution, 12) +
                std::string(79, ' '));
    l.push_back("60A" + z.movementDate + Fit(st_.prog.serial, 20) + "I   " + Zeros(z.day.exempt, 12) +
                std::string(79, ' '));
    l.push_back("60A" + z.movementDate + Fit(st_.prog.serial, 20) + "N   " + Zeros(z.day.nonIncidence, 12) +
                std::string(79, ' '));
    l.push_back("60A" + z.movementDate + Fit(st_.prog.serial, 20) + "CANC" +
                Zeros(z.day.cancIcms + z.day.cancIss, 12) + std::string(79, ' '));
    l.push_back("60A" + z.movementDate + Fit(st_.prog.serial, 20) + "DESC" +
                Zeros(z.day.discIcms + z.day.discIss, 12) + std::string(79, ' '));
  }
  if (l.empty()) {
    Ok();
    return kNoData;
  }
  std::string path = (fs::path(VendorFolder("Path")) / "SINTEGRA.TXT").string();
  if (!WriteWholeFile(path, CrLf(l))) return Refuse(kExecError);
  st_.serialOutput = path;
  return Ok();
}

}  // namespace ecfsim
