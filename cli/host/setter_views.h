// What the plug-in set on the host's image record, as the host's setters
// received it: the texture attributes of get-info and the geo-reference of
// geo-info. A value the plug-in never set stays empty, and when it set one
// twice the last call counts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace elvhost {

struct TextureView {
  std::optional<int32_t> width, height, type, sampleSize, transparentValue, tiled, signedFlag;
  std::optional<double> min, max;
};

struct ControlPoint {
  double imageX = 0, imageY = 0; // image position, pixels; (0, 0) is the host's first byte's corner
  double fileX = 0, fileY = 0;   // file coordinates: degrees or metres
};

constexpr int kControlPoints = 3;

struct GeoView {
  std::optional<int32_t> geoType, imageOrigin, projection, earthModel, utmZone, utmHemisphere,
      controlPointCount;
  std::array<std::optional<ControlPoint>, kControlPoints> points;
};

} // namespace elvhost
