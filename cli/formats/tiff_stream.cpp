#include "cli/formats/tiff_stream.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace elvhost {

namespace {

std::FILE *streamOf(thandle_t handle) { return static_cast<TiffStream *>(handle)->stream; }
void noteFailure(thandle_t handle) {
  int &failure = static_cast<TiffStream *>(handle)->failure;
  failure = failure != 0 ? failure : (errno != 0 ? errno : EIO);
}

tmsize_t readProc(thandle_t handle, void *buffer, tmsize_t size) {
  return static_cast<tmsize_t>(std::fread(buffer, 1, static_cast<size_t>(size), streamOf(handle)));
}

tmsize_t writeProc(thandle_t handle, void *buffer, tmsize_t size) {
  const size_t wrote = std::fwrite(buffer, 1, static_cast<size_t>(size), streamOf(handle));
  if (wrote != static_cast<size_t>(size)) {
    noteFailure(handle);
  }
  return static_cast<tmsize_t>(wrote);
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence) {
  std::FILE *stream = streamOf(handle);
  if (fseeko(stream, static_cast<off_t>(offset), whence) != 0) {
    noteFailure(handle);
    return static_cast<toff_t>(-1);
  }
  return static_cast<toff_t>(ftello(stream));
}

int closeProc(thandle_t) { return 0; }

toff_t sizeProc(thandle_t handle) {
  std::FILE *stream = streamOf(handle);
  const off_t here = ftello(stream);
  off_t size = -1;
  if (here >= 0 && fseeko(stream, 0, SEEK_END) == 0) {
    size = ftello(stream);
    (void)fseeko(stream, here, SEEK_SET);
  }
  return static_cast<toff_t>(size < 0 ? 0 : size);
}

int mapProc(thandle_t, void **, toff_t *) { return 0; }
void unmapProc(thandle_t, void *, toff_t) {}

int keepFirstError(TIFF *, void *userData, const char *module, const char *format, va_list args) {
  auto &text = static_cast<TiffError *>(userData)->text;
  if (text[0] == '\0') {
    const int used =
        std::snprintf(text.data(), text.size(), "%s: ", module != nullptr ? module : "libtiff");
    if (used > 0 && static_cast<size_t>(used) < text.size()) {
      (void)std::vsnprintf(text.data() + used, text.size() - static_cast<size_t>(used), format,
                           args);
    }
  }
  return 1;
}

int ignoreWarning(TIFF *, void *, const char *, const char *, va_list) { return 1; }

} // namespace

TIFF *tiffOpenOnStream(TiffStream *file, bool big, TiffError *tiffError) {
  TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
  if (options == nullptr) {
    (void)std::snprintf(tiffError->text.data(), tiffError->text.size(), "out of memory");
    return nullptr;
  }
  TIFFOpenOptionsSetErrorHandlerExtR(options, keepFirstError, tiffError);
  TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreWarning, nullptr);
  TIFF *tif = TIFFClientOpenExt("GeoTIFF", big ? "w8" : "w", file, readProc, writeProc, seekProc,
                                closeProc, sizeProc, mapProc, unmapProc, options);
  TIFFOpenOptionsFree(options);
  return tif;
}

void tiffNoteFailure(TiffStream *file) { noteFailure(file); }

} // namespace elvhost
