#include "cli/png_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

namespace elvhost {

namespace {

constexpr uint8_t kUpFilter = 2;
constexpr size_t kOutputStep = size_t{1} << 18;

struct Strip {
  int32_t firstRow = 0, endRow = 0; // output rows [firstRow, endRow)
  bool last = false;                // ends the stream (Z_FINISH) rather than a byte boundary
  std::vector<uint8_t> out;         // raw deflate data
  uLong adler = 1;                  // Adler-32 of the strip's filtered bytes
  uLong length = 0;                 // filtered bytes
  std::string error;
};

// Feeds size bytes to deflate with the given flush, growing out as needed.
bool feed(z_stream *z, const uint8_t *data, size_t size, int flush, std::vector<uint8_t> *out) {
  z->next_in = const_cast<Bytef *>(data);
  z->avail_in = static_cast<uInt>(size);
  do {
    const size_t used = out->size() - z->avail_out;
    if (z->avail_out == 0) {
      out->resize(out->size() + kOutputStep);
      z->avail_out = static_cast<uInt>(kOutputStep);
    }
    z->next_out = out->data() + used;
    const int result = deflate(z, flush);
    if (result == Z_STREAM_ERROR) {
      return false;
    }
  } while (z->avail_out == 0 || z->avail_in != 0);
  return true;
}

void compressStrip(const GreyImage *image, bool northUp, int level, int strategy, Strip *strip) {
  try {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, strategy) != Z_OK) {
      strip->error = "zlib refused the compression settings";
      return;
    }
    const auto width = static_cast<size_t>(image->width);
    std::vector<uint8_t> row(width + 1);
    row[0] = kUpFilter;
    strip->out.clear();
    z.avail_out = 0;
    bool ok = true;
    for (int32_t r = strip->firstRow; ok && r < strip->endRow; ++r) {
      const uint8_t *current = outputRow(*image, r, northUp);
      if (r == 0) {
        std::memcpy(row.data() + 1, current, width); // above the first row is zero
      } else {
        const uint8_t *above = outputRow(*image, r - 1, northUp);
        for (size_t c = 0; c < width; ++c) {
          row[c + 1] = static_cast<uint8_t>(current[c] - above[c]);
        }
      }
      strip->adler = adler32(strip->adler, row.data(), static_cast<uInt>(row.size()));
      strip->length += row.size();
      const bool end = r + 1 == strip->endRow;
      const int flush = !end ? Z_NO_FLUSH : strip->last ? Z_FINISH : Z_SYNC_FLUSH;
      ok = feed(&z, row.data(), row.size(), flush, &strip->out);
    }
    strip->out.resize(strip->out.size() - z.avail_out);
    deflateEnd(&z);
    if (!ok) {
      strip->error = "zlib failed";
    }
  } catch (const std::bad_alloc &) {
    strip->error = "out of memory";
  }
}

} // namespace

bool deflateRowsUp(const GreyImage &image, bool northUp, int zlibLevel, int zlibStrategy,
                   int strips, std::vector<uint8_t> *zlibStream, std::string *error) {
  const int32_t count = std::max(1, std::min<int32_t>(strips, image.height));
  std::vector<Strip> parts(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    Strip &part = parts[static_cast<size_t>(i)];
    part.firstRow = static_cast<int32_t>(int64_t{image.height} * i / count);
    part.endRow = static_cast<int32_t>(int64_t{image.height} * (i + 1) / count);
    part.last = i + 1 == count;
  }
  // The first strip runs here; the others on threads of their own, or here
  // too when the system will not start one.
  std::vector<std::thread> threads;
  for (size_t i = 1; i < parts.size(); ++i) {
    try {
      threads.emplace_back(compressStrip, &image, northUp, zlibLevel, zlibStrategy, &parts[i]);
    } catch (const std::system_error &) {
      compressStrip(&image, northUp, zlibLevel, zlibStrategy, &parts[i]);
    }
  }
  compressStrip(&image, northUp, zlibLevel, zlibStrategy, &parts[0]);
  for (std::thread &thread : threads) {
    thread.join();
  }

  size_t total = 2 + 4;
  uLong adler = adler32(0, nullptr, 0);
  for (const Strip &part : parts) {
    if (!part.error.empty()) {
      *error = part.error;
      return false;
    }
    total += part.out.size();
    adler = adler32_combine(adler, part.adler, static_cast<z_off_t>(part.length));
  }
  zlibStream->clear();
  zlibStream->reserve(total);
  // zlib header: deflate with a 32 KiB window, no dictionary; the check
  // bits make 0x7801 a multiple of 31.
  zlibStream->push_back(0x78);
  zlibStream->push_back(0x01);
  for (const Strip &part : parts) {
    zlibStream->insert(zlibStream->end(), part.out.begin(), part.out.end());
  }
  for (int shift = 24; shift >= 0; shift -= 8) {
    zlibStream->push_back(static_cast<uint8_t>(adler >> shift));
  }
  return true;
}

} // namespace elvhost
