// A growable array of values for the lists and stacks, which game code fills a value at a time to
// millions of entries. It grows with realloc, which for large blocks moves the pages instead of
// copying them and keeps the ones already touched: a value is a real, a kind and a pointer to
// shared text, so it can be moved as bytes (the old bytes are then never destroyed).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "script/Value.h"

namespace kestro {

class CValueArray {
 public:
  CValueArray() = default;
  CValueArray(const CValueArray& o) { *this = o; }
  CValueArray(CValueArray&& o) noexcept { Swap(o); }
  CValueArray& operator=(const CValueArray& o) {
    if (this == &o) return *this;
    clear();
    reserve(o.size_);
    for (size_t i = 0; i < o.size_; ++i) new (data_ + i) RValue(o.data_[i]);
    size_ = o.size_;
    return *this;
  }
  CValueArray& operator=(CValueArray&& o) noexcept {
    if (this != &o) {
      CValueArray gone(std::move(o));
      Swap(gone);
    }
    return *this;
  }
  ~CValueArray() {
    clear();
    std::free(data_);
  }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  RValue& operator[](size_t i) { return data_[i]; }
  const RValue& operator[](size_t i) const { return data_[i]; }
  RValue* begin() { return data_; }
  RValue* end() { return data_ + size_; }
  const RValue* begin() const { return data_; }
  const RValue* end() const { return data_ + size_; }
  RValue& back() { return data_[size_ - 1]; }
  const RValue& back() const { return data_[size_ - 1]; }

  void reserve(size_t n) {
    if (n <= cap_) return;
    void* grown = std::realloc(static_cast<void*>(data_), n * sizeof(RValue));
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<RValue*>(grown);
    cap_ = n;
  }
  void push_back(const RValue& v) {
    if (size_ == cap_) {
      RValue copy = v;  // v may be one of ours, and growing moves them
      Grow();
      new (data_ + size_) RValue(std::move(copy));
    } else {
      new (data_ + size_) RValue(v);
    }
    ++size_;
  }
  void push_back(RValue&& v) {
    if (size_ == cap_) Grow();
    new (data_ + size_) RValue(std::move(v));
    ++size_;
  }
  void pop_back() { data_[--size_].~RValue(); }
  // Before position pos (0 .. size).
  void insert(size_t pos, const RValue& v) {
    RValue copy = v;
    if (size_ == cap_) Grow();
    std::memmove(static_cast<void*>(data_ + pos + 1), static_cast<const void*>(data_ + pos),
                 (size_ - pos) * sizeof(RValue));
    new (data_ + pos) RValue(std::move(copy));
    ++size_;
  }
  void erase(size_t pos) {
    data_[pos].~RValue();
    std::memmove(static_cast<void*>(data_ + pos), static_cast<const void*>(data_ + pos + 1),
                 (size_ - pos - 1) * sizeof(RValue));
    --size_;
  }
  void clear() {
    for (size_t i = 0; i < size_; ++i) data_[i].~RValue();
    size_ = 0;
  }

 private:
  void Grow() { reserve(cap_ < 16 ? 16 : cap_ * 2); }
  void Swap(CValueArray& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    std::swap(cap_, o.cap_);
  }

  RValue* data_ = nullptr;
  size_t size_ = 0;
  size_t cap_ = 0;
};

}  // namespace kestro
