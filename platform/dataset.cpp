// Client datasets: structure, lifecycle, cursor and editing.
//
// State rules follow the run-time library: moving the cursor, locating,
// changing the filter or the index while a record is being edited posts it
// (or cancels it when nothing was changed); Edit on an empty dataset starts
// an insert; Delete during an insert cancels it.
//
// Our choices where the run-time leaves room:
// - a closed dataset answers Eof, Bof and IsEmpty with true and its fields
//   read as null, so a "while not Eof" loop over it does nothing; everything
//   that moves, counts or edits raises the closed-dataset error;
// - deleting the last visible row, or posting an edit that takes it out of
//   the filter, leaves the cursor on the new last row with Eof set, so a walk
//   that deletes as it goes visits every row once;
// - a posted row stays current (in index order); a row posted outside the
//   filter is kept but not visible, and the cursor stays where it was.
#include <algorithm>

#include "platform/dataset_impl.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace rtl {

using namespace dsimpl;

namespace {

constexpr const char* kClosed = "Cannot perform this operation on a closed dataset";
constexpr const char* kOpen = "Cannot perform this operation on an open dataset";
constexpr const char* kNotEditing = "Dataset not in edit or insert mode";
constexpr const char* kEmpty = "Cannot perform this operation on an empty dataset";
constexpr const char* kNoData = "Missing data provider or data packet";

// Natural order numbers leave room for rows inserted between two others.
constexpr uint64_t kSeqStep = uint64_t{1} << 16;

const IndexDef* FindIndex(const std::vector<IndexDef>& list, std::string_view name) {
  for (const IndexDef& ix : list)
    if (SameName(ix.name, name)) return &ix;
  return nullptr;
}

bool FieldsExist(const std::vector<FieldDef>& defs, const std::string& list) {
  for (const std::string& n : SplitFieldList(list))
    if (FindField(defs, n) < 0) return false;
  return true;
}

}  // namespace

// ---- Impl helpers ----

void ClientDataSet::Impl::CheckActive() const {
  if (!Active()) throw EDatabaseError(kClosed);
}

void ClientDataSet::Impl::CheckBrowseMode() {
  if (state == DataSetState::Edit || state == DataSetState::Insert) {
    if (modified)
      self->Post();
    else
      self->Cancel();
  }
}

bool ClientDataSet::Impl::Visible(const Row* r) const {
  return !filter || EvalFilter(*filter, r->cells(), self->FilterCaseInsensitive);
}

void ClientDataSet::Impl::EnsureView() {
  if (filter && self->FilterCaseInsensitive != viewCaseInsensitive) viewValid = false;
  if (viewValid) return;
  std::vector<Row*> sorted;
  sorted.reserve(rows.size() - deadRows);
  for (const RowPtr& r : rows)
    if (!r->dead && Visible(r.get())) sorted.push_back(r.get());
  auto less = [this](const Row* a, const Row* b) { return RowLess(a, b, order); };
  if (!order.empty()) std::sort(sorted.begin(), sorted.end(), less);
  viewCaseInsensitive = self->FilterCaseInsensitive;
  viewValid = true;
  const int n = static_cast<int>(sorted.size());
  const int hint = pos;
  pos = -1;
  if (cur && !cur->dead && Visible(cur)) {
    auto it = std::lower_bound(sorted.begin(), sorted.end(), cur, less);
    if (it != sorted.end() && *it == cur) pos = static_cast<int>(it - sorted.begin());
  }
  if (pos < 0 && n > 0) pos = std::clamp(hint, 0, n - 1);
  cur = pos >= 0 ? sorted[pos] : nullptr;
  view.assign(sorted);
}

void ClientDataSet::Impl::SetCurrent(int p) {
  const int n = static_cast<int>(view.size());
  pos = n == 0 ? -1 : std::clamp(p, 0, n - 1);
  cur = pos >= 0 ? view.at(static_cast<size_t>(pos)) : nullptr;
}

void ClientDataSet::Impl::SyncFields() {
  std::vector<bool> used(fieldPool.size(), false);
  fields.clear();
  for (size_t i = 0; i < fieldDefs.size(); ++i) {
    const std::string& name = fieldDefs[i].name;
    size_t found = fieldPool.size();
    for (size_t k = 0; k < fieldPool.size(); ++k)
      if (!used[k] && SameName(fieldPool[k].name, name)) {
        found = k;
        if (fieldPool[k].name == name) break;
      }
    if (found == fieldPool.size()) {
      fieldPool.push_back(FieldSlot{std::unique_ptr<Field>(new Field(self, 0)), name});
      used.push_back(false);
    }
    used[found] = true;
    fieldPool[found].name = name;
    fieldPool[found].field->index_ = static_cast<int>(i);
    fields.push_back(fieldPool[found].field.get());
  }
  for (size_t k = 0; k < fieldPool.size(); ++k)
    if (!used[k]) fieldPool[k].field->index_ = -static_cast<int>(k) - 1;
}

std::vector<IndexDef> ClientDataSet::Impl::IndexesFor(const std::vector<FieldDef>& defs,
                                                      const std::vector<IndexDef>& packetIdx) const {
  std::vector<IndexDef> out;
  for (const IndexDef& ix : declaredIndexes)
    if (defs.empty() || FieldsExist(defs, ix.fields)) out.push_back(ix);
  for (const IndexDef& ix : packetIdx)
    if (!FindIndex(out, ix.name)) out.push_back(ix);
  return out;
}

// The ordering and filter that the dataset's settings give over a structure.
// Raises when the active index or a field they name does not exist there.
void ClientDataSet::Impl::Resolve(const std::vector<FieldDef>& defs, const std::vector<IndexDef>& idx, OrderSpec& ord,
                                  FilterPtr& flt) const {
  ord.clear();
  if (!indexName.empty()) {
    const IndexDef* ix = FindIndex(idx, indexName);
    if (!ix) throw EDatabaseError("Index '" + indexName + "' not found");
    ord = CompileOrder(defs, ix->fields, ix->descFields, ix->caseInsensitive);
  } else if (!indexFieldNames.empty()) {
    ord = CompileOrder(defs, indexFieldNames, "", false);
  }
  flt = filtered ? CompileFilter(filterText, defs) : nullptr;
}

void ClientDataSet::Impl::AfterOpenEvent() {
  if (self->AfterOpen) self->AfterOpen(*self);
}

void ClientDataSet::Impl::Install(Table&& t) {
  std::vector<IndexDef> idx = IndexesFor(t.fields, t.indexes);
  OrderSpec ord;
  FilterPtr flt;
  Resolve(t.fields, idx, ord, flt);  // may raise: nothing has changed yet

  buf.clear();
  editRow = insertBefore = nullptr;
  modified = false;
  fieldDefs = std::move(t.fields);
  packetIndexes = std::move(t.indexes);
  indexes = std::move(idx);
  params = std::move(t.params);
  rows = std::move(t.rows);
  deadRows = 0;
  nextSeq = 0;
  for (RowPtr& r : rows) r->seq = (nextSeq += kSeqStep);
  hasData = true;
  order = std::move(ord);
  filter = std::move(flt);
  changeCount = 0;
  SyncFields();
  state = DataSetState::Browse;
  viewValid = false;
  cur = nullptr;
  pos = -1;
  EnsureView();
  SetCurrent(0);
  bof = true;
  eof = view.empty();
  AfterOpenEvent();
}

Row* ClientDataSet::Impl::NewRow() { return Row::Create(static_cast<uint32_t>(fieldDefs.size()), 0); }

// Puts r into `rows` before `before` (at the end when null), numbering it in between.
void ClientDataSet::Impl::InsertNatural(RowPtr r, Row* before) {
  auto bySeq = [](const RowPtr& a, uint64_t s) { return a->seq < s; };
  if (!before) {
    r->seq = (nextSeq += kSeqStep);
    rows.push_back(std::move(r));
    return;
  }
  auto it = std::lower_bound(rows.begin(), rows.end(), before->seq, bySeq);
  uint64_t prev = it == rows.begin() ? 0 : (*(it - 1))->seq;
  if (before->seq - prev < 2) {
    // No room left between the two: renumber (relative order, and so every view, stays).
    size_t at = static_cast<size_t>(it - rows.begin());
    nextSeq = 0;
    for (RowPtr& x : rows) x->seq = (nextSeq += kSeqStep);
    it = rows.begin() + static_cast<std::ptrdiff_t>(at);
    prev = it == rows.begin() ? 0 : (*(it - 1))->seq;
  }
  r->seq = prev + (before->seq - prev) / 2;
  rows.insert(it, std::move(r));
}

void ClientDataSet::Impl::RemoveNatural(Row* r) {
  if (r->dead) return;
  r->dead = true;
  ++deadRows;
  if (deadRows * 2 > rows.size()) CompactRows();
}

void ClientDataSet::Impl::CompactRows() {
  if (deadRows == 0) return;
  std::erase_if(rows, [](const RowPtr& r) { return r->dead; });
  deadRows = 0;
}

void ClientDataSet::Impl::ClearRows() {
  rows.clear();
  deadRows = 0;
}

const Cell* ClientDataSet::Impl::ReadCells() const {
  if (state == DataSetState::Edit || state == DataSetState::Insert) return buf.data();
  if (state == DataSetState::Inactive) return nullptr;
  if (!cur && !viewValid) const_cast<Impl*>(this)->EnsureView();
  return cur ? cur->cells() : nullptr;
}

// ---- construction ----

ClientDataSet::ClientDataSet() : impl_(std::make_unique<Impl>(this)) {}
ClientDataSet::ClientDataSet(std::string name) : ClientDataSet() { Name = std::move(name); }
ClientDataSet::~ClientDataSet() = default;

// ---- structure ----

void ClientDataSet::AddFieldDef(const std::string& name, FieldType type, int size) {
  Impl& d = *impl_;
  if (d.Active()) throw EDatabaseError(kOpen);
  FieldDef f;
  f.name = name;
  f.type = type;
  f.size = type == FieldType::String && size == 0 ? 20 : size;
  std::vector<FieldDef> next = d.fieldDefs;
  next.push_back(f);
  ValidateFields(next);
  // Data kept from an earlier open has the old structure: it cannot be reopened.
  d.ClearRows();
  d.hasData = false;
  d.fieldDefs = std::move(next);
  d.indexes = d.IndexesFor(d.fieldDefs, {});
  d.packetIndexes.clear();
  d.SyncFields();
}

void ClientDataSet::ClearFieldDefs() {
  Impl& d = *impl_;
  if (d.Active()) throw EDatabaseError(kOpen);
  d.ClearRows();
  d.hasData = false;
  d.fieldDefs.clear();
  d.packetIndexes.clear();
  d.indexes = d.IndexesFor(d.fieldDefs, {});
  d.SyncFields();
}

const std::vector<FieldDef>& ClientDataSet::FieldDefs() const { return impl_->fieldDefs; }

void ClientDataSet::AddIndexDef(const std::string& name, const std::string& fields, const std::string& descFields,
                                bool caseInsensitive) {
  Impl& d = *impl_;
  if (Trim(name).empty()) throw EDatabaseError("An index needs a name");
  if (SplitFieldList(fields).empty()) throw EDatabaseError("Index '" + name + "' names no fields");
  if (FindIndex(d.declaredIndexes, name)) throw EDatabaseError("Index '" + name + "' is already defined");
  // While open the fields must exist; while closed the index may name fields
  // that only the data loaded later brings (it applies when they are there).
  if (d.Active()) CompileOrder(d.fieldDefs, fields, descFields, caseInsensitive);
  IndexDef ix{name, fields, descFields, caseInsensitive};
  d.declaredIndexes.push_back(ix);
  d.indexes = d.IndexesFor(d.fieldDefs, d.packetIndexes);
}

const std::vector<IndexDef>& ClientDataSet::IndexDefs() const { return impl_->indexes; }

void ClientDataSet::SetIndexName(const std::string& name) {
  Impl& d = *impl_;
  std::string stored = name;
  OrderSpec ord;
  if (!name.empty()) {
    const IndexDef* ix = FindIndex(d.indexes, name);
    if (!ix) throw EDatabaseError("Index '" + name + "' not found");
    stored = ix->name;
    if (d.Active()) ord = CompileOrder(d.fieldDefs, ix->fields, ix->descFields, ix->caseInsensitive);
  }
  if (d.Active()) d.CheckBrowseMode();
  d.indexName = stored;
  d.indexFieldNames.clear();
  if (d.Active()) {
    d.order = std::move(ord);
    d.InvalidateView();
  }
}

const std::string& ClientDataSet::IndexName() const { return impl_->indexName; }

void ClientDataSet::SetIndexFieldNames(const std::string& fields) {
  Impl& d = *impl_;
  OrderSpec ord;
  if (d.Active() && !fields.empty()) ord = CompileOrder(d.fieldDefs, fields, "", false);
  if (d.Active()) d.CheckBrowseMode();
  d.indexFieldNames = fields;
  d.indexName.clear();
  if (d.Active()) {
    d.order = std::move(ord);
    d.InvalidateView();
  }
}

// ---- lifecycle ----

void ClientDataSet::CreateDataSet() {
  Impl& d = *impl_;
  if (d.fieldDefs.empty()) throw EDatabaseError("Cannot create a dataset without field definitions");
  Table t;
  t.fields = d.fieldDefs;
  d.Install(std::move(t));
}

void ClientDataSet::Open() {
  Impl& d = *impl_;
  if (d.Active()) return;
  if (!d.hasData) throw EDatabaseError(kNoData);
  OrderSpec ord;
  FilterPtr flt;
  d.Resolve(d.fieldDefs, d.indexes, ord, flt);
  d.order = std::move(ord);
  d.filter = std::move(flt);
  d.state = DataSetState::Browse;
  d.viewValid = false;
  d.cur = nullptr;
  d.pos = -1;
  d.EnsureView();
  d.SetCurrent(0);
  d.bof = true;
  d.eof = d.view.empty();
  d.AfterOpenEvent();
}

void ClientDataSet::Close() {
  Impl& d = *impl_;
  if (!d.Active()) return;
  Cancel();
  d.state = DataSetState::Inactive;
  d.view.clear();
  d.viewValid = false;
  d.cur = nullptr;
  d.pos = -1;
  d.eof = d.bof = true;
}

bool ClientDataSet::Active() const { return impl_->Active(); }

void ClientDataSet::EmptyDataSet() {
  Impl& d = *impl_;
  d.CheckActive();
  Cancel();
  if (d.logChanges) d.changeCount += d.LiveRows();
  d.view.clear();
  d.cur = nullptr;
  d.ClearRows();
  d.viewValid = false;
  d.pos = -1;
  d.EnsureView();
  d.eof = d.bof = true;
}

DataSetState ClientDataSet::State() const { return impl_->state; }

// ---- cursor ----

void ClientDataSet::First() {
  Impl& d = *impl_;
  d.CheckActive();
  d.CheckBrowseMode();
  d.EnsureView();
  d.SetCurrent(0);
  d.bof = true;
  d.eof = d.view.empty();
}

void ClientDataSet::Last() {
  Impl& d = *impl_;
  d.CheckActive();
  d.CheckBrowseMode();
  d.EnsureView();
  d.SetCurrent(static_cast<int>(d.view.size()) - 1);
  d.eof = true;
  d.bof = d.view.empty();
}

void ClientDataSet::Next() {
  Impl& d = *impl_;
  d.CheckActive();
  d.CheckBrowseMode();
  d.EnsureView();
  if (d.pos + 1 < static_cast<int>(d.view.size())) {
    d.SetCurrent(d.pos + 1);
    d.bof = d.eof = false;
  } else {
    d.eof = true;
    if (d.view.empty()) d.bof = true;
  }
}

void ClientDataSet::Prior() {
  Impl& d = *impl_;
  d.CheckActive();
  d.CheckBrowseMode();
  d.EnsureView();
  if (d.pos > 0) {
    d.SetCurrent(d.pos - 1);
    d.bof = d.eof = false;
  } else {
    d.bof = true;
    if (d.view.empty()) d.eof = true;
  }
}

bool ClientDataSet::Eof() const {
  Impl& d = *impl_;
  if (!d.Active()) return true;
  d.EnsureView();
  return d.eof || d.view.empty();
}

bool ClientDataSet::Bof() const {
  Impl& d = *impl_;
  if (!d.Active()) return true;
  d.EnsureView();
  return d.bof || d.view.empty();
}

bool ClientDataSet::IsEmpty() const {
  Impl& d = *impl_;
  if (!d.Active()) return true;
  d.EnsureView();
  return d.view.empty() && d.state != DataSetState::Insert;
}

int ClientDataSet::RecordCount() const {
  Impl& d = *impl_;
  d.CheckActive();
  d.EnsureView();
  return static_cast<int>(d.view.size());
}

int ClientDataSet::RecNo() const {
  Impl& d = *impl_;
  d.CheckActive();
  d.EnsureView();
  return d.pos + 1;
}

// ---- editing ----

void ClientDataSet::Append() {
  Impl& d = *impl_;
  d.CheckActive();
  d.CheckBrowseMode();
  d.buf.assign(d.fieldDefs.size(), Cell());
  d.editRow = nullptr;
  d.insertBefore = nullptr;
  d.appending = true;
  d.modified = false;
  d.state = DataSetState::Insert;
}

void ClientDataSet::Insert() {
  Impl& d = *impl_;
  d.CheckActive();
  d.CheckBrowseMode();
  if (!d.cur) d.EnsureView();
  d.buf.assign(d.fieldDefs.size(), Cell());
  d.editRow = nullptr;
  d.insertBefore = d.cur;
  d.appending = false;
  d.modified = false;
  d.state = DataSetState::Insert;
}

void ClientDataSet::Edit() {
  Impl& d = *impl_;
  d.CheckActive();
  if (d.state == DataSetState::Edit || d.state == DataSetState::Insert) return;
  d.EnsureView();
  if (!d.cur) {
    Insert();
    return;
  }
  d.buf.assign(d.cur->cells(), d.cur->cells() + d.fieldDefs.size());
  d.editRow = d.cur;
  d.modified = false;
  d.state = DataSetState::Edit;
}

void ClientDataSet::Post() {
  Impl& d = *impl_;
  d.CheckActive();
  if (d.state != DataSetState::Edit && d.state != DataSetState::Insert) throw EDatabaseError(kNotEditing);
  auto less = [&d](const Row* a, const Row* b) { return RowLess(a, b, d.order); };

  if (d.state == DataSetState::Insert) {
    RowPtr owned(d.NewRow());
    Row* r = owned.get();
    std::move(d.buf.begin(), d.buf.end(), r->cells());
    Row* before = d.appending || !d.order.empty() ? nullptr : d.insertBefore;
    d.InsertNatural(std::move(owned), before);
    const bool visible = d.Visible(r);
    if (d.viewValid && visible) {
      const size_t at = d.view.empty() || less(d.view.back(), r) ? d.view.size() : d.view.lower_bound(r, less);
      d.view.insert(at, r);
      d.pos = static_cast<int>(at);
    }
    if (visible) {
      d.cur = r;
      d.eof = d.bof = false;
    }
  } else {
    Row* r = d.editRow;
    const bool keyChanged = !SameKey(d.buf.data(), r->cells(), d.order);
    std::move(d.buf.begin(), d.buf.end(), r->cells());
    const bool visible = d.Visible(r);
    if (d.viewValid) {
      if (d.pos < 0 || d.pos >= static_cast<int>(d.view.size()) || d.view.at(static_cast<size_t>(d.pos)) != r) {
        d.viewValid = false;
      } else if (!visible) {
        // The row left the filter: the next one becomes current (past the end: Eof).
        d.view.erase(static_cast<size_t>(d.pos));
        if (d.pos >= static_cast<int>(d.view.size())) {
          d.SetCurrent(static_cast<int>(d.view.size()) - 1);
          d.eof = true;
        } else {
          d.SetCurrent(d.pos);
        }
      } else if (keyChanged) {
        d.view.erase(static_cast<size_t>(d.pos));
        const size_t at = d.view.lower_bound(r, less);
        d.view.insert(at, r);
        d.pos = static_cast<int>(at);
        d.cur = r;
      }
    } else if (!visible) {
      d.cur = nullptr;  // repositioned by the view's rebuild, at the same place
    }
  }
  if (d.logChanges) ++d.changeCount;
  d.buf.clear();
  d.editRow = d.insertBefore = nullptr;
  d.modified = false;
  d.state = DataSetState::Browse;
}

void ClientDataSet::Cancel() {
  Impl& d = *impl_;
  if (d.state != DataSetState::Edit && d.state != DataSetState::Insert) return;
  d.buf.clear();
  d.editRow = d.insertBefore = nullptr;
  d.modified = false;
  d.state = DataSetState::Browse;
}

void ClientDataSet::Delete() {
  Impl& d = *impl_;
  d.CheckActive();
  if (d.state == DataSetState::Insert) {
    Cancel();
    return;
  }
  Cancel();  // an edit in progress is discarded with its row
  d.EnsureView();
  if (d.view.empty() || d.pos < 0) throw EDatabaseError(kEmpty);
  Row* r = d.view.at(static_cast<size_t>(d.pos));
  d.view.erase(static_cast<size_t>(d.pos));
  d.RemoveNatural(r);
  if (d.logChanges) ++d.changeCount;
  if (d.view.empty()) {
    d.SetCurrent(0);
    d.eof = d.bof = true;
  } else if (d.pos >= static_cast<int>(d.view.size())) {
    // The last row went: stay on the new last one, at the end.
    d.SetCurrent(static_cast<int>(d.view.size()) - 1);
    d.eof = true;
    d.bof = false;
  } else {
    d.SetCurrent(d.pos);
    d.eof = d.bof = false;
  }
}

// ---- fields ----

int ClientDataSet::FieldCount() const { return static_cast<int>(impl_->fields.size()); }

Field& ClientDataSet::Fields(int i) {
  Impl& d = *impl_;
  if (i < 0 || i >= static_cast<int>(d.fields.size()))
    throw EDatabaseError("Field index " + std::to_string(i) + " out of range");
  return *d.fields[i];
}

Field& ClientDataSet::FieldByName(std::string_view name) {
  Field* f = FindField(name);
  if (!f) FieldNotFound(name);
  return *f;
}

Field* ClientDataSet::FindField(std::string_view name) {
  int i = dsimpl::FindField(impl_->fieldDefs, name);
  return i < 0 ? nullptr : impl_->fields[i];
}

// ---- filter ----

void ClientDataSet::SetFilter(const std::string& text) {
  Impl& d = *impl_;
  if (d.filtered && d.Active()) {
    FilterPtr f = CompileFilter(text, d.fieldDefs);  // raises before anything changes
    d.CheckBrowseMode();
    d.filter = std::move(f);
    d.filterText = text;
    d.InvalidateView();
    First();
  } else {
    d.filterText = text;
  }
}

const std::string& ClientDataSet::Filter() const { return impl_->filterText; }

void ClientDataSet::SetFiltered(bool on) {
  Impl& d = *impl_;
  if (on == d.filtered) return;
  if (d.Active()) {
    FilterPtr f = on ? CompileFilter(d.filterText, d.fieldDefs) : nullptr;
    d.CheckBrowseMode();
    d.filter = std::move(f);
    d.filtered = on;
    d.InvalidateView();
    First();
  } else {
    d.filtered = on;
  }
}

bool ClientDataSet::Filtered() const { return impl_->filtered; }

// ---- change log ----

void ClientDataSet::SetLogChanges(bool on) { impl_->logChanges = on; }
bool ClientDataSet::LogChanges() const { return impl_->logChanges; }
int ClientDataSet::ChangeCount() const { return impl_->logChanges ? impl_->changeCount : 0; }
void ClientDataSet::MergeChangeLog() { impl_->changeCount = 0; }

}  // namespace rtl
