#include "cli/geo/elevation_scale.h"

namespace elvhost {

ElevationScale elevationScaleFor(double minElevation, double maxElevation) {
  constexpr double kTopGrey = 255;
  return {(maxElevation - minElevation) / kTopGrey, minElevation};
}

} // namespace elvhost
