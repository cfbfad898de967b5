#include "cli/geo/georef.h"

#include <cmath>

#include "ded/describe.h"
#include "ded/finding_message.h"
#include "ded/gis_frame.h"

namespace elvhost {

bool affineFromControlPoints(const ControlPoint &p0, const ControlPoint &p1, const ControlPoint &p2,
                             Affine *affine, std::string *error) {
  const double du1 = p1.imageX - p0.imageX, dv1 = p1.imageY - p0.imageY;
  const double du2 = p2.imageX - p0.imageX, dv2 = p2.imageY - p0.imageY;
  const double dx1 = p1.fileX - p0.fileX, dy1 = p1.fileY - p0.fileY;
  const double dx2 = p2.fileX - p0.fileX, dy2 = p2.fileY - p0.fileY;
  Affine m;
  if (du1 == 0 && dv2 == 0 && dv1 != 0 && du2 != 0) {
    // The usual layout: one point up the first column, one along the first
    // row. Dividing once keeps each term as exact as the inputs allow.
    m.a = dx2 / du2;
    m.d = dy2 / du2;
    m.b = dx1 / dv1;
    m.e = dy1 / dv1;
  } else {
    const double det = du1 * dv2 - dv1 * du2;
    if (det == 0 || !std::isfinite(det)) {
      *error = "the control points do not span the image";
      return false;
    }
    m.a = (dx1 * dv2 - dv1 * dx2) / det;
    m.b = (du1 * dx2 - dx1 * du2) / det;
    m.d = (dy1 * dv2 - dv1 * dy2) / det;
    m.e = (du1 * dy2 - dy1 * du2) / det;
  }
  m.c = p0.fileX - m.a * p0.imageX - m.b * p0.imageY;
  m.f = p0.fileY - m.d * p0.imageX - m.e * p0.imageY;
  if (!std::isfinite(m.a) || !std::isfinite(m.b) || !std::isfinite(m.c) || !std::isfinite(m.d) ||
      !std::isfinite(m.e) || !std::isfinite(m.f)) {
    *error = "the control points do not give finite coordinates";
    return false;
  }
  *affine = m;
  return true;
}

void sampleAffine(const DedImageInfo &image, const DedCellHeader &first, Affine *affine,
                  std::string *why) {
  DedSampleGrid grid{};
  if (!dedHostGrid(image, first, &grid)) {
    DedFindingFacts facts;
    facts.cellHeader = &first;
    *why = dedFindingMessage(DedFinding::SpacingUnusable, facts);
    return;
  }
  DedGisFrame frame;
  frame.height = image.height;
  frame.west = grid.west;
  frame.north = grid.north;
  frame.xStep = grid.xStep;
  frame.yStep = grid.yStep;
  *affine = frameAffine(frame);
}

Affine frameAffine(const DedGisFrame &frame) {
  double gt[6];
  dedGisGeoTransform(frame, gt);
  // The host's rows run northwards from the southern edge, the grid's last
  // row; its north-west sample is the anchor.
  Affine m;
  m.a = gt[1];
  m.c = gt[0];
  m.e = -gt[5];
  m.f = frame.north - (static_cast<double>(frame.height) - 0.5) * frame.yStep;
  return m;
}

WorldFile worldFileFor(const Affine &m, int32_t height, bool northUp) {
  // Written row o is the host's row height - 1 - o (north-up) or o; a
  // pixel's centre lies half a pixel inside its outer corner.
  const double firstRowCentre = northUp ? static_cast<double>(height) - 0.5 : 0.5;
  const double rowStep = northUp ? -1.0 : 1.0;
  WorldFile w;
  w.xPerColumn = m.a;
  w.yPerColumn = m.d;
  w.xPerRow = m.b * rowStep;
  w.yPerRow = m.e * rowStep;
  w.x = m.a * 0.5 + m.b * firstRowCentre + m.c;
  w.y = m.d * 0.5 + m.e * firstRowCentre + m.f;
  return w;
}

GeoTransform geoTransformFor(const WorldFile &w) {
  // The top-left pixel's outer corner lies half a pixel back along its row
  // and half a row back from its centre.
  const double originX = w.x - 0.5 * w.xPerColumn - 0.5 * w.xPerRow;
  const double originY = w.y - 0.5 * w.yPerColumn - 0.5 * w.yPerRow;
  return {originX, w.xPerColumn, w.xPerRow, originY, w.yPerColumn, w.yPerRow};
}

bool hostAffine(const GeoView &geo, Affine *affine, std::string *error) {
  for (const auto &point : geo.points) {
    if (!point) {
      *error = "the plug-in set fewer than three control points";
      return false;
    }
  }
  return affineFromControlPoints(*geo.points[0], *geo.points[1], *geo.points[2], affine, error);
}

} // namespace elvhost
