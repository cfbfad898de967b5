// The generated files every fault and truncation sweep runs over: single and
// multi-cell, geographic and UTM, each with samples that differ from cell to
// cell so a misplaced or missing block shows in the pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/ded_writer.h"

namespace dedtest {

struct SweepFile {
  std::string name;
  File file;
  bool large = false; // too big to cut at every byte
};

// 1..255, never 0: a sample read as zero shows.
inline int16_t sweepSample(int seed, int column, int row) {
  return static_cast<int16_t>(1 + (seed * 53 + column * 37 + row * 11) % 255);
}

inline SampleFn sweepRamp(int seed) {
  return [seed](int column, int row) { return sweepSample(seed, column, row); };
}

inline std::vector<SweepFile> sweepFiles() {
  std::vector<SweepFile> files;
  files.push_back({"geographic_one_cell", geographicFile(5, 4, sweepRamp(1))});
  files.push_back({"utm_one_cell", utmFile("33", 'N', 3, 4, sweepRamp(2))});

  // Three cells side by side, each sharing its west column with the one before.
  File row;
  row.cellCount = 3;
  for (int i = 0; i < 3; ++i) {
    row.cells.push_back(
        geographicCell(10.0 + i * (2 * 300.0 / 36000.0), 45.0, 3, 3, 300.0f, sweepRamp(3 + i)));
  }
  files.push_back({"geographic_three_cells", row});

  // Two by two tiles, one coordinate unit apart at a spacing of one unit.
  File tiles;
  tiles.cellCount = 4;
  for (int i = 0; i < 4; ++i) {
    const int tileColumn = i % 2;
    const int tileRow = i / 2;
    tiles.cells.push_back(
        geographicCell(2.0 * tileColumn, 2.0 * tileRow, 2, 2, 36000.0f, sweepRamp(10 + i)));
  }
  files.push_back({"geographic_tiles", tiles});

  File utm = utmFile("12", 's', 3, 3, sweepRamp(20));
  utm.cellCount = 2;
  utm.cells.push_back(utmCell(500060.0, 4000030.0, 2, 2, 30.0f, sweepRamp(21)));
  files.push_back({"utm_two_cells", utm});

  files.push_back({"geographic_121", geographicFile(121, 121, sweepRamp(30)), true});

  // Elevation 0 is neither the range's minimum nor grey 0, so a sample that
  // was never read and one read as zero give different pixels.
  for (SweepFile &sweep : files) {
    sweep.file.minElevation = -10;
    sweep.file.maxElevation = 300;
  }
  return files;
}

// Offset of each cell's sample block in the encoded file.
inline std::vector<size_t> sampleBlockOffsets(const File &file) {
  std::vector<size_t> offsets;
  size_t at = samplesOffset(file.cells.size());
  for (const Cell &cell : file.cells) {
    offsets.push_back(at);
    at += 2 * cell.samples.size();
  }
  return offsets;
}

} // namespace dedtest
