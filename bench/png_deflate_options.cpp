// The PNG encoder's candidates on one real image, the encoders alone: the
// grey image's rows, Up-filtered, compressed into one zlib stream by each
// option; best of five wall times and the stream's size. Every stream is
// inflated and compared with the filtered rows.
//
//   build/bench/bench/png_deflate_options IMAGE.pgm
//
// IMAGE.pgm is elvarin-host's own output (convert FILE.ded IMAGE.pgm).
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Image {
  size_t width = 0, height = 0;
  std::vector<uint8_t> pixels; // rows top down
};

bool readPgm(const char *path, Image *image) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  in >> magic >> image->width >> image->height >> maxval;
  if (!in || magic != "P5" || maxval != 255 || in.get() != '\n') {
    return false;
  }
  image->pixels.resize(image->width * image->height);
  in.read(reinterpret_cast<char *>(image->pixels.data()),
          static_cast<std::streamsize>(image->pixels.size()));
  return static_cast<size_t>(in.gcount()) == image->pixels.size();
}

// Rows [first, end) with the Up filter, each led by its filter type.
void filterRows(const Image &image, size_t first, size_t end, uint8_t *out) {
  for (size_t r = first; r < end; ++r, out += image.width + 1) {
    const uint8_t *row = image.pixels.data() + r * image.width;
    const uint8_t *above = r > 0 ? row - image.width : nullptr;
    out[0] = 2;
    for (size_t c = 0; c < image.width; ++c) {
      out[c + 1] = static_cast<uint8_t>(row[c] - (above != nullptr ? above[c] : 0));
    }
  }
}

constexpr size_t kBatchRows = 32;

// One strip of rows as raw deflate data ending in a sync flush, or in the
// final block for the last strip; the Adler-32 of its filtered bytes.
struct Piece {
  std::vector<uint8_t> data;
  uLong adler = 1;
  z_off_t length = 0;
};

using Compressor = std::function<void(const Image &, size_t, size_t, bool, Piece *)>;

void zlibStrip(int strategy, const Image &image, size_t first, size_t end, bool last, Piece *p) {
  z_stream z{};
  (void)deflateInit2(&z, 1, Z_DEFLATED, -MAX_WBITS, 8, strategy);
  p->data.resize(deflateBound(&z, (end - first) * (image.width + 1)) + 64);
  z.next_out = p->data.data();
  z.avail_out = static_cast<uInt>(p->data.size());
  std::vector<uint8_t> rows(kBatchRows * (image.width + 1));
  for (size_t r = first; r < end; r += kBatchRows) {
    const size_t stop = std::min(end, r + kBatchRows);
    filterRows(image, r, stop, rows.data());
    const auto size = static_cast<uInt>((stop - r) * (image.width + 1));
    p->adler = adler32(p->adler, rows.data(), size);
    p->length += size;
    z.next_in = rows.data();
    z.avail_in = size;
    (void)deflate(&z, stop < end ? Z_NO_FLUSH : last ? Z_FINISH : Z_SYNC_FLUSH);
  }
  p->data.resize(z.total_out);
  (void)deflateEnd(&z);
}

void isalStrip(const Image &image, size_t first, size_t end, bool last, Piece *p) {
  isal_zstream z;
  isal_deflate_init(&z);
  std::vector<uint8_t> levelBuffer(ISAL_DEF_LVL1_DEFAULT);
  z.level = 1;
  z.level_buf = levelBuffer.data();
  z.level_buf_size = static_cast<uint32_t>(levelBuffer.size());
  p->data.resize((end - first) * (image.width + 1) + 4096);
  z.next_out = p->data.data();
  z.avail_out = static_cast<uint32_t>(p->data.size());
  std::vector<uint8_t> rows(kBatchRows * (image.width + 1));
  for (size_t r = first; r < end; r += kBatchRows) {
    const size_t stop = std::min(end, r + kBatchRows);
    filterRows(image, r, stop, rows.data());
    const auto size = static_cast<uint32_t>((stop - r) * (image.width + 1));
    p->adler = isal_adler32(static_cast<uint32_t>(p->adler), rows.data(), size);
    p->length += size;
    z.next_in = rows.data();
    z.avail_in = size;
    z.end_of_stream = stop == end && last ? 1 : 0;
    z.flush = stop == end && !last ? SYNC_FLUSH : NO_FLUSH;
    (void)isal_deflate(&z);
  }
  p->data.resize(z.total_out);
}

// The whole image in strips on as many threads, joined into a zlib stream.
std::vector<uint8_t> stripped(const Image &image, size_t strips, const Compressor &compress) {
  std::vector<Piece> pieces(strips);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < strips; ++i) {
    threads.emplace_back([&, i] {
      compress(image, image.height * i / strips, image.height * (i + 1) / strips, i + 1 == strips,
               &pieces[i]);
    });
  }
  for (std::thread &thread : threads) {
    thread.join();
  }
  std::vector<uint8_t> stream = {0x78, 0x01};
  uLong adler = pieces[0].adler;
  for (size_t i = 0; i < strips; ++i) {
    stream.insert(stream.end(), pieces[i].data.begin(), pieces[i].data.end());
    if (i > 0) {
      adler = adler32_combine(adler, pieces[i].adler, pieces[i].length);
    }
  }
  for (int shift = 24; shift >= 0; shift -= 8) {
    stream.push_back(static_cast<uint8_t>(adler >> shift));
  }
  return stream;
}

// libdeflate has no streaming: the whole filtered image first.
std::vector<uint8_t> wholeLibdeflate(const Image &image) {
  std::vector<uint8_t> filtered(image.height * (image.width + 1));
  filterRows(image, 0, image.height, filtered.data());
  libdeflate_compressor *compressor = libdeflate_alloc_compressor(1);
  std::vector<uint8_t> stream(libdeflate_zlib_compress_bound(compressor, filtered.size()));
  stream.resize(libdeflate_zlib_compress(compressor, filtered.data(), filtered.size(),
                                         stream.data(), stream.size()));
  libdeflate_free_compressor(compressor);
  return stream;
}

bool inflatesToTheRows(const Image &image, const std::vector<uint8_t> &stream) {
  std::vector<uint8_t> expected(image.height * (image.width + 1));
  filterRows(image, 0, image.height, expected.data());
  std::vector<uint8_t> got(expected.size() + 1);
  uLongf size = got.size();
  return uncompress(got.data(), &size, stream.data(), stream.size()) == Z_OK &&
         size == expected.size() && std::equal(expected.begin(), expected.end(), got.begin());
}

} // namespace

int main(int argc, char **argv) {
  Image image;
  if (argc != 2 || !readPgm(argv[1], &image)) {
    (void)std::fprintf(stderr, "usage: png_deflate_options IMAGE.pgm (binary 8-bit PGM)\n");
    return 2;
  }
  const auto zlibRle = [](const Image &i, size_t f, size_t e, bool l, Piece *p) {
    zlibStrip(Z_RLE, i, f, e, l, p);
  };
  const auto zlibDefault = [](const Image &i, size_t f, size_t e, bool l, Piece *p) {
    zlibStrip(Z_DEFAULT_STRATEGY, i, f, e, l, p);
  };
  const std::pair<const char *, std::function<std::vector<uint8_t>()>> options[] = {
      {"zlib level 1 Z_RLE, 1 thread", [&] { return stripped(image, 1, zlibRle); }},
      {"zlib level 1 Z_RLE, 2 strips", [&] { return stripped(image, 2, zlibRle); }},
      {"zlib level 1 default, 2 strips", [&] { return stripped(image, 2, zlibDefault); }},
      {"ISA-L level 1, 1 thread", [&] { return stripped(image, 1, isalStrip); }},
      {"ISA-L level 1, 2 strips", [&] { return stripped(image, 2, isalStrip); }},
      {"libdeflate level 1, whole image", [&] { return wholeLibdeflate(image); }},
  };
  std::printf("%zu x %zu pixels\n", image.width, image.height);
  for (const auto &[name, run] : options) {
    double best = 1e9;
    std::vector<uint8_t> stream;
    for (int i = 0; i < 5; ++i) {
      const auto start = std::chrono::steady_clock::now();
      stream = run();
      best = std::min(
          best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("%-34s %7.3f s %10zu bytes  %s\n", name, best, stream.size(),
                inflatesToTheRows(image, stream) ? "inflates to the rows" : "WRONG");
  }
  return 0;
}
