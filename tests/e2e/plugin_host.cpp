#include "tests/e2e/plugin_host.h"
#include "tests/support/reference_image.h"

#include <cmath>
#include <cstdio>

namespace e2e {

namespace {

std::string number(double value) {
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%.17g", value);
  return std::string(text, static_cast<size_t>(length));
}

std::string call(const std::string &name, const std::vector<double> &args) {
  std::string text = name + "(";
  for (size_t i = 0; i < args.size(); ++i) {
    text += (i == 0 ? "" : ", ") + number(args[i]);
  }
  return text + ")";
}

struct Bounds {
  float xMin = 1.0e10f, yMin = 1.0e10f, xMax = -1.0e10f, yMax = -1.0e10f;
};

// Cells whose headers the file declares: one when the count is 1 or less.
size_t declaredCells(const dedtest::File &file) {
  return file.cellCount > 1 ? static_cast<size_t>(file.cellCount) : 1;
}

Bounds boundsOf(const dedtest::File &file) {
  Bounds b;
  for (size_t i = 0; i < declaredCells(file); ++i) {
    const dedtest::Cell &cell = file.cells[i];
    b.xMin = std::fmin(b.xMin, cell.xMin);
    b.yMin = std::fmin(b.yMin, cell.yMin);
    b.xMax = std::fmax(b.xMax, cell.xMax);
    b.yMax = std::fmax(b.yMax, cell.yMax);
  }
  return b;
}

bool isUtm(const dedtest::File &file) { return file.projection == "UTM"; }

} // namespace

std::vector<std::string> describeCalls(const std::vector<qvstandin::SetterCall> &calls) {
  std::vector<std::string> text;
  text.reserve(calls.size());
  for (const qvstandin::SetterCall &c : calls) {
    text.push_back(call(c.name, c.args) + (c.refused ? " refused" : ""));
  }
  return text;
}

std::vector<std::string> expectedInfoCalls(const Expected &expected) {
  return {call("qvSetTextureWidth", {static_cast<double>(expected.width)}),
          call("qvSetTextureHeight", {static_cast<double>(expected.height)}),
          call("qvSetTextureType", {2}),
          call("qvSetTextureSampleSize", {8}),
          call("qvSetTextureMinMax", {0.0, 255.0}),
          call("qvSetTextureTransparentValue", {-32768}),
          call("qvSetTextureTiledFlag", {0}),
          call("qvSetTextureSignedFlag", {1})};
}

std::vector<std::string> expectedGeoCalls(const dedtest::File &file, const Expected &expected) {
  const bool utm = isUtm(file);
  std::vector<std::string> calls = {
      call("qvSetTextureGeoType", {0}), call("qvSetTextureGeoImageOrigin", {0}),
      call("qvSetTextureGeoProjection", {utm ? 4.0 : 0.0}), call("qvSetTextureGeoEarthModel", {0})};
  if (utm) {
    calls.push_back(call("qvSetTextureGeoUTMZone", {static_cast<double>(expected.utmZone)}));
    calls.push_back(
        call("qvSetTextureGeoUTMHemisphere", {static_cast<double>(expected.utmHemisphere)}));
  }
  const Bounds b = boundsOf(file);
  const double w = expected.width;
  const double h = expected.height;
  double xMax = b.xMax;
  double yMax = b.yMax;
  if (utm && file.cellCount > 1) {
    // The image has the first cell's size: its far ends lie that many of the
    // first cell's spacings from the overall minima.
    xMax = static_cast<double>(b.xMin) + (w - 1) * static_cast<double>(file.cells[0].xSpacing);
    yMax = static_cast<double>(b.yMin) + (h - 1) * static_cast<double>(file.cells[0].ySpacing);
  }
  calls.push_back(call("qvSetTextureGeoNumCtlPts", {3}));
  calls.push_back(call("qvSetTextureGeoCtlPt", {0, 0, 0, b.xMin, b.yMin}));
  calls.push_back(call("qvSetTextureGeoCtlPt", {1, 0, h, b.xMin, yMax}));
  calls.push_back(call("qvSetTextureGeoCtlPt", {2, w, 0, xMax, b.yMin}));
  return calls;
}

std::vector<uint8_t> referencePixels(const dedtest::File &file, const Expected &expected,
                                     int32_t rowStride, size_t bufferBytes, uint8_t canary) {
  const std::vector<uint8_t> bytes = dedtest::encode(file);
  dedtest::ReferenceImage reference = dedtest::referenceImage(
      bytes.data(), bytes.size(), expected.width, expected.height, rowStride, canary);
  reference.pixels.resize(bufferBytes, canary);
  return reference.pixels;
}

std::string pixelMismatch(const std::vector<uint8_t> &actual, const std::vector<uint8_t> &expected,
                          int32_t width, int32_t rowStride) {
  if (actual.size() != expected.size()) {
    return "buffer sizes differ";
  }
  size_t differing = 0;
  std::string first;
  for (size_t i = 0; i < actual.size(); ++i) {
    if (actual[i] == expected[i]) {
      continue;
    }
    if (differing++ == 0) {
      const size_t column = i % static_cast<size_t>(rowStride);
      const size_t row = i / static_cast<size_t>(rowStride);
      first = (column < static_cast<size_t>(width) ? "pixel (" : "padding byte (") +
              std::to_string(column) + ", " + std::to_string(row) + ") is " +
              std::to_string(actual[i]) + ", expected " + std::to_string(expected[i]);
    }
  }
  return differing == 0 ? "" : first + "; " + std::to_string(differing) + " bytes differ";
}

void PluginTest::SetUp() {
  qvstandin::reset();
  std::string error;
  ASSERT_TRUE(qvstandin::loadPlugin(ELVARIN_PLUGIN_PATH, &plugin, &error)) << error;
}

void PluginTest::TearDown() {
  if (qvstandin::openStreams() != 0) {
    ADD_FAILURE() << qvstandin::openStreams() << " file(s) left open";
    for (int32_t handle : opened_) {
      qvstandin::hostClose(handle);
    }
  }
  EXPECT_EQ(qvstandin::outstandingBlocks(), 0) << "host blocks leaked";
  EXPECT_EQ(qvstandin::foreignFrees(), 0) << "qvFree of a block the host never gave";
  qvstandin::unloadPlugin(&plugin);
  qvstandin::reset();
}

void PluginTest::reload(bool refuseRegistration) {
  qvstandin::unloadPlugin(&plugin);
  qvstandin::reset();
  qvstandin::refuseRegistration(refuseRegistration);
  std::string error;
  ASSERT_TRUE(qvstandin::loadPlugin(ELVARIN_PLUGIN_PATH, &plugin, &error)) << error;
}

int32_t PluginTest::open(const dedtest::File &file, const std::string &name) {
  const std::string path = dir.write(name, dedtest::encode(file));
  int32_t handle = -1;
  EXPECT_EQ(qvstandin::hostOpen(path.c_str(), "rb", &handle), 0) << path;
  opened_.push_back(handle);
  return handle;
}

void PluginTest::close(int32_t handle) { EXPECT_EQ(qvstandin::hostClose(handle), 0); }

} // namespace e2e
