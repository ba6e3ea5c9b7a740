// Tables crossing the host boundary as data packets: the host's dataset
// copied into one of the data module's, and back.
#pragma once
#include "platform/dataset.h"
#include "platform/errors.h"
#include "platform/variant.h"

namespace Qor01100 {

// The dataset's contents as one value; no value for a missing dataset or
// one that holds no data (closed and never filled), as a host hands over
// an empty table for the module to define.
inline rtl::Variant PacketOf(const rtl::ClientDataSet* ds) {
  if (ds == nullptr) return rtl::Variant();
  if (ds->Active()) return ds->Data();
  try {
    return ds->Data();  // closed, with the data it held when it was closed
  } catch (const rtl::Exception&) {
    return rtl::Variant();  // closed without data
  }
}

// `to` takes the contents of `from` (no value: `to` is closed and emptied).
inline void CopyPacket(const rtl::ClientDataSet* from, rtl::ClientDataSet* to) {
  if (to != nullptr) to->SetData(PacketOf(from));
}

}  // namespace Qor01100
