// What the DED driver must deliver for a file, decoded from the file's bytes
// by the tests alone: the image north-up, every sample where its cell puts
// it, NoData where no cell covers and where the file ends within a column.
// The host's image where it holds every cell whole, else the union of the
// columns the file stores samples of, on the first cell's grid; nothing (a
// width of 0) when it stores none. Written for the tests' own files, whose cells lie on whole
// sample positions of the image.
#pragma once

#include <cstdint>
#include <vector>

namespace gdaltest {

constexpr int16_t kNoData = -32768;

struct Elevations {
  int width = 0;
  int height = 0;
  std::vector<int16_t> samples; // row-major, north row first
  double west = 0, north = 0;   // the north-west sample's place
  double xStep = 0, yStep = 0;  // degrees or metres
};

// hostFrameOnly: the host's image whatever it leaves out.
Elevations decodeElevations(const std::vector<uint8_t> &file, bool hostFrameOnly = false);

} // namespace gdaltest
