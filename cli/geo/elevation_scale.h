// The way back from grey levels to elevations, for GIS tools that read a
// band's scale and offset: metres = grey x scale + offset.
#pragma once

namespace elvhost {

struct ElevationScale {
  double scale = 1;  // metres per grey level
  double offset = 0; // metres at grey 0: its level's centre
};

// The plug-in maps an elevation e to grey floor((e - min) x 255 / (max -
// min)), so grey g holds the elevations from min + g x (max - min) / 255 up
// to the next level: the scale and offset give each level's centre, half a
// step above that, so g x scale + offset lies within half a step of every
// elevation shown as g (grey 255, max alone, half a step above it).
ElevationScale elevationScaleFor(double minElevation, double maxElevation);

} // namespace elvhost
