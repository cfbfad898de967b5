// elvarin-host convert: imports a DED file through the plug-in exactly as the
// host does and writes the grey image with its geo-reference for GIS tools.
#include <cstdio>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/elevation_scale.h"
#include "cli/errors.h"
#include "cli/georef.h"
#include "cli/grey_image.h"
#include "cli/host_session.h"
#include "cli/image_output.h"
#include "cli/import.h"
#include "cli/output_files.h"
#include "cli/pixel_buffer.h"
#include "cli/stats.h"

namespace elvhost {

namespace {

const char *const kConvertHelp =
    "usage: elvarin-host convert FILE.ded OUT.png|.pgm|.tif [--as-host] [--stats] [--plugin PATH]\n"
    "\n"
    "Imports FILE.ded through the plug-in as the host does (open, get-info,\n"
    "geo-info, get-image into a buffer of height x row width, close) and writes\n"
    "the 8-bit grey image: PNG for .png, binary PGM for .pgm, tiled GeoTIFF with\n"
    "its geo-reference inside for .tif or .tiff. Beside it go a world file (.pgw\n"
    "for PNG, .wld otherwise), the coordinate system as ESRI WKT (.prj) and a GDAL\n"
    "auxiliary file (OUT.png.aux.xml) that also holds the way back from grey\n"
    "levels to metres. Everything is written under temporary names and renamed\n"
    "at the end, so a failed run leaves nothing.\n"
    "\n"
    "  --as-host      keep the host's row order (first row at the southern edge);\n"
    "                 by default the image is written north-up\n"
    "  --stats        print the time of each phase and the peak memory on stderr\n"
    "  --plugin PATH  the plug-in library (default: the one beside elvarin-host)\n"
    "  --help         this text\n";

} // namespace

int runConvert(const std::vector<std::string> &args, const char *argv0) {
  static const OptionDef kOptions[] = {
      {"as-host", false}, {"stats", false}, {"plugin", true}, {"help", false}};
  ParsedArgs parsed;
  std::string error;
  if (!parseArgs(args, kOptions, &parsed, &error)) {
    return usageFailure("convert", error);
  }
  if (parsed.has("help")) {
    (void)std::fputs(kConvertHelp, stdout);
    return kExitOk;
  }
  if (parsed.positional.size() != 2) {
    return usageFailure("convert", "convert takes a DED file and an output image");
  }
  const std::string &input = parsed.positional[0];
  const std::string &output = parsed.positional[1];
  ImageFormat format = ImageFormat::Png;
  if (!imageFormatFor(output, &format)) {
    return usageFailure("convert", output + ": the output must end in " + kImageExtensions);
  }
  const bool northUp = !parsed.has("as-host");
  PhaseTimer timer;

  // The output folder is checked first, so an unwritable one costs nothing.
  OutputSet outputs;
  std::FILE *imageStream = outputs.create(output, &error);
  if (imageStream == nullptr) {
    reportFailure(error);
    return kExitFailure;
  }

  HostSession session;
  if (!session.load(parsed.value("plugin", defaultPluginPath(argv0)), &error)) {
    reportFailure(error);
    return kExitFailure;
  }
  timer.mark("load");

  ImportReport report;
  if (!importDescription(session, input, &report)) {
    reportFailure(importFailure(report));
    return kExitFailure;
  }
  if (!report.texture.width || !report.texture.height || *report.texture.width <= 0 ||
      *report.texture.height <= 0) {
    reportFailure(input + ": the plug-in reported no usable image size");
    return kExitFailure;
  }
  GreyImage image;
  image.width = *report.texture.width;
  image.height = *report.texture.height;

  GeoSummary geo;
  if (!summarizeGeo(report.geo, image.width, image.height, &geo, &error)) {
    reportFailure(input + ": " + error);
    return kExitFailure;
  }
  Crs crs;
  std::string crsProblem;
  const bool haveCrs = crsFor(report.geo.projection, report.geo.utmZone, report.geo.utmHemisphere,
                              &crs, &crsProblem);

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

  if (!importPixels(session, buffer.data(), &report)) {
    reportFailure(importFailure(report));
    return kExitFailure;
  }
  timer.mark("get-image");

  const WorldFile world = worldFileFor(geo.affine, image.height, northUp);
  // The grey levels' elevations, from the file's own statistics: the host
  // learns only the grey range.
  double lowest = 0, highest = 0;
  const bool haveRange = readDedElevationRange(input, &lowest, &highest, &error);
  const ElevationScale elevation = elevationScaleFor(lowest, highest);
  const ElevationScale *scale = haveRange ? &elevation : nullptr;
  if (!writeImage(imageStream, format, image, northUp, {world, haveCrs ? &crs : nullptr, scale},
                  &error)) {
    reportFailure("cannot write " + output + ": " + error);
    return kExitFailure;
  }
  timer.mark(std::string("write ") + imageFormatName(format));

  if (!outputs.writeText(worldFilePath(output), worldFileText(world), &error) ||
      (haveCrs && !outputs.writeText(prjPath(output), crs.esriWkt + "\n", &error)) ||
      (haveCrs && !outputs.writeText(auxXmlPath(output), auxXmlText(crs, world, scale), &error)) ||
      !outputs.commit(&error)) {
    reportFailure(error);
    return kExitFailure;
  }
  timer.mark("finish");
  if (!haveCrs) {
    reportFailure(input + ": no coordinate system written (" + crsProblem + ")");
  }
  if (parsed.has("stats")) {
    (void)std::fprintf(stderr, "elvarin-host: stats: %s\n", timer.summary().c_str());
  }
  return kExitOk;
}

} // namespace elvhost
