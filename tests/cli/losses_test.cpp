// What the grey picture loses, told: convert warns once per kind of loss
// (and -q silences it), info counts every kind in its JSON whatever it is
// asked; the int16 conversion warns only of what it loses too.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <ostream>

#include "tests/cli/run_tool.h"
#include "tests/support/ded_writer.h"

namespace {

using nlohmann::json;

struct LossCase {
  const char *label;
  dedtest::File file;
  size_t cut;         // bytes cut from the file's end
  const char *counts; // info --json's "losses"
  std::vector<std::string> greyWarnings, int16Warnings;
};
void PrintTo(const LossCase &c, std::ostream *os) { *os << c.label; }

dedtest::File ranged(dedtest::File file, int16_t min, int16_t max) {
  file.minElevation = min;
  file.maxElevation = max;
  return file;
}

// 2 below 0 and 3 above 255 on a 5 x 4 cell.
int16_t outliers(int column, int row) {
  const int at = column * 4 + row;
  return at < 2 ? int16_t(-5) : at < 5 ? int16_t(300) : int16_t(100);
}
// 3 voids among elevations 100..119.
int16_t voids(int column, int row) {
  const int at = column * 4 + row;
  return at < 3 ? int16_t(-32768) : int16_t(100 + at - 3);
}

// On a 400 x 400 cell: 70,000 voids, then 70,000 samples above 255 and
// 20,000 below 0, runs longer than 16-bit counters hold.
int16_t longRuns(int column, int row) {
  const int at = column * 400 + row;
  return at < 70000 ? int16_t(-32768) : at < 140000 ? int16_t(300) : int16_t(-5);
}
// 3 voids among elevations 30003..30019.
int16_t highVoids(int column, int row) {
  const int at = column * 4 + row;
  return at < 3 ? int16_t(-32768) : int16_t(30000 + at);
}

dedtest::File utmCells() {
  dedtest::File file = dedtest::utmFile("33", 'N', 4, 3);
  file.cells = {dedtest::utmCell(500000, 4000000, 4, 3, 30.0f),
                dedtest::utmCell(500060, 4000000, 4, 3, 30.0f),
                dedtest::utmCell(500000, 4003000, 2, 2, 30.0f)};
  file.cellCount = 3;
  return file;
}

// Three of a 2 x 2 grid of 22 x 18 cells sharing their edge samples: the
// north-east 21 x 17 positions lie in no cell.
dedtest::File gap() {
  const double step = 300.0 / 36000;
  dedtest::File file;
  for (const auto &[x, y] : {std::pair{0, 0}, {21, 0}, {0, 17}}) {
    file.cells.push_back(dedtest::geographicCell(10 + x * step, 45 + y * step, 22, 18, 300.0f));
  }
  file.cellCount = 3;
  return file;
}

class Losses : public ::testing::TestWithParam<LossCase> {
protected:
  std::string at(const std::string &name) const { return (work.path() / name).string(); }
  clitest::ToolRun run(const std::vector<std::string> &args) {
    return clitest::runTool(args, logs.path().string());
  }
  dedtest::TempDir work, logs;
};

TEST_P(Losses, ConvertWarnsAndInfoCounts) {
  const LossCase &c = GetParam();
  std::vector<uint8_t> bytes = dedtest::encode(c.file);
  bytes.resize(bytes.size() - c.cut);
  const std::string ded = work.write("in.ded", bytes);
  const clitest::ToolRun info = run({"info", ded, "--json"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_EQ(json::parse(info.out)["losses"], json::parse(c.counts));

  const auto warned = [&](const std::vector<std::string> &expected, const std::string &err) {
    std::vector<std::string> lines;
    lines.reserve(expected.size());
    for (const std::string &text : expected) {
      lines.push_back(std::string("elvarin-host: warning: ").append(ded).append(": ").append(text));
    }
    EXPECT_EQ(clitest::linesOf(err), lines);
  };
  warned(c.greyWarnings, run({"convert", ded, at("g.png")}).err);
  warned(c.int16Warnings, run({"convert", ded, at("e.tif"), "--type", "int16"}).err);
  EXPECT_EQ(run({"convert", ded, at("q.png"), "-q"}).err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Files, Losses,
    ::testing::Values(
        LossCase{"outOfRange",
                 dedtest::geographicFile(5, 4, outliers),
                 0,
                 R"({"cellsNotShown":0,"cellsClipped":0,
                     "uncoveredPositions":0,"samplesBelowRange":2,"samplesAboveRange":3,
                     "voidSamples":0,"missingSamples":0,"greyOverVoids":false})",
                 {"5 samples lie outside the header's elevations 0..255 m (2 below, shown as "
                  "grey 0; 3 above, shown as grey 255)"},
                 {}},
        LossCase{"utmCells",
                 utmCells(),
                 0,
                 R"({"cellsNotShown":1,"cellsClipped":1,
                     "uncoveredPositions":0,"samplesBelowRange":0,"samplesAboveRange":0,
                     "voidSamples":0,"missingSamples":0,"greyOverVoids":false})",
                 {"of its 3 cells, the image cannot show 1 and shows 1 clipped"},
                 {}},
        LossCase{"gap",
                 gap(),
                 0,
                 R"({"cellsNotShown":0,"cellsClipped":0,"uncoveredPositions":357,
                      "samplesBelowRange":0,"samplesAboveRange":0,"voidSamples":0,
                      "missingSamples":0,"greyOverVoids":false})",
                 {"357 image positions lie in no cell, shown as grey 0 (the header's minimum "
                  "elevation, 0 m)"},
                 {}},
        LossCase{"voidMinimum",
                 ranged(dedtest::geographicFile(5, 4, voids), -32768, 200),
                 4,
                 R"({"cellsNotShown":0,"cellsClipped":0,
                     "uncoveredPositions":0,"samplesBelowRange":0,"samplesAboveRange":0,
                     "voidSamples":3,"missingSamples":2,"greyOverVoids":true})",
                 {"the file ends 2 samples short; they are shown as elevation 0",
                  "3 samples are voids (-32768), shown as grey 0",
                  "the grey levels spread over the void marker -32768 (elevations -32768..200 "
                  "m): --type int16 keeps the elevations themselves"},
                 {"the file ends 2 samples short of its cells; those in a column it stores in part "
                  "read as NoData"}},
        LossCase{"voidsDominate",
                 ranged(dedtest::geographicFile(5, 4, voids), -20000, 200),
                 0,
                 R"({"cellsNotShown":0,"cellsClipped":0,
                     "uncoveredPositions":0,"samplesBelowRange":0,"samplesAboveRange":0,
                     "voidSamples":3,"missingSamples":0,"greyOverVoids":true})",
                 {"3 samples are voids (-32768), shown as grey 0",
                  "the grey levels spread over the void marker -32768 (elevations -20000..200 "
                  "m): --type int16 keeps the elevations themselves"},
                 {}},
        LossCase{
            "longRuns",
            dedtest::geographicFile(400, 400, longRuns),
            0,
            R"({"cellsNotShown":0,"cellsClipped":0,"uncoveredPositions":0,"samplesBelowRange":20000,
                     "samplesAboveRange":70000,"voidSamples":70000,"missingSamples":0,
                     "greyOverVoids":false})",
            {"90000 samples lie outside the header's elevations 0..255 m (20000 below, "
             "shown as grey 0; 70000 above, shown as grey 255)",
             "70000 samples are voids (-32768), shown as grey 0"},
            {}},
        // The lowest elevation exactly half way up the range: not over the voids.
        LossCase{
            "voidsAtHalf",
            ranged(dedtest::geographicFile(5, 4, voids), 0, 200),
            0,
            R"({"cellsNotShown":0,"cellsClipped":0,"uncoveredPositions":0,"samplesBelowRange":0,"samplesAboveRange":0,
                     "voidSamples":3,"missingSamples":0,"greyOverVoids":false})",
            {"3 samples are voids (-32768), shown as grey 0"},
            {}},
        LossCase{
            "voidsFarBelowHighGround",
            ranged(dedtest::geographicFile(5, 4, highVoids), -30000, 32000),
            0,
            R"({"cellsNotShown":0,"cellsClipped":0,"uncoveredPositions":0,"samplesBelowRange":0,"samplesAboveRange":0,
                     "voidSamples":3,"missingSamples":0,"greyOverVoids":true})",
            {"3 samples are voids (-32768), shown as grey 0",
             "the grey levels spread over the void marker -32768 (elevations -30000..32000 "
             "m): --type int16 keeps the elevations themselves"},
            {}}),
    [](const auto &param) { return std::string(param.param.label); });

} // namespace
