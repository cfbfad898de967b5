// The get-image callback: single cells, mosaics, hostile headers and short
// files, with the host's buffer checked byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "ded/open_files.h"
#include "host/status.h"
#include "plugin/describe.h"
#include "plugin/get_image.h"
#include "plugin/open_close.h"
#include "qvapilib/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/reference_image.h"

namespace {

using dedtest::Cell;
using dedtest::File;
using dedtest::geographicCell;
using dedtest::utmCell;

constexpr uint8_t kCanary = 0xA5;

// What the host's buffer holds after a get-image call.
struct Delivery {
  int32_t status = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;
  std::vector<uint8_t> pixels;

  uint8_t at(int32_t c, int32_t r) const { return pixels[c + static_cast<size_t>(r) * stride]; }
  bool untouched() const {
    for (uint8_t byte : pixels) {
      if (byte != kCanary) {
        return false;
      }
    }
    return true;
  }
};

// A multi-cell geographic file of the given cells, elevations 0..255 so that
// grey levels equal samples.
File mosaic(std::vector<Cell> cells) {
  File file;
  file.cellCount = static_cast<int32_t>(cells.size());
  file.cells = std::move(cells);
  return file;
}

// Samples 1..250 that tell columns and rows apart: 0 is left for positions
// that no sample reaches.
int16_t pattern(int column, int row) { return static_cast<int16_t>(1 + (column * 7 + row) % 250); }

class GetImage : public dedtest::HostTest {
protected:
  // Opens file, sizes a canary-filled buffer from its description and the
  // host's row width, runs get-image (after arm, if given) and closes.
  Delivery deliver(const File &file, const std::function<void()> &arm = {}) {
    const int32_t handle = openFile(file);
    Delivery d;
    DedImageInfo info;
    if (dedDescribe(handle, &info) == DED_OK) {
      d.width = info.width;
      d.height = info.height;
    }
    if (arm) {
      arm();
    }
    d.stride = qvstandin::rowWidthFor(d.width);
    const size_t bytes = static_cast<size_t>(d.stride) * static_cast<size_t>(d.height);
    d.pixels.assign(bytes > 0 ? bytes : 16, kCanary);
    d.status = dedGetImageData(nullptr, nullptr, handle, nullptr, d.pixels.data());
    dedCloseImage(nullptr, nullptr, handle);
    return d;
  }

  // Every pixel is expected(c, r) and every padding byte still the canary.
  static void expectImage(const Delivery &d, const std::function<uint8_t(int, int)> &expected) {
    ASSERT_EQ(d.status, DED_OK);
    for (int32_t r = 0; r < d.height; ++r) {
      for (int32_t c = 0; c < d.stride; ++c) {
        const uint8_t want = c < d.width ? expected(c, r) : kCanary;
        ASSERT_EQ(d.at(c, r), want) << "column " << c << " row " << r;
      }
    }
  }
};

TEST_F(GetImage, SingleCellIsTheRasterColumnMajor) {
  const Delivery d = deliver(dedtest::geographicFile(121, 121, pattern));
  EXPECT_EQ(d.width, 121);
  EXPECT_EQ(d.stride, 124);
  expectImage(d, [](int c, int r) { return static_cast<uint8_t>(pattern(c, r)); });
}

TEST_F(GetImage, ThreeByTwoWithStrideFour) {
  const int16_t samples[] = {1, 2, 3, 4, 5, 6};
  const Delivery d =
      deliver(dedtest::geographicFile(3, 2, [&](int c, int r) { return samples[2 * c + r]; }));
  ASSERT_EQ(d.status, DED_OK);
  const std::vector<uint8_t> expected = {1, 3, 5, kCanary, 2, 4, 6, kCanary};
  EXPECT_EQ(d.pixels, expected);
}

TEST_F(GetImage, GreyLevelsFollowTheStatistics) {
  const int16_t samples[] = {0, 450, 900, -100, -5000, 3000};
  File file = dedtest::geographicFile(3, 2, [&](int c, int r) { return samples[2 * c + r]; });
  file.minElevation = -100;
  file.maxElevation = 900;
  const Delivery d = deliver(file);
  ASSERT_EQ(d.status, DED_OK);
  const std::vector<uint8_t> expected = {25, 255, 0, kCanary, 140, 0, 255, kCanary};
  EXPECT_EQ(d.pixels, expected);
}

TEST_F(GetImage, UtmSingleCell) {
  const Delivery d = deliver(dedtest::utmFile("33", 'N', 5, 3, pattern));
  EXPECT_EQ(d.width, 5);
  EXPECT_EQ(d.height, 3);
  expectImage(d, [](int c, int r) { return static_cast<uint8_t>(pattern(c, r)); });
}

// Two cells of 2 x 2, one unit apart at one unit spacing: 3 x 2, and the
// second cell's first column replaces the first cell's second.
TEST_F(GetImage, LaterCellOverwritesEarlier) {
  const Delivery d = deliver(
      mosaic({geographicCell(0, 0, 2, 2, 36000, [](int c, int r) { return 10 + 2 * c + r; }),
              geographicCell(1, 0, 2, 2, 36000, [](int c, int r) { return 20 + 2 * c + r; })}));
  ASSERT_EQ(d.width, 3);
  ASSERT_EQ(d.height, 2);
  const uint8_t expected[2][3] = {{10, 20, 22}, {11, 21, 23}};
  expectImage(d, [&](int c, int r) { return expected[r][c]; });
}

// Two cells of 121 x 121 at 1/120 unit, one unit apart: 241 columns, the
// second cell from column 120 on.
TEST_F(GetImage, TwoCellMosaic) {
  const Delivery d = deliver(mosaic({geographicCell(10, 45, 121, 121, 300, pattern),
                                     geographicCell(11, 45, 121, 121, 300, [](int c, int r) {
                                       return static_cast<int16_t>(pattern(c, r) + 3);
                                     })}));
  ASSERT_EQ(d.width, 241);
  ASSERT_EQ(d.height, 121);
  expectImage(d, [](int c, int r) {
    return static_cast<uint8_t>(c < 120 ? pattern(c, r) : pattern(c - 120, r) + 3);
  });
}

// A cell whose offset is 2 / (300 / 36000) = 240 in double starts at column
// 240 (in single precision the quotient would truncate to 239); one whose
// offset is really 239.5 starts at 239. Across the meridian the offset is
// 156.9375014 in double, within 1/16 of 157; subtracting the bounds or
// dividing the spacing in single precision would give 156.9374943, which
// truncates to 156. Columns no cell covers are grey 0.
TEST_F(GetImage, CellOffsetsInDoublePrecision) {
  const struct {
    double firstXMin;
    double xMin;
    int32_t column;
  } cases[] = {{10.0, 12.0, 240}, {10.0, 10.0 + 239.5 / 120.0, 239}, {-0.3, 1.0078125, 157}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.column);
    const Delivery d = deliver(mosaic({geographicCell(c.firstXMin, 45, 3, 2, 300, pattern),
                                       geographicCell(c.xMin, 45, 2, 2, 300, pattern)}));
    ASSERT_EQ(d.status, DED_OK);
    ASSERT_GE(d.width, c.column + 2);
    expectImage(d, [&](int col, int r) -> uint8_t {
      if (col < 3) {
        return static_cast<uint8_t>(pattern(col, r));
      }
      if (col >= c.column && col < c.column + 2) {
        return static_cast<uint8_t>(pattern(col - c.column, r));
      }
      return 0;
    });
  }
}

// Abutting one-degree tiles at 3 arc seconds: single-precision bounds give
// quotients a hair off 1200 i, which must still place tile i at column 1200 i
// and cover every column up to the last.
TEST_F(GetImage, AbuttingTilesCoverEveryColumn) {
  auto global = [](int column, int row) {
    return static_cast<int16_t>(1 + (column * 7 + row) % 251);
  };
  std::vector<Cell> tiles;
  for (int i = 0; i < 4; ++i) {
    tiles.push_back(geographicCell(10 + i, 45, 1201, 1201, 30,
                                   [&](int c, int r) { return global(1200 * i + c, r); }));
  }
  const Delivery d = deliver(mosaic(std::move(tiles)));
  ASSERT_EQ(d.width, 4801);
  ASSERT_EQ(d.height, 1201);
  expectImage(d, [&](int c, int r) { return static_cast<uint8_t>(global(c, r)); });
}

// UTM mosaics have their first cell's size; a later cell is still placed by
// its offset and clipped where it runs past the image.
TEST_F(GetImage, CellsPartlyOutsideAreClipped) {
  const Delivery d = deliver([] {
    File file = mosaic({utmCell(500000, 4000000, 4, 3, 30, pattern),
                        utmCell(500060, 4000030, 4, 3, 30, [](int c, int r) {
                          return static_cast<int16_t>(100 + 10 * c + r);
                        })});
    file.projection = "UTM";
    file.hemisphere = 'N';
    file.zone = "33";
    return file;
  }());
  ASSERT_EQ(d.width, 4);
  ASSERT_EQ(d.height, 3);
  expectImage(d, [](int c, int r) {
    return static_cast<uint8_t>(c >= 2 && r >= 1 ? 100 + 10 * (c - 2) + (r - 1) : pattern(c, r));
  });
}

// Cells wide enough to be read in chunks and streamed out through staging,
// at offsets that suit no cache line, overlapping, clipped at the right and
// top edges and leaving gaps: the same pixels as the plain rendering.
TEST_F(GetImage, WideCellsClippedOverlappingAndApart) {
  const auto ramp = [](int base) {
    return [base](int c, int r) { return static_cast<int16_t>((base + 3 * c + 5 * r) % 311); };
  };
  File file = mosaic({utmCell(500300, 4000090, 700, 90, 30, ramp(0)), // the image's size
                      utmCell(500000, 4000000, 300, 40, 30, ramp(7)),
                      utmCell(509990, 4000930, 520, 70, 30, ramp(11)),
                      utmCell(518330, 4002100, 64, 20, 30, ramp(13))});
  file.projection = "UTM";
  file.hemisphere = 'N';
  file.zone = "33";
  file.minElevation = -10;
  file.maxElevation = 300;
  const Delivery d = deliver(file);
  ASSERT_EQ(d.width, 700);
  ASSERT_EQ(d.height, 90);
  const std::vector<uint8_t> bytes = dedtest::encode(file);
  const dedtest::ReferenceImage expected =
      dedtest::referenceImage(bytes.data(), bytes.size(), d.width, d.height, d.stride, kCanary);
  ASSERT_EQ(expected.status, DED_OK);
  expectImage(d,
              [&](int c, int r) { return expected.pixels[c + static_cast<size_t>(r) * d.stride]; });
}

// A later cell with a negative spacing lands left of the mosaic: its first
// column is dropped, its second lands on column 0. One with a zero spacing
// has no offset and one whose offset leaves the int32 range is dropped whole,
// and one with a different spacing lands mostly beyond the right edge. Each
// one's samples are still consumed, so the cell after it is read from its own
// block.
TEST_F(GetImage, CellsOutsideTheMosaicAreDroppedAndConsumed) {
  const auto marked = [](int base) {
    return [base](int c, int r) { return static_cast<int16_t>(base + 2 * c + r); };
  };
  Cell left = geographicCell(1, 0, 2, 2, 36000, marked(100));
  left.xSpacing = -36000;
  Cell nowhere = geographicCell(1, 0, 2, 2, 36000, marked(150));
  nowhere.xSpacing = 0;
  Cell far = geographicCell(1, 0, 2, 2, 36000, marked(170));
  far.xSpacing = 1.0e-6f; // offset 3.6e10 columns, beyond int32
  Cell narrow = geographicCell(1, 0, 2, 2, 18000, marked(200)); // columns 2 and 3
  const Delivery d =
      deliver(mosaic({geographicCell(0, 0, 2, 2, 36000, marked(10)),
                      geographicCell(1, 0, 2, 2, 36000, marked(20)), left, nowhere, far, narrow}));
  ASSERT_EQ(d.width, 3);
  const uint8_t expected[2][3] = {{102, 20, 200}, {103, 21, 201}};
  expectImage(d, [&](int c, int r) { return expected[r][c]; });
}

// A cell whose counts are not whole reads trunc(columns x rows) samples, the
// product taken in double precision, and places the whole columns of its
// whole rows; the next cell's block follows. 2.5 x 3 = 7.5 reads seven
// (rounding would take eight) and places 2 x 3; 6.25 x 0.32 = 1.99999995
// reads one (in single precision the product is 2) and places nothing.
TEST_F(GetImage, NonIntegralCountsConsumeTheirProduct) {
  const struct {
    float columns, rows;
    std::vector<int16_t> samples;
    uint8_t expected[3][3];
  } cases[] = {
      {2.5f, 3.0f, {31, 32, 33, 34, 35, 36, 37}, {{31, 34, 50}, {32, 35, 51}, {33, 36, 52}}},
      {6.25f, 0.32f, {31}, {{1, 8, 50}, {2, 9, 51}, {3, 10, 52}}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.columns << " x " << c.rows);
    Cell odd = geographicCell(0, 0, 3, 3, 36000);
    odd.columnCount = c.columns;
    odd.rowCount = c.rows;
    odd.samples = c.samples;
    const Delivery d = deliver(mosaic({geographicCell(0, 0, 3, 3, 36000, pattern), odd,
                                       geographicCell(2, 0, 1, 3, 36000, [](int, int r) {
                                         return static_cast<int16_t>(50 + r);
                                       })}));
    ASSERT_EQ(d.width, 3);
    ASSERT_EQ(d.height, 3);
    expectImage(d, [&](int col, int r) { return c.expected[r][col]; });
  }
}

// What get-image asks the host for, against the image it delivers: the cell
// headers twice (describing, then placing), then a band of whole columns of a
// single cell, or the largest cell's counts of a mosaic; never the image.
TEST_F(GetImage, AsksTheHostForHeadersAndOneBandOrCell) {
  const struct {
    const char *name;
    File file;
    std::vector<size_t> sizes;
  } cases[] = {
      {"3 x 5 cell", dedtest::geographicFile(3, 5, pattern), {40, 40, 3 * 5 * 2}},
      {"1100 x 1024 cell, bands of 512 columns, staged one at a time",
       dedtest::geographicFile(1100, 1024, pattern),
       {40, 40, 512 * 1024 * 2 + (512 + 64) * 1024 + 64}},
      {"70 x 5000 cell, bands of 104 columns cut to 64, staged up to 70",
       dedtest::geographicFile(70, 5000, pattern),
       {40, 40, 64 * 5000 * 2 + (70 + 64) * 5000 + 64}},
      {"70 x 5000 cell of cell count 0: still one cell in bands",
       [] {
         File file = dedtest::geographicFile(70, 5000, pattern);
         file.cellCount = 0;
         return file;
       }(),
       {40, 40, 64 * 5000 * 2 + (70 + 64) * 5000 + 64}},
      {"1 x 524289 cell, taller than a band: one column",
       dedtest::geographicFile(1, 524289, pattern),
       {40, 40, 524289 * 2}},
      {"mosaic of 4 x 2 and 2 x 3 cells",
       mosaic({geographicCell(0, 0, 4, 2, 36000, pattern), geographicCell(1, 0, 2, 3, 36000)}),
       {80, 80, 4 * 3 * 2}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    qvstandin::reset();
    const Delivery d = deliver(c.file);
    EXPECT_EQ(d.status, DED_OK);
    std::vector<size_t> sizes = qvstandin::allocationSizes();
    ASSERT_GE(sizes.size(), c.sizes.size());
    sizes.erase(sizes.begin(), sizes.end() - static_cast<std::ptrdiff_t>(c.sizes.size()));
    EXPECT_EQ(sizes, c.sizes);
  }
}

// Cells whose bounds run backwards make an image without pixels, however
// many rows it has: nothing is written and nothing is worth any time.
TEST_F(GetImage, AnImageWithoutPixelsCostsNothing) {
  Cell first = geographicCell(2, 0, 2, 2, 36000, pattern);
  first.xMax = 0.5f;
  first.yMax = 1024.0f;
  first.ySpacing = 36000.0f / 1048576.0f; // 2^30 rows up to yMax
  Cell second = geographicCell(2.5, 0, 2, 2, 36000, pattern);
  second.xMax = 0.4f;
  const Delivery d = deliver(mosaic({first, second}));
  EXPECT_EQ(d.width, 0);
  EXPECT_EQ(d.height, 1073741825);
  EXPECT_EQ(d.status, DED_OK);
  EXPECT_EQ(std::count(d.pixels.begin(), d.pixels.end(), kCanary),
            static_cast<std::ptrdiff_t>(d.pixels.size()));
}

// Positions no cell covers take the minimum elevation, grey 0, whether only
// they are filled (a few cells) or the whole image first (many cells).
TEST_F(GetImage, UncoveredPositionsAreGreyZero) {
  for (const size_t copies : {size_t{0}, size_t{64}}) {
    SCOPED_TRACE(copies);
    const Cell corner = geographicCell(0, 0, 1, 1, 36000, [](int, int) { return int16_t{900}; });
    File file =
        mosaic({corner, geographicCell(2, 2, 1, 1, 36000, [](int, int) { return int16_t{400}; })});
    file.cells.insert(file.cells.end(), copies, corner);
    file.cellCount = static_cast<int32_t>(file.cells.size());
    file.minElevation = -100;
    file.maxElevation = 900;
    const Delivery d = deliver(file);
    ASSERT_EQ(d.width, 3);
    ASSERT_EQ(d.height, 3);
    expectImage(d, [](int c, int r) -> uint8_t {
      if (c == 0 && r == 0) {
        return 255;
      }
      return c == 2 && r == 2 ? 127 : 0;
    });
  }
}

// A single cell taller than one band is read and converted band by band; a
// file that ends inside a later band gives zeros for the rest, as one short
// read would.
TEST_F(GetImage, LargeSingleCellEndingInsideALaterBand) {
  File file = dedtest::geographicFile(300, 4100, pattern);
  const size_t keep = 180 * 4100 + 77; // samples present
  file.cells[0].samples.resize(keep);
  const Delivery d = deliver(file);
  expectImage(d, [&](int c, int r) {
    const size_t index = static_cast<size_t>(c) * 4100 + r;
    return static_cast<uint8_t>(index < keep ? pattern(c, r) : 0);
  });
}

// Failures leave the host's buffer exactly as it was.

TEST_F(GetImage, BadHandleOrNullBufferAreRefused) {
  const int32_t handle = openFile(dedtest::geographicFile(2, 2, pattern));
  uint8_t pixels[8];
  std::fill(std::begin(pixels), std::end(pixels), kCanary);
  for (int32_t bad : {-1, 1, 9, 10, 1000}) {
    EXPECT_EQ(dedGetImageData(nullptr, nullptr, bad, nullptr, pixels), DED_ERR_BADARG);
  }
  EXPECT_EQ(dedGetImageData(nullptr, nullptr, handle, nullptr, nullptr), DED_ERR_BADARG);
  for (uint8_t byte : pixels) {
    EXPECT_EQ(byte, kCanary);
  }
  dedCloseImage(nullptr, nullptr, handle);
}

TEST_F(GetImage, EveryAllocationFailureIsReportedAndReleased) {
  const File files[] = {mosaic({geographicCell(0, 0, 2, 2, 36000, pattern),
                                geographicCell(1, 0, 2, 2, 36000, pattern)}),
                        dedtest::geographicFile(5, 4, pattern)};
  for (const File &file : files) {
    int64_t allocations = 0;
    const Delivery good = deliver(file, [&] { allocations = qvstandin::allocationCount(); });
    ASSERT_EQ(good.status, DED_OK);
    allocations = qvstandin::allocationCount() - allocations;
    ASSERT_GE(allocations, 2);
    for (int64_t n = 1; n <= allocations; ++n) {
      SCOPED_TRACE(n);
      const Delivery d = deliver(file, [&] { qvstandin::failAllocation(n); });
      EXPECT_EQ(d.status, DED_ERR_NOMEM);
      EXPECT_TRUE(d.untouched());
      EXPECT_EQ(qvstandin::outstandingBlocks(), 0);
      qvstandin::failAllocation(0);
    }
  }
}

// Two 2 x 2 cells: a cut anywhere before the second block's first sample is a
// block of which nothing is read; after it, a short read filled with zeros.
TEST_F(GetImage, FileCutInsideTheSampleBlocks) {
  const File file = mosaic(
      {geographicCell(0, 0, 2, 2, 36000, pattern), geographicCell(1, 0, 2, 2, 36000, pattern)});
  const std::vector<uint8_t> bytes = dedtest::encode(file);
  const size_t firstBlock = dedtest::samplesOffset(2);
  const size_t secondBlock = firstBlock + 8;
  for (size_t cut = firstBlock; cut < bytes.size(); ++cut) {
    SCOPED_TRACE(cut);
    File cutFile = file;
    const size_t present = cut - firstBlock;
    cutFile.cells[0].samples.resize(std::min<size_t>(present / 2, 4));
    cutFile.cells[1].samples.resize(present > 8 ? (present - 8) / 2 : 0);
    if (present % 2 == 1) {
      cutFile.trailing = {0x7F}; // half a sample
    }
    ASSERT_EQ(dedtest::encode(cutFile).size(), cut);
    const Delivery d = deliver(cutFile);
    if (cut < secondBlock + 2) {
      EXPECT_EQ(d.status, DED_ERR_READ);
      EXPECT_TRUE(d.untouched());
      continue;
    }
    const size_t second = (cut - secondBlock) / 2; // samples of the second cell present
    expectImage(d, [&](int c, int r) -> uint8_t {
      if (c == 0) {
        return static_cast<uint8_t>(pattern(0, r));
      }
      const size_t index = static_cast<size_t>(c - 1) * 2 + r;
      return static_cast<uint8_t>(index < second ? pattern(c - 1, r) : 0);
    });
  }
}

TEST_F(GetImage, SingleCellWithoutAnySampleFails) {
  File file = dedtest::geographicFile(2, 2, pattern);
  for (size_t present : {0, 1}) {
    file.cells[0].samples.clear();
    file.trailing.assign(present, 0x01);
    const Delivery d = deliver(file);
    EXPECT_EQ(d.status, DED_ERR_READ);
    EXPECT_TRUE(d.untouched());
  }
  file.trailing.clear();
  file.cells[0].samples = {7};
  const Delivery d = deliver(file);
  expectImage(d, [](int c, int r) -> uint8_t { return c == 0 && r == 0 ? 7 : 0; });
}

TEST_F(GetImage, HostileHeadersAreRefusedWithoutTouchingTheBuffer) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const auto withCell = [&](const std::function<void(Cell &)> &change, size_t which = 1) {
    File file = mosaic(
        {geographicCell(0, 0, 2, 2, 36000, pattern), geographicCell(1, 0, 2, 2, 36000, pattern)});
    change(file.cells[which]);
    return file;
  };
  File emptyAmongOthers = withCell([](Cell &cell) {
    cell.columnCount = 0;
    cell.samples.clear();
  });
  File emptyFirst = withCell(
      [](Cell &cell) {
        cell.columnCount = 0;
        cell.samples.clear();
      },
      0);
  File tooManySamples = withCell([](Cell &cell) {
    cell.columnCount = 2.5f;
    cell.rowCount = 2.5f;
    cell.samples.assign(6, 1);
  });
  File hugeScratch = withCell([](Cell &cell) {
    cell.columnCount = 40000;
    cell.rowCount = 40000;
  });
  // The first cell's read takes what the file holds, the second gets nothing.
  File bigCellsTinyFile = withCell(
      [](Cell &cell) {
        cell.columnCount = 3000;
        cell.rowCount = 3000;
      },
      0);
  File manyCellsTinyFile = withCell([](Cell &) {});
  manyCellsTinyFile.cellCount = 1000000;
  File hugeSingle = dedtest::geographicFile(2, 2, pattern);
  hugeSingle.cells[0].columnCount = 40000;
  hugeSingle.cells[0].rowCount = 40000;
  File wideUtm = dedtest::utmFile("33", 'N', 2, 2, pattern);
  wideUtm.cells[0].columnCount = 3.0e9f;

  const struct {
    const char *name;
    File file;
    int32_t status;
  } cases[] = {
      {"cell without samples among others", emptyAmongOthers, DED_ERR_READ},
      {"cell without samples before others", emptyFirst, DED_ERR_READ},
      {"2.5 x 2.5 samples in a 2 x 2 scratch block", tooManySamples, DED_ERR_BADARG},
      {"scratch block beyond 2 GiB", hugeScratch, DED_ERR_BADARG},
      {"3000 x 3000 cell in a tiny file", bigCellsTinyFile, DED_ERR_READ},
      {"a million cells in a tiny file", manyCellsTinyFile, DED_ERR_READ},
      {"40000 x 40000 single cell", hugeSingle, DED_ERR_BADARG},
      {"count beyond int32", wideUtm, DED_ERR_BADARG},
      {"NaN bound", withCell([&](Cell &cell) { cell.yMax = nan; }), DED_ERR_BADARG},
      {"infinite bound", withCell([&](Cell &cell) { cell.xMin = -inf; }), DED_ERR_BADARG},
      {"NaN spacing", withCell([&](Cell &cell) { cell.xSpacing = nan; }), DED_ERR_BADARG},
      {"NaN count", withCell([&](Cell &cell) { cell.rowCount = nan; }), DED_ERR_BADARG},
      {"negative count", withCell([&](Cell &cell) { cell.columnCount = -2; }), DED_ERR_BADARG},
      {"zero first spacing", withCell([](Cell &cell) { cell.xSpacing = 0; }, 0), DED_ERR_BADARG},
      {"negative first spacing", withCell([](Cell &cell) { cell.ySpacing = -36000; }, 0),
       DED_ERR_BADARG},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const Delivery d = deliver(c.file);
    EXPECT_EQ(d.status, c.status);
    EXPECT_TRUE(d.untouched());
  }
}

TEST_F(GetImage, RowWidthBelowImageWidthIsRefused) {
  const File file = mosaic(
      {geographicCell(0, 0, 2, 2, 36000, pattern), geographicCell(1, 0, 2, 2, 36000, pattern)});
  for (int32_t rowWidth : {0, 2}) {
    const Delivery d = deliver(file, [&] { qvstandin::overrideRowWidth(rowWidth); });
    EXPECT_EQ(d.status, DED_ERR_BADARG);
    EXPECT_TRUE(d.untouched());
  }
  // Exactly the width: rows packed with no padding.
  const Delivery d = deliver(file, [] { qvstandin::overrideRowWidth(3); });
  ASSERT_EQ(d.status, DED_OK);
  EXPECT_EQ(qvstandin::lastRowWidthArgs(), (std::vector<int32_t>{3, 8, 2}));
  EXPECT_EQ(d.pixels[3], pattern(0, 1));
}

// An image with no pixels asks the host for zero bytes: no block is -1, a
// block leaves a read of zero samples, which fails.
TEST_F(GetImage, EmptyImages) {
  File emptyMosaic = mosaic({geographicCell(0, 0, 2, 2, 36000), geographicCell(1, 0, 2, 2, 36000)});
  for (Cell &cell : emptyMosaic.cells) {
    cell.rowCount = 0;
    cell.samples.clear();
  }
  const File files[] = {dedtest::geographicFile(0, 5), dedtest::geographicFile(5, 0), emptyMosaic};
  for (const File &file : files) {
    for (bool zeroIsNull : {true, false}) {
      SCOPED_TRACE(zeroIsNull);
      const Delivery d = deliver(file, [&] { qvstandin::zeroSizeReturnsNull(zeroIsNull); });
      EXPECT_EQ(d.status, zeroIsNull ? DED_ERR_NOMEM : DED_ERR_READ);
      EXPECT_TRUE(d.untouched());
    }
  }
}

} // namespace
