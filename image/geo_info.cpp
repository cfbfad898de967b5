// Placeholder until the callback is built: refuses every call.
#include "image/geo_info.h"

#include "ded/status.h"

extern "C" int32_t dedGetGeoInfo(void *, void *, int32_t, QvImageRec) { return DED_ERR_BADARG; }
