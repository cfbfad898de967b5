#include "cli/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <zlib.h>

namespace elvhost {

static_assert(PngSettings{}.filter == PNG_FILTER_UP);
static_assert(PngSettings{}.zlibStrategy == Z_RLE);

namespace {

// libpng reports errors by longjmp; the message is kept here first. Nothing
// with a destructor lives in the frame that calls setjmp.
struct PngFailure {
  char message[256];
};

void onPngError(png_structp png, png_const_charp message) {
  auto *failure = static_cast<PngFailure *>(png_get_error_ptr(png));
  (void)std::snprintf(failure->message, sizeof failure->message, "%s", message);
  png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Returns true on success; on failure fills failure->message.
bool encode(std::FILE *stream, const GreyImage *image, bool northUp, const PngSettings *settings,
            PngFailure *failure) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, onPngError, onPngWarning);
  if (png == nullptr) {
    (void)std::snprintf(failure->message, sizeof failure->message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    (void)std::snprintf(failure->message, sizeof failure->message, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, stream);
  png_set_compression_level(png, settings->zlibLevel);
  png_set_compression_strategy(png, settings->zlibStrategy);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, settings->filter);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image->width),
               static_cast<png_uint_32>(image->height), 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  for (int32_t row = 0; row < image->height; ++row) {
    png_write_row(png, outputRow(*image, row, northUp));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

} // namespace

bool writePng(std::FILE *stream, const GreyImage &image, bool northUp, const PngSettings &settings,
              std::string *error) {
  PngFailure failure{};
  if (!encode(stream, &image, northUp, &settings, &failure)) {
    *error = failure.message;
    return false;
  }
  if (std::ferror(stream) != 0) {
    *error = "write error";
    return false;
  }
  return true;
}

} // namespace elvhost
