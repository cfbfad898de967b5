// elvarin-host sample: writes a synthetic DED file of realistic-looking
// terrain, the same bytes on every machine.
#include <cstdio>
#include <vector>

#include "cli/commands/commands.h"
#include "cli/commands/errors.h"
#include "cli/output/output_files.h"
#include "cli/output/progress.h"
#include "cli/sample/terrain.h"
#include "ded/header.h"
#include "ded/layout.h"
#include "ded/writer.h"

namespace elvhost {

namespace {

constexpr int32_t kMosaicCell = 1025; // samples per side of a one-degree mosaic cell

// What sample writes: a grid of side x side samples and the cells it is cut
// into.
struct SampleGrid {
  DedRasterGrid grid;
  int32_t cellSide = 0;
};

// side x side samples over cellsPerSide x cellsPerSide whole degrees, from
// 7 E, 46 N eastwards and northwards, in cells of cellSide samples a side.
SampleGrid geographicGrid(int32_t side, int32_t cellsPerSide, int32_t cellSide) {
  const double step = 1.0 / static_cast<double>(cellSide - 1);
  return SampleGrid{{.projection = PROJ_GEOGRAPHIC,
                     .width = side,
                     .height = side,
                     .west = 7.0,
                     .north = 46.0 + cellsPerSide,
                     .xStep = step,
                     .yStep = step},
                    cellSide};
}

// One cell of side x side samples 30 m apart in a UTM zone.
SampleGrid utmGrid(int32_t side, int32_t zone, char hemisphere) {
  constexpr double kSpacing = 30.0, kWest = 500000.0, kSouth = 5000000.0; // metres
  return SampleGrid{
      {.projection = PROJ_UTM,
       .utmZone = zone,
       .utmHemisphere = hemisphere == 'N' ? DED_HEMISPHERE_NORTH : DED_HEMISPHERE_SOUTH,
       .width = side,
       .height = side,
       .west = kWest,
       .north = kSouth + kSpacing * (side - 1),
       .xStep = kSpacing,
       .yStep = kSpacing},
      side};
}

// The terrain's samples as the writer asks for them: rows north first, row
// after row, from whole columns of terrain, which grow northwards.
class TerrainWindows {
public:
  explicit TerrainWindows(int64_t side) : terrain_(terrainFor(side)), side_(side) {}

  bool fill(int64_t column, int64_t row, int32_t columns, int32_t rows, void *dest) {
    auto *out = static_cast<int16_t *>(dest);
    column_.resize(static_cast<size_t>(rows));
    const int64_t south = side_ - (row + rows); // the window's southern row, from the south
    for (int32_t c = 0; c < columns; ++c) {
      terrain_.column(column + c, south, rows, column_.data());
      for (int32_t r = 0; r < rows; ++r) {
        out[static_cast<size_t>(rows - 1 - r) * static_cast<size_t>(columns) +
            static_cast<size_t>(c)] = column_[static_cast<size_t>(r)];
      }
    }
    return true;
  }

private:
  TerrainColumns terrain_;
  int64_t side_;
  std::vector<int16_t> column_;
};

// Writes grid's file to output through a temporary, showing its progress;
// the exit status.
int writeSample(const SampleOptions &options, const SampleGrid &grid) {
  const std::string &output = options.output;
  std::string error;
  DedLayout layout;
  // Every sample grid imports; a large one-degree cell's single-precision
  // spacing may leave GIS programs a little off its samples: written all
  // the same, and said.
  if (!dedPlanLayout(grid.grid, grid.cellSide, &layout, &error)) {
    if (!options.quiet) {
      reportFailure("warning: " + output + ": " + error);
    }
    dedCutLayout(grid.grid, grid.cellSide, &layout);
  }
  OutputSet outputs;
  std::FILE *stream = outputs.create(output, &error);
  if (stream == nullptr) {
    reportFailure(error);
    return kExitFailure;
  }
  TerrainWindows terrain(grid.grid.width);
  const DedWindowSource source = [&terrain](int64_t column, int64_t row, int32_t columns,
                                            int32_t rows, void *dest) {
    return terrain.fill(column, row, columns, rows, dest);
  };
  ProgressLine line(progressShowFor(options.quiet, options.progress));
  const DedWriteProgress progress = [&line](double fraction) {
    line.update(fraction);
    return true;
  };
  DedWriteReport report;
  const DedValueRule terrainValues{.int16Values = true}; // no voids, all within range
  if (!dedWriteFile(dedStdioOutput(stream), layout, terrainValues, source, progress, &report,
                    &error)) {
    line.breakLine();
    reportFailure("cannot write " + output + ": " + error);
    return kExitFailure;
  }
  if (!outputs.commit(&error)) {
    line.breakLine();
    reportFailure(error);
    return kExitFailure;
  }
  line.finish();
  return kExitOk;
}

} // namespace

int runSample(const SampleOptions &options) {
  const int32_t side = options.side;
  std::string what = std::to_string(side) + " x " + std::to_string(side) + " samples, ";
  SampleGrid grid;
  if (options.kind == "utm") {
    grid = utmGrid(side, options.zone, options.hemisphere[0]);
    what += "UTM zone " + std::to_string(options.zone) + options.hemisphere;
  } else if (options.kind == "mosaic") {
    // Abutting cells share their edge samples: 1 + 1024 per cell across.
    const int32_t step = kMosaicCell - 1;
    if ((side - 1) % step != 0) {
      return usageFailure("sample", "--size for a mosaic must be 1 + " + std::to_string(step) +
                                        " x cells per side (1025, 2049, ... " +
                                        std::to_string(kMaxSampleSide - kMaxSampleSide % step + 1) +
                                        "), not " + std::to_string(side));
    }
    const int32_t cells = (side - 1) / step;
    grid = geographicGrid(side, cells, kMosaicCell);
    what += std::to_string(cells * cells) + (cells == 1 ? " cell" : " cells") +
            " of 1025 x 1025, geographic";
  } else {
    grid = geographicGrid(side, 1, side);
    what += "geographic";
  }
  const int status = writeSample(options, grid);
  if (status == kExitOk && !options.quiet) {
    printOut("wrote " + shownName(options.output) + ": " + what + "\n");
  }
  return status;
}

} // namespace elvhost
