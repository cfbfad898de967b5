// qvMalloc and qvFree, counting blocks so a leak on any path shows up, and
// able to fail a chosen allocation.
#include <cstdlib>
#include <new>
#include <unordered_set>

#include "qvapilib/stand_in.h"
#include "qvapilib/state.h"

namespace qvstandin {

int64_t outstandingBlocks() { return static_cast<int64_t>(state().liveBlocks.size()); }
int64_t allocationCount() { return state().allocations; }
int64_t foreignFrees() { return state().foreignFrees; }
std::vector<size_t> allocationSizes() { return state().sizes; }
void failAllocation(int64_t n) { state().failAt = n > 0 ? state().allocations + n : 0; }
void failAllAllocations(bool fail) { state().failAll = fail; }
void zeroSizeReturnsNull(bool returnsNull) { state().zeroIsNull = returnsNull; }
void refuseBlocksOver(size_t bytes) { state().largestBlock = bytes; }

} // namespace qvstandin

// A block, or null when refused as told, or when the bookkeeping itself
// has no memory (nothing is handed out that could not be counted).
extern "C" QVAPI_HOST_FN void *qvMalloc(size_t bytes) noexcept {
  auto &s = qvstandin::state();
  ++s.allocations;
  try {
    s.sizes.push_back(bytes);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
  if (s.failAll || s.allocations == s.failAt) {
    return nullptr;
  }
  if (bytes == 0 && s.zeroIsNull) {
    return nullptr;
  }
  if (s.largestBlock != 0 && bytes > s.largestBlock) {
    return nullptr;
  }
  void *block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block != nullptr) {
    try {
      s.liveBlocks.insert(block);
    } catch (const std::bad_alloc &) {
      std::free(block);
      return nullptr;
    }
  }
  return block;
}

extern "C" QVAPI_HOST_FN void qvFree(void *block) noexcept {
  if (block == nullptr) {
    return;
  }
  auto &s = qvstandin::state();
  if (s.liveBlocks.erase(block) == 0) {
    ++s.foreignFrees; // never ours, or freed already: do not touch it
    return;
  }
  std::free(block);
}
