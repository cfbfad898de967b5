#include "plugin/open_close.h"

#include "ded/open_files.h"

extern "C" int32_t dedOpenImage(void * /*host0*/, void * /*host1*/, const char *path,
                                const char *mode, int32_t *handle) {
  return dedTableOpen(path, mode, handle);
}

extern "C" int32_t dedCloseImage(void * /*host0*/, void * /*host1*/, int32_t handle) {
  return dedTableClose(handle);
}
