// A test that talks to the plug-in's code through a fresh stand-in host and
// fails when it leaves a block outstanding or a file open.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/ded_writer.h"

namespace dedtest {

class HostTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Opens a file with mode "rb" and returns its handle; fails the test otherwise.
  int32_t openOrFail(const std::string &path);
  // Writes file as name in the test's folder and opens it.
  int32_t openFile(const File &file, const std::string &name = "test.ded");

  TempDir dir;
};

} // namespace dedtest
