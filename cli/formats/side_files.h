// The files beside a written image that GIS tools read its place from: the
// world file, the coordinate system as ESRI WKT (.prj) and a GDAL auxiliary
// file (.aux.xml) with the system, the geotransform and the elevation scale.
#pragma once

#include <string>
#include <vector>

#include "cli/formats/image_output.h"
#include "cli/geo/georeference.h"

namespace elvhost {

// The world file's name for an image: .pgw beside a .png (any letter case),
// .wld otherwise.
std::string worldFilePath(const std::string &imagePath);
// The image's name with its extension replaced by .prj.
std::string prjPath(const std::string &imagePath);
// The image's name with .aux.xml appended.
std::string auxXmlPath(const std::string &imagePath);

// A file convert writes, and what it is in words ("the world file").
struct NamedOutput {
  std::string path;
  const char *what;
};

// The files convert writes for the output imagePath in format: the image,
// its world file, .prj and .aux.xml; a DED file alone.
std::vector<NamedOutput> convertOutputs(const std::string &imagePath, ImageFormat format);

// Six lines, each number as the shortest decimal that reads back exactly.
std::string worldFileText(const WorldFile &world);

// A GDAL PAMDataset naming the coordinate system and the geotransform, and
// with an elevation scale the band's scale and offset back to metres.
// geo must have a coordinate system.
std::string auxXmlText(const Georeference &geo);

struct SideFile {
  std::string path, text;
};

// The side files of the image at imagePath, in the order they are written:
// the world file, then, when geo has a coordinate system, .prj and .aux.xml.
std::vector<SideFile> sideFilesFor(const std::string &imagePath, const Georeference &geo);

} // namespace elvhost
