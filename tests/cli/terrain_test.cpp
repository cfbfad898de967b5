// The synthetic terrain: the fast column generator against the plain
// per-sample one, and the properties that make it look like land.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "cli/sample/terrain.h"

namespace {

constexpr int64_t kExpectedSum = 10235747;
constexpr uint64_t kExpectedHash = 18183582513888497448ULL;

TEST(Terrain, ColumnsMatchThePerSampleReference) {
  for (const int64_t side : {17, 513, 7169}) {
    const elvhost::Terrain terrain = elvhost::terrainFor(side);
    elvhost::TerrainColumns columns(terrain);
    // Columns that start mid-cell and cross many lattice rows of every octave.
    for (const int64_t x :
         {int64_t{0}, int64_t{1}, int64_t{255}, side / 2, side - 1, int64_t{5000}}) {
      for (const int64_t y0 : {int64_t{0}, int64_t{3}, int64_t{1024}}) {
        const int32_t rows = 300;
        std::vector<int16_t> column(rows);
        columns.column(x, y0, rows, column.data());
        for (int32_t r = 0; r < rows; ++r) {
          ASSERT_EQ(column[static_cast<size_t>(r)], elvhost::terrainAt(terrain, x, y0 + r))
              << "side " << side << " x " << x << " y " << y0 + r;
        }
      }
    }
  }
}

TEST(Terrain, SameElevationsOnEveryRun) {
  // The generator is integer arithmetic over a fixed seed: these values are
  // what every machine must produce.
  const elvhost::Terrain terrain = elvhost::terrainFor(1025);
  int64_t sum = 0;
  uint64_t hash = 1469598103934665603ULL;
  for (int64_t x = 0; x < 1025; x += 8) {
    for (int64_t y = 0; y < 1025; y += 8) {
      const int16_t e = elvhost::terrainAt(terrain, x, y);
      sum += e;
      hash = (hash ^ static_cast<uint16_t>(e)) * 1099511628211ULL;
    }
  }
  EXPECT_EQ(sum, kExpectedSum);
  EXPECT_EQ(hash, kExpectedHash);
}

TEST(Terrain, LooksLikeLand) {
  const int64_t side = 1025;
  const elvhost::Terrain terrain = elvhost::terrainFor(side);
  elvhost::TerrainColumns columns(terrain);
  std::vector<int16_t> previous(side), column(side);
  int lowest = 32767, highest = -32768, steepest = 0;
  for (int64_t x = 0; x < side; ++x) {
    columns.column(x, 0, static_cast<int32_t>(side), column.data());
    for (size_t r = 0; r < column.size(); ++r) {
      lowest = std::min<int>(lowest, column[r]);
      highest = std::max<int>(highest, column[r]);
      if (r > 0) {
        steepest = std::max(steepest, std::abs(column[r] - column[r - 1]));
      }
      if (x > 0) {
        steepest = std::max(steepest, std::abs(column[r] - previous[r]));
      }
    }
    std::swap(previous, column);
  }
  EXPECT_GE(lowest, 0) << "no land below sea level";
  EXPECT_GE(highest - lowest, 800) << "a range of elevations, from valleys to crests";
  EXPECT_LE(steepest, 120) << "neighbouring samples stay close: no cliffs or seams";
}

} // namespace
