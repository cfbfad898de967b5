// The values the plug-in hands the host through its setters: the fixed
// texture attributes of every image it delivers and the kind of
// geo-reference it gives. What each means is the host's; the host and the
// plug-in agree on the numbers. The projection and hemisphere codes are the
// file's own, passed on unchanged.
#pragma once

#include <cstdint>

// One 8-bit grey channel, not tiled: texture type 2, sample size 8. The row
// width the host's pixel buffer has depends on both.
constexpr int32_t QV_TEXTURE_TYPE = 2;
constexpr int32_t QV_SAMPLE_SIZE = 8;
constexpr float QV_GREY_LOW = 0.0f;
constexpr float QV_GREY_HIGH = 255.0f;
constexpr int32_t QV_TRANSPARENT_VALUE = -32768;
constexpr int32_t QV_TILED_FLAG = 0;
constexpr int32_t QV_SIGNED_FLAG = 1;

// Geo type, image origin and earth model of the one kind of geo-reference
// the importer gives: three control points tying image corners to file
// coordinates.
constexpr int32_t QV_GEO_TYPE = 0;
constexpr int32_t QV_GEO_IMAGE_ORIGIN = 0;
constexpr int32_t QV_GEO_EARTH_MODEL = 0;
constexpr int32_t QV_GEO_CONTROL_POINTS = 3;
