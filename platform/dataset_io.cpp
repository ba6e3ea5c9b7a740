// Client datasets as whole values: Locate, data packets, files and copies.
#include <cmath>
#include <cstring>

#include "platform/dataset_impl.h"
#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace rtl {

using namespace dsimpl;

namespace {

constexpr const char* kNoData = "Missing data provider or data packet";

// One field of a Locate with the value it looks for, converted once.
struct Key {
  int field = 0;
  FieldType type = FieldType::String;
  Store store = Store::Text;
  bool matchNull = false;  // the value is null (or an empty text): matches a null field
  bool any = false;        // an empty partial key: matches every row
  std::string text;
  int64_t i = 0;
  double d = 0;
};

Key MakeKey(const FieldDef& f, int index, const Variant& v, const LocateOptions& opts) {
  Key k;
  k.field = index;
  k.type = f.type;
  k.store = StoreOf(f.type);
  if (v.IsNull() || v.IsEmpty()) {
    k.matchNull = true;
    return k;
  }
  switch (k.store) {
    case Store::Text:
      k.text = v.AsString();
      if (k.text.empty()) {
        k.any = opts.partialKey;
        k.matchNull = !opts.partialKey;
      }
      break;
    case Store::Int:
      k.i = f.type == FieldType::Boolean ? (v.AsBoolean() ? 1 : 0) : v.AsInt64();
      break;
    case Store::Real:
      if ((f.type == FieldType::Date || f.type == FieldType::Time || f.type == FieldType::DateTime) &&
          v.type() == VarType::String) {
        TDateTime dt;
        k.d = TryParseIso(v.AsString(), dt) ? dt : v.AsDateTime();
      } else {
        k.d = v.AsDouble();
      }
      break;
  }
  return k;
}

bool Matches(const Key& k, const Cell& c, const LocateOptions& opts) {
  if (k.any) return true;
  if (k.matchNull || c.null) return k.matchNull && c.null;
  switch (k.store) {
    case Store::Text:
      return opts.partialKey ? StartsWith(c.s, k.text, opts.caseInsensitive)
                             : CompareText(c.s, k.text, opts.caseInsensitive) == 0;
    case Store::Int:
      return c.i == k.i;
    case Store::Real:
      return c.d == k.d;
  }
  return false;
}

}  // namespace

bool ClientDataSet::Locate(const std::string& fields, const Variant& values, LocateOptions opts) {
  Impl& d = *impl_;
  d.CheckActive();
  d.CheckBrowseMode();
  std::vector<std::string> names = SplitFieldList(fields);
  if (names.empty()) throw EDatabaseError("Locate needs at least one field");
  std::vector<Key> keys;
  for (size_t i = 0; i < names.size(); ++i) {
    int f = dsimpl::FindField(d.fieldDefs, names[i]);
    if (f < 0) FieldNotFound(names[i]);
    const Variant* v = &values;
    if (names.size() > 1 || (values.IsArray() && values.ArrayLength() == 1)) {
      if (!values.IsArray() || values.ArrayLength() != names.size())
        throw EDatabaseError("Locate on '" + fields + "' needs " + std::to_string(names.size()) + " values");
      v = &values[i];
    }
    keys.push_back(MakeKey(d.fieldDefs[f], f, *v, opts));
  }
  d.EnsureView();
  for (size_t r = 0; r < d.view.size(); ++r) {
    const Cell* cells = d.view.at(r)->cells();
    bool all = true;
    for (const Key& k : keys)
      if (!Matches(k, cells[k.field], opts)) {
        all = false;
        break;
      }
    if (all) {
      d.SetCurrent(static_cast<int>(r));
      d.eof = d.bof = false;
      return true;
    }
  }
  return false;
}

// ---- packets ----

// Every row in natural order, whatever the filter and index. A closed
// dataset that still holds its data (Close keeps it) gives it as well.
std::shared_ptr<DataPacket> ClientDataSet::ToPacket() const {
  Impl& d = *impl_;
  if (d.Active()) d.CheckBrowseMode();
  if (!d.hasData) throw EDatabaseError(d.Active() ? kNoData : "Cannot perform this operation on a closed dataset");
  d.CompactRows();
  return PacketFromTable(d.fieldDefs, d.indexes, d.params, d.rows);
}

Variant ClientDataSet::Data() const { return Variant(std::shared_ptr<const DataPacket>(ToPacket())); }

void ClientDataSet::SetData(const Variant& packet) {
  Impl& d = *impl_;
  if (packet.IsNull() || packet.IsEmpty()) {
    // Assigning no data closes the dataset and drops its rows; the structure stays.
    Close();
    d.ClearRows();
    d.hasData = false;
    return;
  }
  if (!packet.IsPacket())
    throw EDatabaseError(std::string("Invalid data packet: a ") + VarTypeName(packet.type()) + " value");
  std::shared_ptr<const DataPacket> p = packet.AsPacket();
  if (!p) throw EDatabaseError("Invalid data packet: no packet");
  LoadPacket(*p);
}

void ClientDataSet::LoadPacket(const DataPacket& packet) { impl_->Install(TableFromPacket(packet)); }

// ---- files ----

void ClientDataSet::LoadFromFile(const std::string& path) {
  const FileBuffer bytes = ReadFileBuffer(NativePath(path));
  Table t;
  try {
    t = ReadXml(bytes.view());
  } catch (const EDatabaseError& e) {
    throw EDatabaseError("Cannot load '" + path + "': " + e.what());
  }
  impl_->Install(std::move(t));
}

void ClientDataSet::SaveToFile(const std::string& path) const {
  Impl& d = *impl_;
  if (d.Active()) d.CheckBrowseMode();
  if (!d.hasData) throw EDatabaseError(d.Active() ? kNoData : "Cannot perform this operation on a closed dataset");
  d.CompactRows();
  WriteFileAtomic(NativePath(path), WriteXml(d.fieldDefs, d.indexes, d.params, d.rows));
}

void ClientDataSet::CopyFrom(const ClientDataSet& other) {
  if (&other == this) return;
  Impl& src = *other.impl_;
  if (src.Active()) src.CheckBrowseMode();
  if (!src.hasData) throw EDatabaseError(kNoData);
  src.CompactRows();
  Table t;
  t.fields = src.fieldDefs;
  t.indexes = src.indexes;
  t.params = src.params;
  t.rows.reserve(src.rows.size());
  for (const RowPtr& r : src.rows) t.rows.emplace_back(Row::Clone(*r));
  impl_->Install(std::move(t));
}

}  // namespace rtl
