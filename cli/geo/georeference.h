// Everything that places a written image on the map, worked out once per
// image and handed to every writer: the world file, .prj, .aux.xml, the
// GeoTIFF's tags and info all read the same value.
#pragma once

#include <optional>
#include <string>

#include "cli/geo/crs.h"
#include "cli/geo/elevation_scale.h"
#include "cli/geo/georef.h"

namespace elvhost {

struct Georeference {
  WorldFile world;                         // of the image as written
  GeoTransform transform{};                // the same map from the top-left outer corner
  std::optional<Crs> crs;                  // empty: crsProblem says why
  std::string crsProblem;                  // empty when there is a coordinate system
  std::optional<ElevationScale> elevation; // empty: the grey levels' elevations are unknown
  std::string unmapped; // why no map places the image (world and transform then mean
                        // nothing); empty when world does
};

// The geo-reference of an image written with world, in the coordinate
// system codes names (none when they name none).
Georeference georeferenceFor(const WorldFile &world, const CrsCodes &codes,
                             std::optional<ElevationScale> elevation);

} // namespace elvhost
