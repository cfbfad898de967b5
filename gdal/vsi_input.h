// ded/'s byte source over GDAL's virtual file API, so a DED file is read
// wherever GDAL reads files (/vsizip/, /vsimem/, /vsicurl/, ...).
#pragma once

#include <cpl_vsi.h>

#include "ded/input.h"

// Reads file; a failed read of a record is reported through CPLError with
// ded/'s words for it.
DedInput dedVsiInput(VSILFILE *file);
