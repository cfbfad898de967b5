// The description of an open DED file: the image the plug-in delivers for
// it and the numbers the attribute, geo-reference and pixel callbacks need.
#pragma once

#include <cstdint>
#include <cstdio>

#include "ded/cells.h"
#include "ded/records.h"
#include "host/attributes.h"

// UTM zones run from 1 to this.
constexpr int32_t DED_MAX_UTM_ZONE = 60;

// The hemisphere code of a UTM header's letter: N or n north, S or s south.
// False for any other letter.
bool dedHemisphereCode(char letter, int32_t *code);

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
  float xSpacing; // the first cell's, which sizes the mosaic: spacing units
  float ySpacing;
};

// Describes the file behind a handle, reading it from its first byte as it is
// now. Returns DED_OK; -8 for a bad handle (nothing is read), unusable UTM
// fields or header values; -3 when a record is unreadable (the reader prints
// why); -1 when the host has no memory for the cell headers. Leaves the
// stream somewhere inside the file and nothing allocated; info is not to be
// relied on after a failure.
int32_t dedDescribe(int32_t handle, DedImageInfo *info);

// The same for any stream open for reading, for programs that read DED files
// without the open-file table; the cell headers' block comes from qvMalloc.
int32_t dedDescribeStream(std::FILE *stream, DedImageInfo *info);
