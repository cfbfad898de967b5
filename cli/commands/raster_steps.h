// The raster a conversion writes, made in one of two steps: the host's grey
// image through the plug-in's get-image, or the elevations themselves read
// with ded/'s readers (--type int16). Both read the snapshot's file.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/commands/input_snapshot.h"
#include "cli/elevation/elevation_raster.h"
#include "cli/formats/grey_image.h"
#include "cli/geo/elevation_scale.h"
#include "cli/host/pixel_buffer.h"

namespace elvhost {

// The host's buffer as the plug-in filled it.
struct GreyRaster {
  GreyImage image;
  PixelBuffer buffer;
};

struct MadeRaster {
  std::variant<GreyRaster, ElevationRaster> pixels;
  int32_t height = 0;                      // rows of the image as written
  Affine affine;                           // from its pixels to file coordinates
  std::string unmapped;                    // why no affine can be had; empty when it can
  std::optional<ElevationScale> elevation; // the grey levels' elevations
  std::vector<std::string> warnings;       // what the image loses, to say after the checks
};

StepResult makeGreyRaster(ConvertRun *run, const InputSnapshot &snapshot, MadeRaster *raster);
StepResult makeInt16Raster(ConvertRun *run, const InputSnapshot &snapshot, MadeRaster *raster);

} // namespace elvhost
