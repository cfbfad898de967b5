// elvarin-host convert: imports a DED file through the plug-in exactly as the
// host does and writes the grey image with its geo-reference for GIS tools.
#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "cli/errors.h"
#include "cli/georef.h"
#include "cli/grey_image.h"
#include "cli/host_session.h"
#include "cli/output_files.h"
#include "cli/pgm_writer.h"
#include "cli/pixel_buffer.h"
#include "cli/png_writer.h"
#include "cli/stats.h"

namespace elvhost {

namespace {

enum class Format { Png, Pgm };

bool formatFor(const std::string &path, Format *format) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char &ch : extension) {
    ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  }
  if (extension == ".png") {
    *format = Format::Png;
    return true;
  }
  if (extension == ".pgm") {
    *format = Format::Pgm;
    return true;
  }
  return false;
}

} // namespace

int runConvert(const ConvertOptions &options) {
  const std::string &input = options.input;
  const std::string &output = options.output;
  Format format = Format::Png;
  if (!formatFor(output, &format)) {
    return usageFailure("convert", output + ": the output must end in .png or .pgm");
  }
  std::string error;
  const bool northUp = !options.asHost;
  PhaseTimer timer;

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

  if (!session.describe(input)) {
    reportFailure(session.failure());
    return kExitFailure;
  }
  const TextureView &texture = session.texture();
  if (!texture.width || !texture.height || *texture.width <= 0 || *texture.height <= 0) {
    reportFailure(input + ": the plug-in reported no usable image size");
    return kExitFailure;
  }
  GreyImage image;
  image.width = *texture.width;
  image.height = *texture.height;

  GeoSummary geo;
  if (!summarizeGeo(session.geo(), image.width, image.height, &geo, &error)) {
    reportFailure(input + ": " + error);
    return kExitFailure;
  }
  Crs crs;
  std::string crsProblem;
  const GeoView &g = session.geo();
  const bool haveCrs = crsFor(g.projection, g.utmZone, g.utmHemisphere, &crs, &crsProblem);

  // The host's buffer: height rows, each as wide as the host's row width.
  int32_t padding = 0;
  image.rowStride = qvGetImageRowWidth(image.width, 8, 2, &padding);
  if (image.rowStride < image.width) {
    reportFailure(input + ": the host's row width " + std::to_string(image.rowStride) +
                  " is below the image width " + std::to_string(image.width));
    return kExitFailure;
  }
  const int64_t bufferBytes = int64_t{image.height} * image.rowStride;
  PixelBuffer buffer;
  if (!buffer.allocate(bufferBytes)) {
    reportFailure(input + ": out of memory for a " + std::to_string(image.width) + " x " +
                  std::to_string(image.height) + " image");
    return kExitFailure;
  }
  image.pixels = buffer.data();
  timer.mark("describe");

  if (!session.getImage(buffer.data())) {
    reportFailure(session.failure());
    return kExitFailure;
  }
  timer.mark("get-image");

  const bool written = format == Format::Png
                           ? writePng(imageStream, image, northUp, PngSettings{}, &error)
                           : writePgm(imageStream, image, northUp, &error);
  if (!written) {
    reportFailure("cannot write " + output + ": " + error);
    return kExitFailure;
  }
  timer.mark(format == Format::Png ? "write PNG" : "write PGM");

  const WorldFile world = worldFileFor(geo.affine, image.height, northUp);
  if (!outputs.writeText(worldFilePath(output), worldFileText(world), &error) ||
      (haveCrs && !outputs.writeText(prjPath(output), crs.esriWkt + "\n", &error)) ||
      (haveCrs && !outputs.writeText(auxXmlPath(output), auxXmlText(crs, world), &error)) ||
      !outputs.commit(&error)) {
    reportFailure(error);
    return kExitFailure;
  }
  timer.mark("finish");
  if (!haveCrs) {
    reportFailure(input + ": no coordinate system written (" + crsProblem + ")");
  }
  if (options.stats) {
    (void)std::fprintf(stderr, "elvarin-host: stats: %s\n", timer.summary().c_str());
  }
  return kExitOk;
}

} // namespace elvhost
