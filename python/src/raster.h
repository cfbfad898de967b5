// A DED file as GIS tools see it through the GDAL driver, without GDAL: the
// GIS frame, its geotransform, EPSG code and warnings, and windows of its
// Int16 elevations, north row first. ded/ reads and places; this holds the
// open file and copies windows out of it. No Python here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "ded/blocks.h"
#include "ded/describe.h"
#include "ded/gis_frame.h"
#include "ded/records.h"

// NoData: positions no cell covers, samples past the end of the file, and
// the file's own voids alike.
constexpr int16_t DED_PY_NODATA = DED_VOID;

struct DedRaster {
  std::FILE *file = nullptr; // the raster's own; closed by dedCloseRaster
  DedImageInfo info{};
  std::vector<DedCellHeader> cells;
  std::vector<DedCellBlock> blocks; // where each cell's samples lie in the file
  DedGisFrame frame;                // where each cell's block lands in the image
  double transform[6] = {};
  int32_t epsg = 0;
  std::vector<std::string> warnings; // without the file's name
  std::mutex reading;                // one window at a time on file
};

// How opening ended: the file does not open (errno tells), it is refused
// for what it holds (the reason in *error, the file named), or it opened.
enum class DedOpenResult : uint8_t { Opened, NotOpened, Refused };

// Opens path in the GIS frame (hostFrameOnly: the plug-in's image), as the
// driver's FRAME=DATA or HOST does. Anything but Opened leaves no file open.
DedOpenResult dedOpenRaster(const char *path, bool hostFrameOnly, DedRaster *raster,
                            std::string *error);

// Closes the file, once any window being read is done; reading then fails.
void dedCloseRaster(DedRaster *raster);

// Fills dest, columns x rows samples row-major, with the frame's columns
// [column, column + columns) of rows [row, row + rows), row 0 the northern;
// the window lies inside the frame. False, with the reason in *error, when
// the raster is closed or the file no longer gives the samples it held at
// opening (dest then holds part of the window).
bool dedReadRasterWindow(DedRaster *raster, int32_t column, int32_t row, int32_t columns,
                         int32_t rows, int16_t *dest, std::string *error);
