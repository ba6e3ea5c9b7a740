// Variant: the run-time library's tagged value. Hosts pass parameter
// records (arrays of [key, value] arrays), positional lists, result arrays
// and data packets as variants.
//
// Conversions follow the run-time library: unassigned reads as "", 0 or
// false; null, or a value that does not convert, raises
// EVariantTypeCastError (an EConvertError). Arrays copy by value.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "datetime.h"

namespace rtl {

struct DataPacket;  // dataset.h

enum class VarType { Unassigned, Null, Boolean, Integer, Double, String, DateTime, Array, DataPacket };

const char* VarTypeName(VarType t);  // "Empty", "Null", "Boolean", "Integer", "Double", "String", "Date", "Array", "DataPacket"

class Variant {
 public:
  Variant() noexcept {}
  Variant(bool v) : type_(VarType::Boolean), i_(v ? 1 : 0) {}
  Variant(int v) : type_(VarType::Integer), i_(v) {}
  Variant(int64_t v) : type_(VarType::Integer), i_(v) {}
  Variant(double v) : type_(VarType::Double), d_(v) {}
  Variant(const char* v) : type_(VarType::String), s_(v ? v : "") {}
  Variant(std::string v) : type_(VarType::String), s_(std::move(v)) {}
  Variant(std::vector<Variant> items) : type_(VarType::Array), a_(std::move(items)) {}
  Variant(std::shared_ptr<const DataPacket> p) : type_(VarType::DataPacket), p_(std::move(p)) {}

  static Variant Null() { Variant v; v.type_ = VarType::Null; return v; }
  static Variant FromDateTime(TDateTime dt) { Variant v; v.type_ = VarType::DateTime; v.d_ = dt; return v; }
  // A one-dimensional array of n unassigned elements (VarArrayCreate([0, n-1], varVariant)).
  static Variant CreateArray(size_t n) { return Variant(std::vector<Variant>(n)); }
  // A parameter record: [[key, value], ...].
  static Variant Record(std::initializer_list<std::pair<std::string, Variant>> pairs);

  VarType type() const { return type_; }
  bool IsEmpty() const { return type_ == VarType::Unassigned; }
  bool IsNull() const { return type_ == VarType::Null; }
  bool IsArray() const { return type_ == VarType::Array; }
  bool IsPacket() const { return type_ == VarType::DataPacket; }

  // Conversions; raise EVariantTypeCastError when impossible.
  std::string AsString() const;   // doubles with the locale's FloatToStr, dates with DateTimeToStr
  // Booleans read as -1 (True) and 0 (False), as the run-time library's variant boolean.
  int32_t AsInteger() const;      // doubles round half to even (banker's), texts with StrToInt/StrToFloat
  int64_t AsInt64() const;
  double AsDouble() const;        // texts with StrToFloat (the locale's separator)
  bool AsBoolean() const;         // texts "True"/"False" (any case) or numbers
  TDateTime AsDateTime() const;   // texts with StrToDateTime
  std::shared_ptr<const DataPacket> AsPacket() const;  // raises unless a data packet

  // Arrays (raise EVariantError when not an array or out of bounds).
  size_t ArrayLength() const;
  int ArrayHighBound() const { return static_cast<int>(ArrayLength()) - 1; }
  const Variant& operator[](size_t i) const;
  Variant& operator[](size_t i);
  const std::vector<Variant>& Items() const;
  std::vector<Variant>& Items();

  // Equality of type and value (arrays element-wise, packets by identity;
  // Integer 1 and Double 1.0 differ).
  bool operator==(const Variant& o) const;

  // Value semantics (arrays copy by value; a packet is shared, it is immutable).
  Variant(const Variant& o);
  Variant(Variant&& o) noexcept;
  Variant& operator=(const Variant& o);
  Variant& operator=(Variant&& o) noexcept;
  ~Variant() {
    if (type_ == VarType::String || type_ == VarType::Array || type_ == VarType::DataPacket) Destroy();
  }

 private:
  // 40 bytes: a tag and one active member (datasets hold many variants).
  // The members with non-trivial lifetimes (text, array, packet) are
  // constructed/destroyed by hand; see variant.cpp.
  VarType type_ = VarType::Unassigned;
  union {
    int64_t i_ = 0;
    double d_;
    std::string s_;
    std::vector<Variant> a_;
    std::shared_ptr<const DataPacket> p_;
  };
  void Destroy() noexcept;
  void CopyFrom(const Variant& o);
  void MoveFrom(Variant&& o) noexcept;
};

}  // namespace rtl
