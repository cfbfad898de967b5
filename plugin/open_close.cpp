#include "plugin/open_close.h"

#include "ded/open_files.h"
#include "plugin/status.h"
#include "plugin/told_size.h"

extern "C" int32_t dedOpenImage(void * /*host0*/, void * /*host1*/, const char *path,
                                const char *mode, int32_t *handle) noexcept {
  return dedStatusFor(dedTableOpen(path, mode, dedHostAllocator(), handle));
}

extern "C" int32_t dedCloseImage(void * /*host0*/, void * /*host1*/, int32_t handle) noexcept {
  const DedFinding finding = dedTableClose(handle);
  if (finding == DedFinding::None) {
    dedForgetToldSize(handle); // the next file in this slot told the host nothing yet
  }
  return dedStatusFor(finding);
}
