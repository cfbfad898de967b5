#include "ded/output.h"

#if !defined(_WIN32)
#include <unistd.h>

#include <cerrno>
#endif

#include "ded/records.h"

namespace {

bool writeAt(void *context, int64_t offset, const void *data, size_t bytes) {
  auto *file = static_cast<std::FILE *>(context);
  if (std::fflush(file) != 0) {
    return false;
  }
#if defined(_WIN32)
  return dedSeekTo(file, offset) && std::fwrite(data, 1, bytes, file) == bytes;
#else
  // One call a run, past the stream's buffer: a writer that scatters runs
  // over the file makes one system call for each.
  const int fd = fileno(file);
  const auto *from = static_cast<const char *>(data);
  while (bytes > 0) {
    const ssize_t n = ::pwrite(fd, from, bytes, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    from += n;
    bytes -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
#endif
}

} // namespace

DedOutput dedStdioOutput(std::FILE *stream) {
  return DedOutput{stream,
                   [](void *context, const void *data, size_t bytes) {
                     return std::fwrite(data, 1, bytes, static_cast<std::FILE *>(context)) == bytes;
                   },
                   writeAt};
}
