// The host's grey image: get-image into the host's buffer, with what the
// image loses counted from the same file beside it.
#include <optional>

#include "cli/commands/raster_steps.h"
#include "cli/elevation/cell_block.h"
#include "cli/elevation/losses.h"
#include "cli/formats/png_writer.h"
#include "cli/host/host_session.h"
#include "cli/input/pinned_input.h"
#include "host/status.h"

namespace elvhost {

namespace {

// The host's buffer for the image get-info described (its size already
// found usable): height rows, each as wide as the host's row width for the
// texture's type and sample size. The reason, when get-info left these
// unusable or there is no memory.
StepResult hostImage(const ConvertRun &run, GreyRaster *grey) {
  const TextureView &texture = run.session.texture();
  const std::string &input = run.options.input;
  if (!texture.type || !texture.sampleSize) {
    return StepFailure{input + ": the plug-in reported no texture type or sample size"};
  }
  GreyImage &image = grey->image;
  image.width = *texture.width;
  image.height = *texture.height;
  int32_t padding = 0;
  image.rowStride = qvGetImageRowWidth(image.width, *texture.sampleSize, *texture.type, &padding);
  if (image.rowStride < image.width) {
    return StepFailure{input + ": the host's row width " + std::to_string(image.rowStride) +
                       " is below the image width " + std::to_string(image.width)};
  }
  grey->buffer =
      allocatePixels(static_cast<size_t>(image.height) * static_cast<size_t>(image.rowStride));
  if (!grey->buffer) {
    return StepFailure{input + ": out of memory for a " + std::to_string(image.width) + " x " +
                       std::to_string(image.height) + " image"};
  }
  image.pixels = grey->buffer.get();
  return std::nullopt;
}

void warnOfWidePng(ConvertRun *run, int32_t width) {
  if (run->format == ImageFormat::Png && width > kPngReadersMaxWidth) {
    run->warn(run->options.output + ": most programs cannot open a PNG over " +
              std::to_string(kPngReadersMaxWidth) + " pixels wide, as this one (" +
              std::to_string(width) + ") is; a GeoTIFF (.tif) has no such limit");
  }
}

} // namespace

StepResult makeGreyRaster(ConvertRun *run, const InputSnapshot &snapshot, MadeRaster *raster) {
  const FileFacts &facts = snapshot.facts;
  // Counted on a thread of its own while the plug-in reads.
  const PinnedInput reader(snapshot.pin);
  std::optional<LossCount> counting;
  if (!run->options.quiet) {
    counting.emplace(reader.input(), facts, true);
  }
  GreyRaster grey;
  if (StepResult failed = hostImage(*run, &grey)) {
    return failed;
  }
  warnOfWidePng(run, grey.image.width);
  const bool got = run->session.getImage(grey.buffer.get());
  // Where the plug-in failed to read, ded/'s reader tells whether the system
  // failed a read, and how, which the plug-in's status does not; any other
  // failure ends the count at once.
  const bool readFailed = !got && run->session.status(Step::GetImage) == DED_ERR_READ;
  if (counting && !got && !readFailed) {
    counting->stop();
  }
  const Losses losses = counting     ? counting->wait()
                        : readFailed ? countLosses(reader.input(), facts, true)
                                     : Losses{};
  if (losses.readError != 0) {
    return StepFailure{run->options.input + ": " +
                       sampleReadFailure(losses.readError, losses.readErrorAt)};
  }
  if (!got) {
    return StepFailure{run->session.failure(facts.problem)};
  }
  raster->warnings = lossWarnings(facts, losses, false);
  raster->height = grey.image.height;
  if (run->options.hostGeoref) {
    raster->affine = snapshot.controlMap;
  } else {
    sampleAffine(facts.image, facts.cells[0].header, &raster->affine, &raster->unmapped);
  }
  // The host learns only the grey range; the file's own statistics give
  // the levels' elevations.
  raster->elevation =
      elevationScaleFor(facts.statistics.minElevation, facts.statistics.maxElevation);
  raster->pixels = std::move(grey);
  return std::nullopt;
}

} // namespace elvhost
