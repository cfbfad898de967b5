// elvarin-host sample: writes a synthetic DED file of realistic-looking
// terrain, the same bytes on every machine.
#include <cstdio>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/ded_stream_writer.h"
#include "cli/errors.h"
#include "cli/output_files.h"
#include "cli/terrain.h"

namespace elvhost {

namespace {

const char *const kSampleHelp =
    "usage: elvarin-host sample OUT.ded [--kind geographic|utm|mosaic] [--size N]\n"
    "\n"
    "Writes synthetic terrain (hills, valleys and mountain ridges) as a DED file.\n"
    "The file is the same on every machine and is written as a stream, so even a\n"
    "very large one needs little memory.\n"
    "\n"
    "  --kind geographic  one cell of N x N samples covering 7..8 E, 46..47 N (default)\n"
    "  --kind utm         one cell of N x N samples, 30 m apart, in UTM zone 33 north\n"
    "  --kind mosaic      a grid of abutting one-degree geographic cells of 1025 x 1025\n"
    "                     samples (spacing 1/1024 degree); N is rounded up to a whole\n"
    "                     number of cells, (N - 1) / 1024 of them per side\n"
    "  --size N           samples per side, 2..32767 (default 1025)\n"
    "  --plugin PATH      accepted for symmetry with the other commands; not used\n"
    "  --help             this text\n";

constexpr long long kMaxSide = 32767; // keeps width x height x 2 within the plug-in's int32 sizes
constexpr int32_t kMosaicCell = 1025; // samples per side of a one-degree mosaic cell
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

int runSample(const std::vector<std::string> &args, const char * /*argv0*/) {
  static const OptionDef kOptions[] = {
      {"kind", true}, {"size", true}, {"plugin", true}, {"help", false}};
  ParsedArgs parsed;
  std::string error;
  if (!parseArgs(args, kOptions, &parsed, &error)) {
    return usageFailure("sample", error);
  }
  if (parsed.has("help")) {
    (void)std::fputs(kSampleHelp, stdout);
    return kExitOk;
  }
  if (parsed.positional.size() != 1) {
    return usageFailure("sample", "sample takes one output file");
  }
  const std::string &output = parsed.positional[0];
  long long side = 0;
  if (!parseInteger(parsed.value("size", "1025"), 2, kMaxSide, &side)) {
    return usageFailure("sample",
                        "--size must be a whole number from 2 to " + std::to_string(kMaxSide));
  }
  const std::string kind = parsed.value("kind", "geographic");
  DedFileLayout layout;
  int64_t extent = side;
  if (kind == "geographic") {
    layout = geographicLayout(static_cast<int32_t>(side));
  } else if (kind == "utm") {
    layout = utmLayout(static_cast<int32_t>(side));
  } else if (kind == "mosaic") {
    const int32_t cells = mosaicCells(static_cast<int32_t>(side));
    extent = int64_t{cells} * (kMosaicCell - 1) + 1;
    if (extent > kMaxSide) {
      return usageFailure("sample", "--size for a mosaic must stay within " +
                                        std::to_string(kMaxSide) + " samples");
    }
    layout = mosaicLayout(cells);
  } else {
    return usageFailure("sample", "--kind must be geographic, utm or mosaic, not " + kind);
  }

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
