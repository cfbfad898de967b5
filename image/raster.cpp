// Placeholder until the callback is built: refuses every call.
#include "image/raster.h"

#include "ded/status.h"

extern "C" int32_t dedGetImageData(void *, void *, int32_t, void *, uint8_t *) { return DED_ERR_BADARG; }
