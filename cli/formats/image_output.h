// The formats convert writes, told apart by --format or the output's
// extension: one table says what each is called, which names it takes, whether
// side files go beside it and which of convert's choices it uses.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/formats/grey_image.h"
#include "cli/formats/tiff_writer.h"
#include "cli/output/progress.h"

namespace elvhost {

enum class ImageFormat { Png, Pgm, Tiff, Ded };

// convert's choices of what to write, as bits: an output takes some of them,
// a command line gives some.
enum ConvertChoice : unsigned {
  kChoiceType = 1U,   // --type
  kChoiceGeoref = 2U, // --georef
  kChoiceFrame = 4U,  // --frame
  kChoiceAsHost = 8U, // --as-host
};

struct OutputFormatRow {
  ImageFormat format;
  const char *name;          // --format's word, and the extension a batch gives its files
  const char *label;         // "PNG", in messages and --stats
  const char *extensions[2]; // what an output's name may end in (any case); nullptr: no more
  bool sideFiles;            // a world file, .prj and .aux.xml are written beside it
  unsigned choices;          // the ConvertChoice bits it uses; any other given is refused
};

// The format's row of the table.
const OutputFormatRow &outputFormat(ImageFormat format);

// Every extension the table takes, for messages: ".png, .pgm, .tif, .tiff or .ded".
std::string outputExtensionsText();

// Every --format word: {"png", "pgm", "tif", "ded"}, and as text: "png, pgm, tif or ded".
std::vector<std::string> outputFormatNames();
std::string formatNamesText();

// The format an output path's extension names, in any letter case; false
// for any other extension.
bool imageFormatFor(const std::string &path, ImageFormat *format);

// The format --format names; false for any other word.
bool imageFormatNamed(const std::string &name, ImageFormat *format);

// The extension a batch gives the format's files, without the dot.
inline const char *imageFormatExtension(ImageFormat format) { return outputFormat(format).name; }

// "PNG", "PGM", "TIFF" or "DED".
inline const char *imageFormatName(ImageFormat format) { return outputFormat(format).label; }

// Writes image to stream in format (an image format, not DED), north-up or in the host's row order;
// a GeoTIFF carries geo inside, the other formats leave it to their sidecar files. Returns false,
// with the writer's reason in error. progress hears of the output rows written.
bool writeImage(std::FILE *stream, ImageFormat format, const GreyImage &image, bool northUp,
                const Georeference &geo, std::string *error, const RowProgress &progress = {});

} // namespace elvhost
