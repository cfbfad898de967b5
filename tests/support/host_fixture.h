// A test that talks to the plug-in's code through a fresh stand-in host and
// fails when it leaves a block outstanding, a file open or a descriptor
// behind.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/ded_writer.h"

namespace dedtest {

// Handles that name an open file now.
int32_t openHandleCount();

class HostTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Opens a file with mode "rb" and returns its handle; fails the test otherwise.
  int32_t openOrFail(const std::string &path);
  // Writes file as name in the test's folder and opens it.
  int32_t openFile(const File &file, const std::string &name = "test.ded");

  TempDir dir;

private:
  int descriptors_ = -1; // the process's open descriptors when the test began
};

} // namespace dedtest
