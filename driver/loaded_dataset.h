// A host table loaded into a data-module dataset for one operation only:
// the dataset is closed when the operation ends, however it ends, so no
// row, cursor or filter of it is seen by the next operation.
#pragma once
#include "platform/dataset.h"
#include "platform/variant.h"

namespace Qor01100 {

class LoadedDataset {
 public:
  // Loads a data packet (the host's table as one value).
  LoadedDataset(rtl::ClientDataSet& ds, const rtl::Variant& packet) : ds_(ds) { ds_.SetData(packet); }
  // Loaded by the operation itself (from files, say); closed all the same.
  explicit LoadedDataset(rtl::ClientDataSet& ds) : ds_(ds) {}
  ~LoadedDataset() {
    try {
      if (ds_.Active()) ds_.Close();
    } catch (...) {
      // Closing a dataset does not fail; nothing may escape a destructor.
    }
  }
  LoadedDataset(const LoadedDataset&) = delete;
  LoadedDataset& operator=(const LoadedDataset&) = delete;

 private:
  rtl::ClientDataSet& ds_;
};

}  // namespace Qor01100
