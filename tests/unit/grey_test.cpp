// Elevations to grey levels: the worked numbers, and the fast conversion
// against a plain per-pixel one over every sample value.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ded/records.h"
#include "host/status.h"
#include "image/grey.h"
#include "tests/support/plain_grey.h"

namespace {

constexpr uint8_t kCanary = 0xA5;

// A column-major raster of elevations mapped as get-image maps a block.
int32_t mapValues(const int16_t *raster, uint8_t *pixels, int32_t width, int32_t height,
                  int32_t stride, float minElevation, float maxElevation) {
  dedMapToGrey(reinterpret_cast<const uint16_t *>(raster), height, DedSampleForm::Value,
               dedGreyScale(minElevation, maxElevation), pixels, width, height, stride);
  return DED_OK;
}

struct Image {
  int32_t width;
  int32_t height;
  int32_t stride;
  std::vector<uint8_t> pixels;
  uint8_t at(int32_t c, int32_t r) const { return pixels[c + static_cast<size_t>(r) * stride]; }
};

Image blankImage(int32_t width, int32_t height, int32_t stride) {
  return {width, height, stride,
          std::vector<uint8_t>(static_cast<size_t>(stride) * height, kCanary)};
}

// Every position past a row's width still holds the canary.
void expectPaddingUntouched(const Image &image) {
  for (int32_t r = 0; r < image.height; ++r) {
    for (int32_t c = image.width; c < image.stride; ++c) {
      ASSERT_EQ(image.at(c, r), kCanary) << "padding written at column " << c << " row " << r;
    }
  }
}

// A raster of width x height whose samples run through all 65,536 values
// (and start again), scrambled so neighbours differ.
std::vector<int16_t> everyValue(int32_t width, int32_t height) {
  std::vector<int16_t> raster(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < raster.size(); ++i) {
    raster[i] = static_cast<int16_t>(static_cast<uint16_t>(i * 40503u));
  }
  return raster;
}

struct Range {
  float minElevation;
  float maxElevation;
};

const Range kRanges[] = {
    {-100.0f, 900.0f},      {0.0f, 255.0f},     {37.0f, 37.0f},  {900.0f, -100.0f},
    {-32768.0f, 32767.0f},  {0.0f, 1.0f},       {-1.0f, 0.0f},   {32767.0f, -32768.0f},
    {-32768.0f, -32768.0f}, {1000.0f, 1003.0f}, {0.5f, 254.75f}, {-0.0f, 100.0f},
    {-32767.9f, 32767.0f}, // sample + 32767.9 is exact in double, not in single precision
    {0.0f, 0.001f},        // products beyond the int32 range: 255 all the same
    {32767.0f, 32767.01f}, // k above 2^14, products within the int32 range
};

// Each exhaustive test runs once per path the machine has, so every kernel is
// held to the plain mapping wherever the suite runs.
class EveryPath : public testing::TestWithParam<DedGreyPath> {
protected:
  void SetUp() override {
    if (!dedUseGreyPath(GetParam())) {
      GTEST_SKIP() << "this machine lacks the path";
    }
  }
  void TearDown() override { dedUseGreyPath(dedBestGreyPath()); }
};

std::string pathName(const testing::TestParamInfo<DedGreyPath> &path) {
  const char *names[] = {"Plain", "Sse2", "Avx2"};
  return names[static_cast<int>(path.param)];
}

INSTANTIATE_TEST_SUITE_P(Grey, EveryPath,
                         testing::Values(DedGreyPath::Plain, DedGreyPath::Sse2, DedGreyPath::Avx2),
                         pathName);

TEST(Grey, WorkedNumbers) {
  const struct {
    float minElevation, maxElevation;
    int16_t sample;
    uint8_t grey;
  } cases[] = {
      {-100, 900, 0, 25}, {-100, 900, 450, 140}, {-100, 900, 900, 255}, {-100, 900, -100, 0},
      {0, 255, 0, 0},     {0, 255, 1, 1},        {0, 255, 254, 254},    {0, 255, 255, 255},
      {0, 255, -5, 0},    {0, 255, 300, 255},    {7, 7, 8, 255},        {7, 7, 7, 0},
      {7, 7, 6, 0},       {7, 7, 32767, 255},    {7, 7, -32768, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.minElevation << ".." << c.maxElevation << " s=" << c.sample);
    EXPECT_EQ(dedGreyLevel(c.sample, dedGreyScale(c.minElevation, c.maxElevation)), c.grey);
    Image image = blankImage(1, 1, 4);
    ASSERT_EQ(mapValues(&c.sample, image.pixels.data(), 1, 1, 4, c.minElevation, c.maxElevation),
              DED_OK);
    EXPECT_EQ(image.at(0, 0), c.grey);
    expectPaddingUntouched(image);
  }
}

// 0..255 maps to itself, so the layout is plain to see: raster order is
// column-major, pixel (c, r) sits at c + r * stride.
TEST(Grey, ColumnMajorRasterBecomesRows) {
  const int16_t raster[] = {1, 2, 3, 4, 5, 6}; // three columns of two
  Image image = blankImage(3, 2, 4);
  ASSERT_EQ(mapValues(raster, image.pixels.data(), 3, 2, 4, 0.0f, 255.0f), DED_OK);
  const uint8_t expected[] = {1, 3, 5, kCanary, 2, 4, 6, kCanary};
  EXPECT_EQ(std::memcmp(image.pixels.data(), expected, sizeof expected), 0);
}

// Sizes that are no multiple of any block or tile, strides beyond the width.
const struct Shape {
  int32_t width, height, stride;
} kShapes[] = {
    {257, 256, 260}, {263, 251, 271}, {65536, 1, 65540}, {1, 65536, 3}, {65, 1031, 67},
    {7, 9, 8},       {8, 8, 9},       {129, 41, 136},    {24, 47, 31},  {17, 16, 17},
};

TEST_P(EveryPath, MatchesPlainMappingForEverySampleValue) {
  for (const Shape &shape : kShapes) {
    const std::vector<int16_t> raster = everyValue(shape.width, shape.height);
    for (const Range &range : kRanges) {
      SCOPED_TRACE(testing::Message()
                   << shape.width << "x" << shape.height << " stride " << shape.stride << " range "
                   << range.minElevation << ".." << range.maxElevation);
      Image image = blankImage(shape.width, shape.height, shape.stride);
      ASSERT_EQ(mapValues(raster.data(), image.pixels.data(), shape.width, shape.height,
                          shape.stride, range.minElevation, range.maxElevation),
                DED_OK);
      for (int32_t c = 0; c < shape.width; ++c) {
        for (int32_t r = 0; r < shape.height; ++r) {
          const int16_t s = raster[static_cast<size_t>(c) * shape.height + r];
          ASSERT_EQ(image.at(c, r), dedtest::plainGrey(s, range.minElevation, range.maxElevation))
              << "sample " << s << " at column " << c << " row " << r;
        }
      }
      expectPaddingUntouched(image);
    }
  }
}

// Samples as the file stores them map to the same levels as their values, and
// a block with a column pitch beyond its height reads only its own rows.
TEST_P(EveryPath, StoredSamplesAndColumnPitch) {
  const int32_t width = 67;
  const int32_t height = 1000;
  const int32_t pitch = 1003;
  const int32_t stride = 70;
  std::vector<uint16_t> stored(static_cast<size_t>(pitch) * width);
  for (size_t i = 0; i < stored.size(); ++i) {
    stored[i] = dedEncodeSample(static_cast<int16_t>(static_cast<uint16_t>(i * 40503u)));
  }
  for (const Range &range : kRanges) {
    SCOPED_TRACE(testing::Message() << range.minElevation << ".." << range.maxElevation);
    Image image = blankImage(width, height, stride);
    dedMapToGrey(stored.data(), pitch, DedSampleForm::Stored,
                 dedGreyScale(range.minElevation, range.maxElevation), image.pixels.data(), width,
                 height, stride);
    for (int32_t c = 0; c < width; ++c) {
      for (int32_t r = 0; r < height; ++r) {
        const int16_t s = dedDecodeSample(stored[static_cast<size_t>(c) * pitch + r]);
        ASSERT_EQ(image.at(c, r), dedtest::plainGrey(s, range.minElevation, range.maxElevation))
            << "sample " << s << " at column " << c << " row " << r;
      }
    }
    expectPaddingUntouched(image);
  }
}

TEST(Grey, EmptyRasterWritesNothing) {
  Image image = blankImage(4, 2, 4);
  const int16_t sample = 100;
  EXPECT_EQ(mapValues(&sample, image.pixels.data(), 0, 2, 4, 0.0f, 255.0f), DED_OK);
  EXPECT_EQ(mapValues(&sample, image.pixels.data(), 4, 0, 4, 0.0f, 255.0f), DED_OK);
  for (uint8_t byte : image.pixels) {
    EXPECT_EQ(byte, kCanary);
  }
}

} // namespace
