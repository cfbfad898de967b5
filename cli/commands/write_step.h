// The last steps of a conversion: the one georeference of the image as
// written, which every writer reads, then the image and its side files
// written and committed together.
#pragma once

#include "cli/commands/raster_steps.h"
#include "cli/geo/georeference.h"

namespace elvhost {

// The raster's map and the coordinate system as the plug-in told the host.
Georeference imageGeoreference(const ConvertRun &run, const MadeRaster &raster);

// Writes the image into the run's temporary, then its world file, .prj and
// .aux.xml, and commits them all; on failure nothing replaces any file.
StepResult writeOutputs(ConvertRun *run, const MadeRaster &raster, const Georeference &geo);

} // namespace elvhost
