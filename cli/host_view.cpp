#include "cli/host_view.h"

#include <cmath>
#include <limits>
#include <string>

namespace elvhost {

namespace {

// Setter arguments are recorded as doubles; an int32 setter's value always
// converts back exactly.
void takeInt(const qvstandin::SetterCall &call, const char *name, std::optional<int32_t> *out) {
  if (call.name == name && call.args.size() == 1) {
    const double v = call.args[0];
    if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()) {
      *out = static_cast<int32_t>(v);
    }
  }
}

} // namespace

TextureView readTexture(const qvstandin::ImageRecord &record) {
  TextureView view;
  for (const qvstandin::SetterCall &call : record.calls) {
    takeInt(call, "qvSetTextureWidth", &view.width);
    takeInt(call, "qvSetTextureHeight", &view.height);
    takeInt(call, "qvSetTextureType", &view.type);
    takeInt(call, "qvSetTextureSampleSize", &view.sampleSize);
    takeInt(call, "qvSetTextureTransparentValue", &view.transparentValue);
    takeInt(call, "qvSetTextureTiledFlag", &view.tiled);
    takeInt(call, "qvSetTextureSignedFlag", &view.signedFlag);
    if (call.name == "qvSetTextureMinMax" && call.args.size() == 2) {
      view.min = call.args[0];
      view.max = call.args[1];
    }
  }
  return view;
}

GeoView readGeo(const qvstandin::ImageRecord &record) {
  GeoView view;
  for (const qvstandin::SetterCall &call : record.calls) {
    takeInt(call, "qvSetTextureGeoType", &view.geoType);
    takeInt(call, "qvSetTextureGeoImageOrigin", &view.imageOrigin);
    takeInt(call, "qvSetTextureGeoProjection", &view.projection);
    takeInt(call, "qvSetTextureGeoEarthModel", &view.earthModel);
    takeInt(call, "qvSetTextureGeoUTMZone", &view.utmZone);
    takeInt(call, "qvSetTextureGeoUTMHemisphere", &view.utmHemisphere);
    takeInt(call, "qvSetTextureGeoNumCtlPts", &view.controlPointCount);
    if (call.name == "qvSetTextureGeoCtlPt" && call.args.size() == 5) {
      const double index = call.args[0];
      if (index >= 0 && index < kControlPoints && index == std::floor(index)) {
        view.points[static_cast<size_t>(index)] =
            ControlPoint{call.args[1], call.args[2], call.args[3], call.args[4]};
      }
    }
  }
  return view;
}

} // namespace elvhost
