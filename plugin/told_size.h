// The image size a successful get-info last told the host for a handle: the
// host sized its pixel buffer from it, so get-image must not write another.
#pragma once

#include <cstdint>

// Remembering is ignored for a handle outside 0..9; recall is false when
// nothing was told for the handle since it was last forgotten. Close forgets.
void dedRememberToldSize(int32_t handle, int32_t width, int32_t height);
bool dedToldSize(int32_t handle, int32_t *width, int32_t *height);
void dedForgetToldSize(int32_t handle);
