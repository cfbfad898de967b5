// Projected coordinates to WGS 84 longitude and latitude, through PROJ.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace elvhost {

// Transforms points (x, y in the coordinate system EPSG:epsg) in place to
// (longitude, latitude) in degrees. False, with the reason in error, when
// PROJ has no such system or a point does not transform; points are then
// not to be relied on.
bool toLonLat(int epsg, std::vector<std::pair<double, double>> *points, std::string *error);

} // namespace elvhost
