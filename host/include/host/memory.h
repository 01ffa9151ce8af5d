// Host memory. Allocation reports failure as nullptr; nothing throws.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace host {

// Uninitialised memory, or nullptr when it cannot be had.
void* memAlloc(size_t bytes);
void memFree(void* p);
// Resizes a block, keeping its bytes (large blocks are moved without copying where the
// system can); nullptr when it cannot be had, and then the old block is left as it was.
void* memRealloc(void* p, size_t bytes);

// One object in host memory; nullptr when the allocation fails.
template <class T, class... Args>
T* newObject(Args&&... args) {
  void* p = memAlloc(sizeof(T));
  return p ? new (p) T(std::forward<Args>(args)...) : nullptr;
}

template <class T>
void deleteObject(T*& p) {
  if (p) {
    p->~T();
    memFree(p);
    p = nullptr;
  }
}

}  // namespace host
