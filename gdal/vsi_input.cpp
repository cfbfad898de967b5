#include "gdal/vsi_input.h"

namespace {

VSILFILE *fileOf(void *context) { return static_cast<VSILFILE *>(context); }

size_t readBytes(void *context, void *dest, size_t bytes) {
  return VSIFReadL(dest, 1, bytes, fileOf(context));
}

bool seekTo(void *context, int64_t offset) {
  return offset >= 0 &&
         VSIFSeekL(fileOf(context), static_cast<vsi_l_offset>(offset), SEEK_SET) == 0;
}

int64_t sizeOf(void *context) {
  VSILFILE *file = fileOf(context);
  const vsi_l_offset here = VSIFTellL(file);
  if (VSIFSeekL(file, 0, SEEK_END) != 0) {
    return -1;
  }
  const vsi_l_offset end = VSIFTellL(file);
  if (VSIFSeekL(file, here, SEEK_SET) != 0 || end > static_cast<vsi_l_offset>(INT64_MAX)) {
    return -1;
  }
  return static_cast<int64_t>(end);
}

// The driver reports the finding a short record leads to, once, in its own
// words; the record's name is the reader's business.
void readFailed(void * /*context*/, const char * /*message*/) {}

} // namespace

DedInput dedVsiInput(VSILFILE *file) {
  return DedInput{file, readBytes, seekTo, sizeOf, readFailed};
}
