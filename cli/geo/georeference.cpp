#include "cli/geo/georeference.h"

#include <utility>

namespace elvhost {

Georeference georeferenceFor(const WorldFile &world, const CrsCodes &codes,
                             std::optional<ElevationScale> elevation) {
  Georeference geo;
  geo.world = world;
  geo.transform = geoTransformFor(world);
  Crs crs;
  if (crsFor(codes, &crs, &geo.crsProblem)) {
    geo.crs = std::move(crs);
  }
  geo.elevation = elevation;
  return geo;
}

} // namespace elvhost
