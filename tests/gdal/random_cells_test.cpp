// Random arrangements of one to six cells (whole, overlapping, off the first
// cell's grid, geographic or UTM, the file cut anywhere, so that cells end
// in part or hold nothing) give the tests' decoder's array through the
// driver and through elvarin-host convert --type int16; a file that stores
// no sample is refused by both. Seeded: ELVARIN_RANDOM_CASES runs more.
#include <cstdlib>
#include <random>
#include <string>

#include "tests/gdal/elevations.h"
#include "tests/gdal/harness.h"

namespace {

constexpr int kDefaultCases = 12;

int caseCount() {
  const char *more = std::getenv("ELVARIN_RANDOM_CASES");
  return more != nullptr && std::atoi(more) > 0 ? std::atoi(more) : kDefaultCases;
}

// One arrangement: cells 30 spacing units apart, each somewhere near the
// first, some a fraction of a spacing off its grid; the bytes cut at random,
// but for the first two cases: half a sample (none stored) and one sample.
std::vector<uint8_t> arrangement(std::mt19937 &random, int n) {
  const auto pick = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  const bool utm = pick(0, 1) == 1;
  dedtest::File file = utm ? dedtest::utmFile("33", 'N', 1, 1) : dedtest::geographicFile(1, 1);
  const double step = utm ? 30.0 : 30.0 / 36000.0;
  file.cells.clear();
  for (int i = 0, count = pick(1, 6); i < count; ++i) {
    const double fraction = i > 0 && pick(0, 4) == 0 ? (pick(0, 1) == 1 ? 0.3 : 0.7) : 0.0;
    const double x = (i == 0 ? 0 : pick(-4, 8) + fraction) * step;
    const double y = (i == 0 ? 0 : pick(-4, 8)) * step;
    const auto fill = [i](int c, int r) { return static_cast<int16_t>(1000 * i + 10 * c + r); };
    const int columns = pick(1, 8), rows = pick(1, 8);
    file.cells.push_back(
        utm ? dedtest::utmCell(500000.0 + x, 4000000.0 + y, columns, rows, 30.0f, fill)
            : dedtest::geographicCell(10.0 + x, 45.0 + y, columns, rows, 30.0f, fill));
  }
  file.cellCount = static_cast<int32_t>(file.cells.size());
  std::vector<uint8_t> bytes = dedtest::encode(file);
  const size_t samplesAt = dedtest::samplesOffset(file.cells.size());
  if (n < 2) {
    bytes.resize(samplesAt + 1 + static_cast<size_t>(n));
  } else if (pick(0, 2) > 0) {
    bytes.resize(samplesAt +
                 static_cast<size_t>(pick(0, static_cast<int>(bytes.size() - samplesAt))));
  }
  return bytes;
}

class RandomCells : public gdaltest::GdalFolder {
public:
  using GdalFolder::at;
  using GdalFolder::run;
  dedtest::TempDir logs;
};

// Reads the file through the driver and converts it with --type int16, in
// the default frame or the plug-in's; both give the decoder's array.
void expectTheDecodersArray(const RandomCells &t, const std::vector<uint8_t> &bytes, bool host) {
  const gdaltest::Elevations expected = gdaltest::decodeElevations(bytes, host);
  const bool stored = expected.width > 0;
  const std::string ded = t.at("r.ded");
  const clitest::ToolRun driver = t.run(
      "gdal_translate", {"-q", "-oo", host ? "FRAME=HOST" : "FRAME=DATA", ded, t.at("d.bil")});
  const clitest::ToolRun int16 = clitest::runTool(
      {"convert", ded, t.at("e.tif"), "-q", "--type", "int16", "--frame", host ? "host" : "data"},
      t.logs.path().string());
  ASSERT_EQ(driver.exitCode == 0, stored) << driver.err;
  ASSERT_EQ(int16.exitCode == 0, stored) << int16.err;
  if (!stored) {
    EXPECT_NE(int16.err.find("r.ded"), std::string::npos) << int16.err;
    return;
  }
  ASSERT_EQ(t.run("gdal_translate", {"-q", "-of", "EHdr", t.at("e.tif"), t.at("e.bil")}).exitCode,
            0);
  EXPECT_EQ(gdaltest::readSamples(t.at("d.bil")), expected.samples);
  EXPECT_EQ(gdaltest::readSamples(t.at("e.bil")), expected.samples);
}

TEST_F(RandomCells, DriverAndInt16GiveTheDecodersArray) {
  for (int n = 0, cases = caseCount(); n < cases; ++n) {
    std::mt19937 random(31u + static_cast<unsigned>(n));
    const std::vector<uint8_t> bytes = arrangement(random, n);
    work.write("r.ded", bytes);
    SCOPED_TRACE("case " + std::to_string(n) + ", " + std::to_string(bytes.size()) + " bytes");
    for (const bool host : {false, true}) {
      expectTheDecodersArray(*this, bytes, host);
    }
  }
}

} // namespace
