// What the host learned from the setter calls the plug-in made on its image
// records: the texture attributes from get-info and the geo-reference from
// geo-info. A value the plug-in never set stays empty; when it set one twice,
// the last call counts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "qvapilib/stand_in.h"

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

TextureView readTexture(const qvstandin::ImageRecord &record);
GeoView readGeo(const qvstandin::ImageRecord &record);

} // namespace elvhost
