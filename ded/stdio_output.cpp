#include "ded/output.h"

#include "ded/records.h"

DedOutput dedStdioOutput(std::FILE *stream) {
  return DedOutput{stream,
                   [](void *context, const void *data, size_t bytes) {
                     return std::fwrite(data, 1, bytes, static_cast<std::FILE *>(context)) == bytes;
                   },
                   [](void *context, int64_t offset) {
                     auto *file = static_cast<std::FILE *>(context);
                     return std::fflush(file) == 0 && dedSeekTo(file, offset);
                   }};
}
