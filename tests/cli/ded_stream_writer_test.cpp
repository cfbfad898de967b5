// The streaming DED writer, read back with the plug-in's own record readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "cli/sample/ded_stream_writer.h"
#include "ded/records.h"
#include "tests/support/ded_writer.h"

namespace {

struct CloseFile {
  void operator()(std::FILE *f) const { (void)std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, CloseFile>;

// Elevation at a global sample: distinct everywhere, negative in places.
int16_t valueAt(int64_t x, int64_t y) { return static_cast<int16_t>(x * 100 + y - 50); }

elvhost::DedColumnSource globalGrid() {
  return [](int64_t x, int64_t y0, int32_t rows, int16_t *out) {
    for (int32_t r = 0; r < rows; ++r) {
      out[r] = valueAt(x, y0 + r);
    }
  };
}

std::string writeFile(const dedtest::TempDir &dir, const elvhost::DedFileLayout &layout) {
  std::string path = (dir.path() / "written.ded").string();
  File out(std::fopen(path.c_str(), "wb"));
  std::string error;
  EXPECT_TRUE(elvhost::writeDed(out.get(), layout, globalGrid(), &error)) << error;
  return path;
}

TEST(DedStreamWriter, MosaicCellsReadBackColumnMajorSouthFirst) {
  // Two abutting cells of 3 columns x 2 rows; the second starts at global
  // column 2, so the shared edge column holds the same samples in both.
  elvhost::DedFileLayout layout;
  elvhost::DedCellLayout west{0, 1, 7, 8, 36000, 18000, 2, 3, 0, 0};
  elvhost::DedCellLayout east{0, 1, 8, 9, 36000, 18000, 2, 3, 2, 0};
  layout.cells = {west, east};
  dedtest::TempDir dir;
  File in(std::fopen(writeFile(dir, layout).c_str(), "rb"));

  DedHeader header;
  DedStatistics statistics;
  ASSERT_TRUE(dedReadHeader(dedStdioInput(in.get()), &header));
  EXPECT_EQ(std::string(header.magic, 4), "KVTR");
  EXPECT_NE(std::string(header.projection, 3), "UTM");
  ASSERT_TRUE(dedReadStatistics(dedStdioInput(in.get()), &statistics));
  EXPECT_EQ(statistics.cellCount, 2);
  EXPECT_EQ(statistics.minElevation, valueAt(0, 0));
  EXPECT_EQ(statistics.maxElevation, valueAt(4, 1));

  for (const auto &cell : layout.cells) {
    DedCellHeader read;
    ASSERT_TRUE(dedReadCellHeader(dedStdioInput(in.get()), &read));
    EXPECT_EQ(read.xMin, cell.xMin);
    EXPECT_EQ(read.xMax, cell.xMax);
    EXPECT_EQ(read.yMin, cell.yMin);
    EXPECT_EQ(read.yMax, cell.yMax);
    EXPECT_EQ(read.xSpacing, cell.xSpacing);
    EXPECT_EQ(read.ySpacing, cell.ySpacing);
    EXPECT_EQ(read.rowCount, 2.0f);
    EXPECT_EQ(read.columnCount, 3.0f);
  }
  EXPECT_EQ(std::ftell(in.get()), 160 + 2 * 40);
  for (const auto &cell : layout.cells) {
    uint16_t stored[6];
    ASSERT_NE(dedReadStoredSamples(in.get(), 6, stored), nullptr);
    int16_t samples[6];
    std::transform(stored, stored + 6, samples, dedDecodeSample);
    for (int c = 0; c < 3; ++c) {
      for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(samples[c * 2 + r], valueAt(cell.firstColumn + c, r)) << c << "," << r;
      }
    }
  }
  EXPECT_EQ(std::fgetc(in.get()), EOF) << "nothing after the last block";
}

TEST(DedStreamWriter, UtmHeaderCarriesHemisphereAndZone) {
  elvhost::DedFileLayout layout;
  layout.utm = true;
  layout.hemisphere = 'S';
  layout.zone = 7;
  layout.cells = {elvhost::DedCellLayout{5000000, 5000030, 500000, 500060, 30, 30, 2, 3, 0, 0}};
  dedtest::TempDir dir;
  const std::string path = writeFile(dir, layout);
  EXPECT_EQ(std::filesystem::file_size(path), 160u + 40u + 6u * 2u) << "one cell: samples at 200";
  File in(std::fopen(path.c_str(), "rb"));
  DedHeader header;
  ASSERT_TRUE(dedReadHeader(dedStdioInput(in.get()), &header));
  EXPECT_EQ(std::string(header.projection, 3), "UTM");
  EXPECT_EQ(header.hemisphere, 'S');
  EXPECT_STREQ(header.zone, "7");
}

TEST(DedStreamWriter, ReportsAFailedWrite) {
#if defined(__linux__)
  File full(std::fopen("/dev/full", "wb"));
  ASSERT_NE(full, nullptr);
  elvhost::DedFileLayout layout;
  layout.cells = {elvhost::DedCellLayout{0, 1, 0, 1, 36000, 36000, 200, 200, 0, 0}};
  std::string error;
  EXPECT_FALSE(elvhost::writeDed(full.get(), layout, globalGrid(), &error));
  EXPECT_FALSE(error.empty());
#else
  GTEST_SKIP() << "needs /dev/full";
#endif
}

} // namespace
