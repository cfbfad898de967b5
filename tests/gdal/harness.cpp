#include "tests/gdal/harness.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/gdal/elevations.h"

namespace gdaltest {

clitest::ToolRun GdalFolder::run(const std::string &program, std::vector<std::string> args) const {
  std::vector<std::string> command{"GDAL_DRIVER_PATH=" ELVARIN_GDAL_DRIVER_DIR};
  if (*ELVARIN_GDAL_PRELOAD != '\0') {
    command.insert(command.end(), {"LD_PRELOAD=" ELVARIN_GDAL_PRELOAD,
                                   "ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0"});
  }
  command.push_back(program);
  command.insert(command.end(), args.begin(), args.end());
  return clitest::runTool(command, work.path().string(), "env");
}

nlohmann::json GdalFolder::info(std::vector<std::string> args) const {
  args.insert(args.begin(), "-json");
  const clitest::ToolRun r = run("gdalinfo", args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return nlohmann::json::parse(r.out, nullptr, false);
}

int16_t elevationAt(int column, int row) {
  if ((column + 2 * row) % 7 == 3) {
    return kNoData; // the file's own voids
  }
  return static_cast<int16_t>(column * 100 + row - 50);
}

std::vector<dedtest::Cell> tiles(int wide, int high, bool (*gap)(int, int)) {
  constexpr int kColumns = 4, kRows = 3;
  std::vector<dedtest::Cell> cells;
  for (int k = 0; k < high; ++k) {
    for (int i = 0; i < wide; ++i) {
      if (gap != nullptr && gap(i, k)) {
        continue;
      }
      const int column0 = i * (kColumns - 1), row0 = k * (kRows - 1);
      cells.push_back(dedtest::geographicCell(
          10.0 + column0 / 120.0, 45.0 + row0 / 120.0, kColumns, kRows, 300.0f,
          [column0, row0](int c, int r) { return elevationAt(column0 + c, row0 + r); }));
    }
  }
  return cells;
}

dedtest::File mosaicOf(std::vector<dedtest::Cell> cells) {
  dedtest::File file;
  file.cellCount = static_cast<int32_t>(cells.size());
  file.minElevation = -50;
  file.maxElevation = 2000;
  file.cells = std::move(cells);
  return file;
}

std::vector<int16_t> readSamples(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
  std::vector<int16_t> samples(bytes.size() / sizeof(int16_t));
  std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(int16_t));
  return samples;
}

} // namespace gdaltest
