#include "ded/input.h"

#include "ded/records.h"

namespace {

std::FILE *streamOf(void *context) { return static_cast<std::FILE *>(context); }

size_t readStream(void *context, void *dest, size_t bytes) {
  return std::fread(dest, 1, bytes, streamOf(context));
}

bool seekStream(void *context, int64_t offset) {
  const bool sought = dedSeekTo(streamOf(context), offset);
  // On an input stream both glibc and Microsoft's runtimes discard the
  // buffered input; glibc also moves the descriptor back to the stream's
  // position first. Without it glibc serves a seek into its buffer from the
  // buffer.
  (void)std::fflush(streamOf(context));
  return sought;
}

int64_t streamSize(void *context) { return dedStreamSize(streamOf(context)); }

void printFailure(void * /*context*/, const char *message) { std::perror(message); }

} // namespace

DedInput dedStdioInput(std::FILE *stream) {
  return DedInput{stream, readStream, seekStream, streamSize, printFailure};
}
