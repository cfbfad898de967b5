// The get-image callback: the file's cells assembled into one raster and
// delivered to the host as grey levels.
#pragma once

#include <cstdint>

// Fills the host's pixel buffer (rows qvGetImageRowWidth bytes apart, row 0
// at the southern edge) with the grey image of the handle's file. Returns
// DED_OK; -8 for a bad handle or null buffer or unusable sizes, -1 when the
// host has no memory, -3 when the file cannot be read. On failure the buffer
// is untouched and nothing stays allocated.
extern "C" int32_t dedGetImageData(void *host0, void *host1, int32_t handle, void *unused,
                                   uint8_t *pixels);
