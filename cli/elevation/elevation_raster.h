// A DED file's elevations as an image, read through ded/'s walk and placed
// by ded/'s placement, as the plug-in places its grey levels: for GIS tools
// that want the samples themselves rather than the host's picture of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/formats/int16_image.h"
#include "cli/input/file_facts.h"
#include "ded/gis_frame.h"
#include "ded/input.h"

namespace elvhost {

struct ElevationRaster {
  std::unique_ptr<int16_t[]> samples; // row-major
  int32_t width = 0, height = 0;
  Int16Image image() const { return {samples.get(), width, height}; }
};

// The GIS frame of a file the facts describe (hostFrameOnly: the plug-in's
// image), as the GDAL driver shows it. False, with ded/'s reason and its
// values in error, when the file is not described or the GIS outputs refuse
// it.
bool elevationFrame(const FileFacts &facts, bool hostFrameOnly, DedGisFrame *frame,
                    std::string *error);

// Reads every cell's samples, exactly as stored, from input (the file facts
// were read from, and described) into the frame, later cells over earlier
// ones; kInt16NoData where no cell covers and where the file ends early
// (the file's own voids are that value already). Rows north-up, or in the
// host's order (row 0 at the southern edge). False, with the reason in
// error, when there is no memory, the system fails a read ("cannot read the
// samples at byte N: Input/output error") or the file no longer holds the
// samples it held.
bool readElevations(const DedInput &input, const FileFacts &facts, const DedGisFrame &frame,
                    bool northUp, ElevationRaster *raster, std::string *error);

} // namespace elvhost
