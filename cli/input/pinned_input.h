// The pinned file's bytes as ded/'s readers take them, through the pin's own
// descriptor: no reader opens the file again, so every reader reads the file
// the run pinned, whatever is renamed over its path meanwhile.
#pragma once

#include <array>
#include <cstdint>

#include "cli/input/pinned_file.h"
#include "ded/input.h"

namespace elvhost {

// One reader's position in the pinned file. Reads go to the descriptor at
// that position (pread), never through the descriptor's own offset, so
// readers on several threads cannot move one another; small reads (records)
// are served from a buffer that every seek drops. A read the system fails
// is told apart from the end of the file (DedInput::readError gives its
// errno). Not copyable: the input points at it. Reads nothing when the file
// is not pinned.
class PinnedInput {
public:
  explicit PinnedInput(const PinnedFile &pin);
  PinnedInput(const PinnedInput &) = delete;
  PinnedInput &operator=(const PinnedInput &) = delete;

  const DedInput &input() const { return input_; }

private:
  static constexpr size_t kBufferBytes = size_t{64} << 10;

  static size_t read(void *context, void *dest, size_t bytes);
  static bool seek(void *context, int64_t offset);
  static int64_t size(void *context);
  static int readError(void *context);
  size_t readAt(uint8_t *dest, size_t bytes, int64_t offset);

  int fd_;
  int64_t position_ = 0;    // of the next byte read
  int64_t bufferStart_ = 0; // where the buffered bytes lie in the file
  size_t buffered_ = 0;     // how many there are
  int error_ = 0;           // errno of the last read the system failed, 0 at the end of the file
  std::array<uint8_t, kBufferBytes> buffer_{};
  DedInput input_;
};

} // namespace elvhost
