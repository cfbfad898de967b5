#include "cli/formats/png_writer.h"

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <new>
#include <thread>
#include <vector>

#include "cli/formats/parallel.h"

namespace elvhost {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kIhdrBytes = 13;
constexpr uint8_t kGreyColourType = 0;
constexpr uint8_t kUpFilter = 2;
// The zlib header: deflate with a 32 KiB window, the fastest kind.
constexpr uint8_t kZlibHeader[2] = {0x78, 0x01};
static_assert((kZlibHeader[0] * 256 + kZlibHeader[1]) % 31 == 0);
// Compressed bytes per IDAT chunk, and filtered bytes handed to deflate at a
// time (at least one row): both small enough to stay in the cache.
constexpr size_t kIdatBytes = size_t{1} << 18;
constexpr size_t kBatchBytes = size_t{1} << 18;
// A strip smaller than this saves too little to be worth a thread; each
// strip but the first holds its compressed bytes until its turn, so memory
// grows by at most the compressed image.
constexpr int64_t kMinStripBytes = int64_t{1} << 20;
constexpr int kMaxStrips = 8;

void put32(uint8_t *out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value >> 24);
  out[1] = static_cast<uint8_t>(value >> 16);
  out[2] = static_cast<uint8_t>(value >> 8);
  out[3] = static_cast<uint8_t>(value);
}

// Writes PNG chunks, each with its length and CRC; compressed image data
// goes out in IDAT chunks of kIdatBytes as it arrives.
class ChunkWriter {
public:
  explicit ChunkWriter(std::FILE *stream) : stream_(stream) { pending_.reserve(kIdatBytes); }

  bool bytes(const uint8_t *data, size_t size) {
    errno = 0;
    if (failure_ == 0 && std::fwrite(data, 1, size, stream_) != size) {
      failure_ = errno != 0 ? errno : EIO;
    }
    return failure_ == 0;
  }

  // The system's error number from the first write that failed, or 0.
  int failure() const { return failure_; }

  bool chunk(const char *type, const uint8_t *data, size_t size) {
    uint8_t head[8];
    put32(head, static_cast<uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    if (size > 0) {
      crc = crc32_z(crc, data, size);
    }
    uint8_t tail[4];
    put32(tail, static_cast<uint32_t>(crc));
    return bytes(head, sizeof head) && (size == 0 || bytes(data, size)) && bytes(tail, sizeof tail);
  }

  bool imageData(const uint8_t *data, size_t size) {
    while (size > 0) {
      const size_t take = std::min(size, kIdatBytes - pending_.size());
      pending_.insert(pending_.end(), data, data + take);
      data += take;
      size -= take;
      if (pending_.size() == kIdatBytes && !flushImageData()) {
        return false;
      }
    }
    return true;
  }

  bool flushImageData() {
    const bool ok = pending_.empty() || chunk("IDAT", pending_.data(), pending_.size());
    pending_.clear();
    return ok;
  }

private:
  std::FILE *stream_;
  int failure_ = 0;
  std::vector<uint8_t> pending_;
};

using Sink = std::function<bool(const uint8_t *, size_t)>;

// Output rows [firstRow, endRow) as one piece of the image's deflate data.
// The last strip ends the data; every other end is a sync flush, which
// leaves the data at a byte boundary so the next strip's follows directly.
struct Strip {
  int32_t firstRow = 0, endRow = 0;
  bool last = false;
  uint32_t adler = 1;       // Adler-32 of the strip's filtered bytes
  z_off_t length = 0;       // filtered bytes
  std::vector<uint8_t> out; // compressed bytes, for strips written after the first
  bool done = false;        // compressed completely
  const char *error = "";   // why not
};

// The row as the Up filter leaves it: its type, then each byte less the one
// above it (nothing above the first row).
void filterUp(const GreyImage &image, bool northUp, int32_t row, uint8_t *out) {
  const auto width = static_cast<size_t>(image.width);
  const uint8_t *current = outputRow(image, row, northUp);
  out[0] = kUpFilter;
  if (row == 0) {
    std::memcpy(out + 1, current, width);
    return;
  }
  const uint8_t *above = outputRow(image, row - 1, northUp);
  for (size_t c = 0; c < width; ++c) {
    out[c + 1] = static_cast<uint8_t>(current[c] - above[c]);
  }
}

// ISA-L's working memory for each level it has (0..3).
uint32_t levelBufferBytes(int level) {
  switch (level) {
  case 0:
    return ISAL_DEF_LVL0_DEFAULT;
  case 1:
    return ISAL_DEF_LVL1_DEFAULT;
  case 2:
    return ISAL_DEF_LVL2_DEFAULT;
  default:
    return ISAL_DEF_LVL3_DEFAULT;
  }
}

// Compresses a strip, handing the compressed bytes to sink as they come, and
// sets strip->done. Returns false, with the reason in strip->error, when
// ISA-L or sink fails. Throws nothing, so a failure stays with its strip.
// Adds the rows it compresses to rowsDone; report, when given, hears the
// total after each batch (given only on the calling thread).
bool compressStrip(const GreyImage &image, bool northUp, const PngSettings &settings, Strip *strip,
                   const Sink &sink, std::atomic<int32_t> *rowsDone,
                   const RowProgress *report) noexcept {
  const size_t rowBytes = static_cast<size_t>(image.width) + 1;
  const int32_t batchRows = static_cast<int32_t>(std::max<size_t>(1, kBatchBytes / rowBytes));
  bool ok = true;
  try {
    std::vector<uint8_t> levelBuffer(levelBufferBytes(settings.level));
    std::vector<uint8_t> filtered(rowBytes * static_cast<size_t>(batchRows));
    std::vector<uint8_t> out(kIdatBytes);
    isal_zstream z;
    isal_deflate_init(&z);
    z.level = static_cast<uint32_t>(settings.level);
    z.level_buf = levelBuffer.data();
    z.level_buf_size = static_cast<uint32_t>(levelBuffer.size());
    z.gzip_flag = IGZIP_DEFLATE; // raw: the PNG writer frames the strips itself
    for (int32_t row = strip->firstRow; ok && row < strip->endRow; row += batchRows) {
      const int32_t rows = std::min(batchRows, strip->endRow - row);
      for (int32_t r = 0; r < rows; ++r) {
        filterUp(image, northUp, row + r, filtered.data() + static_cast<size_t>(r) * rowBytes);
      }
      const size_t size = rowBytes * static_cast<size_t>(rows);
      strip->adler = isal_adler32(strip->adler, filtered.data(), size);
      strip->length += static_cast<z_off_t>(size);
      const bool end = row + rows == strip->endRow;
      z.end_of_stream = end && strip->last ? 1 : 0;
      z.flush = end && !strip->last ? SYNC_FLUSH : NO_FLUSH;
      z.next_in = filtered.data();
      z.avail_in = static_cast<uint32_t>(size);
      // ISA-L stops when the input is used up or the output full; a full
      // output may hide more to come.
      do {
        z.next_out = out.data();
        z.avail_out = static_cast<uint32_t>(out.size());
        if (isal_deflate(&z) != COMP_OK) {
          strip->error = "ISA-L refused the compression settings";
          ok = false;
        }
        ok = ok && sink(out.data(), out.size() - z.avail_out);
      } while (ok && (z.avail_out == 0 || z.avail_in > 0));
      const int32_t total = rowsDone->fetch_add(rows) + rows;
      if (ok && report != nullptr && *report) {
        (*report)(total);
      }
    }
    if (ok && strip->last && z.internal_state.state != ZSTATE_END) {
      strip->error = "ISA-L did not finish the stream";
      ok = false;
    }
  } catch (const std::bad_alloc &) {
    strip->error = "out of memory";
    ok = false;
  }
  if (!ok && *strip->error == '\0') {
    strip->error = "cannot write";
  }
  strip->done = ok;
  return ok;
}

// Strips that pay for their threads, at most one a core.
int32_t stripCount(const GreyImage &image, const PngSettings &settings) {
  if (settings.strips > 0) {
    return std::min(settings.strips, image.height);
  }
  const int64_t bytes = (int64_t{image.width} + 1) * image.height;
  const int64_t cores = std::max(1u, std::jthread::hardware_concurrency());
  return static_cast<int32_t>(
      std::max<int64_t>(1, std::min({cores, int64_t{kMaxStrips}, bytes / kMinStripBytes})));
}

bool writeHeader(ChunkWriter *writer, const GreyImage &image) {
  uint8_t ihdr[kIhdrBytes] = {};
  put32(ihdr, static_cast<uint32_t>(image.width));
  put32(ihdr + 4, static_cast<uint32_t>(image.height));
  ihdr[8] = 8; // bits per sample
  ihdr[9] = kGreyColourType;
  // Deflate compression, adaptive filtering, no interlace: all zero.
  return writer->bytes(kSignature, sizeof kSignature) && writer->chunk("IHDR", ihdr, kIhdrBytes);
}

// The image's rows cut into strips of about equal height, compressed apart.
std::vector<Strip> stripsOf(const GreyImage &image, const PngSettings &settings) {
  const int32_t count = stripCount(image, settings);
  std::vector<Strip> strips(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    Strip &strip = strips[static_cast<size_t>(i)];
    strip.firstRow = static_cast<int32_t>(int64_t{image.height} * i / count);
    strip.endRow = static_cast<int32_t>(int64_t{image.height} * (i + 1) / count);
    strip.last = i + 1 == count;
  }
  return strips;
}

} // namespace

bool writePng(std::FILE *stream, const GreyImage &image, bool northUp, const PngSettings &settings,
              std::string *error, const RowProgress &progress) {
  if (image.width <= 0 || image.height <= 0) {
    *error = "the image is empty";
    return false;
  }
  ChunkWriter writer(stream);
  std::vector<Strip> strips = stripsOf(image, settings);
  const auto keep = [](Strip *strip) {
    return [strip](const uint8_t *data, size_t size) {
      strip->out.insert(strip->out.end(), data, data + size);
      return true;
    };
  };
  // The first strip goes straight into the file, after the header, while the
  // others are compressed beside it; progress is heard on this thread only.
  std::atomic<int32_t> rowsDone{0};
  bool headerWritten = false;
  parallelFor(strips.size(), static_cast<unsigned>(strips.size()), [&](size_t i, unsigned worker) {
    Strip *strip = &strips[i];
    const RowProgress *report = worker == 0 ? &progress : nullptr;
    if (i != 0) {
      (void)compressStrip(image, northUp, settings, strip, keep(strip), &rowsDone, report);
      return;
    }
    headerWritten =
        writeHeader(&writer, image) && writer.imageData(kZlibHeader, sizeof kZlibHeader);
    const Sink toFile = [&writer](const uint8_t *data, size_t size) {
      return writer.imageData(data, size);
    };
    (void)(headerWritten &&
           compressStrip(image, northUp, settings, strip, toFile, &rowsDone, report));
  });
  bool ok = headerWritten && strips[0].done;
  uLong adler = strips[0].adler;
  // The zlib stream's Adler-32 over all strips' filtered bytes.
  for (size_t i = 1; ok && i < strips.size(); ++i) {
    const Strip &strip = strips[i];
    ok = strip.done && writer.imageData(strip.out.data(), strip.out.size());
    adler = adler32_combine(adler, strip.adler, strip.length);
  }
  if (ok) {
    uint8_t trailer[4];
    put32(trailer, static_cast<uint32_t>(adler));
    ok = writer.imageData(trailer, sizeof trailer);
  }
  ok = ok && writer.flushImageData() && writer.chunk("IEND", nullptr, 0);
  if (ok && progress) {
    progress(image.height);
  }
  if (!ok) {
    const auto failed = std::find_if(strips.begin(), strips.end(),
                                     [](const Strip &strip) { return *strip.error != '\0'; });
    *error = writer.failure() != 0    ? std::strerror(writer.failure())
             : failed != strips.end() ? failed->error
                                      : "write error";
  }
  return ok;
}

} // namespace elvhost
