// A deterministic synthetic terrain: a few octaves of gradient noise for
// hills and valleys plus ridged noise for mountain crests where the land is
// high, in integer arithmetic so every machine produces the same elevations.
// Positions are whole sample indices of one global grid, so abutting cells
// share their edge samples.
#pragma once

#include <cstdint>
#include <vector>

namespace elvhost {

struct Terrain {
  int topShift = 4;     // the coarsest octave's lattice spacing is 2^topShift samples
  int octaves = 1;      // hill octaves, each half the spacing of the one before
  int ridgeOctaves = 1; // ridge octaves, starting one octave finer than the hills
  uint64_t seed = 0;
};

// Terrain whose largest features are about half of side samples across.
Terrain terrainFor(int64_t side);

// Elevation in metres at sample (x, y), y growing northwards. Both must lie
// in 0..2^40.
int16_t terrainAt(const Terrain &terrain, int64_t x, int64_t y);

// Whole columns at a time: identical to terrainAt at every position, and
// much faster because a column shares its lattice cells along x.
class TerrainColumns {
public:
  explicit TerrainColumns(const Terrain &terrain);
  // rows elevations of column x from row y0 northwards into out.
  void column(int64_t x, int64_t y0, int32_t rows, int16_t *out);

private:
  Terrain terrain_;
  std::vector<int32_t> hills_, ridges_, mask_;
};

} // namespace elvhost
