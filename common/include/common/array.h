// A growable array in host memory. Allocation failure is reported, never thrown: every
// call that may allocate returns false when the host has no memory for it, and leaves the
// array as it was.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "host/memory.h"

namespace common {

template <class T>
class Array {
 public:
  Array() = default;
  ~Array() { release(); }
  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;
  Array(Array&& other) noexcept { swap(other); }
  Array& operator=(Array&& other) noexcept {
    if (this != &other) {
      release();
      swap(other);
    }
    return *this;
  }

  // Makes room for at least `capacity` elements, moving the stored ones.
  [[nodiscard]] bool reserve(size_t capacity) {
    if (capacity <= capacity_) return true;
    if (capacity > size_t(-1) / sizeof(T)) return false;
    if constexpr (std::is_trivially_copyable_v<T>) {
      // Plain values move with the block, which for large arrays costs no copy.
      T* grown = static_cast<T*>(host::memRealloc(data_, capacity * sizeof(T)));
      if (!grown) return false;
      data_ = grown;
    } else {
      T* fresh = static_cast<T*>(host::memAlloc(capacity * sizeof(T)));
      if (!fresh) return false;
      for (size_t i = 0; i < size_; ++i) {
        new (fresh + i) T(std::move(data_[i]));
        data_[i].~T();
      }
      host::memFree(data_);
      data_ = fresh;
    }
    capacity_ = capacity;
    return true;
  }

  // Appends one value-initialised element and returns it; nullptr when the array is full
  // and cannot grow. Growth is geometric, so appending n elements copies O(n).
  T* append() {
    if (size_ == capacity_ && !reserve(capacity_ < 8 ? 8 : capacity_ + capacity_ / 2)) return nullptr;
    return new (data_ + size_++) T();
  }

  // Appends without growing; the caller has reserved room.
  T& appendReserved() {
    assert(size_ < capacity_ && "appendReserved beyond the reserved capacity");
    return *new (data_ + size_++) T();
  }

  // Appends one element of plain values without initialising it; nullptr when the array
  // is full. The caller writes every field.
  T* appendUninitialized() requires std::is_trivially_copyable_v<T> {
    return size_ < capacity_ ? data_ + size_++ : nullptr;
  }

  // Sets the size of an array of plain values; new elements are left uninitialised.
  [[nodiscard]] bool resizeUninitialized(size_t size) requires std::is_trivially_copyable_v<T> {
    if (!reserve(size)) return false;
    size_ = size;
    return true;
  }

  void release() {
    for (size_t i = 0; i < size_; ++i) data_[i].~T();
    host::memFree(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](size_t i) {
    assert(i < size_);
    return data_[i];
  }
  const T& operator[](size_t i) const {
    assert(i < size_);
    return data_[i];
  }
  T& back() { return data_[size_ - 1]; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

 private:
  void swap(Array& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

  T* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace common
