#include "cli/geo/elevation_scale.h"

#include "host/attributes.h"

namespace elvhost {

ElevationScale elevationScaleFor(double minElevation, double maxElevation) {
  constexpr double kGreyLevels = QV_GREY_HIGH - QV_GREY_LOW;
  const double step = (maxElevation - minElevation) / kGreyLevels;
  return {step, minElevation + step / 2};
}

} // namespace elvhost
