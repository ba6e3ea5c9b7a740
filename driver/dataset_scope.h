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

}  // namespace Qor01100
