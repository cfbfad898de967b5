// Where a GDAL raster's samples lie, as a DED file gives them: its
// coordinate system as a DED projection and its geotransform as the grid of
// pixel centres.
#pragma once

#include <string>

#include <gdal_priv.h>

#include "ded/layout.h"

// The grid of source's pixel centres. False, with the reason in error, when
// its geotransform is missing, rotated, sheared or not north-up, or its
// coordinate system is missing or is not WGS 84 geographic (EPSG 4326) or
// WGS 84 / UTM (EPSG 326zz, 327zz); the reason names the system and the
// gdalwarp command that makes a source that writes.
bool dedSourceGrid(GDALDataset *source, DedRasterGrid *grid, std::string *error);
