// Placeholder until the conversion is built.
#include "image/grey.h"

#include "ded/status.h"

int32_t dedToGrey(const int16_t *, uint8_t *, int32_t, int32_t, int32_t, float, float) {
  return DED_OK;
}
