#include "cli/commands/write_step.h"

#include "cli/formats/side_files.h"
#include "cli/formats/tiff_writer.h"

namespace elvhost {

namespace {

// Writes whichever raster was made into stream.
bool writeRaster(const ConvertRun &run, const MadeRaster &raster, const Georeference &geo,
                 const RowProgress &rows, std::string *error) {
  if (const auto *grey = std::get_if<GreyRaster>(&raster.pixels)) {
    return writeImage(run.imageStream, run.format, grey->image, run.northUp, geo, error, rows);
  }
  return writeInt16GeoTiff(run.imageStream, std::get<ElevationRaster>(raster.pixels).image(), geo,
                           error, rows);
}

} // namespace

Georeference imageGeoreference(const ConvertRun &run, const MadeRaster &raster) {
  const GeoView &g = run.session.geo();
  Georeference geo = georeferenceFor(worldFileFor(raster.affine, raster.height, run.northUp),
                                     {g.projection, g.utmZone, g.utmHemisphere}, raster.elevation);
  geo.unmapped = raster.unmapped;
  return geo;
}

StepResult writeOutputs(ConvertRun *run, const MadeRaster &raster, const Georeference &geo) {
  const std::string &output = run->options.output;
  const RowProgress rows = [run, &raster](int32_t done) {
    run->progress.at(1, static_cast<double>(done) / raster.height);
  };
  std::string error;
  if (!writeRaster(*run, raster, geo, rows, &error)) {
    return StepFailure{"cannot write " + output + ": " + error};
  }
  run->timer.mark(std::string("write ") + imageFormatName(run->format));
  for (const SideFile &file : sideFilesFor(output, geo)) {
    if (!run->outputs.writeText(file.path, file.text, &error)) {
      return StepFailure{error};
    }
  }
  if (!run->outputs.commit(&error)) {
    return StepFailure{error};
  }
  run->timer.mark("finish");
  return std::nullopt;
}

} // namespace elvhost
