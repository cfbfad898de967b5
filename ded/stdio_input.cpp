#include "ded/input.h"

#include <cerrno>

#include "ded/records.h"

namespace {

std::FILE *streamOf(void *context) { return static_cast<std::FILE *>(context); }

size_t readStream(void *context, void *dest, size_t bytes) {
  return std::fread(dest, 1, bytes, streamOf(context));
}

// Whole samples, as fread's items of two bytes; an odd byte asked for is
// left unread.
size_t readSamples(void *context, void *dest, size_t bytes) {
  return std::fread(dest, DED_SAMPLE_SIZE, bytes / DED_SAMPLE_SIZE, streamOf(context)) *
         DED_SAMPLE_SIZE;
}

bool seekStream(void *context, int64_t offset) {
  const bool sought = dedSeekTo(streamOf(context), offset);
  // On an input stream both glibc and Microsoft's runtimes discard the
  // buffered input; glibc also moves the descriptor back to the stream's
  // position first. Without it glibc serves a seek into its buffer from the
  // buffer.
  (void)std::fflush(streamOf(context));
  std::clearerr(streamOf(context));
  return sought;
}

// The C library keeps no error number with the stream, only its indicator.
int streamError(void *context) { return std::ferror(streamOf(context)) != 0 ? EIO : 0; }

int64_t streamSize(void *context) { return dedStreamSize(streamOf(context)); }

// The end of the file sets no error number, so perror is given EIO there
// rather than whatever errno last held ("Success", say).
void printFailure(void *context, const char *message) {
  if (std::ferror(streamOf(context)) == 0) {
    errno = EIO;
  }
  std::perror(message);
}

} // namespace

DedInput dedStdioInput(std::FILE *stream) {
  return DedInput{stream, readStream, seekStream, streamSize, printFailure, streamError};
}

DedInput dedStdioSampleInput(std::FILE *stream) {
  return DedInput{stream, readSamples, seekStream, streamSize, printFailure, streamError};
}
