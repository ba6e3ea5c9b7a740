// Field accessors: typed reads of the current record and writes to the
// record being edited, with the run-time library's conversions.
#include <cmath>
#include <cstdint>

#include "platform/dataset_impl.h"
#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/format.h"
#include "platform/text.h"

namespace rtl {

using namespace dsimpl;

namespace {

[[noreturn]] void Invalid(const std::string& value, const char* kind, const FieldDef& f) {
  throw EDatabaseError("'" + value + "' is not a valid " + kind + " value for field '" + f.name + "'");
}

}  // namespace

// Fields of an earlier structure keep their object but no longer have a column.
static const FieldDef& DefOf(ClientDataSet::Impl& d, int index, const Field& f) {
  if (index < 0) FieldNotFound(f.FieldName());
  return d.fieldDefs[index];
}

static const Cell* ReadCell(ClientDataSet::Impl& d, int index) {
  const Cell* cells = d.ReadCells();
  return cells ? &cells[index] : nullptr;
}

static Cell& WriteCell(ClientDataSet::Impl& d, int index) {
  d.CheckActive();
  if (d.state != DataSetState::Edit && d.state != DataSetState::Insert) throw EDatabaseError("Dataset not in edit or insert mode");
  d.modified = true;
  return d.buf[index];
}

const std::string& Field::FieldName() const {
  auto& d = *ds_->impl_;
  return index_ >= 0 ? d.fieldDefs[index_].name : d.fieldPool[-index_ - 1].name;
}

FieldType Field::DataType() const { return DefOf(*ds_->impl_, index_, *this).type; }

int Field::Size() const { return DefOf(*ds_->impl_, index_, *this).size; }

bool Field::IsNull() const {
  DefOf(*ds_->impl_, index_, *this);
  const Cell* c = ReadCell(*ds_->impl_, index_);
  return !c || c->null;
}

Variant Field::Value() const {
  const FieldDef& f = DefOf(*ds_->impl_, index_, *this);
  const Cell* c = ReadCell(*ds_->impl_, index_);
  return c ? CellToVariant(*c, f.type) : Variant::Null();
}

void Field::SetValue(const Variant& v) {
  auto& d = *ds_->impl_;
  const FieldDef& f = DefOf(d, index_, *this);
  Cell& c = WriteCell(d, index_);
  Cell tmp;
  VariantToCell(v, f, tmp);  // the record is unchanged when the value does not convert
  c = std::move(tmp);
}

void Field::Clear() {
  auto& d = *ds_->impl_;
  DefOf(d, index_, *this);
  Cell& c = WriteCell(d, index_);
  c = Cell();
}

std::string Field::AsString() const {
  const FieldDef& f = DefOf(*ds_->impl_, index_, *this);
  const Cell* c = ReadCell(*ds_->impl_, index_);
  if (!c || c->null) return "";
  switch (f.type) {
    case FieldType::String:
    case FieldType::Memo:
    case FieldType::Blob:
      return c->s.str();
    case FieldType::Boolean:
      return c->i ? "True" : "False";
    case FieldType::Integer:
    case FieldType::LargeInt:
      return IntToStr(c->i);
    case FieldType::Date:
      return DateToStr(c->d);
    case FieldType::Time:
      return TimeToStr(c->d);
    case FieldType::DateTime:
      return DateTimeToStr(c->d);
    default:
      return FloatToStr(c->d);
  }
}

void Field::SetAsString(const std::string& v) {
  auto& d = *ds_->impl_;
  const FieldDef& f = DefOf(d, index_, *this);
  Cell& c = WriteCell(d, index_);
  if (v.empty()) {
    c = Cell();  // an empty text clears the field, whatever its type
    return;
  }
  Cell tmp;
  switch (f.type) {
    case FieldType::String:
      tmp.s = f.size > 0 && static_cast<int>(v.size()) > f.size ? v.substr(0, f.size) : v;
      tmp.null = false;
      break;
    case FieldType::Memo:
    case FieldType::Blob:
      tmp.s = v;
      tmp.null = false;
      break;
    case FieldType::Boolean: {
      // A prefix of "True" or "False", in any case, as the run-time accepts.
      if (StartsWith("FALSE", v, true)) tmp.i = 0;
      else if (StartsWith("TRUE", v, true)) tmp.i = 1;
      else Invalid(v, "boolean", f);
      tmp.null = false;
      break;
    }
    case FieldType::Integer:
    case FieldType::LargeInt: {
      try {
        tmp.i = f.type == FieldType::Integer ? StrToInt(v) : StrToInt64(v);
      } catch (const EConvertError&) {
        Invalid(v, "integer", f);
      }
      tmp.null = false;
      break;
    }
    case FieldType::Date:
      StoreReal(tmp, f, StrToDate(v));
      break;
    case FieldType::Time:
      StoreReal(tmp, f, StrToTime(v));
      break;
    case FieldType::DateTime:
      StoreReal(tmp, f, StrToDateTime(v));
      break;
    default: {
      double x;
      if (!TryStrToFloat(v, x)) Invalid(v, "floating point", f);
      StoreReal(tmp, f, x);
      break;
    }
  }
  c = std::move(tmp);
}

double Field::AsFloat() const {
  const FieldDef& f = DefOf(*ds_->impl_, index_, *this);
  const Cell* c = ReadCell(*ds_->impl_, index_);
  if (!c || c->null) return 0;
  switch (StoreOf(f.type)) {
    case Store::Text:
      return StrToFloat(c->s);
    case Store::Int:
      return static_cast<double>(c->i);
    case Store::Real:
      return c->d;
  }
  return 0;
}

void Field::SetAsFloat(double v) {
  auto& d = *ds_->impl_;
  const FieldDef& f = DefOf(d, index_, *this);
  Cell& c = WriteCell(d, index_);
  Cell tmp;
  switch (StoreOf(f.type)) {
    case Store::Text:
      if (!std::isfinite(v)) throw EDatabaseError("Invalid floating-point value for field '" + f.name + "'");
      return SetAsString(FloatToStr(v));
    case Store::Int:
      if (f.type == FieldType::Boolean) tmp.i = v != 0;
      else if (f.type == FieldType::Integer) tmp.i = Variant(v).AsInteger();
      else tmp.i = Variant(v).AsInt64();
      tmp.null = false;
      break;
    case Store::Real:
      StoreReal(tmp, f, v);
      break;
  }
  c = std::move(tmp);
}

int32_t Field::AsInteger() const {
  const FieldDef& f = DefOf(*ds_->impl_, index_, *this);
  const Cell* c = ReadCell(*ds_->impl_, index_);
  if (!c || c->null) return 0;
  switch (StoreOf(f.type)) {
    case Store::Text:
      return StrToInt(c->s);
    case Store::Int:
      if (c->i < INT32_MIN || c->i > INT32_MAX)
        throw ERangeError("Value of field '" + f.name + "' is out of the integer range");
      return static_cast<int32_t>(c->i);
    case Store::Real:
      return Variant(c->d).AsInteger();
  }
  return 0;
}

void Field::SetAsInteger(int32_t v) {
  auto& d = *ds_->impl_;
  const FieldDef& f = DefOf(d, index_, *this);
  Cell& c = WriteCell(d, index_);
  Cell tmp;
  switch (StoreOf(f.type)) {
    case Store::Text:
      return SetAsString(IntToStr(v));
    case Store::Int:
      tmp.i = f.type == FieldType::Boolean ? (v != 0) : v;
      tmp.null = false;
      break;
    case Store::Real:
      StoreReal(tmp, f, v);
      break;
  }
  c = std::move(tmp);
}

TDateTime Field::AsDateTime() const {
  const FieldDef& f = DefOf(*ds_->impl_, index_, *this);
  const Cell* c = ReadCell(*ds_->impl_, index_);
  if (!c || c->null) return 0;
  switch (StoreOf(f.type)) {
    case Store::Text:
      return StrToDateTime(c->s);
    case Store::Int:
      return static_cast<double>(c->i);
    case Store::Real:
      return c->d;
  }
  return 0;
}

void Field::SetAsDateTime(TDateTime v) {
  auto& d = *ds_->impl_;
  const FieldDef& f = DefOf(d, index_, *this);
  Cell& c = WriteCell(d, index_);
  Cell tmp;
  switch (StoreOf(f.type)) {
    case Store::Text:
      return SetAsString(DateTimeToStr(v));
    case Store::Int:
      throw EDatabaseError("Field '" + f.name + "' cannot hold a date-time");
    case Store::Real:
      StoreReal(tmp, f, v);
      break;
  }
  c = std::move(tmp);
}

bool Field::AsBoolean() const {
  const FieldDef& f = DefOf(*ds_->impl_, index_, *this);
  const Cell* c = ReadCell(*ds_->impl_, index_);
  if (!c || c->null) return false;
  switch (StoreOf(f.type)) {
    case Store::Text: {
      // As the run-time reads a text field: true when it starts with T or Y.
      char first = c->s.empty() ? '\0' : c->s[0];
      return first == 'T' || first == 't' || first == 'Y' || first == 'y';
    }
    case Store::Int:
      return c->i != 0;
    case Store::Real:
      return c->d != 0;
  }
  return false;
}

void Field::SetAsBoolean(bool v) {
  auto& d = *ds_->impl_;
  const FieldDef& f = DefOf(d, index_, *this);
  Cell& c = WriteCell(d, index_);
  Cell tmp;
  switch (StoreOf(f.type)) {
    case Store::Text:
      return SetAsString(v ? "T" : "F");
    case Store::Int:
      tmp.i = v ? 1 : 0;
      tmp.null = false;
      break;
    case Store::Real:
      StoreReal(tmp, f, v ? 1 : 0);
      break;
  }
  c = std::move(tmp);
}

}  // namespace rtl
