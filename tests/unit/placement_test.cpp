// Where a cell's block lands in the image, the area the image shows and its
// geotransform, and the elevations copied to an int16 window by the same
// placement as the grey levels.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ded/area.h"
#include "ded/placement.h"
#include "image/place.h"

namespace {

TEST(Placement, ClipsToTheImageAndDropsCellsThatLieNowhere) {
  const struct {
    int64_t column, row;
    bool shown, clipped;
    int64_t firstColumn, endColumn, firstRow, endRow;
  } cases[] = {
      {0, 0, true, false, 0, 3, 0, 2},   {1, 1, true, false, 0, 3, 0, 2},
      {-1, 1, true, true, 1, 3, 0, 2},   {2, 2, true, true, 0, 2, 0, 1},
      {4, 0, false, false, 0, -0, 0, 2}, {0, -2, false, false, 0, 3, 2, 2},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.column) + "," + std::to_string(c.row));
    const DedPlacement p = dedClipBlock(3, 2, c.column, c.row, 4, 3);
    EXPECT_EQ(p.shown, c.shown);
    EXPECT_EQ(p.clipped, c.clipped);
    if (c.shown) {
      EXPECT_EQ(p.firstColumn, c.firstColumn);
      EXPECT_EQ(p.endColumn, c.endColumn);
      EXPECT_EQ(p.firstRow, c.firstRow);
      EXPECT_EQ(p.endRow, c.endRow);
    }
  }
  // Narrowed to the columns it stores, a cell shown whole is shown whole
  // still; one cut at its first row stays clipped.
  for (const auto &[row, clipped] : {std::pair{int64_t{0}, false}, std::pair{int64_t{-1}, true}}) {
    const DedPlacement kept = dedKeepColumns(dedClipBlock(3, 2, 0, row, 4, 3), 2);
    EXPECT_TRUE(kept.shown && kept.endColumn == 2);
    EXPECT_EQ(kept.clipped, clipped) << row;
  }
  DedImageInfo info{};
  info.width = 4;
  info.height = 3;
  DedCellHeader zeroSpacing{};
  zeroSpacing.xMin = 1.0f;
  zeroSpacing.columnCount = 3;
  zeroSpacing.rowCount = 2;
  EXPECT_TRUE(dedPlaceCell(info, zeroSpacing).shown); // a one-cell file's cell is its image
  info.cellCount = 2;
  EXPECT_FALSE(dedPlaceCell(info, zeroSpacing).shown);
}

TEST(Placement, AWindowTakesTheRowsAndColumnsThatLandInIt) {
  // A 3 x 4 block at image column -1, row 1 of a 4 x 5 image: it shows its
  // columns 1..2 on image columns 0..1, its rows 0..3 on image rows 1..4.
  const DedPlacement placed = dedClipBlock(3, 4, -1, 1, 4, 5);
  const struct {
    int64_t left, columns, bottom, rows;
    bool shown;
    int64_t firstColumn, endColumn, firstRow, packedRows, imageRow;
  } cases[] = {
      {0, 4, 0, 5, true, 1, 3, 0, 4, 1},  // the whole image
      {1, 2, 2, 2, true, 2, 3, 1, 2, 0},  // image columns 1..2, rows 2..3
      {0, 4, 0, 1, false, 1, 3, 0, 0, 1}, // row 0: no cell row lands
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.left) + "," + std::to_string(c.bottom));
    const DedWindowPart part = dedWindowPart(placed, c.left, c.columns, c.bottom, c.rows);
    EXPECT_EQ(part.placement.shown, c.shown);
    EXPECT_EQ(part.placement.firstColumn, c.firstColumn);
    EXPECT_EQ(part.placement.endColumn, c.endColumn);
    EXPECT_EQ(part.firstRow, c.firstRow);
    EXPECT_EQ(part.placement.rows, c.packedRows);
    EXPECT_EQ(part.placement.imageRow, c.imageRow);
  }
}

TEST(Placement, Int16WindowsTakeThePlacedSamplesNorthUpOrNot) {
  // A 3 x 2 block at image column -1, row 1 of a 4 x 3 image: its column j
  // lands on image column j - 1, its rows on image rows 1 and 2.
  std::vector<uint16_t> block;
  for (int value : {10, 11, 20, 21, 30, 31}) {
    block.push_back(dedEncodeSample(static_cast<int16_t>(value)));
  }
  const DedPlacement placed = dedClipBlock(3, 2, -1, 1, 4, 3);
  constexpr int16_t kNone = -32768;
  std::vector<int16_t> up(12, kNone);
  dedPlaceInt16(block.data(), 0, 3, placed, {up.data(), 0, 4, 3, 4, true});
  EXPECT_EQ(up, (std::vector<int16_t>{21, 31, kNone, kNone, 20, 30, kNone, kNone, kNone, kNone,
                                      kNone, kNone}));
  // Image columns 1..2 only, south first, from a block that holds only the
  // placed block's column 2.
  std::vector<int16_t> window(6, 7);
  const DedInt16Window columns{window.data(), 1, 2, 3, 2, false};
  dedFillInt16(columns, kNone);
  dedPlaceInt16(block.data() + 4, 2, 1, placed, columns);
  EXPECT_EQ(window, (std::vector<int16_t>{kNone, kNone, 30, kNone, 31, kNone}));
  // The whole block into image columns 1..2: its column 1 (image column 0)
  // lies left of the window and is not written before it.
  std::vector<int16_t> guarded(7, 7);
  const DedInt16Window right{guarded.data() + 1, 1, 2, 3, 2, false};
  dedFillInt16(right, kNone);
  dedPlaceInt16(block.data(), 0, 3, placed, right);
  EXPECT_EQ(guarded, (std::vector<int16_t>{7, kNone, kNone, 30, kNone, 31, kNone}));
}

TEST(Placement, Int16TilesGiveWhatThePlainCopyGives) {
  // Blocks of every size around the 8 x 8 tiles and their strips of 32
  // columns, clipped on each side, into windows north-up or not: each
  // sample decoded and put at its own place.
  std::mt19937 random(7);
  for (int n = 0; n < 300; ++n) {
    const int64_t columns = 1 + random() % 77;
    const int64_t rows = 1 + random() % 21;
    const int32_t width = 1 + static_cast<int32_t>(random() % 80);
    const int32_t height = 1 + static_cast<int32_t>(random() % 24);
    const DedPlacement placed = dedClipBlock(columns, rows, static_cast<int64_t>(random() % 9) - 4,
                                             static_cast<int64_t>(random() % 9) - 4, width, height);
    std::vector<uint16_t> block(static_cast<size_t>(columns * rows));
    for (uint16_t &sample : block) {
      sample = static_cast<uint16_t>(random());
    }
    const bool northUp = (n % 2) == 0;
    const int32_t firstColumn = static_cast<int32_t>(random() % static_cast<uint32_t>(width));
    const int32_t shown = width - firstColumn;
    std::vector<int16_t> got(static_cast<size_t>((shown + 3) * height), 7);
    std::vector<int16_t> want = got;
    dedPlaceInt16(block.data(), 0, columns, placed,
                  {got.data(), firstColumn, shown, height, shown + 3, northUp});
    for (int64_t j = placed.firstColumn; placed.shown && j < placed.endColumn; ++j) {
      const int64_t column = placed.imageColumn + j - firstColumn;
      for (int64_t i = placed.firstRow; column >= 0 && column < shown && i < placed.endRow; ++i) {
        const int64_t imageRow = placed.imageRow + i;
        const int64_t row = northUp ? height - 1 - imageRow : imageRow;
        want[static_cast<size_t>(row * (shown + 3) + column)] =
            dedDecodeSample(block[static_cast<size_t>(j * placed.rows + i)]);
      }
    }
    ASSERT_EQ(got, want) << "case " << n;
  }
}

TEST(Area, SeveralUtmCellsShowTheFirstCellsSizeFromTheMinima) {
  DedImageInfo info{};
  info.projection = PROJ_UTM;
  info.cellCount = 2;
  info.width = 5;
  info.height = 3;
  info.xMin = 400000.0f;
  info.yMin = 3000000.0f;
  info.xMax = 600240.0f;
  info.yMax = 4000240.0f;
  info.xSpacing = 30.0f;
  info.ySpacing = 30.0f;
  const DedArea area = dedImageArea(info);
  EXPECT_EQ(area.xMax, 400120.0);
  EXPECT_EQ(area.yMax, 3000060.0);
  double gt[6];
  dedGeoTransform(info, gt);
  EXPECT_EQ(std::vector<double>(gt, gt + 6),
            (std::vector<double>{399985.0, 30.0, 0.0, 3000075.0, 0.0, -30.0}));
  info.cellCount = 1; // one cell shows its bounds
  EXPECT_EQ(dedImageArea(info).yMax, 4000240.0);
  info.projection = PROJ_GEOGRAPHIC;
  info.cellCount = 2;
  info.xSpacing = 300.0f; // 1/120 degree
  info.ySpacing = 300.0f;
  dedGeoTransform(info, gt);
  EXPECT_EQ(gt[1], 300.0 / 36000.0);
  EXPECT_EQ(gt[3], 4000240.0 + gt[1] / 2) << "the bounds, half a pixel out";
}

} // namespace
