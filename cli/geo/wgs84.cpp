#include "cli/geo/wgs84.h"

#include <proj.h>

#include <cmath>
#include <memory>

namespace elvhost {

bool toLonLat(int epsg, std::vector<std::pair<double, double>> *points, std::string *error) {
  const std::unique_ptr<PJ_CONTEXT, PJ_CONTEXT *(*)(PJ_CONTEXT *)> context(proj_context_create(),
                                                                           &proj_context_destroy);
  const std::string source = "EPSG:" + std::to_string(epsg);
  const std::unique_ptr<PJ, PJ *(*)(PJ *)> raw(
      proj_create_crs_to_crs(context.get(), source.c_str(), "EPSG:4326", nullptr), &proj_destroy);
  // Longitude first, as GIS tools order WGS 84 extents.
  const std::unique_ptr<PJ, PJ *(*)(PJ *)> transform(
      raw ? proj_normalize_for_visualization(context.get(), raw.get()) : nullptr, &proj_destroy);
  if (!transform) {
    *error = "PROJ cannot transform " + source + " to WGS 84: " +
             proj_context_errno_string(context.get(), proj_context_errno(context.get()));
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
