// Time of the get-image callback on a 7169 x 7169 geographic grid (seven
// degrees at 1024 intervals per degree), stored once as a single cell and once
// as a 7 x 7 mosaic of abutting one-degree cells; beside each, the floor: an
// fread of the same file's bytes into a buffer already allocated and touched.
// Each get-image entry reports its time over that floor as x_floor, once with
// the fastest grey kernel the processor allows and once with the SSE2 one
// (the 32-bit Windows build's baseline), and a digest of the pixels.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "ded/encode.h"
#include "ded/open_files.h"
#include "host/status.h"
#include "image/grey.h"
#include "plugin/get_image.h"
#include "plugin/open_close.h"
#include "qvapilib/stand_in.h"
#include "tests/support/ded_writer.h"

namespace {

constexpr int kIntervalsPerDegree = 1024;
constexpr int kDegrees = 7;
constexpr int kSide = kDegrees * kIntervalsPerDegree + 1; // samples across the grid
constexpr int kCellSide = kIntervalsPerDegree + 1;        // abutting cells share an edge
constexpr float kSpacing = 36000.0f / kIntervalsPerDegree;
constexpr double kWest = 10.0;
constexpr double kSouth = 45.0;

// Smooth terrain with a little roughness, the same at every grid point
// whichever file holds it.
struct Terrain {
  std::vector<int> alongX;
  std::vector<int> alongY;

  Terrain() : alongX(kSide), alongY(kSide) {
    for (int i = 0; i < kSide; ++i) {
      alongX[i] = static_cast<int>(600.0 + 500.0 * std::sin(i / 700.0));
      alongY[i] = static_cast<int>(500.0 + 400.0 * std::cos(i / 500.0));
    }
  }
  int16_t at(int x, int y) const {
    const auto hash = static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 40503u;
    return static_cast<int16_t>(alongX[x] + alongY[y] + static_cast<int>(hash >> 27) - 16);
  }
};

// Writes a cell's samples, column by column, big-endian, for the grid
// points from (x0, y0). False when the file system refuses them.
bool writeSamples(std::FILE *out, const Terrain &terrain, int x0, int y0, int columns, int rows) {
  std::vector<int16_t> samples(static_cast<size_t>(rows));
  std::vector<uint8_t> column(samples.size() * 2);
  for (int c = 0; c < columns; ++c) {
    for (int r = 0; r < rows; ++r) {
      samples[static_cast<size_t>(r)] = terrain.at(x0 + c, y0 + r);
    }
    dedEncodeSamples(samples.data(), samples.size(), column.data());
    if (std::fwrite(column.data(), 1, column.size(), out) != column.size()) {
      return false;
    }
  }
  return true;
}

struct Tile {
  int x0;
  int y0;
  int side;
};

// A geographic file of square cells cut from the grid; headers come from the
// test-side writer, samples are streamed so no copy of the image is kept.
// Returns the path, or an empty one when the file could not be written.
std::string writeFile(const dedtest::TempDir &dir, const std::string &name,
                      const std::vector<Tile> &tiles, const Terrain &terrain) {
  dedtest::File file;
  file.cellCount = static_cast<int32_t>(tiles.size());
  file.minElevation = -100;
  file.maxElevation = 2100;
  for (const Tile &tile : tiles) {
    // The header of a cell of tile.side x tile.side samples, without them.
    dedtest::Cell cell =
        dedtest::geographicCell(kWest + tile.x0 / double{kIntervalsPerDegree},
                                kSouth + tile.y0 / double{kIntervalsPerDegree}, 1, 1, kSpacing);
    const double extent = (tile.side - 1) / double{kIntervalsPerDegree};
    cell.xMax = static_cast<float>(cell.xMin + extent);
    cell.yMax = static_cast<float>(cell.yMin + extent);
    cell.columnCount = static_cast<float>(tile.side);
    cell.rowCount = static_cast<float>(tile.side);
    cell.samples.clear();
    file.cells.push_back(cell);
  }
  const std::string path = dir.write(name, dedtest::encode(file));
  std::FILE *out = std::fopen(path.c_str(), "ab");
  if (out == nullptr) {
    return {};
  }
  bool written = true;
  for (const Tile &tile : tiles) {
    written = written && writeSamples(out, terrain, tile.x0, tile.y0, tile.side, tile.side);
  }
  written = std::fclose(out) == 0 && written;
  return written ? path : std::string();
}

// Both files, written on first use into a folder removed at exit.
struct Files {
  dedtest::TempDir dir;
  std::string single;
  std::string mosaic;

  Files() {
    const Terrain terrain;
    single = writeFile(dir, "single.ded", {{0, 0, kSide}}, terrain);
    std::vector<Tile> tiles;
    for (int j = 0; j < kDegrees; ++j) {
      for (int i = 0; i < kDegrees; ++i) {
        tiles.push_back({i * kIntervalsPerDegree, j * kIntervalsPerDegree, kCellSide});
      }
    }
    mosaic = writeFile(dir, "mosaic.ded", tiles, terrain);
  }
};

const Files &files() {
  static const Files made;
  return made;
}

const std::string &pathOf(int which) { return which == 0 ? files().single : files().mosaic; }

// Seconds per iteration of each file's floor, once measured.
std::map<int, double> &floors() {
  static std::map<int, double> seconds;
  return seconds;
}

using Clock = std::chrono::steady_clock;

void readFloor(benchmark::State &state) {
  const int which = static_cast<int>(state.range(0));
  std::FILE *in = pathOf(which).empty() ? nullptr : std::fopen(pathOf(which).c_str(), "rb");
  if (in == nullptr || std::fseek(in, 0, SEEK_END) != 0) {
    state.SkipWithError("test file not written");
    return;
  }
  const auto size = static_cast<size_t>(std::ftell(in));
  std::vector<char> buffer(size, 1); // allocated and touched
  double total = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    (void)std::fseek(in, 0, SEEK_SET); // a failed seek shows as a short read
    const size_t got = std::fread(buffer.data(), 1, size, in);
    benchmark::DoNotOptimize(buffer.data());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    total += seconds;
    if (got != size) {
      state.SkipWithError("short read");
      break;
    }
  }
  (void)std::fclose(in); // read-only
  floors()[which] = total / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

void getImage(benchmark::State &state) {
  const int which = static_cast<int>(state.range(0));
  const auto path = static_cast<DedGreyPath>(state.range(1));
  if (!dedUseGreyPath(path)) {
    state.SkipWithError("the processor lacks this grey kernel");
    return;
  }
  qvstandin::reset();
  int32_t handle = -1;
  if (dedOpenImage(nullptr, nullptr, pathOf(which).c_str(), "rb", &handle) != DED_OK) {
    state.SkipWithError("open failed");
    return;
  }
  std::vector<uint8_t> pixels(static_cast<size_t>(qvstandin::rowWidthFor(kSide)) * kSide, 1);
  double total = 0;
  int64_t hostBytes = 0;
  for (auto _ : state) {
    const int64_t before = qvstandin::allocationCount();
    const auto start = Clock::now();
    const int32_t status = dedGetImageData(nullptr, nullptr, handle, nullptr, pixels.data());
    benchmark::DoNotOptimize(pixels.data());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    total += seconds;
    const std::vector<size_t> sizes = qvstandin::allocationSizes();
    hostBytes =
        std::accumulate(sizes.begin() + before, sizes.end(), int64_t{0},
                        [](int64_t sum, size_t s) { return sum + static_cast<int64_t>(s); });
    if (status != DED_OK) {
      state.SkipWithError("get-image failed");
      break;
    }
  }
  (void)dedCloseImage(nullptr, nullptr, handle);
  const double perIteration = total / static_cast<double>(state.iterations());
  if (floors().count(which) != 0) {
    state.counters["x_floor"] = perIteration / floors()[which];
  }
  state.counters["host_MiB"] = static_cast<double>(hostBytes) / (1024.0 * 1024.0);
  state.counters["outstanding"] = static_cast<double>(qvstandin::outstandingBlocks());
  (void)dedUseGreyPath(dedBestGreyPath());
  // Both files hold the same grid: equal digests show they gave one image.
  uint32_t digest = 2166136261u;
  for (uint8_t byte : pixels) {
    digest = (digest ^ byte) * 16777619u;
  }
  char label[64];
  (void)std::snprintf(label, sizeof label, "%s, %s, digest %08x",
                      which == 0 ? "single cell" : "7 x 7 mosaic",
                      path == DedGreyPath::Avx2 ? "AVX2" : "SSE2", static_cast<unsigned>(digest));
  state.SetLabel(label);
}

} // namespace

// 0: the single-cell file, 1: the mosaic, each floor before its get-images;
// the second argument is the grey kernel (image/grey.h).
constexpr int64_t kAvx2 = static_cast<int64_t>(DedGreyPath::Avx2);
constexpr int64_t kSse2 = static_cast<int64_t>(DedGreyPath::Sse2);
BENCHMARK(readFloor)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(getImage)
    ->Args({0, kAvx2})
    ->Args({0, kSse2})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK(readFloor)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(getImage)
    ->Args({1, kAvx2})
    ->Args({1, kSse2})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

BENCHMARK_MAIN();
