// The rows a dataset's cursor walks (its view), in order, held as a counted
// B+ tree: the row at a position, inserting or removing at a position and a
// binary search by the view's ordering each cost O(log n), so that deleting,
// appending or re-keying every row costs O(n log n) in all, whatever the
// positions. A walk from one position to the next costs O(1) on average
// (the leaf last reached is remembered).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rtl::dsimpl {

class Row;

class RowSeq {
 public:
  RowSeq();
  ~RowSeq();
  RowSeq(const RowSeq&) = delete;
  RowSeq& operator=(const RowSeq&) = delete;

  size_t size() const;
  bool empty() const { return size() == 0; }
  Row* at(size_t k) const;  // k < size()
  Row* back() const { return at(size() - 1); }
  void insert(size_t k, Row* r);  // k <= size()
  void push_back(Row* r) { insert(size(), r); }
  void erase(size_t k);  // k < size()
  void clear();
  // Replaces the contents with rows (already in order), in O(n).
  void assign(const std::vector<Row*>& rows);

  // The first position whose row is not less than r, for the strict weak
  // order `less` that the rows are sorted by.
  template <class Less>
  size_t lower_bound(const Row* r, Less less) const;

  struct Node;
  struct Leaf;
  struct Inner;

 private:
  Node* root_;
  uint64_t stamp_ = 0;  // changes with every modification
  // The leaf of the last lookup and the position of its first row.
  mutable const Leaf* hintLeaf_ = nullptr;
  mutable size_t hintStart_ = 0;
  mutable uint64_t hintStamp_ = ~uint64_t{0};
};

// ---- the tree's nodes (visible for lower_bound) ----

inline constexpr int kSeqCap = 64;  // entries per node

struct RowSeq::Node {
  bool leaf;
  int n = 0;         // entries used
  size_t total = 0;  // rows below
  explicit Node(bool isLeaf) : leaf(isLeaf) {}
};

struct RowSeq::Leaf : Node {
  Leaf() : Node(true) {}
  Row* item[kSeqCap];
};

struct RowSeq::Inner : Node {
  Inner() : Node(false) {}
  Node* kid[kSeqCap];
  size_t cnt[kSeqCap];    // rows below each kid
  const Row* first[kSeqCap];  // the first row below each kid
};

template <class Less>
size_t RowSeq::lower_bound(const Row* r, Less less) const {
  size_t pos = 0;
  const Node* x = root_;
  while (!x->leaf) {
    const Inner* in = static_cast<const Inner*>(x);
    // The last kid whose first row is less than r holds the answer (or ends just before it).
    int lo = 1, hi = in->n;
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      if (less(in->first[mid], r)) lo = mid + 1;
      else hi = mid;
    }
    const int i = lo - 1;
    for (int j = 0; j < i; ++j) pos += in->cnt[j];
    x = in->kid[i];
  }
  const Leaf* lf = static_cast<const Leaf*>(x);
  int lo = 0, hi = lf->n;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (less(lf->item[mid], r)) lo = mid + 1;
    else hi = mid;
  }
  return pos + static_cast<size_t>(lo);
}

}  // namespace rtl::dsimpl
