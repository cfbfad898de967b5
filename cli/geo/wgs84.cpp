#include "cli/geo/wgs84.h"

#include <cmath>

#include "cli/geo/crs.h"
#include "cli/geo/proj_handles.h"

namespace elvhost {

bool toLonLat(int epsg, std::vector<std::pair<double, double>> *points, std::string *error) {
  const ProjContext context = newProjContext();
  const std::string source = "EPSG:" + std::to_string(epsg);
  const std::string target = "EPSG:" + std::to_string(DED_EPSG_GEOGRAPHIC);
  const ProjObject raw =
      projObject(proj_create_crs_to_crs(context.get(), source.c_str(), target.c_str(), nullptr));
  // Longitude first, as GIS tools order WGS 84 extents.
  const ProjObject transform =
      projObject(raw ? proj_normalize_for_visualization(context.get(), raw.get()) : nullptr);
  if (!transform) {
    *error = "PROJ cannot transform " + source + " to WGS 84: " + projProblem(context.get());
    return false;
  }
  for (auto &[x, y] : *points) {
    const PJ_COORD out = proj_trans(transform.get(), PJ_FWD, proj_coord(x, y, 0, 0));
    if (!std::isfinite(out.xy.x) || !std::isfinite(out.xy.y)) {
      *error = "PROJ cannot transform (" + std::to_string(x) + ", " + std::to_string(y) + ")";
      return false;
    }
    x = out.xy.x;
    y = out.xy.y;
  }
  return true;
}

} // namespace elvhost
