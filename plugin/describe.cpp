#include "plugin/describe.h"

#include "ded/open_files.h"
#include "host/status.h"
#include "plugin/status.h"

int32_t dedDescribe(int32_t handle, DedImageInfo *info, DedBlock<DedCellHeader> *headers) {
  std::FILE *stream = dedStreamFor(handle);
  if (stream == nullptr) {
    return DED_ERR_BADARG;
  }
  return dedStatusFor(
      dedDescribeInput(dedStdioInput(stream), dedHostAllocator(), info, nullptr, headers));
}
