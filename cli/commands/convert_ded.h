// elvarin-host convert IN OUT.ded: any raster GDAL reads, written as a DED
// file the plug-in imports.
#pragma once

#include "cli/commands/commands.h"

namespace elvhost {

// Writes options.input as the DED file options.output, all or nothing, and
// returns the exit code. In a build without GDAL it says so and fails.
int runConvertToDed(const ConvertOptions &options);

} // namespace elvhost
