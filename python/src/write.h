// Writing a DED file from a north-up array in memory, with the refusals and
// the samples of the GDAL driver's CreateCopy: the array's geotransform and
// EPSG code become ded/'s raster grid, ded/ lays out and writes the file.
// No Python here.
#pragma once

#include <cstdint>
#include <string>

#include "ded/layout.h"
#include "ded/writer.h"

// A north-up array of int16_t or double values: element (row, column) at
// byte row x rowStride + column x columnStride from samples, row 0 the
// northern.
struct DedArraySource {
  const void *samples;
  bool int16; // int16_t values, otherwise double
  int64_t width;
  int64_t height;
  int64_t rowStride;
  int64_t columnStride;
};

// The coordinate system the caller gives: an EPSG code (0 when it has none
// that is known), the name of the system (empty when only the code is
// known), and whether one was given at all.
struct DedArrayCrs {
  bool given = false;
  int32_t epsg = 0;
  std::string name;
};

// How an array's values become samples, as the driver reads a band: its
// NoData (when hasNoData) and NaN the void; an int16 array's values taken as
// they are unless its NoData is not an int16 value.
DedValueRule dedArrayRule(bool int16Array, bool hasNoData, double noData);

// The layout of a width x height array with GDAL's geotransform (null: none)
// in crs, in cells of cellSide samples a side (0: the default). False, with
// the reason in *error, in the driver's words, for a transform that is not
// north-up, a system other than WGS 84 geographic or UTM, or a layout the
// plug-in could not import.
bool dedPlanArray(const double *transform, const DedArrayCrs &crs, int64_t width, int64_t height,
                  int32_t cellSide, DedLayout *layout, std::string *error);

// How writing ended: the file could not be created (errno tells), it was
// not written (the reason in *error; what path named before is left as it
// was), or it was.
enum class DedWriteResult : uint8_t { Written, NotCreated, Failed };

// Writes layout's file to path from source, values as rule says; the
// counts of clamped and void samples in *report.
DedWriteResult dedWriteArray(const char *path, const DedLayout &layout, const DedValueRule &rule,
                             const DedArraySource &source, DedWriteReport *report,
                             std::string *error);
