// elvarin-host convert: imports a DED file through the plug-in exactly as the
// host does and writes the grey image with its geo-reference for GIS tools.
#include <cstdio>
#include <functional>
#include <string>

#include "cli/commands/commands.h"
#include "cli/commands/conversion.h"
#include "cli/commands/convert_ded.h"
#include "cli/commands/errors.h"
#include "cli/commands/input_snapshot.h"
#include "cli/commands/raster_steps.h"
#include "cli/commands/write_step.h"

namespace elvhost {

namespace {

// What is said once the outputs are in place.
int finishRun(ConvertRun *run, const Georeference &geo) {
  run->line.finish();
  if (!geo.crs && !run->options.quiet) {
    reportFailure(run->options.input + ": no coordinate system written (" + geo.crsProblem + ")");
  }
  if (run->options.stats) {
    (void)std::fprintf(stderr, "elvarin-host: stats: %s\n", run->timer.summary().c_str());
  }
  return kExitOk;
}

} // namespace

int runConvert(const ConvertOptions &options) {
  ImageFormat format = ImageFormat::Png;
  if (const StepResult planned = planConversion(options, &format)) {
    return planned->code == kExitUsage ? usageFailure("convert", planned->message)
                                       : (reportFailure(planned->message), planned->code);
  }
  if (format == ImageFormat::Ded) {
    return runConvertToDed(options);
  }
  ConvertRun run(options, format);
  InputSnapshot snapshot(options.input);
  MadeRaster raster;
  Georeference geo;
  const std::function<StepResult()> steps[] = {
      [&] { return startRun(&run); },
      [&] {
        const StepResult taken = takeSnapshot(&run.session, options.input, &snapshot);
        run.timer.mark("describe");
        return taken;
      },
      [&] {
        const StepResult made = options.int16 ? makeInt16Raster(&run, snapshot, &raster)
                                              : makeGreyRaster(&run, snapshot, &raster);
        // The final check follows the last read of the input, whether the
        // raster was made or not: a file changed under the run is the reason
        // it failed, whatever the read made of it.
        const StepResult confirmed = confirmSnapshot(options.input, snapshot);
        return confirmed ? confirmed : made;
      },
      [&] {
        run.timer.mark(options.int16 ? "read" : "get-image");
        run.progress.at(1, 0);
        for (const std::string &warning : raster.warnings) {
          run.warn(options.input + ": " + warning);
        }
        if (!raster.unmapped.empty()) {
          run.warn(options.input + ": no georeference is written: " + raster.unmapped);
        }
        geo = imageGeoreference(run, raster);
        return writeOutputs(&run, raster, geo);
      },
  };
  for (const std::function<StepResult()> &step : steps) {
    if (const StepResult failed = step()) {
      return run.fail(*failed);
    }
  }
  return finishRun(&run, geo);
}

} // namespace elvhost
