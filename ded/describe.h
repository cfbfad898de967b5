// The description of an open DED file: the image the plug-in delivers for
// it and the numbers the attribute, geo-reference and pixel callbacks need.
#pragma once

#include <cstdint>
#include <cstdio>

#include "ded/records.h"

constexpr int32_t PROJ_GEOGRAPHIC = 0;
constexpr int32_t PROJ_UTM = 4;

// Geographic spacings are in 1/36000 of a coordinate unit.
constexpr double DED_GEOGRAPHIC_SPACING_DIVISOR = 36000.0;

struct DedImageInfo {
  int32_t width;         // columns of the mosaic
  int32_t height;        // samples per column of the mosaic
  int32_t projection;    // PROJ_UTM or PROJ_GEOGRAPHIC
  int32_t utmZone;       // 1..60, UTM only
  int32_t utmHemisphere; // 0 south, 1 north, UTM only
  int32_t cellCount;     // as read from the statistics
  int32_t maxColumns;    // largest columnCount, truncated
  int32_t maxRows;       // largest rowCount, truncated
  float minElevation;
  float maxElevation;
  float yMin;
  float xMin;
  float yMax;
  float xMax;
};

// Describes the file behind a handle the caller has already checked, reading
// it from its first byte. Returns DED_OK; -3 when a record is unreadable (the
// reader prints why), -1 when the host has no memory for the cell headers,
// -8 for unusable UTM fields or header values. Leaves the stream somewhere
// inside the file and nothing allocated; info is not to be relied on after a
// failure.
int32_t dedDescribe(int32_t handle, DedImageInfo *info);

// Cell headers stored in a file with this statistics cell count: a count of
// one or less is read as one cell.
inline int32_t dedCellHeaderCount(int32_t cellCount) { return cellCount > 1 ? cellCount : 1; }

// Reads count cell headers at the stream's position into cells. Returns
// DED_OK, DED_ERR_READ (the reader prints why) or DED_ERR_BADARG for a cell
// whose values are unusable (see dedCellUsable).
int32_t dedReadCellHeaders(std::FILE *stream, int32_t count, DedCellHeader *cells);

// A cell's counts are finite, not negative and fit a signed 32-bit integer
// once truncated; its bounds and spacings are finite.
bool dedCellUsable(const DedCellHeader &cell);

// The whole number a sizing or placing quotient stands for: the nearest whole
// number when the quotient lies within 1/16 of it (single-precision bounds
// leave quotients like 3599.9999999999995 for 3600), otherwise the quotient
// truncated toward zero. Non-finite values pass through.
double dedWholePart(double quotient);
