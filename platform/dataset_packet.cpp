// Data packets (the whole table as one value) <-> the internal table form.
#include "platform/dataset_impl.h"
#include "platform/errors.h"

namespace rtl::dsimpl {

namespace {

// CHANGE_LOG describes pending changes by row number; a packet read here has
// its changes applied already, so the attribute would describe nothing.
bool KeptParam(const std::string& name) { return name != "CHANGE_LOG"; }

}  // namespace

Table TableFromPacket(const DataPacket& p) {
  Table t;
  t.fields = p.fields;
  for (FieldDef& f : t.fields)
    if (f.type == FieldType::String && f.size == 0) f.size = 20;
  ValidateFields(t.fields);
  for (const IndexDef& ix : p.indexes) {
    for (const std::string& name : SplitFieldList(ix.fields))
      if (FindField(t.fields, name) < 0)
        throw EDatabaseError("Index '" + ix.name + "' of the data packet names an unknown field '" + name + "'");
    t.indexes.push_back(ix);
  }
  for (const auto& kv : p.params)
    if (KeptParam(kv.first)) t.params.push_back(kv);

  const size_t n = t.fields.size();
  t.rows.reserve(p.rows.size());
  RowArena arena;
  for (size_t r = 0; r < p.rows.size(); ++r) {
    const std::vector<Variant>& src = p.rows[r];
    if (src.size() != n)
      throw EDatabaseError("Row " + std::to_string(r + 1) + " of the data packet has " + std::to_string(src.size()) +
                           " values for " + std::to_string(n) + " fields");
    RowPtr row(arena.Create(static_cast<uint32_t>(n)));
    for (size_t f = 0; f < n; ++f) {
      try {
        VariantToCell(src[f], t.fields[f], row->cells()[f], false);
      } catch (const Exception& e) {
        throw EDatabaseError("Invalid value in row " + std::to_string(r + 1) + " for field '" + t.fields[f].name +
                             "': " + e.what());
      }
    }
    t.rows.push_back(std::move(row));
  }
  return t;
}

std::shared_ptr<DataPacket> PacketFromTable(const std::vector<FieldDef>& fields, const std::vector<IndexDef>& indexes,
                                            const Params& params, const std::vector<RowPtr>& rows) {
  auto p = std::make_shared<DataPacket>();
  p->fields = fields;
  p->indexes = indexes;
  p->params = params;
  p->rows.reserve(rows.size());
  for (const RowPtr& r : rows) {
    std::vector<Variant> out;
    out.reserve(fields.size());
    const Cell* c = r->cells();
    for (size_t f = 0; f < fields.size(); ++f) out.push_back(CellToVariant(c[f], fields[f].type));
    p->rows.push_back(std::move(out));
  }
  return p;
}

}  // namespace rtl::dsimpl
