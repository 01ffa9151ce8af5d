#include "host/memory.h"

#include <cstdlib>

#include "host/app.h"
#include "state.h"

namespace host {

bool allocationAllowed() {
  HostState& s = state();
  ++s.allocations;
  return !(s.failAt != 0 && s.allocations == s.failAt);
}

void* memAlloc(size_t bytes) {
  if (!allocationAllowed()) return nullptr;
  void* p = std::malloc(bytes == 0 ? 1 : bytes);
  if (p) ++state().liveAllocations;
  return p;
}

void* memRealloc(void* p, size_t bytes) {
  if (!p) return memAlloc(bytes);
  if (!allocationAllowed()) return nullptr;
  return std::realloc(p, bytes == 0 ? 1 : bytes);
}

void memFree(void* p) {
  if (!p) return;
  --state().liveAllocations;
  std::free(p);
}

namespace app {

void failAllocationAt(int64_t n) {
  HostState& s = state();
  s.failAt = n == 0 ? 0 : s.allocations + n;
}

int64_t allocationCount() {
  return state().allocations;
}
int64_t liveAllocations() {
  return state().liveAllocations;
}

}  // namespace app
}  // namespace host
