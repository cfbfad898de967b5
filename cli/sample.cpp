// elvarin-host sample: writes a synthetic DED file of realistic-looking
// terrain, the same bytes on every machine.
#include <cstdio>

#include "cli/commands.h"
#include "cli/ded_stream_writer.h"
#include "cli/errors.h"
#include "cli/output_files.h"
#include "cli/terrain.h"

namespace elvhost {

namespace {

constexpr int32_t kMosaicCell = 1025;        // samples per side of a one-degree mosaic cell
constexpr float kGeographicUnits = 36000.0f; // geographic spacings are in 1/36000 degree

DedFileLayout geographicLayout(int32_t side) {
  DedCellLayout cell;
  cell.xMin = 7.0f;
  cell.xMax = 8.0f;
  cell.yMin = 46.0f;
  cell.yMax = 47.0f;
  const float spacing = kGeographicUnits / static_cast<float>(side - 1);
  cell.xSpacing = spacing;
  cell.ySpacing = spacing;
  cell.rows = side;
  cell.columns = side;
  DedFileLayout layout;
  layout.cells.push_back(cell);
  return layout;
}

DedFileLayout utmLayout(int32_t side) {
  constexpr float kSpacing = 30.0f; // metres
  DedCellLayout cell;
  cell.xMin = 500000.0f;
  cell.yMin = 5000000.0f;
  cell.xMax = cell.xMin + kSpacing * static_cast<float>(side - 1);
  cell.yMax = cell.yMin + kSpacing * static_cast<float>(side - 1);
  cell.xSpacing = kSpacing;
  cell.ySpacing = kSpacing;
  cell.rows = side;
  cell.columns = side;
  DedFileLayout layout;
  layout.utm = true;
  layout.hemisphere = 'N';
  layout.zone = 33;
  layout.cells.push_back(cell);
  return layout;
}

// Cells per side for a mosaic at least side samples across.
int32_t mosaicCells(int32_t side) {
  const int32_t step = kMosaicCell - 1;
  const int32_t cells = (side - 1 + step - 1) / step;
  return cells < 1 ? 1 : cells;
}

DedFileLayout mosaicLayout(int32_t cellsPerSide) {
  DedFileLayout layout;
  const int32_t step = kMosaicCell - 1;
  const float spacing = kGeographicUnits / static_cast<float>(step); // 35.15625, exact
  for (int32_t south = 0; south < cellsPerSide; ++south) {
    for (int32_t west = 0; west < cellsPerSide; ++west) {
      DedCellLayout cell;
      cell.xMin = 7.0f + static_cast<float>(west);
      cell.xMax = cell.xMin + 1.0f;
      cell.yMin = 46.0f + static_cast<float>(south);
      cell.yMax = cell.yMin + 1.0f;
      cell.xSpacing = spacing;
      cell.ySpacing = spacing;
      cell.rows = kMosaicCell;
      cell.columns = kMosaicCell;
      cell.firstColumn = int64_t{west} * step;
      cell.firstRow = int64_t{south} * step;
      layout.cells.push_back(cell);
    }
  }
  return layout;
}

} // namespace

int runSample(const SampleOptions &options) {
  const std::string &output = options.output;
  DedFileLayout layout;
  int64_t extent = options.side;
  if (options.kind == "utm") {
    layout = utmLayout(options.side);
  } else if (options.kind == "mosaic") {
    const int32_t cells = mosaicCells(options.side);
    extent = int64_t{cells} * (kMosaicCell - 1) + 1;
    if (extent > kMaxSampleSide) {
      return usageFailure("sample", "--size for a mosaic must stay within " +
                                        std::to_string(kMaxSampleSide) + " samples");
    }
    layout = mosaicLayout(cells);
  } else {
    layout = geographicLayout(options.side);
  }

  std::string error;
  OutputSet outputs;
  std::FILE *stream = outputs.create(output, &error);
  if (stream == nullptr) {
    reportFailure(error);
    return kExitFailure;
  }
  TerrainColumns terrain(terrainFor(extent));
  const DedColumnSource source = [&terrain](int64_t x, int64_t y0, int32_t rows, int16_t *out) {
    terrain.column(x, y0, rows, out);
  };
  if (!writeDed(stream, layout, source, &error)) {
    reportFailure("cannot write " + output + ": " + error);
    return kExitFailure;
  }
  if (!outputs.commit(&error)) {
    reportFailure(error);
    return kExitFailure;
  }
  return kExitOk;
}

} // namespace elvhost
