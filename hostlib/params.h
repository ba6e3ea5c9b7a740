// Parameter records: arrays of [key, value] pairs read by key.
#pragma once
#include <string>

#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/variant.h"

namespace hostlib {

// Raised when a key is absent from a parameter record or the record is malformed.
// (Written out: the QOR_RTL_EXCEPTION macro needs an unqualified base name.)
class EParamNotFound : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
  const char* className() const noexcept override { return "EParamNotFound"; }
};

// The value stored under key (exact, then case-insensitive match on the key).
// Raises EParamNotFound "Parâmetro KEY não encontrado." when absent.
rtl::Variant RecebeParams(const rtl::Variant& params, const std::string& key);

// The difference A - B as "hh:nn" with a leading "-" when negative; the
// seconds are dropped. The text always converts with StrToTime: a difference
// of 24 hours or more is written "23:59" (with its sign), so a clock check
// that compares the converted time with a tolerance fails instead of meeting
// a conversion error (see params.cpp).
std::string SubtDataHoraKvx(rtl::TDateTime a, rtl::TDateTime b);

}  // namespace hostlib
