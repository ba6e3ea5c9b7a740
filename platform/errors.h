// Exceptions of the run-time layer. Every error carries the class name a
// host sees (the host reports it as the error's type) and a message.
#pragma once
#include <stdexcept>
#include <string>

namespace rtl {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& msg) : std::runtime_error(msg) {}
  virtual const char* className() const noexcept { return "Exception"; }
  std::string message() const { return what(); }
};

#define QOR_RTL_EXCEPTION(Name, Base)                                   \
  class Name : public Base {                                           \
   public:                                                             \
    using Base::Base;                                                  \
    const char* className() const noexcept override { return #Name; } \
  };

// A text that is not a number, a date or a time; a null variant read as a value.
QOR_RTL_EXCEPTION(EConvertError, Exception)
// A variant that cannot be converted to the requested type.
QOR_RTL_EXCEPTION(EVariantTypeCastError, EConvertError)
// A variant array index outside its bounds, or a non-array used as one.
QOR_RTL_EXCEPTION(EVariantError, Exception)
// Integer overflow in a conversion.
QOR_RTL_EXCEPTION(ERangeError, Exception)
// Files: open, read, write failures.
QOR_RTL_EXCEPTION(EInOutError, Exception)
QOR_RTL_EXCEPTION(EFOpenError, Exception)
// Client datasets: wrong state, unknown field, malformed packet.
QOR_RTL_EXCEPTION(EDatabaseError, Exception)
// A string list index out of range.
QOR_RTL_EXCEPTION(EStringListError, Exception)
// The run-time "invalid argument to format".
QOR_RTL_EXCEPTION(EFormatError, Exception)

}  // namespace rtl
