// The host's durable register: management-report counters and non-fiscal
// documents, one JSON object per line in "hostrecords.jsonl".
//
// Writing: the file is opened for appending, the whole line (with its line
// feed) is handed to one write call, flushed to the disk (fsync) and the file
// closed. If the file does not end with a line feed (a line torn by an
// earlier crash), the new line starts with one, so the torn piece stays a
// line of its own instead of spoiling the new record. A line that cannot be
// written is not retried: the call answers false with the reason, for the
// caller to name in its own log. Reading skips every
// line that is not a complete JSON object, so at most the line being written
// when the process died is lost.
//
// Record fields (texts in UTF-8, date-times "YYYY-MM-DDThh:mm:ss.zzz"):
//   {"type":"CER","cdFilial":..,"cdCaixa":..,"movementDate":..,"recordedAt":..}
//   {"type":"DocNaoFiscal","serial":..,"coo":..,"gnf":..,"grg":..,"cdc":..,
//    "docType":..,"saleNumber":..,"now":..,"movementDate":..,"extra":..,"recordedAt":..}
#include "hostlib/records.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/text.h"

namespace hostlib {

namespace {

std::string Utf8(const std::string& cp1252) { return rtl::Cp1252ToUtf8(cp1252); }

// A date-time that cannot be written as a date (not finite, out of the
// calendar) is recorded as null rather than failing the record.
nlohmann::json IsoOrNull(rtl::TDateTime dt) {
  if (!std::isfinite(dt)) return nullptr;
  try {
    return rtl::ToIso(dt);
  } catch (...) {
    return nullptr;
  }
}

// True when the file is empty or its last byte is a line feed.
bool EndsWithLineFeed(const rtl::ReadWriteFile& f) {
  const int64_t size = f.Size();
  char last = '\n';
  if (size <= 0 || !f.ReadAt(size - 1, &last, 1)) return true;
  return last == '\n';
}

bool AppendRecord(nlohmann::json record, std::string* error) {
  try {
    record["recordedAt"] = IsoOrNull(rtl::Now());
    std::string line = record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    line.push_back('\n');
    std::string path = RecordsPath();
    rtl::ReadWriteFile file(path, /*append=*/true);
    if (!EndsWithLineFeed(file)) line.insert(line.begin(), '\n');
    if (!file.Append(line)) {
      if (error) *error = "Cannot write file \"" + path + "\"";
      return false;
    }
    if (!file.Sync()) {
      if (error) *error = "Cannot flush file \"" + path + "\"";
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  } catch (...) {
    return false;
  }
}

}  // namespace

std::string RecordsPath() { return rtl::NativePath(rtl::ProgramDir() + "/hostrecords.jsonl"); }

bool GravaCER(const std::string& cdFilial, const std::string& cdCaixa, rtl::TDateTime movementDate,
              std::string* error) {
  try {
    nlohmann::json r;
    r["type"] = "CER";
    r["cdFilial"] = Utf8(cdFilial);
    r["cdCaixa"] = Utf8(cdCaixa);
    r["movementDate"] = IsoOrNull(movementDate);
    return AppendRecord(std::move(r), error);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  } catch (...) {
    return false;
  }
}

bool setDocNaoFiscaisECF(const std::string& serial, const std::string& coo, const std::string& gnf,
                         const std::string& grg, const std::string& cdc, const std::string& docType,
                         const std::string& saleNumber, rtl::TDateTime now, rtl::TDateTime movementDate,
                         const std::string& extra, std::string* error) {
  try {
    nlohmann::json r;
    r["type"] = "DocNaoFiscal";
    r["serial"] = Utf8(serial);
    r["coo"] = Utf8(coo);
    r["gnf"] = Utf8(gnf);
    r["grg"] = Utf8(grg);
    r["cdc"] = Utf8(cdc);
    r["docType"] = Utf8(docType);
    r["saleNumber"] = Utf8(saleNumber);
    r["now"] = IsoOrNull(now);
    r["movementDate"] = IsoOrNull(movementDate);
    r["extra"] = Utf8(extra);
    return AppendRecord(std::move(r), error);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  } catch (...) {
    return false;
  }
}

std::vector<std::string> ReadRecords() {
  std::vector<std::string> out;
  std::ifstream in(RecordsPath(), std::ios::binary);
  if (!in) return out;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    nlohmann::json j = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (j.is_discarded() || !j.is_object()) continue;  // torn or damaged line
    out.push_back(line);
  }
  return out;
}

}  // namespace hostlib
