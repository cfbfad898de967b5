// Drives the built plug-in library exactly as the host does: loaded by path,
// reached only through what qvpInit registered with the stand-in host. Plus
// what the host should see for a file, worked out independently of the
// plug-in's code.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "qvapilib/loader.h"
#include "tests/support/ded_writer.h"

namespace e2e {

// What the plug-in should tell the host about a file; the bounds and pixels
// follow from the file itself.
struct Expected {
  int32_t width = 0;
  int32_t height = 0;
  int32_t utmZone = 0;       // UTM files only
  int32_t utmHemisphere = 0; // UTM files only
};

// Setter calls as text, one per call, e.g. "qvSetTextureWidth(121)"; a
// refused call ends in " refused". Doubles are written so they read back
// exactly.
std::vector<std::string> describeCalls(const std::vector<qvstandin::SetterCall> &calls);

std::vector<std::string> expectedInfoCalls(const Expected &expected);
std::vector<std::string> expectedGeoCalls(const dedtest::File &file, const Expected &expected);

// The host's pixel buffer for the file, rows rowStride bytes apart, every
// byte the plug-in must not write left at canary; bufferBytes covers the
// rows and any slack after them.
std::vector<uint8_t> referencePixels(const dedtest::File &file, const Expected &expected,
                                     int32_t rowStride, size_t bufferBytes, uint8_t canary);

// Empty when the buffers agree, else where they first differ (as column and
// row, or as padding) and how many bytes differ.
std::string pixelMismatch(const std::vector<uint8_t> &actual, const std::vector<uint8_t> &expected,
                          int32_t width, int32_t rowStride);

// A fresh stand-in host with the plug-in loaded and initialised; fails the
// test if the plug-in leaves a file open or a host block outstanding.
class PluginTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Unloads the plug-in (qvpExit), resets the host and loads it again.
  void reload(bool refuseRegistration);

  // Writes file as name in the test's folder and opens it through the host
  // with mode "rb"; fails the test unless the open succeeds.
  int32_t open(const dedtest::File &file, const std::string &name = "test.ded");
  // Closes through the host; fails the test unless the close succeeds.
  void close(int32_t handle);

  dedtest::TempDir dir;
  qvstandin::LoadedPlugin plugin;

private:
  std::vector<int32_t> opened_;
};

} // namespace e2e
