#include "qvapilib/state.h"

#include <cstdlib>

namespace qvstandin {

HostState &state() {
  static HostState instance;
  return instance;
}

void reset() {
  HostState &s = state();
  for (void *block : s.liveBlocks) {
    std::free(block);
  }
  s = HostState{};
}

const Registration &registration() { return state().registration; }
void refuseRegistration(bool refuse) { state().refuseRegistration = refuse; }

} // namespace qvstandin
