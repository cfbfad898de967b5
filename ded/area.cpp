#include "ded/area.h"

DedArea dedImageArea(const DedImageInfo &info) {
  DedArea area{static_cast<double>(info.xMin), static_cast<double>(info.yMin),
               static_cast<double>(info.xMax), static_cast<double>(info.yMax)};
  if (info.projection == PROJ_UTM && info.cellCount > 1) {
    area.yMax =
        area.yMin + (static_cast<double>(info.height) - 1.0) * static_cast<double>(info.ySpacing);
    area.xMax =
        area.xMin + (static_cast<double>(info.width) - 1.0) * static_cast<double>(info.xSpacing);
  }
  return area;
}

DedSampleGrid dedSampleGrid(const DedImageInfo &info) {
  const DedArea area = dedImageArea(info);
  const double units = dedSpacingUnits(info.projection);
  return DedSampleGrid{area.xMin, area.yMax, static_cast<double>(info.xSpacing) / units,
                       static_cast<double>(info.ySpacing) / units};
}

void dedGeoTransform(const DedImageInfo &info, double geoTransform[6]) {
  dedGridGeoTransform(dedSampleGrid(info), geoTransform);
}

void dedGridGeoTransform(const DedSampleGrid &grid, double geoTransform[6]) {
  geoTransform[0] = grid.west - grid.xStep / 2;
  geoTransform[1] = grid.xStep;
  geoTransform[2] = 0.0;
  geoTransform[3] = grid.north + grid.yStep / 2;
  geoTransform[4] = 0.0;
  geoTransform[5] = -grid.yStep;
}
