// The way back from grey levels to elevations, for GIS tools that read a
// band's scale and offset: metres = grey x scale + offset.
#pragma once

#include <string>

namespace elvhost {

struct ElevationScale {
  double scale = 1;  // metres per grey level
  double offset = 0; // metres at grey 0
};

// The plug-in maps an elevation e to grey floor((e - min) x 255 / (max -
// min)), so grey g holds the elevations from min + g x (max - min) / 255 up
// to the next level: the scale and offset give each level's lower edge.
ElevationScale elevationScaleFor(double minElevation, double maxElevation);

// The elevation range the plug-in maps onto grey 0..255, read from the DED
// file's statistics record, in metres. False, with the reason naming path in
// error, when the record cannot be read.
bool readDedElevationRange(const std::string &path, double *minElevation, double *maxElevation,
                           std::string *error);

} // namespace elvhost
