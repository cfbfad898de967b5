// The elevations themselves, read by the host from the file the plug-in
// read, in the frame the GDAL driver shows.
#include "cli/commands/raster_steps.h"
#include "cli/input/pinned_input.h"
#include "ded/gis_frame.h"
#include "ded/header.h"

namespace elvhost {

StepResult makeInt16Raster(ConvertRun *run, const InputSnapshot &snapshot, MadeRaster *raster) {
  const ConvertOptions &options = run->options;
  const FileFacts &facts = snapshot.facts;
  const PinnedInput reader(snapshot.pin);
  DedGisFrame frame;
  ElevationRaster elevations;
  std::string error;
  if (!elevationFrame(facts, options.hostFrameOnly || options.hostGeoref, &frame, &error) ||
      !readElevations(reader.input(), facts, frame, run->northUp, &elevations, &error)) {
    return StepFailure{options.input + ": " + error};
  }
  raster->height = frame.height;
  raster->affine = options.hostGeoref ? snapshot.controlMap : frameAffine(frame);
  raster->warnings = dedGisWarnings(frame.notes, dedSpacingUnitName(facts.image.projection));
  raster->pixels = std::move(elevations);
  return std::nullopt;
}

} // namespace elvhost
