// The get-info callback: the image's size and fixed texture attributes.
#pragma once

#include <cstdint>

#include "host/qvapi.h"

// Sets width, height and the fixed texture attributes on image, in order.
// Returns DED_OK; -8 for a bad handle or when the host refuses a setter (no
// later setter is called); the description's status when it fails.
extern "C" int32_t dedGetImageInfo(void *host0, void *host1, int32_t handle,
                                   QvImageRec image) noexcept;
