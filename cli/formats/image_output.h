// The image formats convert writes, told apart by the output's extension.
#pragma once

#include <cstdio>
#include <string>

#include "cli/formats/grey_image.h"
#include "cli/formats/tiff_writer.h"
#include "cli/output/progress.h"

namespace elvhost {

enum class ImageFormat { Png, Pgm, Tiff };

// What imageFormatFor accepts, for messages: ".png, .pgm, .tif or .tiff".
extern const char *const kImageExtensions;

// The format an output path's extension names, in any letter case; false
// for any other extension.
bool imageFormatFor(const std::string &path, ImageFormat *format);

// The format --format names: "png", "pgm" or "tif"; false for any other.
bool imageFormatNamed(const std::string &name, ImageFormat *format);

// The extension a batch gives the format's files, without the dot.
const char *imageFormatExtension(ImageFormat format);

// "PNG", "PGM" or "TIFF".
const char *imageFormatName(ImageFormat format);

// Writes image to stream in format, north-up or in the host's row order; a
// GeoTIFF carries geo inside, the other formats leave it to their sidecar
// files. Returns false, with the writer's reason in error. progress hears
// of the output rows written.
bool writeImage(std::FILE *stream, ImageFormat format, const GreyImage &image, bool northUp,
                const Georeference &geo, std::string *error, const RowProgress &progress = {});

} // namespace elvhost
