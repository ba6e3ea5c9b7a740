// Dataset filter texts, as operations set them on shared datasets: any
// text is either refused with the run-time's error or filters the rows;
// switching the filter off shows every row again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/dataset.h"
#include "platform/errors.h"

namespace {

rtl::ClientDataSet& Table() {
  static rtl::ClientDataSet* ds = [] {
    auto* d = new rtl::ClientDataSet;
    d->AddFieldDef("CDTIPORECE", rtl::FieldType::String, 3);
    d->AddFieldDef("NMTIPORECE", rtl::FieldType::String, 20);
    d->AddFieldDef("VRMOVIVEND", rtl::FieldType::Float);
    d->AddFieldDef("NRORG", rtl::FieldType::Integer);
    d->AddFieldDef("DTMOVI", rtl::FieldType::DateTime);
    d->AddFieldDef("IDATIVO", rtl::FieldType::Boolean);
    d->CreateDataSet();
    const struct {
      const char* code;
      const char* name;
      double value;
      int org;
      double date;
      bool on;
    } rows[] = {{"001", "DINHEIRO", 10.5, 1, 46000.5, true},
                {"002", "CART\xC3O D'ITO", -3, 2, 0, false},
                {"", "", 0, 0, -1.25, true}};
    for (const auto& r : rows) {
      d->Append();
      d->FieldByName("CDTIPORECE").SetAsString(r.code);
      d->FieldByName("NMTIPORECE").SetAsString(r.name);
      d->FieldByName("VRMOVIVEND").SetAsFloat(r.value);
      d->FieldByName("NRORG").SetAsInteger(r.org);
      d->FieldByName("DTMOVI").SetAsDateTime(r.date);
      d->FieldByName("IDATIVO").SetAsBoolean(r.on);
      d->Post();
    }
    d->Append();  // a row of nulls
    d->Post();
    return d;
  }();
  return *ds;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  rtl::ClientDataSet& ds = Table();
  const int all = ds.RecordCount();
  ds.FilterCaseInsensitive = data[0] & 1;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    ds.SetFilter(text);
    ds.SetFiltered(true);
    int seen = 0;
    for (ds.First(); !ds.Eof(); ds.Next())
      if (++seen > all) __builtin_trap();  // a filter never shows more rows than there are
  } catch (const rtl::Exception&) {
  }
  ds.SetFiltered(false);
  ds.SetFilter("");
  if (ds.RecordCount() != all) __builtin_trap();
  return 0;
}
