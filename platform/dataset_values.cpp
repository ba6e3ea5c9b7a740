// Rows, cells, text comparison and value conversion for the client datasets.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>

#include "platform/dataset_impl.h"
#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace rtl::dsimpl {

Store StoreOf(FieldType t) {
  switch (t) {
    case FieldType::String:
    case FieldType::Memo:
    case FieldType::Blob:
      return Store::Text;
    case FieldType::Integer:
    case FieldType::LargeInt:
    case FieldType::Boolean:
      return Store::Int;
    default:
      return Store::Real;
  }
}

// ---- rows ----

Row* Row::Create(uint32_t count, uint64_t seq) {
  void* mem = ::operator new(sizeof(Row) + sizeof(Cell) * count);
  Row* r = new (mem) Row(count);
  r->seq = seq;
  Cell* c = r->cells();
  for (uint32_t i = 0; i < count; ++i) new (c + i) Cell();
  return r;
}

Row* Row::Clone(const Row& src) {
  Row* r = Create(src.count_, src.seq);
  for (uint32_t i = 0; i < src.count_; ++i) r->cells()[i] = src.cells()[i];
  return r;
}

// A block of rows: how many rows (and the arena, while it fills it) still use it.
// Aligned as a row, so that the rows right after its header are (its count
// alone is 4 bytes on a 32-bit system, and a row holds 8-byte values).
class alignas(Row) RowBlock {
 public:
  static RowBlock* Create(size_t bytes) {
    void* mem = ::operator new(sizeof(RowBlock) + bytes);
    return new (mem) RowBlock();
  }
  char* space() { return reinterpret_cast<char*>(this + 1); }
  void Acquire() { ++users_; }
  void Release() {
    if (--users_ == 0) {
      this->~RowBlock();
      ::operator delete(this);
    }
  }

 private:
  size_t users_ = 1;  // the arena
};
static_assert(sizeof(RowBlock) % alignof(Row) == 0, "rows follow the block header");

void Row::Destroy(Row* r) {
  if (!r) return;
  Cell* c = r->cells();
  for (uint32_t i = 0; i < r->count_; ++i) c[i].~Cell();
  RowBlock* block = r->block_;
  r->~Row();
  if (block) block->Release();
  else ::operator delete(r);
}

namespace {
constexpr size_t kRowBlockBytes = 32 * 1024 - 64;  // a little under 32 KB with the allocator's own words
}

RowArena::~RowArena() {
  if (block_) block_->Release();
}

Row* RowArena::Create(uint32_t count) {
  const size_t bytes = sizeof(Row) + sizeof(Cell) * count;
  if (bytes > static_cast<size_t>(end_ - next_)) {
    if (bytes * 4 > kRowBlockBytes) return Row::Create(count, 0);  // wide rows: one block each
    if (block_) block_->Release();
    block_ = RowBlock::Create(kRowBlockBytes);
    next_ = block_->space();
    end_ = next_ + kRowBlockBytes;
  }
  Row* r = new (next_) Row(count);
  next_ += bytes;
  r->block_ = block_;
  block_->Acquire();
  Cell* c = r->cells();
  for (uint32_t i = 0; i < count; ++i) new (c + i) Cell();
  return r;
}

// ---- text ----

namespace {

struct FoldTable {
  unsigned char t[256];
  FoldTable() {
    for (int i = 0; i < 256; ++i) {
      std::string one(1, static_cast<char>(i));
      std::string up = AnsiUpperCase(one);
      t[i] = up.size() == 1 ? static_cast<unsigned char>(up[0]) : static_cast<unsigned char>(i);
    }
  }
};

const FoldTable& Folds() {
  static const FoldTable table;
  return table;
}

}  // namespace

unsigned char Fold(unsigned char c) { return Folds().t[c]; }

int CompareText(std::string_view a, std::string_view b, bool caseInsensitive) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  if (!caseInsensitive) {
    for (size_t i = 0; i < n; ++i) {
      unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
      if (x != y) return x < y ? -1 : 1;
    }
  } else {
    const unsigned char* t = Folds().t;
    for (size_t i = 0; i < n; ++i) {
      unsigned char x = t[static_cast<unsigned char>(a[i])], y = t[static_cast<unsigned char>(b[i])];
      if (x != y) return x < y ? -1 : 1;
    }
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool StartsWith(std::string_view s, std::string_view prefix, bool caseInsensitive) {
  if (prefix.size() > s.size()) return false;
  return CompareText(s.substr(0, prefix.size()), prefix, caseInsensitive) == 0;
}

bool SameName(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareText(a, b, true) == 0; }

std::vector<std::string> SplitFieldList(std::string_view list) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string_view::npos) end = list.size();
    std::string name = Trim(list.substr(start, end - start));
    if (!name.empty()) out.push_back(std::move(name));
    start = end + 1;
  }
  return out;
}

int FindField(const std::vector<FieldDef>& fields, std::string_view name) {
  for (size_t i = 0; i < fields.size(); ++i)
    if (SameName(fields[i].name, name)) return static_cast<int>(i);
  return -1;
}

void FieldNotFound(std::string_view name) { throw EDatabaseError("Field '" + std::string(name) + "' not found"); }

bool ParseNumber(std::string_view s, double& out) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  s = s.substr(b, e - b);
  if (s.empty()) return false;
  std::string t;
  t.reserve(s.size());
  bool digits = false, point = false, exp = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      digits = true;
      t.push_back(c);
    } else if ((c == '.' || c == ',') && !point && !exp) {
      point = true;
      t.push_back('.');
    } else if ((c == 'e' || c == 'E') && digits && !exp) {
      exp = true;
      t.push_back('e');
      if (i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) t.push_back(s[++i]);
    } else if ((c == '+' || c == '-') && i == 0) {
      if (c == '-') t.push_back('-');
    } else {
      return false;
    }
  }
  if (!digits) return false;
  double v = 0;
  auto res = std::from_chars(t.data(), t.data() + t.size(), v);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

// ---- cells and variants ----

Variant CellToVariant(const Cell& c, FieldType t) {
  if (c.null) return Variant::Null();
  switch (StoreOf(t)) {
    case Store::Text:
      return Variant(c.s.str());
    case Store::Int:
      if (t == FieldType::Boolean) return Variant(c.i != 0);
      return Variant(c.i);
    case Store::Real:
      if (t == FieldType::Date || t == FieldType::Time || t == FieldType::DateTime)
        return Variant::FromDateTime(c.d);
      return Variant(c.d);
  }
  return Variant::Null();
}

void StoreReal(Cell& c, const FieldDef& f, double v) {
  if (!std::isfinite(v)) throw EDatabaseError("Invalid floating-point value for field '" + f.name + "'");
  if (f.type == FieldType::Date || f.type == FieldType::Time || f.type == FieldType::DateTime) {
    // 0001-01-01 to 9999-12-31 23:59:59.999: the dates a data packet can carry.
    if (v < -693593.0 || v >= 2958466.0)
      throw EDatabaseError("Date-time value out of range for field '" + f.name + "'");
    if (f.type == FieldType::Date) v = std::trunc(v);
    if (f.type == FieldType::Time) {
      // The time of day to the millisecond (the fraction of a large date-time carries noise).
      double ms = std::min(std::round(std::fabs(v - std::trunc(v)) * 86400000.0), 86399999.0);
      v = ms / 86400000.0;
    }
  }
  c.d = v;
  c.null = false;
}

void VariantToCell(const Variant& v, const FieldDef& f, Cell& c, bool cut) {
  if (v.IsNull() || v.IsEmpty()) {
    c.null = true;
    c.s.clear();
    c.i = 0;
    return;
  }
  switch (StoreOf(f.type)) {
    case Store::Text: {
      std::string s = v.AsString();
      if (cut && f.type == FieldType::String && f.size > 0 && static_cast<int>(s.size()) > f.size) s.resize(f.size);
      // An empty text is a null field (as the run-time stores it in client datasets).
      c.null = s.empty();
      c.s = std::move(s);
      return;
    }
    case Store::Int: {
      int64_t x;
      if (f.type == FieldType::Boolean)
        x = v.AsBoolean() ? 1 : 0;
      else if (f.type == FieldType::Integer)
        x = v.AsInteger();
      else
        x = v.AsInt64();
      c.i = x;
      c.null = false;
      return;
    }
    case Store::Real: {
      double d;
      bool dateType = f.type == FieldType::Date || f.type == FieldType::Time || f.type == FieldType::DateTime;
      if (dateType && v.type() == VarType::String) {
        TDateTime iso;
        std::string s = v.AsString();
        d = TryParseIso(s, iso) ? iso : v.AsDateTime();
      } else if (dateType) {
        d = v.AsDateTime();
      } else {
        d = v.AsDouble();
      }
      StoreReal(c, f, d);
      return;
    }
  }
}

void ValidateFields(const std::vector<FieldDef>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    const FieldDef& f = fields[i];
    if (Trim(f.name).empty()) throw EDatabaseError("Field " + std::to_string(i + 1) + " has no name");
    if (f.size < 0) throw EDatabaseError("Invalid size for field '" + f.name + "'");
    for (size_t j = 0; j < i; ++j)
      if (SameName(fields[j].name, f.name)) throw EDatabaseError("Duplicate field name '" + f.name + "'");
  }
}

}  // namespace rtl::dsimpl
