// The counted B+ tree behind a dataset's view (see dataset_seq.h).
//
// Every node holds up to kSeqCap entries; an inner node keeps, per kid, the
// number of rows below it and the first of them. A full node splits in two
// halves; a node that falls under a quarter full merges with a neighbour
// when both fit in one node, and an empty node is removed, so the tree stays
// O(log n) deep and its nodes reasonably full.
#include "platform/dataset_seq.h"

#include <algorithm>

namespace rtl::dsimpl {

namespace {

using Node = RowSeq::Node;
using Leaf = RowSeq::Leaf;
using Inner = RowSeq::Inner;

Leaf* AsLeaf(Node* x) { return static_cast<Leaf*>(x); }
Inner* AsInner(Node* x) { return static_cast<Inner*>(x); }

void Free(Node* x) {
  if (x->leaf) {
    delete AsLeaf(x);
    return;
  }
  Inner* in = AsInner(x);
  for (int i = 0; i < in->n; ++i) Free(in->kid[i]);
  delete in;
}

const Row* FirstRow(const Node* x) {
  return x->leaf ? static_cast<const Leaf*>(x)->item[0] : static_cast<const Inner*>(x)->first[0];
}

// Puts kid into slot i of in, moving the later slots up (in has room).
void PutKid(Inner* in, int i, Node* kid) {
  std::copy_backward(in->kid + i, in->kid + in->n, in->kid + in->n + 1);
  std::copy_backward(in->cnt + i, in->cnt + in->n, in->cnt + in->n + 1);
  std::copy_backward(in->first + i, in->first + in->n, in->first + in->n + 1);
  in->kid[i] = kid;
  in->cnt[i] = kid->total;
  in->first[i] = FirstRow(kid);
  ++in->n;
  in->total += kid->total;
}

void DropKid(Inner* in, int i) {
  in->total -= in->cnt[i];
  std::copy(in->kid + i + 1, in->kid + in->n, in->kid + i);
  std::copy(in->cnt + i + 1, in->cnt + in->n, in->cnt + i);
  std::copy(in->first + i + 1, in->first + in->n, in->first + i);
  --in->n;
}

// Moves the upper half of a full node into a new node, which it returns.
Node* SplitOff(Node* x) {
  const int keep = x->n / 2;
  if (x->leaf) {
    Leaf* a = AsLeaf(x);
    Leaf* b = new Leaf;
    b->n = a->n - keep;
    std::copy(a->item + keep, a->item + a->n, b->item);
    a->n = keep;
    a->total = static_cast<size_t>(keep);
    b->total = static_cast<size_t>(b->n);
    return b;
  }
  Inner* a = AsInner(x);
  Inner* b = new Inner;
  b->n = 0;
  for (int i = keep; i < a->n; ++i) PutKid(b, b->n, a->kid[i]);
  for (int i = a->n - 1; i >= keep; --i) a->total -= a->cnt[i];
  a->n = keep;
  return b;
}

// Inserts r at position k below x. Returns the new right sibling when x split.
Node* InsertAt(Node* x, size_t k, Row* r) {
  Node* sibling = nullptr;
  if (x->n == kSeqCap && x->leaf) {
    sibling = SplitOff(x);
    if (k > x->total) {
      k -= x->total;
      x = sibling;
    }
  }
  if (x->leaf) {
    Leaf* lf = AsLeaf(x);
    std::copy_backward(lf->item + k, lf->item + lf->n, lf->item + lf->n + 1);
    lf->item[k] = r;
    ++lf->n;
    ++lf->total;
    return sibling;
  }
  Inner* in = AsInner(x);
  int i = 0;
  while (i < in->n - 1 && k > in->cnt[i]) k -= in->cnt[i++];
  Node* grown = InsertAt(in->kid[i], k, r);
  in->cnt[i] = in->kid[i]->total;
  in->first[i] = FirstRow(in->kid[i]);
  if (!grown) {
    ++in->total;
    return nullptr;
  }
  // The rows that moved into the new kid are counted again when it is put in.
  in->total = in->total + 1 - grown->total;
  Inner* target = in;
  if (in->n == kSeqCap) {
    sibling = SplitOff(in);
    if (i >= in->n) {
      i -= in->n;
      target = AsInner(sibling);
    }
  }
  PutKid(target, i + 1, grown);
  return sibling;
}

// Appends the entries of b to a (same depth, both fit) and frees b.
void MergeInto(Node* a, Node* b) {
  if (a->leaf) {
    Leaf* la = AsLeaf(a);
    Leaf* lb = AsLeaf(b);
    std::copy(lb->item, lb->item + lb->n, la->item + la->n);
    la->n += lb->n;
    la->total += lb->total;
    delete lb;
    return;
  }
  Inner* ia = AsInner(a);
  Inner* ib = AsInner(b);
  for (int i = 0; i < ib->n; ++i) PutKid(ia, ia->n, ib->kid[i]);
  delete ib;
}

// After a removal below kid i: drops it when empty, merges it with a
// neighbour when it is under a quarter full and both fit in one node.
void Rebalance(Inner* in, int i) {
  Node* kid = in->kid[i];
  if (kid->n == 0) {
    DropKid(in, i);
    Free(kid);
    return;
  }
  in->cnt[i] = kid->total;
  in->first[i] = FirstRow(kid);
  if (kid->n >= kSeqCap / 4) return;
  const int left = i > 0 && in->kid[i - 1]->n + kid->n <= kSeqCap ? i - 1 : -1;
  const int right = i + 1 < in->n && in->kid[i + 1]->n + kid->n <= kSeqCap ? i + 1 : -1;
  const int a = left >= 0 ? left : (right >= 0 ? i : -1);
  if (a < 0) return;
  Node* b = in->kid[a + 1];
  DropKid(in, a + 1);
  MergeInto(in->kid[a], b);
  in->total += in->kid[a]->total - in->cnt[a];
  in->cnt[a] = in->kid[a]->total;
  in->first[a] = FirstRow(in->kid[a]);
}

void EraseAt(Node* x, size_t k) {
  if (x->leaf) {
    Leaf* lf = AsLeaf(x);
    std::copy(lf->item + k + 1, lf->item + lf->n, lf->item + k);
    --lf->n;
    --lf->total;
    return;
  }
  Inner* in = AsInner(x);
  int i = 0;
  while (k >= in->cnt[i]) k -= in->cnt[i++];
  EraseAt(in->kid[i], k);
  --in->total;
  --in->cnt[i];
  Rebalance(in, i);
}

}  // namespace

RowSeq::RowSeq() : root_(new Leaf) {}
RowSeq::~RowSeq() { Free(root_); }

size_t RowSeq::size() const { return root_->total; }

Row* RowSeq::at(size_t k) const {
  if (hintStamp_ == stamp_ && k >= hintStart_ && k - hintStart_ < static_cast<size_t>(hintLeaf_->n))
    return hintLeaf_->item[k - hintStart_];
  const Node* x = root_;
  size_t start = 0;
  while (!x->leaf) {
    const Inner* in = static_cast<const Inner*>(x);
    int i = 0;
    while (k - start >= in->cnt[i]) start += in->cnt[i++];
    x = in->kid[i];
  }
  hintLeaf_ = static_cast<const Leaf*>(x);
  hintStart_ = start;
  hintStamp_ = stamp_;
  return hintLeaf_->item[k - start];
}

void RowSeq::insert(size_t k, Row* r) {
  ++stamp_;
  Node* sibling = InsertAt(root_, k, r);
  if (!sibling) return;
  Inner* top = new Inner;
  PutKid(top, 0, root_);
  PutKid(top, 1, sibling);
  root_ = top;
}

void RowSeq::erase(size_t k) {
  ++stamp_;
  EraseAt(root_, k);
  while (!root_->leaf && root_->n <= 1) {
    Inner* old = AsInner(root_);
    root_ = old->n == 1 ? old->kid[0] : new Leaf;
    delete old;
  }
}

void RowSeq::clear() {
  ++stamp_;
  Free(root_);
  root_ = new Leaf;
}

void RowSeq::assign(const std::vector<Row*>& rows) {
  clear();
  if (rows.empty()) return;
  std::vector<Node*> level;
  for (size_t at = 0; at < rows.size(); at += kSeqCap) {
    Leaf* lf = new Leaf;
    lf->n = static_cast<int>(std::min<size_t>(kSeqCap, rows.size() - at));
    std::copy(rows.begin() + static_cast<std::ptrdiff_t>(at),
              rows.begin() + static_cast<std::ptrdiff_t>(at) + lf->n, lf->item);
    lf->total = static_cast<size_t>(lf->n);
    level.push_back(lf);
  }
  while (level.size() > 1) {
    std::vector<Node*> up;
    for (size_t at = 0; at < level.size(); at += kSeqCap) {
      Inner* in = new Inner;
      const size_t end = std::min(level.size(), at + kSeqCap);
      for (size_t j = at; j < end; ++j) PutKid(in, in->n, level[j]);
      up.push_back(in);
    }
    level.swap(up);
  }
  Free(root_);
  root_ = level[0];
}

}  // namespace rtl::dsimpl
