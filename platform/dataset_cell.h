// One value of a dataset row. A cell is 32 bytes: the number members, the
// text and the null flag side by side. Texts up to 22 bytes (codes, names,
// series) live inside the cell; longer ones take one heap block of their own.
#pragma once
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rtl::dsimpl {

class CellText {
 public:
  CellText() { b_[kTag] = 0; }
  CellText(const CellText& o) : CellText() { assign(o.view()); }
  CellText(CellText&& o) noexcept {
    std::memcpy(b_, o.b_, sizeof b_);
    o.b_[kTag] = 0;
  }
  CellText& operator=(const CellText& o) {
    if (this != &o) assign(o.view());
    return *this;
  }
  CellText& operator=(CellText&& o) noexcept {
    if (this != &o) {
      Release();
      std::memcpy(b_, o.b_, sizeof b_);
      o.b_[kTag] = 0;
    }
    return *this;
  }
  CellText& operator=(std::string_view v) {
    assign(v);
    return *this;
  }
  ~CellText() { Release(); }

  // v may point into this text.
  void assign(std::string_view v) {
    const size_t n = v.size();
    if (Heap()) {
      if (n <= HeapField(kCapAt)) {
        std::memmove(Ptr(), v.data(), n);
        SetHeapField(kSizeAt, static_cast<uint32_t>(n));
        return;
      }
      char* old = Ptr();
      ToHeap(v);
      ::operator delete(old);
      return;
    }
    if (n <= kInline) {
      std::memmove(b_, v.data(), n);
      b_[kTag] = static_cast<char>(n);
      return;
    }
    ToHeap(v);
  }
  void clear() {
    Release();
    b_[kTag] = 0;
  }
  size_t size() const { return Heap() ? HeapField(kSizeAt) : static_cast<unsigned char>(b_[kTag]); }
  bool empty() const { return size() == 0; }
  const char* data() const { return Heap() ? Ptr() : b_; }
  char operator[](size_t i) const { return data()[i]; }
  std::string_view view() const { return {data(), size()}; }
  operator std::string_view() const { return view(); }
  std::string str() const { return std::string(view()); }

 private:
  static constexpr size_t kInline = 22;  // bytes held inside the cell
  static constexpr size_t kTag = 22;     // inline length, or kHeap
  static constexpr unsigned char kHeap = 0xFF;
  // Heap form: the block's address, then its size and capacity.
  static constexpr size_t kSizeAt = sizeof(char*), kCapAt = kSizeAt + 4;

  bool Heap() const { return static_cast<unsigned char>(b_[kTag]) == kHeap; }
  char* Ptr() const {
    char* p;
    std::memcpy(&p, b_, sizeof p);
    return p;
  }
  uint32_t HeapField(size_t at) const {
    uint32_t v;
    std::memcpy(&v, b_ + at, sizeof v);
    return v;
  }
  void SetHeapField(size_t at, uint32_t v) { std::memcpy(b_ + at, &v, sizeof v); }
  // Kept out of line: inlined where the text may point into this cell (a
  // piece of itself, always inline-sized when it does), the optimiser cannot
  // see that the long-text path never copies from the 23-byte buffer.
  [[gnu::noinline]] void ToHeap(std::string_view v) {
    if (v.size() > UINT32_MAX) throw std::length_error("text too long for a dataset field");
    char* p = static_cast<char*>(::operator new(v.size()));
    std::memcpy(p, v.data(), v.size());
    std::memcpy(b_, &p, sizeof p);
    SetHeapField(kSizeAt, static_cast<uint32_t>(v.size()));
    SetHeapField(kCapAt, static_cast<uint32_t>(v.size()));
    b_[kTag] = static_cast<char>(kHeap);
  }
  void Release() {
    if (Heap()) ::operator delete(Ptr());
  }

  char b_[kInline + 1];
};

struct Cell {
  union {
    int64_t i;  // Store::Int (Integer, LargeInt, Boolean)
    double d;   // Store::Real (floats and date-times)
  };
  CellText s;  // Store::Text
  bool null = true;
  Cell() : i(0) {}
};
static_assert(sizeof(Cell) == 32, "a cell is four words");

}  // namespace rtl::dsimpl
