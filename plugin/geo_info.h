// The geo-info callback: projection, UTM zone and hemisphere, control points.
#pragma once

#include <cstdint>

#include "host/qvapi.h"

// Sets the geo-reference on image, in order. Returns DED_OK; -8 for a bad
// handle or when the host refuses a setter (no later setter is called); the
// description's status when it fails.
extern "C" int32_t dedGetGeoInfo(void *host0, void *host1, int32_t handle,
                                 QvImageRec image) noexcept;
