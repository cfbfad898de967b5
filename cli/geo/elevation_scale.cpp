#include "cli/geo/elevation_scale.h"

namespace elvhost {

ElevationScale elevationScaleFor(double minElevation, double maxElevation) {
  constexpr double kTopGrey = 255;
  const double step = (maxElevation - minElevation) / kTopGrey;
  return {step, minElevation + step / 2};
}

} // namespace elvhost
