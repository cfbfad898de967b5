#include "cli/input/pinned_input.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace elvhost {

PinnedInput::PinnedInput(const PinnedFile &pin)
    : fd_(pin.descriptor()), input_{this,
                                    &PinnedInput::read,
                                    &PinnedInput::seek,
                                    &PinnedInput::size,
                                    [](void *, const char *) {},
                                    &PinnedInput::readError} {}

// Up to bytes bytes at offset, fewer only at the end of the file or on an
// error (its errno in error_); a read the system cuts short is carried on.
size_t PinnedInput::readAt(uint8_t *dest, size_t bytes, int64_t offset) {
  size_t done = 0;
  while (done < bytes) {
    const ssize_t got = ::pread(fd_, dest + done, bytes - done,
                                static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      error_ = errno;
    }
    if (got <= 0) {
      break;
    }
    done += static_cast<size_t>(got);
  }
  return done;
}

size_t PinnedInput::read(void *context, void *dest, size_t bytes) {
  auto *self = static_cast<PinnedInput *>(context);
  auto *out = static_cast<uint8_t *>(dest);
  size_t done = 0;
  self->error_ = 0;
  const int64_t skip = self->position_ - self->bufferStart_;
  if (skip >= 0 && skip < static_cast<int64_t>(self->buffered_)) {
    done = std::min(bytes, self->buffered_ - static_cast<size_t>(skip));
    std::memcpy(out, self->buffer_.data() + skip, done);
  }
  if (done < bytes && bytes - done >= kBufferBytes) {
    done += self->readAt(out + done, bytes - done, self->position_ + static_cast<int64_t>(done));
  } else if (done < bytes) {
    self->bufferStart_ = self->position_ + static_cast<int64_t>(done);
    self->buffered_ = self->readAt(self->buffer_.data(), kBufferBytes, self->bufferStart_);
    const size_t more = std::min(bytes - done, self->buffered_);
    std::memcpy(out + done, self->buffer_.data(), more);
    done += more;
  }
  self->position_ += static_cast<int64_t>(done);
  return done;
}

bool PinnedInput::seek(void *context, int64_t offset) {
  auto *self = static_cast<PinnedInput *>(context);
  if (offset < 0 || self->fd_ < 0) {
    return false;
  }
  // What was buffered may no longer be what the file holds.
  self->buffered_ = 0;
  self->position_ = offset;
  return true;
}

int64_t PinnedInput::size(void *context) {
  struct stat status {};
  const int fd = static_cast<PinnedInput *>(context)->fd_;
  return fd >= 0 && ::fstat(fd, &status) == 0 ? static_cast<int64_t>(status.st_size) : -1;
}

int PinnedInput::readError(void *context) {
  return static_cast<const PinnedInput *>(context)->error_;
}

} // namespace elvhost
