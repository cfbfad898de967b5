#include "cli/formats/pgm_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#if !defined(_WIN32)
#include <limits.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace elvhost {

namespace {

#if !defined(_WIN32)
// Hands the rows straight from the host's buffer to the system, many at a
// time, without copying them through a stream buffer.
bool writeRows(std::FILE *stream, const GreyImage &image, bool northUp,
               const RowProgress &progress) {
  if (std::fflush(stream) != 0) {
    return false;
  }
  const int fd = fileno(stream);
  constexpr int kBatch = std::min(IOV_MAX, 1024);
  iovec rows[kBatch];
  int32_t next = 0;
  while (next < image.height) {
    int count = 0;
    for (; count < kBatch && next + count < image.height; ++count) {
      rows[count].iov_base = const_cast<uint8_t *>(outputRow(image, next + count, northUp));
      rows[count].iov_len = static_cast<size_t>(image.width);
    }
    // writev may stop short; carry on from where it stopped.
    iovec *pending = rows;
    int left = count;
    while (left > 0) {
      const ssize_t written = writev(fd, pending, left);
      if (written < 0) {
        if (errno == EINTR) {
          continue;
        }
        return false;
      }
      size_t done = static_cast<size_t>(written);
      while (left > 0 && done >= pending->iov_len) {
        done -= pending->iov_len;
        ++pending;
        --left;
      }
      if (left > 0) {
        pending->iov_base = static_cast<uint8_t *>(pending->iov_base) + done;
        pending->iov_len -= done;
      }
    }
    next += count;
    if (progress) {
      progress(next);
    }
  }
  return true;
}
#else
bool writeRows(std::FILE *stream, const GreyImage &image, bool northUp,
               const RowProgress &progress) {
  const size_t rowBytes = static_cast<size_t>(image.width);
  for (int32_t row = 0; row < image.height; ++row) {
    if (std::fwrite(outputRow(image, row, northUp), 1, rowBytes, stream) != rowBytes) {
      return false;
    }
    if (progress) {
      progress(row + 1);
    }
  }
  return true;
}
#endif

} // namespace

bool writePgm(std::FILE *stream, const GreyImage &image, bool northUp, std::string *error,
              const RowProgress &progress) {
  errno = 0;
  const std::string header =
      "P5\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  const bool ok = std::fwrite(header.data(), 1, header.size(), stream) == header.size() &&
                  writeRows(stream, image, northUp, progress);
  if (!ok) {
    *error = std::strerror(errno != 0 ? errno : EIO);
  }
  return ok;
}

} // namespace elvhost
