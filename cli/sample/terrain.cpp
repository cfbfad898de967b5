#include "cli/sample/terrain.h"

#include <algorithm>

namespace elvhost {

namespace {

constexpr uint64_t kDefaultSeed = 0x5eede1bad15c0a57ULL;
constexpr int kFraction = 16; // positions inside a lattice cell are Q16
constexpr int64_t kOne = int64_t{1} << kFraction;
constexpr int kRidgeLayer = 64; // ridge layers draw their own lattices

// Sixteen unit gradients, Q8, evenly spread round the circle.
constexpr int32_t kGradients[16][2] = {{256, 0},  {237, 98},   {181, 181},   {98, 237},
                                       {0, 256},  {-98, 237},  {-181, 181},  {-237, 98},
                                       {-256, 0}, {-237, -98}, {-181, -181}, {-98, -237},
                                       {0, -256}, {98, -237},  {181, -181},  {237, -98}};

uint64_t mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

const int32_t *gradient(uint64_t layerSeed, int64_t ix, int64_t iy) {
  const uint64_t h = mix(layerSeed ^ mix(static_cast<uint64_t>(ix) * 0x9e3779b97f4a7c15ULL +
                                         static_cast<uint64_t>(iy)));
  return kGradients[h >> 60];
}

// 3t^2 - 2t^3 on Q16, so the noise has no creases at lattice lines.
int64_t smooth(int64_t t) { return (t * t * (3 * kOne - 2 * t)) >> (2 * kFraction); }

struct Layer {
  uint64_t seed;
  int shift;                // lattice spacing 2^shift samples
  int64_t xOffset, yOffset; // so no two layers share lattice lines
};

Layer layerFor(const Terrain &terrain, int index, int shift) {
  const uint64_t seed = mix(terrain.seed + static_cast<uint64_t>(index) * 0x632be59bd9b4e019ULL);
  return Layer{seed, shift, static_cast<int64_t>(seed & 0xffff),
               static_cast<int64_t>((seed >> 16) & 0xffff)};
}

Layer hillLayer(const Terrain &t, int octave) { return layerFor(t, octave, t.topShift - octave); }
Layer ridgeLayer(const Terrain &t, int octave) {
  return layerFor(t, kRidgeLayer + octave, t.topShift - 1 - octave);
}

// Along one lattice row of a column: the dot products with the row's two
// gradients blended across x give value(fy) = base + slope * fy (Q24).
struct Edge {
  int64_t base, slope;
};

Edge edge(const int32_t *west, const int32_t *east, int64_t fx, int64_t sx) {
  const int64_t westDot = west[0] * fx, eastDot = east[0] * (fx - kOne);
  return Edge{westDot + (((eastDot - westDot) * sx) >> kFraction),
              west[1] + (((east[1] - west[1]) * sx) >> kFraction)};
}

struct ColumnCell {
  int64_t fx, sx;
  Edge south, north;
};

ColumnCell columnCell(const Layer &layer, int64_t ix, int64_t iy, int64_t fx) {
  const int64_t sx = smooth(fx);
  return ColumnCell{
      fx, sx, edge(gradient(layer.seed, ix, iy), gradient(layer.seed, ix + 1, iy), fx, sx),
      edge(gradient(layer.seed, ix, iy + 1), gradient(layer.seed, ix + 1, iy + 1), fx, sx)};
}

// Gradient noise in about -32768..32767 at fy (Q16) inside the cell.
int32_t cellNoise(const ColumnCell &cell, int64_t fy) {
  const int64_t south = cell.south.base + cell.south.slope * fy;
  const int64_t north = cell.north.base + cell.north.slope * (fy - kOne);
  const int64_t n = south + (((north - south) * smooth(fy)) >> kFraction);
  // Unit gradients give at most about 0.71 in unit terms: stretch to Q15.
  return static_cast<int32_t>(std::clamp<int64_t>(((n >> 9) * 181) >> 7, -32768, 32767));
}

int32_t noiseAt(const Layer &layer, int64_t x, int64_t y) {
  const int64_t px = x + layer.xOffset, py = y + layer.yOffset;
  const int64_t mask = (int64_t{1} << layer.shift) - 1;
  const int scale = kFraction - layer.shift;
  const ColumnCell cell =
      columnCell(layer, px >> layer.shift, py >> layer.shift, (px & mask) << scale);
  return cellNoise(cell, (py & mask) << scale);
}

// A crest where the noise crosses zero: (1 - |n|)^2, 0..32768.
int32_t ridgeOf(int32_t noise) {
  const int32_t folded = 32768 - (noise < 0 ? -noise : noise);
  return static_cast<int32_t>((int64_t{folded} * folded) >> 15);
}

// Where mountains rise: 0 in the lowlands to 65536 in the highlands, from
// the coarsest hill octave.
int32_t mountainMask(int32_t coarse) {
  return static_cast<int32_t>(smooth(std::clamp<int64_t>(int64_t{coarse} * 3 + 20000, 0, kOne)));
}

// Hills (about -65536..65536), ridges (0..65536) and the mask, to metres.
int16_t elevation(int32_t hills, int32_t ridges, int32_t mask) {
  const int64_t crest = (int64_t{ridges} * ridges) >> 16; // sharpens the crests
  int64_t metres = 450 + ((int64_t{hills} * 1500) >> 16) + ((((crest * mask) >> 16) * 4200) >> 16);
  if (metres < 200) {
    metres = 200 - (200 - metres) / 3; // broad valley floors
  }
  return static_cast<int16_t>(std::clamp<int64_t>(metres, -400, 8800));
}

} // namespace

Terrain terrainFor(int64_t side) {
  int bits = 0;
  while (bits < 40 && (int64_t{1} << (bits + 1)) <= side) {
    ++bits;
  }
  Terrain terrain;
  terrain.topShift = std::clamp(bits - 1, 4, kFraction);
  terrain.octaves = std::min(terrain.topShift - 1, 9);
  terrain.ridgeOctaves = std::min(terrain.topShift - 2, 5);
  terrain.seed = kDefaultSeed;
  return terrain;
}

int16_t terrainAt(const Terrain &terrain, int64_t x, int64_t y) {
  int32_t hills = 0, ridges = 0, mask = 0;
  for (int o = 0; o < terrain.octaves; ++o) {
    const int32_t n = noiseAt(hillLayer(terrain, o), x, y);
    hills += n >> o;
    if (o == 0) {
      mask = mountainMask(n);
    }
  }
  for (int o = 0; o < terrain.ridgeOctaves; ++o) {
    ridges += ridgeOf(noiseAt(ridgeLayer(terrain, o), x, y)) >> (o + 1);
  }
  return elevation(hills, ridges, mask);
}

TerrainColumns::TerrainColumns(const Terrain &terrain) : terrain_(terrain) {}

namespace {

// Adds one layer's noise, shaped and then shifted right by weight, to sums
// down a column; the lattice cell changes only every 2^shift rows.
template <typename Shape>
void addLayer(const Layer &layer, int weight, int64_t x, int64_t y0, int32_t rows, int32_t *sums,
              Shape shape) {
  const int64_t px = x + layer.xOffset;
  const int64_t mask = (int64_t{1} << layer.shift) - 1;
  const int scale = kFraction - layer.shift;
  const int64_t ix = px >> layer.shift, fx = (px & mask) << scale;
  int64_t iy = -1;
  ColumnCell cell{};
  for (int32_t r = 0; r < rows; ++r) {
    const int64_t py = y0 + r + layer.yOffset;
    if ((py >> layer.shift) != iy) {
      iy = py >> layer.shift;
      cell = columnCell(layer, ix, iy, fx);
    }
    sums[r] += shape(cellNoise(cell, (py & mask) << scale)) >> weight;
  }
}

} // namespace

void TerrainColumns::column(int64_t x, int64_t y0, int32_t rows, int16_t *out) {
  const size_t count = static_cast<size_t>(std::max(rows, 0));
  hills_.assign(count, 0);
  ridges_.assign(count, 0);
  mask_.assign(count, 0);
  for (int o = 0; o < terrain_.octaves; ++o) {
    addLayer(hillLayer(terrain_, o), o, x, y0, rows, hills_.data(), [](int32_t n) { return n; });
    if (o == 0) {
      for (size_t r = 0; r < count; ++r) {
        mask_[r] = mountainMask(hills_[r]);
      }
    }
  }
  for (int o = 0; o < terrain_.ridgeOctaves; ++o) {
    addLayer(ridgeLayer(terrain_, o), o + 1, x, y0, rows, ridges_.data(), ridgeOf);
  }
  for (size_t r = 0; r < count; ++r) {
    out[r] = elevation(hills_[r], ridges_[r], mask_[r]);
  }
}

} // namespace elvhost
