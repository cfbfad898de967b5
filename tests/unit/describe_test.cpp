// The description of a file: size, projection, UTM fields, bounds, range.
#include <cerrno>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>

#include "ded/describe.h"
#include "ded/open_files.h"
#include "host/status.h"
#include "plugin/describe.h"
#include "plugin/open_close.h"
#include "qvapilib/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/memory_input.h"

namespace {

using dedtest::File;

class Describe : public dedtest::HostTest {
protected:
  // Describes file and closes it again; info receives the result.
  int32_t describe(const File &file, DedImageInfo *info) {
    return describeBytes(dedtest::encode(file), info);
  }
  int32_t describeBytes(const std::vector<uint8_t> &bytes, DedImageInfo *info) {
    const int32_t handle = openOrFail(dir.write("d.ded", bytes));
    const int32_t status = dedDescribe(handle, info);
    dedCloseImage(nullptr, nullptr, handle);
    return status;
  }
};

// What ded/ finds in file's bytes, read from memory with the C library's
// allocator.
DedFinding findingOf(const File &file, DedImageInfo *info, DedRecords *records = nullptr) {
  dedtest::MemoryFile memory{dedtest::encode(file)};
  return dedDescribeInput(memory.input(), dedSystemAllocator(), info, records);
}

File twoCellMosaic() {
  File file;
  file.cellCount = 2;
  file.cells = {dedtest::geographicCell(10, 45, 121, 121, 300.0f),
                dedtest::geographicCell(11, 45, 121, 121, 300.0f)};
  return file;
}

TEST_F(Describe, SingleGeographicCell) {
  DedImageInfo info;
  const File file = dedtest::geographicFile(121, 121);
  ASSERT_EQ(describe(file, &info), DED_OK);
  EXPECT_EQ(info.width, 121);
  EXPECT_EQ(info.height, 121);
  EXPECT_EQ(info.projection, PROJ_GEOGRAPHIC);
  EXPECT_EQ(info.cellCount, 1);
  EXPECT_EQ(info.maxColumns, 121);
  EXPECT_EQ(info.maxRows, 121);
  EXPECT_EQ(info.xMin, file.cells[0].xMin);
  EXPECT_EQ(info.xMax, file.cells[0].xMax);
  EXPECT_EQ(info.yMin, file.cells[0].yMin);
  EXPECT_EQ(info.yMax, file.cells[0].yMax);
}

TEST_F(Describe, TwoCellMosaicSizesFromFirstCellSpacing) {
  DedImageInfo info;
  ASSERT_EQ(describe(twoCellMosaic(), &info), DED_OK);
  EXPECT_EQ(info.width, 241);
  EXPECT_EQ(info.height, 121);
  EXPECT_EQ(info.cellCount, 2);
  EXPECT_EQ(info.xMin, 10.0f);
  EXPECT_EQ(info.xMax, 12.0f);
}

// Abutting one-degree tiles at 3 arc-seconds: the single-precision bounds give
// a quotient a hair below 4800, which must still size the mosaic 4801 wide.
TEST_F(Describe, AbuttingTilesSnapToTheWholeSize) {
  File file;
  file.cellCount = 4;
  for (int i = 0; i < 4; ++i) {
    dedtest::Cell cell = dedtest::geographicCell(7 + i, 46, 1201, 1201, 30.0f);
    cell.samples.clear();
    file.cells.push_back(cell);
  }
  DedImageInfo info;
  ASSERT_EQ(describe(file, &info), DED_OK);
  EXPECT_EQ(info.width, 4801);
  EXPECT_EQ(info.height, 1201);
}

// West of the meridian to east of it, the extent over the spacing is
// 156.9375014 in double precision, within 1/16 of 157; in single precision
// (the extent or the spacing) it would be 156.9374943 and truncate to 156.
TEST_F(Describe, MosaicAcrossTheMeridianIsSizedInDoublePrecision) {
  File file;
  file.cellCount = 2;
  file.cells = {dedtest::geographicCell(-0.3, 45, 3, 2, 300.0f),
                dedtest::geographicCell(1.0078125, 45, 1, 2, 300.0f)};
  DedImageInfo info;
  ASSERT_EQ(describe(file, &info), DED_OK);
  EXPECT_EQ(info.width, 158);
  EXPECT_EQ(info.height, 2);
}

TEST_F(Describe, UtmHemisphereAndZone) {
  const struct {
    std::string zone;
    char hemisphere;
    DedFinding finding;
    int32_t expectZone; // as parsed, also when out of range
    int32_t expectHemisphere;
  } cases[] = {
      {"33", 'n', DedFinding::None, 33, 1},
      {"33", 'N', DedFinding::None, 33, 1},
      {"1", 's', DedFinding::None, 1, 0},
      {"60", 'S', DedFinding::None, 60, 0},
      {"  \t+07xyz", 'N', DedFinding::None, 7, 1},
      {"\n\v\f\r 9", 'S', DedFinding::None, 9, 0}, // every space "%d" skips
      {"0033", 'N', DedFinding::None, 33, 1},
      {std::string(114, '0') + "12", 'N', DedFinding::None, 12, 1}, // runs to the header's end
      {"33", 'X', DedFinding::BadHemisphere, 33, 0},
      {"33", ' ', DedFinding::BadHemisphere, 33, 0},
      {"0", 'N', DedFinding::ZoneOutOfRange, 0, 0},
      {"61", 'N', DedFinding::ZoneOutOfRange, 61, 0},
      {"-5", 'N', DedFinding::ZoneOutOfRange, -5, 0},
      {"", 'N', DedFinding::ZoneNotANumber, 0, 0},
      {"zone 5", 'N', DedFinding::ZoneNotANumber, 0, 0},
      {"2147483647", 'N', DedFinding::ZoneOutOfRange, INT32_MAX, 0},
      {"4294967329", 'N', DedFinding::ZoneOutOfRange, INT32_MAX, 0}, // 2^32 + 33: no wrap
      {"-4294967329", 'N', DedFinding::ZoneOutOfRange, -INT32_MAX, 0},
      {std::string(116, '9'), 'N', DedFinding::ZoneOutOfRange, INT32_MAX, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.zone + " " + c.hemisphere);
    DedImageInfo info;
    DedRecords records;
    const File file = dedtest::utmFile(c.zone, c.hemisphere, 5, 3);
    ASSERT_EQ(findingOf(file, &info, &records), c.finding);
    int32_t zone = 0;
    (void)dedParseZone(records.header, &zone);
    EXPECT_EQ(zone, c.expectZone);
    EXPECT_EQ(describe(file, &info), c.finding == DedFinding::None ? DED_OK : DED_ERR_BADARG);
    if (c.finding == DedFinding::None) {
      EXPECT_EQ(info.projection, PROJ_UTM);
      EXPECT_EQ(info.utmZone, c.expectZone);
      EXPECT_EQ(info.utmHemisphere, c.expectHemisphere);
      EXPECT_EQ(info.width, 5);
      EXPECT_EQ(info.height, 3);
    }
  }
}

TEST_F(Describe, OnlyTheWholeUpperCaseTagIsUtm) {
  for (const char *tag : {"utm", "UTX"}) {
    SCOPED_TRACE(tag);
    File file = dedtest::utmFile("33", 'X', 4, 4);
    file.projection = tag;
    DedImageInfo info;
    ASSERT_EQ(describe(file, &info), DED_OK);
    EXPECT_EQ(info.projection, PROJ_GEOGRAPHIC);
  }
}

TEST_F(Describe, UtmMosaicHasItsFirstCellsSize) {
  File file = dedtest::utmFile("33", 'N', 5, 3);
  file.cellCount = 3;
  file.cells.push_back(dedtest::utmCell(600000, 4000000, 9, 9, 30.0f));
  file.cells.push_back(dedtest::utmCell(400000, 3000000, 7, 2, 30.0f));
  DedImageInfo info;
  ASSERT_EQ(describe(file, &info), DED_OK);
  EXPECT_EQ(info.width, 5);
  EXPECT_EQ(info.height, 3);
  EXPECT_EQ(info.maxColumns, 9);
  EXPECT_EQ(info.maxRows, 9);
  EXPECT_EQ(info.xMin, 400000.0f);
}

TEST_F(Describe, ElevationRangeAndNonPositiveCellCounts) {
  for (int32_t count : {1, 0, -5, INT32_MIN}) {
    SCOPED_TRACE(count);
    File file = dedtest::geographicFile(3, 2);
    file.cellCount = count;
    file.minElevation = -100;
    file.maxElevation = 900;
    DedImageInfo info;
    ASSERT_EQ(describe(file, &info), DED_OK);
    EXPECT_EQ(info.cellCount, count);
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.minElevation, -100.0f);
    EXPECT_EQ(info.maxElevation, 900.0f);
  }
}

TEST_F(Describe, FileEndingInsideTheSecondCellHeader) {
  auto bytes = dedtest::encode(twoCellMosaic());
  bytes.resize(dedtest::kFirstCellOffset + dedtest::kCellHeaderBytes + 17);
  DedImageInfo info;
  testing::internal::CaptureStderr();
  errno = 0;
  const int32_t status = describeBytes(bytes, &info);
  const int error = errno;
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, DED_ERR_READ);
  EXPECT_EQ(err, std::string("Reading ded cell header: ") + std::strerror(error) + "\n");
}

TEST_F(Describe, TruncatedAtEveryRecordBoundary) {
  const auto bytes = dedtest::encode(twoCellMosaic());
  const struct {
    size_t size;
    DedFinding finding;
    int32_t cell;
  } cases[] = {{0, DedFinding::HeaderShort, -1},       {8, DedFinding::HeaderShort, -1},
               {127, DedFinding::HeaderShort, -1},     {128, DedFinding::StatisticsShort, -1},
               {159, DedFinding::StatisticsShort, -1}, {160, DedFinding::CellHeaderShort, 0},
               {199, DedFinding::CellHeaderShort, 0},  {200, DedFinding::CellHeaderShort, 1},
               {239, DedFinding::CellHeaderShort, 1}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.size);
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(c.size));
    dedtest::MemoryFile memory{cut};
    DedImageInfo info;
    DedRecords records;
    EXPECT_EQ(dedDescribeInput(memory.input(), dedSystemAllocator(), &info, &records), c.finding);
    EXPECT_EQ(records.cell, c.cell);
    EXPECT_EQ(memory.failedReads, 1);
    if (c.size < 8) {
      continue; // does not open
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(describeBytes(cut, &info), DED_ERR_READ);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  }
  DedImageInfo info;
  EXPECT_EQ(describeBytes({bytes.begin(), bytes.begin() + 240}, &info),
            DED_OK); // no samples needed
}

TEST_F(Describe, UnusableHeaderValuesAreRefused) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char *name;
    DedFinding finding;
    int32_t cell; // the cell it is about, or -1
    std::function<void(File &)> spoil;
  } cases[] = {
      {"NaN column count", DedFinding::CellUnusable, 0,
       [=](File &f) { f.cells[0].columnCount = nan; }},
      {"negative row count", DedFinding::CellUnusable, 0,
       [](File &f) { f.cells[0].rowCount = -1.0f; }},
      {"count beyond int32", DedFinding::CellUnusable, 1,
       [](File &f) { f.cells[1].columnCount = 3.0e9f; }},
      {"count of exactly 2^31", DedFinding::CellUnusable, 1,
       [](File &f) { f.cells[1].rowCount = 2147483648.0f; }},
      {"infinite bound", DedFinding::CellUnusable, 1, [=](File &f) { f.cells[1].xMax = inf; }},
      {"infinite western bound of a single cell", DedFinding::CellUnusable, 0,
       [=](File &f) {
         f.cellCount = 1;
         f.cells[0].xMin = -inf;
       }},
      {"infinite eastern bound of a single cell", DedFinding::CellUnusable, 0,
       [=](File &f) {
         f.cellCount = 1;
         f.cells[0].xMax = inf;
       }},
      {"NaN bound", DedFinding::CellUnusable, 0, [=](File &f) { f.cells[0].yMin = nan; }},
      {"NaN spacing in a later cell", DedFinding::CellUnusable, 1,
       [=](File &f) { f.cells[1].ySpacing = nan; }},
      {"zero first spacing", DedFinding::SpacingUnusable, -1,
       [](File &f) { f.cells[0].xSpacing = 0.0f; }},
      {"negative first spacing", DedFinding::SpacingUnusable, -1,
       [](File &f) { f.cells[0].ySpacing = -300.0f; }},
      {"negative first spacing over no extent", DedFinding::SpacingUnusable, -1,
       [](File &f) {
         f.cells[0].xSpacing = -300.0f;
         for (dedtest::Cell &cell : f.cells) {
           cell.xMin = cell.xMax = 10.0f;
         }
       }},
      {"mosaic wider than int32", DedFinding::SizeUnusable, -1,
       [](File &f) { f.cells[0].xSpacing = 1.0e-6f; }},
      {"inverted bounds", DedFinding::SizeUnusable, -1,
       [](File &f) {
         f.cells[0].xMin = 20.0f;
         f.cells[1].xMin = 20.0f;
       }},
      {"inverted y bounds", DedFinding::SizeUnusable, -1,
       [](File &f) {
         f.cells[0].yMin = 47.0f;
         f.cells[1].yMin = 47.0f;
       }},
      // 12.000213 / (0.00020116924 / 36000) = 2147483647.24: 2^31 columns.
      {"mosaic of exactly 2^31 columns", DedFinding::SizeUnusable, -1,
       [](File &f) {
         f.cells[0].xMin = 0.0f;
         f.cells[0].xSpacing = 0.00020116924f;
         f.cells[1].xMax = 12.000213f;
       }},
      {"raster beyond int32 bytes", DedFinding::ImageTooLarge, -1,
       [](File &f) {
         f.cells[0].xSpacing = 1.0f;
         f.cells[0].ySpacing = 1.0f;
       }},
      {"cell array beyond int32 bytes", DedFinding::TooManyCells, -1,
       [](File &f) { f.cellCount = INT32_MAX; }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    File file = twoCellMosaic();
    c.spoil(file);
    DedImageInfo info;
    DedRecords records;
    EXPECT_EQ(findingOf(file, &info, &records), c.finding);
    EXPECT_EQ(records.cell, c.cell);
    EXPECT_EQ(describe(file, &info), DED_ERR_BADARG);
  }
  File huge = dedtest::geographicFile(2, 2);
  huge.cells[0].columnCount = 40000.0f;
  huge.cells[0].rowCount = 40000.0f;
  DedImageInfo info;
  EXPECT_EQ(describe(huge, &info), DED_ERR_BADARG);
  // The largest float below 2^31 is a count; with no rows the image is empty.
  File widest = dedtest::geographicFile(2, 2);
  widest.cells[0].columnCount = 2147483520.0f;
  widest.cells[0].rowCount = 0.0f;
  ASSERT_EQ(describe(widest, &info), DED_OK);
  EXPECT_EQ(info.width, 2147483520);
  EXPECT_EQ(info.height, 0);
  // 32769 x 32767 = 2^30 - 1 samples, two bytes short of 2 GiB: the largest
  // image; one more row is too large.
  File largest = dedtest::geographicFile(2, 2);
  largest.cells[0].columnCount = 32769.0f;
  largest.cells[0].rowCount = 32767.0f;
  EXPECT_EQ(describe(largest, &info), DED_OK);
  largest.cells[0].rowCount = 32768.0f;
  EXPECT_EQ(describe(largest, &info), DED_ERR_BADARG);
}

// A large cell count in a tiny file is a read failure once the headers run out.
TEST_F(Describe, HugeCellCountInTinyFile) {
  File file = twoCellMosaic();
  file.cellCount = 50000000;
  for (auto &cell : file.cells) {
    cell.samples.clear();
  }
  DedImageInfo info;
  testing::internal::CaptureStderr();
  EXPECT_EQ(describe(file, &info), DED_ERR_READ);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Reading ded cell header"),
            std::string::npos);
  // Room for the two headers the file holds and the third that fails, no more.
  EXPECT_EQ(qvstandin::allocationSizes(), (std::vector<size_t>{3 * 40}));
}

TEST_F(Describe, NonIntegralCountsTruncate) {
  File file = dedtest::geographicFile(2, 2);
  file.cells[0].columnCount = 2.9f;
  file.cells[0].rowCount = 7.5f;
  DedImageInfo info;
  ASSERT_EQ(describe(file, &info), DED_OK);
  EXPECT_EQ(info.width, 2);
  EXPECT_EQ(info.height, 7);
  EXPECT_EQ(info.maxColumns, 2);
}

TEST_F(Describe, AllocationFailureLeavesNothing) {
  qvstandin::failAllocation(1);
  DedImageInfo info;
  EXPECT_EQ(describe(twoCellMosaic(), &info), DED_ERR_NOMEM);
  EXPECT_EQ(qvstandin::allocationSizes(), (std::vector<size_t>{80}));
}

TEST(WholePart, SnapsNearWholeNumbersAndTruncatesTheRest) {
  const double cases[][2] = {{3599.9999999999995, 3600},
                             {240.0, 240},
                             {239.5, 239},
                             {239.94, 240},
                             {239.93, 239},
                             {239.9375, 240}, // exactly 1/16 off
                             {240.0625, 240},
                             {-3.0625, -3},
                             {-0.5, -0.0},
                             {-2.99, -3},
                             {0.06, 0},
                             {1e300, 1e300}};
  for (const auto &c : cases) {
    EXPECT_EQ(dedWholePart(c[0]), c[1]) << c[0];
  }
  EXPECT_TRUE(std::isnan(dedWholePart(std::nan(""))));
}

// A mosaic's scratch block may take the largest cell at the sample limit
// itself (32767 x 32769 = 2^30 - 1), not one sample more; one cell needs none.
TEST(ScratchCheck, TheLargestCellMayReachTheSampleLimitExactly) {
  DedImageInfo info{};
  info.maxColumns = 32767;
  for (const auto &[cells, rows, finding] :
       {std::tuple{2, 32769, DedFinding::None}, std::tuple{2, 32770, DedFinding::ScratchTooLarge},
        std::tuple{1, 32770, DedFinding::None}}) {
    info.cellCount = cells;
    info.maxRows = rows;
    EXPECT_EQ(dedCheckScratch(info), finding) << cells << " cells of " << rows << " rows";
  }
}

} // namespace
