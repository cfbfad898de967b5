// elvarin-host convert: imports a DED file through the plug-in exactly as the
// host does and writes the grey image with its geo-reference for GIS tools.
#include <sys/resource.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "cli/commands/commands.h"
#include "cli/commands/convert_ded.h"
#include "cli/commands/empty_image.h"
#include "cli/commands/errors.h"
#include "cli/elevation/elevation_raster.h"
#include "cli/elevation/losses.h"
#include "cli/formats/grey_image.h"
#include "cli/formats/image_output.h"
#include "cli/formats/png_writer.h"
#include "cli/formats/side_files.h"
#include "cli/geo/georeference.h"
#include "cli/host/host_session.h"
#include "cli/host/pixel_buffer.h"
#include "cli/input/file_facts.h"
#include "cli/input/one_file_checks.h"
#include "cli/input/pinned_file.h"
#include "cli/output/output_files.h"
#include "cli/output/progress.h"
#include "ded/open_files.h"

namespace elvhost {

namespace {

// The host's buffer for the image get-info described (its size already
// found usable): height rows, each as wide as the host's row width for the
// texture's type and sample size. False, with the reason in error, when
// get-info left these unusable or there is no memory.
bool hostImage(const TextureView &texture, GreyImage *image, PixelBuffer *buffer,
               std::string *error) {
  if (!texture.type || !texture.sampleSize) {
    *error = "the plug-in reported no texture type or sample size";
    return false;
  }
  image->width = *texture.width;
  image->height = *texture.height;
  int32_t padding = 0;
  image->rowStride = qvGetImageRowWidth(image->width, *texture.sampleSize, *texture.type, &padding);
  if (image->rowStride < image->width) {
    *error = "the host's row width " + std::to_string(image->rowStride) +
             " is below the image width " + std::to_string(image->width);
    return false;
  }
  *buffer =
      allocatePixels(static_cast<size_t>(image->height) * static_cast<size_t>(image->rowStride));
  if (!*buffer) {
    *error = "out of memory for a " + std::to_string(image->width) + " x " +
             std::to_string(image->height) + " image";
    return false;
  }
  image->pixels = buffer->get();
  return true;
}

// The map from the host's pixels to file coordinates: the samples' places,
// or with hostGeoref the host's reading of the control points (which must
// be usable either way). False, with the reason in error, otherwise.
bool chooseAffine(const GeoView &geo, const FileFacts &facts, bool hostGeoref, Affine *affine,
                  std::string *error) {
  if (!hostAffine(geo, affine, error)) {
    return false;
  }
  if (!hostGeoref) {
    if (!facts.described) {
      *error = facts.problem;
      return false;
    }
    *affine = sampleAffine(facts.image);
  }
  return true;
}

// For --stats: the wall time of each phase, then the total and the process's
// peak resident memory, e.g. "load 0.001 s, ..., total 0.4 s, peak RSS 9 KiB".
class PhaseTimer {
public:
  // Ends the current phase under this name and starts the next.
  void mark(const std::string &phase) {
    const Clock::time_point now = Clock::now();
    text_ += phase + " " + seconds(now - last_) + ", ";
    last_ = now;
  }
  std::string summary() const {
    rusage usage{};
    const long peakKiB = getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
    return text_ + "total " + seconds(last_ - start_) + ", peak RSS " + std::to_string(peakKiB) +
           " KiB";
  }

private:
  using Clock = std::chrono::steady_clock;
  static std::string seconds(Clock::duration span) {
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.3f s", std::chrono::duration<double>(span).count());
    return text;
  }
  Clock::time_point start_ = Clock::now(), last_ = start_;
  std::string text_;
};

// The import's share of the progress line, the writing having the rest:
// about its share of the time on a large mosaic (--stats), where the import
// is one call the line cannot follow.
double importShare(ImageFormat format) {
  switch (format) {
  case ImageFormat::Pgm:
    return 0.7;
  case ImageFormat::Png:
    return 0.3;
  case ImageFormat::Tiff:
    return 0.1;
  }
  return 0.5;
}

// A command line whose outputs would overwrite the input or one another,
// by name or through a link, in words; empty when all are distinct.
std::string collision(const std::string &input, const std::string &output) {
  std::vector<NamedOutput> files = convertOutputs(output);
  files.insert(files.begin(), {input, "the input"});
  for (size_t i = 0; i < files.size(); ++i) {
    for (size_t j = i + 1; j < files.size(); ++j) {
      if (sameFile(files[i].path, files[j].path)) {
        return files[j].path + ": " + files[j].what + " would overwrite " + files[i].what + " " +
               files[i].path;
      }
    }
  }
  return {};
}

} // namespace

int runConvert(const ConvertOptions &options) {
  if (dedOutputChosen(options)) {
    return runConvertToDed(options);
  }
  const std::string &input = options.input;
  const std::string &output = options.output;
  ImageFormat format = ImageFormat::Png;
  if (!options.format.empty() ? !imageFormatNamed(options.format, &format)
                              : !imageFormatFor(output, &format)) {
    return usageFailure("convert", output + ": the output must end in " + kImageExtensions);
  }
  if (options.int16 && format != ImageFormat::Tiff) {
    return usageFailure("convert", kInt16OnlyTiff);
  }
  for (const NamedOutput &file : convertOutputs(output)) {
    if (const std::string problem = outputProblem(file.path); !problem.empty()) {
      reportFailure(problem);
      return kExitFailure;
    }
  }
  if (const std::string clash = collision(input, output); !clash.empty()) {
    return usageFailure("convert", clash);
  }
  std::string error;
  const bool northUp = !options.asHost;
  PhaseTimer timer;
  ProgressLine line(progressShowFor(options.quiet, options.progress));
  PhasedProgress progress(&line, {importShare(format), 1 - importShare(format)});

  // The output folder is checked first, so an unwritable one costs nothing.
  OutputSet outputs;
  std::FILE *imageStream = outputs.create(output, &error);
  if (imageStream == nullptr) {
    reportFailure(error);
    return kExitFailure;
  }

  HostSession session;
  if (!session.load(options.plugin, &error)) {
    reportFailure(error);
    return kExitFailure;
  }
  timer.mark("load");

  // The host's own reading and the plug-in's read one file, held open.
  const PinnedFile pin(input);
  const FileFacts facts = readFileFacts(pin.name());
  if (!session.describe(input, pin.name())) {
    line.breakLine();
    reportFailure(session.failure(facts.problem));
    return kExitFailure;
  }
  if (const std::string empty = emptyImageFailure(input, facts, session); !empty.empty()) {
    line.breakLine();
    reportFailure(empty);
    return kExitFailure;
  }
  if (const std::string why = oneFileProblem(pin, facts, session); !why.empty()) {
    line.breakLine();
    reportFailure(changedFailure(input, why));
    return kExitFailure;
  }
  const TextureView &texture = session.texture();
  if (!texture.width || !texture.height || *texture.width <= 0 || *texture.height <= 0) {
    reportFailure(input + ": the plug-in reported no usable image size");
    return kExitFailure;
  }
  Affine affine;
  if (!chooseAffine(session.geo(), facts, options.hostGeoref, &affine, &error)) {
    reportFailure(input + ": " + error);
    return kExitFailure;
  }
  // What the image loses, counted from the same file beside the import, and
  // checked with it.
  const std::unique_ptr<std::FILE, int (*)(std::FILE *)> countStream(
      !options.quiet && !options.int16 ? dedOpenRegular(pin.name().c_str(), "rb") : nullptr,
      &std::fclose);
  const DedInput countInput = dedStdioInput(countStream.get());
  std::optional<LossCount> counting;
  if (!options.quiet && !options.int16) { // the elevations' frame says what they show
    if (!countStream) {
      reportFailure(input + ": cannot open it again");
      return kExitFailure;
    }
    counting.emplace(countInput, facts, true);
  }
  GreyImage image;
  image.width = *texture.width;
  image.height = *texture.height;
  PixelBuffer buffer;
  ElevationRaster elevations;
  std::vector<std::string> warnings;
  if (options.int16) {
    // The samples themselves, read by the host from the file the plug-in
    // read, in the frame the GDAL driver shows.
    timer.mark("describe");
    DedGisFrame frame;
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> stream(
        dedOpenRegular(pin.name().c_str(), "rb"), &std::fclose);
    if (!stream) {
      error = "cannot open it again";
    }
    if (!elevationFrame(facts, options.hostFrame || options.hostGeoref, &frame, &error) ||
        !stream ||
        !readElevations(dedStdioInput(stream.get()), facts, frame, northUp, &elevations, &error)) {
      line.breakLine();
      reportFailure(input + ": " + error);
      return kExitFailure;
    }
    image.height = frame.height;
    if (!options.hostGeoref) {
      affine = frameAffine(frame);
    }
    warnings = dedGisWarnings(frame.notes,
                              facts.image.projection == PROJ_UTM ? "metre" : "1/36000 degree");
  } else {
    if (!hostImage(texture, &image, &buffer, &error)) {
      reportFailure(input + ": " + error);
      return kExitFailure;
    }
    if (format == ImageFormat::Png && image.width > kPngReadersMaxWidth && !options.quiet) {
      reportFailure("warning: " + output + ": most programs cannot open a PNG over " +
                    std::to_string(kPngReadersMaxWidth) + " pixels wide, as this one (" +
                    std::to_string(image.width) + ") is; a GeoTIFF (.tif) has no such limit");
    }
    timer.mark("describe");

    if (!session.getImage(buffer.get())) {
      line.breakLine();
      reportFailure(session.failure(facts.problem));
      return kExitFailure;
    }
  }
  Losses losses;
  if (counting && !counting->wait(&losses, &error)) {
    reportFailure(input + ": " + error);
    return kExitFailure;
  }
  if (const std::string why = changedSince(pin, facts); !why.empty()) {
    line.breakLine();
    reportFailure(changedFailure(input, why));
    return kExitFailure;
  }
  timer.mark(options.int16 ? "read" : "get-image");
  progress.at(1, 0);
  if (!options.int16) {
    warnings = lossWarnings(facts, losses, false);
  }
  for (const std::string &warning : options.quiet ? std::vector<std::string>{} : warnings) {
    line.breakLine();
    reportFailure(std::string("warning: ").append(input).append(": ").append(warning));
  }

  // The coordinate system as the plug-in told the host; the grey levels'
  // elevations from the file's own statistics, the host learning only the
  // grey range (the elevations themselves need none).
  const GeoView &g = session.geo();
  const Georeference geo = georeferenceFor(
      worldFileFor(affine, image.height, northUp), {g.projection, g.utmZone, g.utmHemisphere},
      facts.described && !options.int16
          ? std::optional(
                elevationScaleFor(facts.statistics.minElevation, facts.statistics.maxElevation))
          : std::nullopt);
  const RowProgress rows = [&progress, &image](int32_t done) {
    progress.at(1, static_cast<double>(done) / image.height);
  };
  if (options.int16 ? !writeInt16GeoTiff(imageStream, elevations.image(), geo, &error, rows)
                    : !writeImage(imageStream, format, image, northUp, geo, &error, rows)) {
    line.breakLine();
    reportFailure("cannot write " + output + ": " + error);
    return kExitFailure;
  }
  timer.mark(std::string("write ") + imageFormatName(format));

  for (const SideFile &file : sideFilesFor(output, geo)) {
    if (!outputs.writeText(file.path, file.text, &error)) {
      line.breakLine();
      reportFailure(error);
      return kExitFailure;
    }
  }
  if (!outputs.commit(&error)) {
    line.breakLine();
    reportFailure(error);
    return kExitFailure;
  }
  timer.mark("finish");
  line.finish();
  if (!geo.crs && !options.quiet) {
    reportFailure(input + ": no coordinate system written (" + geo.crsProblem + ")");
  }
  if (options.stats) {
    (void)std::fprintf(stderr, "elvarin-host: stats: %s\n", timer.summary().c_str());
  }
  return kExitOk;
}

} // namespace elvhost
