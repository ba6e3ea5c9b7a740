// Keeps an operation's filter and index on a shared dataset to itself: what
// the dataset had when the scope began (filter text, its switch, index) is
// put back when the scope ends, however it ends, so the next operation
// sees the dataset as this one found it.
#pragma once
#include <string>

#include "platform/dataset.h"

namespace Qor01100 {

class DatasetScope {
 public:
  explicit DatasetScope(rtl::ClientDataSet& ds)
      : ds_(ds), filter_(ds.Filter()), filtered_(ds.Filtered()), index_(ds.IndexName()) {}
  ~DatasetScope() {
    try {
      ds_.SetFiltered(false);
      ds_.SetFilter(filter_);
      ds_.SetFiltered(filtered_);
      if (ds_.IndexName() != index_) ds_.SetIndexName(index_);
    } catch (...) {
      // A dataset closed or emptied by the operation takes them back on its next open.
    }
  }
  DatasetScope(const DatasetScope&) = delete;
  DatasetScope& operator=(const DatasetScope&) = delete;

 private:
  rtl::ClientDataSet& ds_;
  std::string filter_;
  bool filtered_;
  std::string index_;
};

// Keeps an operation's walk through a dataset the host handed in to itself:
// the record the cursor was on (or the end, when it was past the last
// record) is current again when the scope ends, so a second call that reads
// "from the current record" sees what the first one saw. Declared before a
// DatasetScope on the same dataset, it repositions after the filter is back.
class CursorScope {
 public:
  explicit CursorScope(rtl::ClientDataSet& ds) : ds_(ds), active_(ds.Active()) {
    if (active_) {
      recNo_ = ds.RecNo();
      eof_ = ds.Eof();
    }
  }
  ~CursorScope() {
    try {
      if (!active_ || !ds_.Active() || ds_.IsEmpty()) return;
      ds_.First();
      for (int i = 1; i < recNo_ && !ds_.Eof(); ++i) ds_.Next();
      if (eof_) {
        ds_.Last();
        ds_.Next();
      }
    } catch (...) {
      // A dataset closed by the operation has no cursor to give back.
    }
  }
  CursorScope(const CursorScope&) = delete;
  CursorScope& operator=(const CursorScope&) = delete;

 private:
  rtl::ClientDataSet& ds_;
  bool active_;
  int recNo_ = 0;
  bool eof_ = false;
};

}  // namespace Qor01100
