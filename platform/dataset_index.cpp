// Row ordering for index definitions and ad hoc field lists.
//
// Texts order by their code page 1252 byte values (upper-cased first for a
// case-insensitive index), numbers and date-times by value, nulls before
// everything else. Rows with equal keys keep their natural (insertion) order.
#include "platform/dataset_impl.h"
#include "platform/errors.h"

namespace rtl::dsimpl {

OrderSpec CompileOrder(const std::vector<FieldDef>& fields, std::string_view fieldList, std::string_view descFields,
                       bool caseInsensitive) {
  OrderSpec spec;
  std::vector<std::string> desc = SplitFieldList(descFields);
  for (const std::string& name : SplitFieldList(fieldList)) {
    int f = FindField(fields, name);
    if (f < 0) FieldNotFound(name);
    KeyPart k;
    k.field = f;
    k.store = StoreOf(fields[f].type);
    k.desc = false;
    for (const std::string& d : desc)
      if (SameName(d, name)) k.desc = true;
    k.caseInsensitive = caseInsensitive;
    spec.push_back(k);
  }
  return spec;
}

int CompareCells(const Cell& a, const Cell& b, Store s, bool caseInsensitive) {
  if (a.null || b.null) return a.null == b.null ? 0 : (a.null ? -1 : 1);
  switch (s) {
    case Store::Text:
      return CompareText(a.s, b.s, caseInsensitive);
    case Store::Int:
      return a.i == b.i ? 0 : (a.i < b.i ? -1 : 1);
    case Store::Real:
      return a.d == b.d ? 0 : (a.d < b.d ? -1 : 1);
  }
  return 0;
}

bool RowLess(const Row* a, const Row* b, const OrderSpec& spec) {
  const Cell* ca = a->cells();
  const Cell* cb = b->cells();
  for (const KeyPart& k : spec) {
    int c = CompareCells(ca[k.field], cb[k.field], k.store, k.caseInsensitive);
    if (c != 0) return k.desc ? c > 0 : c < 0;
  }
  return a->seq < b->seq;
}

bool SameKey(const Cell* a, const Cell* b, const OrderSpec& spec) {
  for (const KeyPart& k : spec)
    if (CompareCells(a[k.field], b[k.field], k.store, false) != 0) return false;
  return true;
}

}  // namespace rtl::dsimpl
