// The walk over the cells' blocks: where each starts, how many of its
// samples the file holds, and the first block that cannot be read; and the
// reader of a window of a block's samples, with what a short file leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "ded/block_samples.h"
#include "ded/blocks.h"
#include "tests/support/memory_input.h"

namespace {

DedCellHeader cell(float columns, float rows) {
  DedCellHeader header{};
  header.columnCount = columns;
  header.rowCount = rows;
  return header;
}

TEST(CellBlocks, OffsetsMissingSamplesAndTheFirstFinding) {
  constexpr int64_t kAll = INT64_MAX;
  constexpr float kWidest = 2147483520.0f; // the largest usable count
  constexpr int64_t kMost = int64_t{2147483520} * 2147483520;
  // Two cells of 3 x 2 samples: blocks at 240 and 252, ending at 264.
  const std::vector<DedCellHeader> two = {cell(3, 2), cell(3, 2)};
  const struct {
    const char *name;
    std::vector<DedCellHeader> cells;
    int64_t fileSize;
    int64_t limit;
    std::vector<int64_t> missing;
    DedFinding finding;
    int32_t cell;
    int64_t end;
  } cases[] = {
      {"whole", two, 264, kAll, {0, 0}, DedFinding::None, -1, 264},
      {"cut in the first block", two, 246, kAll, {3, 6}, DedFinding::BlockPastEnd, 1, 264},
      {"cut inside a sample", two, 245, kAll, {4, 6}, DedFinding::BlockPastEnd, 1, 264},
      {"half a sample of the second", two, 253, kAll, {0, 6}, DedFinding::BlockPastEnd, 1, 264},
      {"one sample of the second", two, 254, kAll, {0, 5}, DedFinding::None, -1, 264},
      {"cut before any block", two, 200, kAll, {6, 6}, DedFinding::BlockPastEnd, 0, 264},
      {"a cell without samples",
       {cell(0, 2), cell(3, 2)},
       252,
       kAll,
       {0, 0},
       DedFinding::CellEmpty,
       0,
       252},
      {"fractional counts hold more",
       {cell(2.5f, 3), cell(3, 2)},
       266,
       6,
       {0, 0},
       DedFinding::CellTooLarge,
       0,
       266},
      {"larger than the limit", two, 264, 5, {0, 0}, DedFinding::CellTooLarge, 0, 264},
      {"claims of 2^62 samples do not wrap",
       {cell(kWidest, kWidest), cell(kWidest, kWidest)},
       264,
       kAll,
       {kMost - 12, kMost},
       DedFinding::BlockPastEnd,
       1,
       INT64_MAX - 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const auto count = static_cast<int32_t>(c.cells.size());
    int32_t failed = -1;
    int64_t end = 0;
    EXPECT_EQ(dedCheckBlocks(c.cells.data(), count, c.fileSize, c.limit, &failed, &end), c.finding);
    EXPECT_EQ(failed, c.cell);
    EXPECT_EQ(end, c.end);
    DedBlockWalk walk = dedStartBlockWalk(c.cells.data(), count, c.fileSize, c.limit);
    DedCellBlock block;
    int64_t offset = 160 + 40 * int64_t{count};
    for (size_t i = 0; i < c.missing.size(); ++i) {
      ASSERT_TRUE(dedNextBlock(&walk, &block));
      EXPECT_EQ(block.offset, offset) << i;
      EXPECT_EQ(block.missing, c.missing[i]) << i;
      offset += block.bytes;
    }
    EXPECT_FALSE(dedNextBlock(&walk, &block));
  }
}

TEST(CellBlocks, AWindowTakesWhatTheFileGivesAndTheFillForTheRest) {
  // Samples 1..4 behind two bytes; -1 is the fill.
  const std::vector<uint8_t> file = {0xAA, 0xAA, 0, 1, 0, 2, 0, 3, 0, 4};
  const struct {
    const char *name;
    std::ptrdiff_t fileSize;
    int64_t missing, first, count, got;
    std::vector<int16_t> samples;
    size_t failAt = SIZE_MAX; // reads stop there on an error
    int error = 0;
  } cases[] = {
      {"read failing on an error mid-window", 10, 0, 0, 4, 2, {1, 2, -1, -1}, 6, EIO},
      {"exact fit", 10, 0, 1, 3, 3, {2, 3, 4}},
      {"read cut short mid-window, in a sample", 7, 0, 0, 4, 2, {1, 2, -1, -1}},
      {"held samples end mid-window", 10, 2, 1, 3, 1, {2, -1, -1}},
      {"wholly past the samples held", 10, 2, 2, 2, 0, {-1, -1}},
      {"past the block's last sample", 10, 0, 3, 2, 1, {4, -1}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    dedtest::MemoryFile memory{std::vector<uint8_t>(file.begin(), file.begin() + c.fileSize)};
    memory.failAt = c.failAt;
    const DedCellBlock block{2, 4, 8, c.missing, DedFinding::None};
    std::vector<uint16_t> dest(static_cast<size_t>(c.count), 7);
    const DedSamplesRead read =
        dedReadBlockSamples(memory.input(), block, c.first, c.count, 0xFFFF, dest.data());
    EXPECT_EQ(read.got, c.got);
    EXPECT_EQ(read.error, c.error);
    std::vector<int16_t> samples(dest.size());
    std::transform(dest.begin(), dest.end(), samples.begin(), dedDecodeSample);
    EXPECT_EQ(samples, c.samples);
  }
}

} // namespace
