#include "cli/input/one_file_checks.h"

#include <cstring>
#include <type_traits>

#include "cli/geo/georef.h"
#include "ded/area.h"

namespace elvhost {

namespace {

// The records hold no padding; their floats are compared as the bytes the
// file gave them, so a NaN read twice is the same and -0 is not 0.
template <typename T> bool sameBytes(const T &a, const T &b) {
  static_assert(std::is_trivially_copyable_v<T>);
  return std::memcmp(&a, &b, sizeof(T)) == 0; // NOLINT(bugprone-suspicious-memory-comparison)
}

bool sameCells(const std::vector<CellFacts> &a, const std::vector<CellFacts> &b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (!sameBytes(a[i].header, b[i].header) || a[i].offset != b[i].offset ||
        a[i].samples != b[i].samples || a[i].bytes != b[i].bytes || a[i].missing != b[i].missing) {
      return false;
    }
  }
  return true;
}

bool sameAffine(const Affine &p, const Affine &q) {
  return p.a == q.a && p.b == q.b && p.c == q.c && p.d == q.d && p.e == q.e && p.f == q.f;
}

} // namespace

std::string pluginDisagreement(const FileFacts &facts, const HostSession &session,
                               const Affine *controlMap) {
  if (!facts.described) {
    return "the plug-in described it, the host's reading found: " + facts.problem;
  }
  const DedImageInfo &image = facts.image;
  const TextureView &t = session.texture();
  const GeoView &g = session.geo();
  if (t.width != image.width || t.height != image.height) {
    return "the plug-in's image size is not the file's";
  }
  const bool utm = image.projection == PROJ_UTM;
  if (g.projection != image.projection ||
      (utm && (g.utmZone != image.utmZone || g.utmHemisphere != image.utmHemisphere))) {
    return "the plug-in's projection is not the file's";
  }
  // The control points tie the image's full extent to the corners of the
  // area it shows; the maps through both must be one.
  const DedArea area = dedImageArea(image);
  const double w = image.width, h = image.height;
  Affine expected;
  std::string ignored;
  if (controlMap == nullptr ||
      !affineFromControlPoints({0, 0, area.xMin, area.yMin}, {0, h, area.xMin, area.yMax},
                               {w, 0, area.xMax, area.yMin}, &expected, &ignored) ||
      !sameAffine(*controlMap, expected)) {
    return "the plug-in's control points are not the file's";
  }
  return {};
}

std::string changedSince(const PinnedFile &pin, const FileFacts &first) {
  if (!pin.unchanged()) {
    return pin.pinned() ? "it was replaced or rewritten" : "it was not a regular file at first";
  }
  const FileFacts now = readFileFacts(pin);
  const bool same = now.bytes == first.bytes && now.described == first.described &&
                    now.problem == first.problem && sameCells(now.cells, first.cells) &&
                    (!first.described || (sameBytes(now.header, first.header) &&
                                          sameBytes(now.statistics, first.statistics) &&
                                          sameBytes(now.image, first.image)));
  return same && pin.unchanged() ? "" : "its headers were rewritten";
}

std::string changedFailure(const std::string &file, const std::string &why) {
  return file + ": changed while it was read (" + why + ")";
}

} // namespace elvhost
