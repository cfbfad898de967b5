#include "ded/allocator.h"

#include <cstdlib>

namespace {

void *systemAllocate(size_t bytes) { return std::malloc(bytes); }
void systemRelease(void *block) { std::free(block); }

} // namespace

DedAllocator dedSystemAllocator() { return DedAllocator{systemAllocate, systemRelease}; }
