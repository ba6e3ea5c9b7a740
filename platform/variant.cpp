// Variant conversions with the run-time library's rules.
//
// Choices:
// - Boolean to number gives -1 for True and 0 for False (the run-time
//   library's variant boolean); number to Boolean is "not zero".
// - Text to Integer tries StrToInt, then StrToFloat rounded half to even;
//   text to Boolean accepts "True"/"False" in any case, then a number.
// - A Boolean does not convert to a date-time (raises).
// - Integer conversions check the range and raise EVariantTypeCastError on
//   overflow, as on any impossible conversion.
#include "platform/variant.h"

#include <cmath>
#include <new>
#include <utility>

#include "platform/errors.h"
#include "platform/format.h"
#include "platform/text.h"

namespace rtl {

namespace {

[[noreturn]] void CastError(VarType from, const char* to) {
  throw EVariantTypeCastError(std::string("Could not convert variant of type (") + VarTypeName(from) +
                              ") into type (" + to + ")");
}

bool RoundToInt64(double d, int64_t& out) {
  if (!std::isfinite(d)) return false;
  double r = std::nearbyint(d);  // half to even (the default rounding mode)
  if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) return false;
  out = static_cast<int64_t>(r);
  return true;
}

}  // namespace

const char* VarTypeName(VarType t) {
  switch (t) {
    case VarType::Unassigned: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Boolean: return "Boolean";
    case VarType::Integer: return "Integer";
    case VarType::Double: return "Double";
    case VarType::String: return "String";
    case VarType::DateTime: return "Date";
    case VarType::Array: return "Array";
    case VarType::DataPacket: return "DataPacket";
  }
  return "Unknown";
}

// ------------------------------------------------------------- lifetime

void Variant::Destroy() noexcept {
  switch (type_) {
    case VarType::String: s_.~basic_string(); break;
    case VarType::Array: a_.~vector(); break;
    case VarType::DataPacket: p_.~shared_ptr(); break;
    default: break;
  }
  type_ = VarType::Unassigned;
  i_ = 0;
}

void Variant::CopyFrom(const Variant& o) {
  switch (o.type_) {
    case VarType::String: new (&s_) std::string(o.s_); break;
    case VarType::Array: new (&a_) std::vector<Variant>(o.a_); break;
    case VarType::DataPacket: new (&p_) std::shared_ptr<const DataPacket>(o.p_); break;
    case VarType::Double:
    case VarType::DateTime: d_ = o.d_; break;
    default: i_ = o.i_; break;
  }
  type_ = o.type_;
}

void Variant::MoveFrom(Variant&& o) noexcept {
  switch (o.type_) {
    case VarType::String: new (&s_) std::string(std::move(o.s_)); break;
    case VarType::Array: new (&a_) std::vector<Variant>(std::move(o.a_)); break;
    case VarType::DataPacket: new (&p_) std::shared_ptr<const DataPacket>(std::move(o.p_)); break;
    case VarType::Double:
    case VarType::DateTime: d_ = o.d_; break;
    default: i_ = o.i_; break;
  }
  type_ = o.type_;
  o.Destroy();
}

Variant::Variant(const Variant& o) : i_(0) { CopyFrom(o); }

Variant::Variant(Variant&& o) noexcept : i_(0) { MoveFrom(std::move(o)); }

Variant& Variant::operator=(const Variant& o) {
  if (this != &o) {
    Variant tmp(o);  // o may live inside this (an element of our array)
    Destroy();
    MoveFrom(std::move(tmp));
  }
  return *this;
}

Variant& Variant::operator=(Variant&& o) noexcept {
  if (this != &o) {
    Variant tmp(std::move(o));
    Destroy();
    MoveFrom(std::move(tmp));
  }
  return *this;
}

Variant Variant::Record(std::initializer_list<std::pair<std::string, Variant>> pairs) {
  std::vector<Variant> items;
  items.reserve(pairs.size());
  for (const auto& p : pairs) items.emplace_back(std::vector<Variant>{Variant(p.first), p.second});
  return Variant(std::move(items));
}

// ---------------------------------------------------------- conversions

std::string Variant::AsString() const {
  switch (type_) {
    case VarType::Unassigned: return std::string();
    case VarType::Boolean: return i_ ? "True" : "False";
    case VarType::Integer: return IntToStr(i_);
    case VarType::Double: return FloatToStr(d_);
    case VarType::String: return s_;
    case VarType::DateTime: return DateTimeToStr(d_);
    default: CastError(type_, "String");
  }
}

int64_t Variant::AsInt64() const {
  switch (type_) {
    case VarType::Unassigned: return 0;
    case VarType::Boolean: return i_ ? -1 : 0;
    case VarType::Integer: return i_;
    case VarType::Double:
    case VarType::DateTime: {
      int64_t r;
      if (!RoundToInt64(d_, r)) CastError(type_, "Int64");
      return r;
    }
    case VarType::String: {
      int64_t r;
      if (TryStrToInt64(s_, r)) return r;
      double d;
      if (TryStrToFloat(s_, d) && RoundToInt64(d, r)) return r;
      CastError(type_, "Int64");
    }
    default: CastError(type_, "Int64");
  }
}

int32_t Variant::AsInteger() const {
  int64_t v;
  try {
    v = AsInt64();
  } catch (const EVariantTypeCastError&) {
    CastError(type_, "Integer");
  }
  if (v < INT32_MIN || v > INT32_MAX) CastError(type_, "Integer");
  return static_cast<int32_t>(v);
}

double Variant::AsDouble() const {
  switch (type_) {
    case VarType::Unassigned: return 0;
    case VarType::Boolean: return i_ ? -1 : 0;
    case VarType::Integer: return static_cast<double>(i_);
    case VarType::Double:
    case VarType::DateTime: return d_;
    case VarType::String: {
      double d;
      if (TryStrToFloat(s_, d)) return d;
      CastError(type_, "Double");
    }
    default: CastError(type_, "Double");
  }
}

bool Variant::AsBoolean() const {
  switch (type_) {
    case VarType::Unassigned: return false;
    case VarType::Boolean:
    case VarType::Integer: return i_ != 0;
    case VarType::Double:
    case VarType::DateTime: return d_ != 0;
    case VarType::String: {
      if (SameText(s_, "True")) return true;
      if (SameText(s_, "False")) return false;
      double d;
      if (TryStrToFloat(s_, d)) return d != 0;
      CastError(type_, "Boolean");
    }
    default: CastError(type_, "Boolean");
  }
}

TDateTime Variant::AsDateTime() const {
  switch (type_) {
    case VarType::Unassigned: return 0;
    case VarType::Integer: return static_cast<double>(i_);
    case VarType::Double:
    case VarType::DateTime: return d_;
    case VarType::String: {
      TDateTime dt;
      if (TryStrToDateTime(s_, dt)) return dt;
      CastError(type_, "Date");
    }
    default: CastError(type_, "Date");
  }
}

std::shared_ptr<const DataPacket> Variant::AsPacket() const {
  if (type_ != VarType::DataPacket) CastError(type_, "DataPacket");
  return p_;
}

// ---------------------------------------------------------------- arrays

size_t Variant::ArrayLength() const {
  if (type_ != VarType::Array)
    throw EVariantError(std::string("Variant is not an array (type ") + VarTypeName(type_) + ")");
  return a_.size();
}

const Variant& Variant::operator[](size_t i) const {
  if (i >= ArrayLength())
    throw EVariantError("Variant array index out of bounds (" + std::to_string(i) + ", length " +
                        std::to_string(a_.size()) + ")");
  return a_[i];
}

Variant& Variant::operator[](size_t i) {
  if (i >= ArrayLength())
    throw EVariantError("Variant array index out of bounds (" + std::to_string(i) + ", length " +
                        std::to_string(a_.size()) + ")");
  return a_[i];
}

const std::vector<Variant>& Variant::Items() const {
  ArrayLength();
  return a_;
}

std::vector<Variant>& Variant::Items() {
  ArrayLength();
  return a_;
}

bool Variant::operator==(const Variant& o) const {
  if (type_ != o.type_) return false;
  switch (type_) {
    case VarType::Unassigned:
    case VarType::Null: return true;
    case VarType::Boolean:
    case VarType::Integer: return i_ == o.i_;
    case VarType::Double:
    case VarType::DateTime: return d_ == o.d_;
    case VarType::String: return s_ == o.s_;
    case VarType::Array: return a_ == o.a_;
    case VarType::DataPacket: return p_ == o.p_;
  }
  return false;
}

}  // namespace rtl
