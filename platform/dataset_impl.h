// Internals of the client datasets, shared by the dataset_*.cpp files.
//
// Storage: a row is one allocation holding a small header and one Cell per
// field (dataset_cell.h). A cell keeps short texts inside itself (most cells
// need no heap of their own) and numbers in a union; which member is in use
// follows the field's type (see Store). Rows live in `rows` in their
// natural order (insertion order); the cursor walks `view`, the visible rows
// (filter applied) in the active order, rebuilt lazily when it goes stale.
// The view is a counted tree (dataset_seq.h), so a delete, an append or a
// changed key costs O(log n) there. A deleted row is only marked dead in
// `rows`; the dead ones are dropped once they are half of `rows`, and
// before `rows` is handed out whole (packets, files, copies).
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/dataset.h"
#include "platform/dataset_cell.h"
#include "platform/dataset_seq.h"

namespace rtl::dsimpl {

// Which member of a Cell a field type uses.
enum class Store : uint8_t { Text, Int, Real };
Store StoreOf(FieldType t);


class RowBlock;

class Row {
 public:
  static Row* Create(uint32_t count, uint64_t seq);
  static Row* Clone(const Row& r);
  static void Destroy(Row* r);
  Cell* cells() { return reinterpret_cast<Cell*>(this + 1); }
  const Cell* cells() const { return reinterpret_cast<const Cell*>(this + 1); }
  uint32_t count() const { return count_; }
  uint64_t seq = 0;  // natural order: rows sort by it when keys are equal
  bool dead = false;  // deleted, still in `rows` until they are compacted

 private:
  friend class RowArena;
  explicit Row(uint32_t n) : count_(n) {}
  uint32_t count_;
  RowBlock* block_ = nullptr;  // the shared block it lives in; null: a block of its own
};

// Rows made in bulk (a table being loaded): many rows share one block, so
// a row costs no allocation of its own. A block is freed with the last of
// its rows (or with the arena, when no row is left in it).
class RowArena {
 public:
  RowArena() = default;
  RowArena(const RowArena&) = delete;
  RowArena& operator=(const RowArena&) = delete;
  ~RowArena();
  Row* Create(uint32_t count);

 private:
  RowBlock* block_ = nullptr;
  char* next_ = nullptr;
  char* end_ = nullptr;
};
static_assert(sizeof(Row) % alignof(Cell) == 0, "cells follow the header");

struct RowDeleter {
  void operator()(Row* r) const { Row::Destroy(r); }
};
using RowPtr = std::unique_ptr<Row, RowDeleter>;
using Params = std::vector<std::pair<std::string, std::string>>;

// A whole table in the internal form: what XML files are read into and written from.
struct Table {
  std::vector<FieldDef> fields;
  std::vector<IndexDef> indexes;
  Params params;
  std::vector<RowPtr> rows;
};

// ---- text helpers (code page 1252) ----
unsigned char Fold(unsigned char c);  // 1252 upper case
int CompareText(std::string_view a, std::string_view b, bool caseInsensitive);
bool StartsWith(std::string_view s, std::string_view prefix, bool caseInsensitive);
bool SameName(std::string_view a, std::string_view b);  // field names: case-insensitive
std::vector<std::string> SplitFieldList(std::string_view list);  // "A;B" -> {"A","B"}, blanks trimmed
int FindField(const std::vector<FieldDef>& fields, std::string_view name);  // -1 when absent
[[noreturn]] void FieldNotFound(std::string_view name);
// Parses a number written with '.' or ',' as decimal point; blanks around allowed.
bool ParseNumber(std::string_view s, double& out);

// ---- cells and variants ----
Variant CellToVariant(const Cell& c, FieldType t);
// Stores v into c as field f's type; Null and Unassigned clear the cell.
// Raises the Variant's conversion error when v does not convert, and
// EDatabaseError for a value the field cannot hold. Texts longer than a
// string field's size are cut when `cut` (a value being set), kept whole
// otherwise (data being loaded: nothing is lost).
void VariantToCell(const Variant& v, const FieldDef& f, Cell& c, bool cut = true);
// Stores a number in a Store::Real cell: finite values only, date-times
// within the years 1 to 9999, dates without their time, times without their date.
void StoreReal(Cell& c, const FieldDef& f, double v);

// ---- ordering ----
struct KeyPart {
  int field;
  Store store;
  bool desc;
  bool caseInsensitive;
};
using OrderSpec = std::vector<KeyPart>;
// Resolves "A;B" with the fields named in descFields descending. Raises
// EDatabaseError for an unknown field.
OrderSpec CompileOrder(const std::vector<FieldDef>& fields, std::string_view fieldList,
                       std::string_view descFields, bool caseInsensitive);
int CompareCells(const Cell& a, const Cell& b, Store s, bool caseInsensitive);
// Key order, then natural order: a strict weak order over distinct rows.
bool RowLess(const Row* a, const Row* b, const OrderSpec& spec);
bool SameKey(const Cell* a, const Cell* b, const OrderSpec& spec);

// ---- filters ----
struct FilterNode;
struct FilterDeleter {
  void operator()(FilterNode* n) const;
};
using FilterPtr = std::unique_ptr<FilterNode, FilterDeleter>;
// Raises EDatabaseError for a malformed expression or an unknown field.
FilterPtr CompileFilter(std::string_view text, const std::vector<FieldDef>& fields);
bool EvalFilter(const FilterNode& n, const Cell* cells, bool caseInsensitive);

// ---- XML data packets ----
// Reads a whole packet; raises EDatabaseError naming what is wrong. The
// rows are read about pieceBytes at a time, plain rows without the parser
// (0: the whole text parsed at once); the result is the same either way.
inline constexpr size_t kXmlPieceBytes = size_t{256} * 1024;
Table ReadXml(std::string_view bytes, size_t pieceBytes = kXmlPieceBytes);

// Where the rows of a packet text are: from its first "<ROWDATA>" to its
// last "</ROWDATA>".
struct RowDataSpan {
  size_t begin;  // just after "<ROWDATA>"
  size_t end;    // at "</ROWDATA>"
};
inline constexpr std::string_view kRowDataOpen = "<ROWDATA>", kRowDataClose = "</ROWDATA>";
inline constexpr size_t kRowDataNameBack = kRowDataOpen.size() - 1;  // from begin back to the element's name
std::optional<RowDataSpan> FindRowData(std::string_view text);
// Where a piece of the rows that starts at `from` ends: before the first
// "<ROW" start tag at least pieceBytes further on, else at `end`.
size_t PieceEnd(std::string_view text, size_t from, size_t end, size_t pieceBytes);
// Whether text[from, to) holds a comment, processing instruction, CDATA
// section or declaration ("<!", "<?") or a NUL byte: such rows are parsed
// whole.
bool HidesMarkup(std::string_view text, size_t from, size_t to);

// Rows of ROWDATA content in the plain form a writer gives them, read
// without the parser (dataset_xml_plain.cpp says which form): each row's
// attributes as they stand in the text. Reading stops before the first
// row or text outside that form; the parser reads from there.
struct PlainAttr {
  std::string_view name, value;
  bool escaped;  // the value holds references: PlainRows::Unescape gives its text
};
class PlainRows {
 public:
  explicit PlainRows(std::string_view content) : text_(content) {}
  // The next row's attributes, in their order; false at the end of the
  // content or at anything outside the plain form.
  bool Next(std::vector<PlainAttr>& attrs);
  // Where reading stopped (the content's size when every row was read).
  size_t Stopped() const { return at_; }
  // A value that holds references, expanded into `out`.
  static std::string_view Unescape(std::string_view value, std::string& out);

 private:
  std::string_view text_;
  size_t at_ = 0;
};
std::string WriteXml(const std::vector<FieldDef>& fields, const std::vector<IndexDef>& indexes,
                     const Params& params, const std::vector<RowPtr>& rows);

// ---- packets ----
Table TableFromPacket(const DataPacket& p);
std::shared_ptr<DataPacket> PacketFromTable(const std::vector<FieldDef>& fields,
                                            const std::vector<IndexDef>& indexes, const Params& params,
                                            const std::vector<RowPtr>& rows);
// Checks a structure: non-empty distinct names, string sizes. Raises EDatabaseError.
void ValidateFields(const std::vector<FieldDef>& fields);

}  // namespace rtl::dsimpl

namespace rtl {

struct ClientDataSet::Impl {
  explicit Impl(ClientDataSet* s) : self(s) {}
  ClientDataSet* self;

  // Structure.
  std::vector<FieldDef> fieldDefs;         // the current structure (declared or loaded)
  std::vector<IndexDef> declaredIndexes;   // AddIndexDef
  std::vector<IndexDef> packetIndexes;     // defined by the data loaded
  std::vector<IndexDef> indexes;           // in force: declared ones that fit, then the packet's
  std::string indexName;
  std::string indexFieldNames;
  dsimpl::Params params;
  // Every Field handed out lives as long as the dataset: a field of the same
  // name in a later structure is the same object (its display settings stay);
  // one whose name left the structure raises "not found" when used.
  struct FieldSlot {
    std::unique_ptr<Field> field;
    std::string name;
  };
  std::vector<FieldSlot> fieldPool;
  std::vector<Field*> fields;  // one per field def, same order

  // Data.
  bool hasData = false;
  DataSetState state = DataSetState::Inactive;
  std::vector<dsimpl::RowPtr> rows;  // natural order, ascending seq; dead ones included
  size_t deadRows = 0;
  uint64_t nextSeq = 0;

  // Ordering, filter and the view.
  dsimpl::OrderSpec order;  // empty: natural order
  dsimpl::FilterPtr filter;  // compiled when filtered and active
  std::string filterText;
  bool filtered = false;
  bool viewCaseInsensitive = false;
  dsimpl::RowSeq view;
  bool viewValid = false;

  // Cursor: the current row, its position in the view (valid with the view), flags.
  dsimpl::Row* cur = nullptr;
  int pos = -1;
  bool eof = true;
  bool bof = true;

  // Editing.
  std::vector<dsimpl::Cell> buf;
  dsimpl::Row* editRow = nullptr;       // Edit: the row being edited
  dsimpl::Row* insertBefore = nullptr;  // Insert: the row current when it began
  bool appending = false;
  bool modified = false;

  bool logChanges = true;
  int changeCount = 0;

  // Helpers (dataset.cpp).
  bool Active() const { return state != DataSetState::Inactive; }
  void CheckActive() const;
  void CheckBrowseMode();  // posts a modified edit, cancels an unmodified one
  void EnsureView();
  void InvalidateView() { viewValid = false; }
  bool Visible(const dsimpl::Row* r) const;
  void SyncFields();
  void Resolve(const std::vector<FieldDef>& defs, const std::vector<IndexDef>& idx, dsimpl::OrderSpec& ord,
               dsimpl::FilterPtr& flt) const;
  std::vector<IndexDef> IndexesFor(const std::vector<FieldDef>& defs, const std::vector<IndexDef>& packetIdx) const;
  void Install(dsimpl::Table&& t);  // replaces structure and rows, opens
  void SetCurrent(int p);
  void AfterOpenEvent();
  dsimpl::Row* NewRow();
  void InsertNatural(dsimpl::RowPtr r, dsimpl::Row* before);
  void RemoveNatural(dsimpl::Row* r);  // marks it dead; compacts when half are
  void CompactRows();                  // drops the dead rows
  void ClearRows();
  int LiveRows() const { return static_cast<int>(rows.size() - deadRows); }
  const dsimpl::Cell* ReadCells() const;  // the edit buffer or the current row; null when none
};

}  // namespace rtl
