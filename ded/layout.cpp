#include "ded/layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ded/blocks.h"
#include "ded/cells.h"
#include "ded/describe.h"
#include "ded/encode.h"
#include "ded/gis_frame.h"
#include "ded/placement.h"

namespace {

// Cells a file is cut into at most: 40 MiB of cell headers, planned and
// checked in memory before a byte is written.
constexpr int64_t kMaxCells = int64_t{1} << 20;

// How far, in pixels, a sample read back may lie from its source pixel's
// centre.
constexpr double kPlaceTolerance = 0.01;

// The reader over the planned records in memory.
struct Records {
  std::vector<uint8_t> bytes;
  size_t position = 0;
};

DedInput recordsInput(Records *records) {
  return DedInput{records,
                  [](void *context, void *dest, size_t wanted) {
                    Records &r = *static_cast<Records *>(context);
                    const size_t n = std::min(wanted, r.bytes.size() - r.position);
                    std::memcpy(dest, r.bytes.data() + r.position, n);
                    r.position += n;
                    return n;
                  },
                  [](void *context, int64_t offset) {
                    Records &r = *static_cast<Records *>(context);
                    r.position = std::min(static_cast<size_t>(offset), r.bytes.size());
                    return true;
                  },
                  [](void *context) {
                    return static_cast<int64_t>(static_cast<Records *>(context)->bytes.size());
                  },
                  [](void *, const char *) {}};
}

DedHeader headerFor(const DedRasterGrid &grid) {
  DedHeader header{};
  header.word0 = 1;
  std::memcpy(header.magic, DED_MAGIC, sizeof header.magic);
  if (grid.projection == PROJ_UTM) {
    std::memcpy(header.projection, "UTM", 3);
    header.hemisphere = grid.utmHemisphere == DED_HEMISPHERE_NORTH ? 'N' : 'S';
    const std::string zone = std::to_string(grid.utmZone);
    std::memcpy(header.zone, zone.data(), std::min(zone.size(), sizeof header.zone - 1));
  } else {
    std::memcpy(header.projection, "GEO", 3);
  }
  return header;
}

// Samples a side of a cell along an axis of count samples step apart.
int64_t sideOf(const DedRasterGrid &grid, int32_t asked, double step, int64_t count) {
  if (grid.projection == PROJ_UTM) {
    return count;
  }
  if (asked > 0) {
    return asked;
  }
  const double degree = std::min(1.0 / step, double{DED_DEFAULT_MAX_CELL_SIDE});
  return std::max<int64_t>(2,
                           std::min<int64_t>(std::llround(degree) + 1, DED_DEFAULT_MAX_CELL_SIDE));
}

// Cells along an axis of count samples, side samples each, sharing edges.
int64_t cellsAlong(int64_t count, int64_t side) {
  return count <= side ? 1 : (count - 2) / (side - 1) + 1;
}

DedCellHeader cellHeader(const DedRasterGrid &grid, const DedCellSource &source) {
  const double units = dedSpacingUnits(grid.projection);
  // Bounds and spacings are single-precision in the file.
  const float xMin =
      static_cast<float>(grid.west + static_cast<double>(source.column) * grid.xStep);
  const float xMax = static_cast<float>(
      grid.west + static_cast<double>(source.column + source.columns - 1) * grid.xStep);
  const float yMax = static_cast<float>(grid.north - static_cast<double>(source.row) * grid.yStep);
  const float yMin = static_cast<float>(
      grid.north - static_cast<double>(source.row + source.rows - 1) * grid.yStep);
  const float xSpacing = static_cast<float>(grid.xStep * units);
  const float ySpacing = static_cast<float>(grid.yStep * units);
  return DedCellHeader{yMin,
                       yMax,
                       xMin,
                       xMax,
                       ySpacing,
                       xSpacing,
                       static_cast<float>(source.rows),
                       static_cast<float>(source.columns),
                       {0, 0}};
}

std::string number(double value) {
  char text[32];
  (void)std::snprintf(text, sizeof text, "%.12g", value);
  return text;
}

bool gridUsable(const DedRasterGrid &grid, std::string *error) {
  const bool finite = std::isfinite(grid.west) && std::isfinite(grid.north) &&
                      std::isfinite(grid.xStep) && std::isfinite(grid.yStep);
  if (grid.width < 1 || grid.height < 1) {
    *error = "the raster has no samples";
  } else if (!finite || !(grid.xStep > 0) || !(grid.yStep > 0)) {
    *error = "the raster's sample positions are not usable (pixel size not above 0 or not finite)";
  } else if (grid.projection == PROJ_GEOGRAPHIC &&
             (grid.north > 90.0 ||
              grid.north - static_cast<double>(grid.height - 1) * grid.yStep < -90.0)) {
    *error = "its samples reach beyond latitude 90 north or south (the northern row's centre at " +
             number(grid.north) + ", the southern's at " +
             number(grid.north - static_cast<double>(grid.height - 1) * grid.yStep) +
             "): no place on Earth lies there; give it its true geotransform";
  } else if (grid.width * grid.height > DED_MAX_SAMPLES) {
    *error = std::to_string(grid.width) + " x " + std::to_string(grid.height) +
             " samples are more than the plug-in imports (2 GiB of 16-bit samples)";
  } else {
    return true;
  }
  return false;
}

void placeCells(const DedRasterGrid &grid, int64_t sideX, int64_t sideY, DedLayout *layout) {
  for (int64_t row = 0;; row += sideY - 1) {
    const auto rows = static_cast<int32_t>(std::min(sideY, grid.height - row));
    for (int64_t column = 0;; column += sideX - 1) {
      const auto columns = static_cast<int32_t>(std::min(sideX, grid.width - column));
      layout->sources.push_back(DedCellSource{column, row, columns, rows});
      layout->cells.push_back(cellHeader(grid, layout->sources.back()));
      if (column + sideX >= grid.width) {
        break;
      }
    }
    if (row + sideY >= grid.height) {
      break;
    }
  }
}

template <size_t N> void append(std::vector<uint8_t> *bytes, const uint8_t (&record)[N]) {
  bytes->insert(bytes->end(), record, record + N);
}

// The most a sample of an axis lies from its source pixel's centre, in
// pixels, when the frame read back has first sample first and step apart,
// and the source source and sourceStep, over count samples.
double worstOffset(double first, double step, double source, double sourceStep, int64_t count) {
  const auto last = static_cast<double>(count - 1);
  return std::max(std::fabs(first - source),
                  std::fabs(first + last * step - (source + last * sourceStep))) /
         sourceStep;
}

// Reads the planned records back as GIS programs do (ded/'s GIS frame);
// empty when every sample comes back in its own cell's place within
// kPlaceTolerance of a pixel of its source pixel's centre, else why not.
std::string frameProblem(const DedRasterGrid &grid, const DedLayout &layout,
                         const DedImageInfo &info) {
  const auto count = static_cast<int32_t>(layout.cells.size());
  int64_t end = dedFirstBlockOffset(count);
  for (const DedCellSource &s : layout.sources) {
    end += int64_t{s.columns} * s.rows * DED_SAMPLE_SIZE;
  }
  std::vector<DedCellBlock> blocks(layout.cells.size());
  DedBlockWalk walk = dedStartBlockWalk(layout.cells.data(), count, end, dedBlockLimit(info));
  for (DedCellBlock &block : blocks) {
    (void)dedNextBlock(&walk, &block);
  }
  DedGisFrame frame;
  int32_t cells[2] = {};
  DedFinding finding = dedGisCheckBlocks(info, blocks.data(), count, cells);
  if (finding == DedFinding::None) {
    finding =
        dedMakeGisFrame(info, layout.cells.data(), blocks.data(), count, false, &frame, cells);
  }
  if (finding != DedFinding::None) {
    return std::string("GIS programs could not read it: ") + dedFindingText(finding);
  }
  bool placed = frame.width == grid.width && frame.height == grid.height;
  for (size_t i = 0; placed && i < layout.cells.size(); ++i) {
    const DedPlacement &p = frame.placements[i];
    const DedCellSource &s = layout.sources[i];
    placed = p.shown && !p.clipped && p.imageColumn == s.column &&
             p.imageRow == grid.height - (s.row + s.rows);
  }
  const double worst =
      std::max(worstOffset(frame.west, frame.xStep, grid.west, grid.xStep, grid.width),
               worstOffset(-frame.north, frame.yStep, -grid.north, grid.yStep, grid.height));
  if (placed && worst <= kPlaceTolerance) {
    return std::string();
  }
  return "single-precision bounds cannot hold its sample positions: read back, " +
         (placed ? "samples lie up to " + number(worst) + " of a pixel from their places"
                 : std::string("its cells would not meet on whole samples")) +
         " (its north-west sample's centre " + number(grid.west) + ", " + number(grid.north) +
         " comes back as " + number(frame.west) + ", " + number(frame.north) +
         "); use a larger pixel size, or coordinates nearer 0 (another UTM zone)";
}

// Describes and places the planned records as the plug-in will; empty when
// it imports them with every cell on its own samples, else why not.
std::string importProblem(const DedRasterGrid &grid, const DedLayout &layout) {
  Records records;
  uint8_t header[DED_HEADER_SIZE];
  dedEncodeHeader(layout.header, header);
  append(&records.bytes, header);
  DedStatistics statistics{};
  statistics.cellCount = static_cast<int32_t>(layout.cells.size());
  uint8_t statisticsBytes[DED_STATISTICS_SIZE];
  dedEncodeStatistics(statistics, statisticsBytes);
  append(&records.bytes, statisticsBytes);
  for (const DedCellHeader &cell : layout.cells) {
    uint8_t cellBytes[DED_CELL_HEADER_SIZE];
    dedEncodeCellHeader(cell, cellBytes);
    append(&records.bytes, cellBytes);
  }
  DedImageInfo info{};
  DedFinding finding = dedDescribeInput(recordsInput(&records), dedSystemAllocator(), &info);
  if (finding == DedFinding::None) {
    finding = dedCheckScratch(info);
  }
  if (finding != DedFinding::None) {
    return std::string("the plug-in could not import it: ") + dedFindingText(finding);
  }
  bool placed = info.width == grid.width && info.height == grid.height;
  for (size_t i = 0; placed && i < layout.cells.size(); ++i) {
    const DedPlacement p = dedPlaceCell(info, layout.cells[i]);
    const DedCellSource &s = layout.sources[i];
    placed = p.shown && !p.clipped && p.imageColumn == s.column &&
             p.imageRow == grid.height - (s.row + s.rows);
  }
  return placed ? frameProblem(grid, layout, info)
                : "its sample positions do not fit single-precision bounds at this pixel size "
                  "(the plug-in would place samples off their positions); use a pixel size "
                  "that divides a degree or fewer, larger cells";
}

} // namespace

bool dedPlanLayout(const DedRasterGrid &grid, int32_t asked, DedLayout *layout,
                   std::string *error) {
  if (!gridUsable(grid, error)) {
    return false;
  }
  if (asked != 0 && asked < 2) {
    *error = "a cell needs at least 2 samples a side";
    return false;
  }
  if (grid.projection == PROJ_UTM && asked != 0 && (asked < grid.width || asked < grid.height)) {
    *error = "CELL_SIZE=" + std::to_string(asked) + " asks for cells smaller than the raster (" +
             std::to_string(grid.width) + " x " + std::to_string(grid.height) +
             " samples), but a UTM file is one cell (the plug-in shows only its first): leave "
             "CELL_SIZE out";
    return false;
  }
  const int64_t sideX = sideOf(grid, asked, grid.xStep, grid.width);
  const int64_t sideY = sideOf(grid, asked, grid.yStep, grid.height);
  if (cellsAlong(grid.width, sideX) * cellsAlong(grid.height, sideY) > kMaxCells) {
    *error = "more than " + std::to_string(kMaxCells) + " cells: use larger cells";
    return false;
  }
  dedCutLayout(grid, asked, layout);
  *error = importProblem(grid, *layout);
  return error->empty();
}

void dedCutLayout(const DedRasterGrid &grid, int32_t cellSide, DedLayout *layout) {
  layout->header = headerFor(grid);
  layout->cells.clear();
  layout->sources.clear();
  placeCells(grid, sideOf(grid, cellSide, grid.xStep, grid.width),
             sideOf(grid, cellSide, grid.yStep, grid.height), layout);
}
