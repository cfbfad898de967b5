#include "plugin/told_size.h"

#include "ded/open_files.h"

namespace {

struct ToldSize {
  bool told;
  int32_t width;
  int32_t height;
};

ToldSize told[DED_MAX_OPEN_FILES]; // zero at load

bool inTable(int32_t handle) { return handle >= 0 && handle < DED_MAX_OPEN_FILES; }

} // namespace

void dedRememberToldSize(int32_t handle, int32_t width, int32_t height) {
  if (inTable(handle)) {
    told[handle] = ToldSize{true, width, height};
  }
}

bool dedToldSize(int32_t handle, int32_t *width, int32_t *height) {
  if (!inTable(handle) || !told[handle].told) {
    return false;
  }
  *width = told[handle].width;
  *height = told[handle].height;
  return true;
}

void dedForgetToldSize(int32_t handle) {
  if (inTable(handle)) {
    told[handle] = ToldSize{};
  }
}
