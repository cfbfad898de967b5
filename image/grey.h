// Elevations to grey levels.
#pragma once

#include <cstdint>

// Maps a column-major raster of width x height elevations linearly from
// minElevation (grey 0) to maxElevation (grey 255) into pixels, whose rows are
// rowStride bytes apart; bytes past each row's width are not written.
// Returns DED_OK.
int32_t dedToGrey(const int16_t *raster, uint8_t *pixels, int32_t width, int32_t height,
                  int32_t rowStride, float minElevation, float maxElevation);
