// The stand-in host's whole state, one instance per process.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "qvapilib/stand_in.h"

namespace qvstandin {

struct HostState {
  Registration registration;
  bool refuseRegistration = false;

  std::unordered_set<void *> liveBlocks;
  int64_t allocations = 0;
  int64_t foreignFrees = 0;
  int64_t failAt = 0;
  bool failAll = false;
  bool zeroIsNull = false;
  size_t largestBlock = 0; // 0: no limit
  std::vector<size_t> sizes;

  int32_t rowWidthOverride = -1;
  int rowWidthCalls = 0;
  std::array<int32_t, 3> lastRowWidthArgs{}; // kept without allocating

  int openStreams = 0; // opens minus closes through the loader's host calls
};

HostState &state();

} // namespace qvstandin
