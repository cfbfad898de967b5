// PNG and PGM writers: every pixel read back, in both row orders, with a
// host row width wider than the image (the padding must never show), and
// PNGs compressed in strips joined into one stream.
#include <gtest/gtest.h>

#include <png.h>

#include <csetjmp>
#include <ostream>

#include <cstdio>
#include <vector>

#include "cli/formats/image_output.h"
#include "cli/formats/pgm_writer.h"
#include "cli/formats/png_writer.h"
#include "tests/cli/png_reader.h"
#include "tests/support/ded_writer.h"

namespace {

constexpr uint8_t kPadding = 0xEE;

// A width x height host buffer, rows stride bytes apart, pixel (c, r) =
// c * 16 + r (row 0 south), the padding bytes marked.
struct HostBuffer {
  HostBuffer(int32_t width, int32_t height, int32_t stride)
      : bytes(static_cast<size_t>(stride) * static_cast<size_t>(height), kPadding) {
    for (int32_t r = 0; r < height; ++r) {
      for (int32_t c = 0; c < width; ++c) {
        bytes[static_cast<size_t>(r) * static_cast<size_t>(stride) + static_cast<size_t>(c)] =
            static_cast<uint8_t>(c * 16 + r);
      }
    }
    image = {bytes.data(), width, height, stride};
  }
  std::vector<uint8_t> bytes;
  elvhost::GreyImage image;
};

void expectPicture(const clitest::GreyPicture &picture, const HostBuffer &host, bool northUp) {
  ASSERT_EQ(picture.width, host.image.width);
  ASSERT_EQ(picture.height, host.image.height);
  for (int32_t row = 0; row < picture.height; ++row) {
    const int32_t hostRow = northUp ? host.image.height - 1 - row : row;
    for (int32_t c = 0; c < picture.width; ++c) {
      ASSERT_EQ(picture.pixels[static_cast<size_t>(row * picture.width + c)],
                static_cast<uint8_t>(c * 16 + hostRow))
          << "written row " << row << " column " << c;
    }
  }
}

struct WriterCase {
  const char *label;
  bool png;
  bool northUp;
  elvhost::PngSettings settings;
};

void PrintTo(const WriterCase &value, std::ostream *os) { *os << value.label; }

class ImageWriters : public ::testing::TestWithParam<WriterCase> {};

TEST_P(ImageWriters, WriteEveryPixelInTheChosenRowOrder) {
  const WriterCase &c = GetParam();
  dedtest::TempDir dir;
  const std::string path = (dir.path() / (c.png ? "out.png" : "out.pgm")).string();
  for (const auto &[width, height, stride] :
       {std::tuple{5, 3, 8}, std::tuple{1, 1, 4}, std::tuple{13, 7, 13}, std::tuple{300, 9, 304},
        std::tuple{1000, 700, 1000}}) {
    SCOPED_TRACE(::testing::Message() << width << " x " << height << " stride " << stride);
    const HostBuffer host(width, height, stride);
    std::FILE *stream = std::fopen(path.c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    std::string error;
    const bool ok = c.png ? elvhost::writePng(stream, host.image, c.northUp, c.settings, &error)
                          : elvhost::writePgm(stream, host.image, c.northUp, &error);
    (void)std::fclose(stream);
    ASSERT_TRUE(ok) << error;
    clitest::GreyPicture picture;
    ASSERT_TRUE(c.png ? clitest::readPng(path, &picture, &error)
                      : clitest::readPgm(path, &picture, &error))
        << error;
    expectPicture(picture, host, c.northUp);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ImageWriters,
                         ::testing::Values(WriterCase{"pgmNorthUp", false, true, {}},
                                           WriterCase{"pgmAsHost", false, false, {}},
                                           WriterCase{"pngNorthUp", true, true, {}},
                                           WriterCase{"pngAsHost", true, false, {}},
                                           WriterCase{"pngOneStrip", true, true, {1, 1}},
                                           WriterCase{"pngTwoStrips", true, true, {1, 2}},
                                           WriterCase{"pngSevenStrips", true, false, {1, 7}},
                                           WriterCase{"pngLevel0Strips", true, true, {0, 3}},
                                           WriterCase{"pngLevel2Strips", true, false, {2, 4}},
                                           WriterCase{"pngLevel3Strips", true, true, {3, 5}}),
                         [](const auto &testInfo) { return std::string(testInfo.param.label); });

TEST(ImageWriters, AreChosenByTheOutputsExtension) {
  using elvhost::ImageFormat;
  for (const auto &[path, format] :
       {std::pair{"a.png", ImageFormat::Png}, std::pair{"dir.x/A.PGM", ImageFormat::Pgm},
        std::pair{"b.tif", ImageFormat::Tiff}, std::pair{"c.d.TIFF", ImageFormat::Tiff}}) {
    ImageFormat chosen = ImageFormat::Png;
    EXPECT_TRUE(elvhost::imageFormatFor(path, &chosen)) << path;
    EXPECT_EQ(chosen, format) << path;
  }
  ImageFormat chosen = ImageFormat::Png;
  for (const char *path : {"a.jpg", "png", "a.png.bak", "a.tiff/"}) {
    EXPECT_FALSE(elvhost::imageFormatFor(path, &chosen)) << path;
  }
}

TEST(ImageWriters, ReportAFailedWrite) {
#if defined(__linux__)
  const HostBuffer host(300, 300, 300);
  for (bool png : {false, true}) {
    std::FILE *full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    std::string error;
    const bool ok = png ? elvhost::writePng(full, host.image, true, {}, &error)
                        : elvhost::writePgm(full, host.image, true, &error);
    const bool flushed = std::fflush(full) == 0;
    (void)std::fclose(full);
    EXPECT_FALSE(ok && flushed) << (png ? "png" : "pgm");
  }
#else
  GTEST_SKIP() << "needs /dev/full";
#endif
}

} // namespace
