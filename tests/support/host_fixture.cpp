#include "tests/support/host_fixture.h"

#include <filesystem>

#include "ded/open_files.h"
#include "host/status.h"
#include "plugin/open_close.h"
#include "qvapilib/stand_in.h"

namespace dedtest {

namespace {

// Descriptors this process holds; -1 where the system does not list them
// (under Wine the listing is the emulator's own, which comes and goes).
int openDescriptors() {
#if defined(__linux__)
  std::error_code error;
  std::filesystem::directory_iterator fds("/proc/self/fd", error);
  if (error) {
    return -1;
  }
  int count = 0;
  for (auto at = fds; at != std::filesystem::directory_iterator(); at.increment(error)) {
    ++count;
  }
  return count;
#else
  return -1;
#endif
}

} // namespace

int32_t openHandleCount() {
  int32_t open = 0;
  for (int32_t handle = 0; handle < DED_MAX_OPEN_FILES; ++handle) {
    open += dedStreamFor(handle) != nullptr ? 1 : 0;
  }
  return open;
}

void HostTest::SetUp() {
  qvstandin::reset();
  descriptors_ = openDescriptors();
}

void HostTest::TearDown() {
  for (int32_t handle = 0; handle < DED_MAX_OPEN_FILES; ++handle) {
    if (dedStreamFor(handle) != nullptr) {
      ADD_FAILURE() << "handle " << handle << " left open";
      dedCloseImage(nullptr, nullptr, handle);
    }
  }
  EXPECT_EQ(qvstandin::outstandingBlocks(), 0) << "host blocks leaked";
  EXPECT_EQ(qvstandin::foreignFrees(), 0) << "qvFree of a block the host never gave";
  EXPECT_EQ(openDescriptors(), descriptors_) << "file descriptors leaked";
  qvstandin::reset();
}

int32_t HostTest::openOrFail(const std::string &path) {
  int32_t handle = -1;
  EXPECT_EQ(dedOpenImage(nullptr, nullptr, path.c_str(), "rb", &handle), DED_OK) << path;
  return handle;
}

int32_t HostTest::openFile(const File &file, const std::string &name) {
  return openOrFail(dir.write(name, encode(file)));
}

} // namespace dedtest
