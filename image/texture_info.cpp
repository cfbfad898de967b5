// Placeholder until the callback is built: refuses every call.
#include "image/texture_info.h"

#include "ded/status.h"

extern "C" int32_t dedGetImageInfo(void *, void *, int32_t, QvImageRec) { return DED_ERR_BADARG; }
