#include "cli/png_writer.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <thread>
#include <vector>
#include <zlib.h>

#include "cli/png_deflate.h"

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

// Image data compressed ahead of time, written as IDAT chunks of this size.
struct Compressed {
  const uint8_t *data = nullptr;
  size_t size = 0;
};
constexpr size_t kIdatChunk = size_t{1} << 20;

// Returns true on success; on failure fills failure->message. With
// compressed data, libpng writes the header and frames the given stream;
// otherwise it filters and compresses the rows itself.
bool encode(std::FILE *stream, const GreyImage *image, bool northUp, const PngSettings *settings,
            const Compressed *compressed, PngFailure *failure) {
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
  if (compressed->data != nullptr) {
    for (size_t done = 0; done < compressed->size; done += kIdatChunk) {
      png_write_chunk(png, reinterpret_cast<png_const_bytep>("IDAT"), compressed->data + done,
                      std::min(kIdatChunk, compressed->size - done));
    }
    png_write_chunk(png, reinterpret_cast<png_const_bytep>("IEND"), nullptr, 0);
  } else {
    for (int32_t row = 0; row < image->height; ++row) {
      png_write_row(png, outputRow(*image, row, northUp));
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  return true;
}

int threadsFor(const PngSettings &settings) {
  if (settings.threads > 0) {
    return settings.threads;
  }
  const unsigned processors = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(processors, 1u, 4u));
}

} // namespace

bool writePng(std::FILE *stream, const GreyImage &image, bool northUp, const PngSettings &settings,
              std::string *error) {
  std::vector<uint8_t> stripes;
  Compressed compressed;
  const int threads = threadsFor(settings);
  if (threads > 1 && settings.filter == PNG_FILTER_UP &&
      int64_t{image.width} * image.height >= settings.parallelFromPixels) {
    if (!deflateRowsUp(image, northUp, settings.zlibLevel, settings.zlibStrategy, threads, &stripes,
                       error)) {
      return false;
    }
    compressed = Compressed{stripes.data(), stripes.size()};
  }
  PngFailure failure{};
  if (!encode(stream, &image, northUp, &settings, &compressed, &failure)) {
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
