// elvarin-host sample: writes a synthetic DED file of realistic-looking
// terrain, the same bytes on every machine.
#include <cstdio>

#include "cli/commands/commands.h"
#include "cli/commands/errors.h"
#include "cli/output/output_files.h"
#include "cli/output/progress.h"
#include "cli/sample/ded_stream_writer.h"
#include "cli/sample/terrain.h"
#include "ded/records.h"

namespace elvhost {

namespace {

constexpr int32_t kMosaicCell = 1025; // samples per side of a one-degree mosaic cell

// cellsPerSide x cellsPerSide abutting geographic cells of cellSide samples
// per side, each one degree square, from 7 E, 46 N eastwards and northwards.
DedFileLayout geographicLayout(int32_t cellsPerSide, int32_t cellSide) {
  const int32_t step = cellSide - 1;
  const float spacing = static_cast<float>(DED_GEOGRAPHIC_SPACING_UNITS) /
                        static_cast<float>(step); // 35.15625 for 1025, exact
  DedFileLayout layout;
  for (int32_t south = 0; south < cellsPerSide; ++south) {
    for (int32_t west = 0; west < cellsPerSide; ++west) {
      const float x = 7.0f + static_cast<float>(west), y = 46.0f + static_cast<float>(south);
      layout.cells.push_back({.yMin = y,
                              .yMax = y + 1.0f,
                              .xMin = x,
                              .xMax = x + 1.0f,
                              .ySpacing = spacing,
                              .xSpacing = spacing,
                              .rows = cellSide,
                              .columns = cellSide,
                              .firstColumn = int64_t{west} * step,
                              .firstRow = int64_t{south} * step});
    }
  }
  return layout;
}

// One cell of side x side samples 30 m apart in a UTM zone.
DedFileLayout utmLayout(int32_t side, int32_t zone, char hemisphere) {
  constexpr float kSpacing = 30.0f, kWest = 500000.0f, kSouth = 5000000.0f; // metres
  const float extent = kSpacing * static_cast<float>(side - 1);
  DedFileLayout layout{.utm = true, .hemisphere = hemisphere, .zone = zone, .cells = {}};
  layout.cells.push_back({.yMin = kSouth,
                          .yMax = kSouth + extent,
                          .xMin = kWest,
                          .xMax = kWest + extent,
                          .ySpacing = kSpacing,
                          .xSpacing = kSpacing,
                          .rows = side,
                          .columns = side});
  return layout;
}

} // namespace

int runSample(const SampleOptions &options) {
  const std::string &output = options.output;
  DedFileLayout layout;
  const int32_t side = options.side;
  std::string what = std::to_string(side) + " x " + std::to_string(side) + " samples, ";
  if (options.kind == "utm") {
    layout = utmLayout(side, options.zone, options.hemisphere[0]);
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
    layout = geographicLayout(cells, kMosaicCell);
    what += std::to_string(cells * cells) + (cells == 1 ? " cell" : " cells") +
            " of 1025 x 1025, geographic";
  } else {
    layout = geographicLayout(1, side);
    what += "geographic";
  }

  std::string error;
  OutputSet outputs;
  std::FILE *stream = outputs.create(output, &error);
  if (stream == nullptr) {
    reportFailure(error);
    return kExitFailure;
  }
  TerrainColumns terrain(terrainFor(side));
  const DedColumnSource source = [&terrain](int64_t x, int64_t y0, int32_t rows, int16_t *out) {
    terrain.column(x, y0, rows, out);
  };
  ProgressLine line(progressShowFor(options.quiet, options.progress));
  const DedProgress progress = [&line](int64_t done, int64_t total) {
    line.update(static_cast<double>(done) / static_cast<double>(total));
  };
  if (!writeDed(stream, layout, source, &error, progress)) {
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
  if (!options.quiet) {
    printOut("wrote " + shownName(output) + ": " + what + "\n");
  }
  return kExitOk;
}

} // namespace elvhost
