// Samples read as the file stores them, and the size of an open file.
#include <gtest/gtest.h>

#include <cstdio>

#include "ded/records.h"
#include "tests/support/ded_writer.h"

namespace {

struct Stream {
  explicit Stream(const std::string &path) : file(std::fopen(path.c_str(), "rb")) {}
  ~Stream() {
    if (file != nullptr) {
      (void)std::fclose(file);
    }
  }
  std::FILE *file;
};

TEST(StoredSamples, KeepFileOrderAndDecodeToTheirValues) {
  dedtest::TempDir dir;
  Stream in(dir.write("samples.bin", {0x12, 0x34, 0xFF, 0x9C, 0x80, 0x00}));
  uint16_t stored[6] = {1, 1, 1, 1, 1, 1};
  int32_t read = -1;
  ASSERT_EQ(dedReadStoredSamples(in.file, 5, stored, &read), stored);
  EXPECT_EQ(read, 3);
  EXPECT_EQ(dedDecodeSample(stored[0]), 0x1234);
  EXPECT_EQ(dedDecodeSample(stored[1]), -100);
  EXPECT_EQ(dedDecodeSample(stored[2]), -32768);
  EXPECT_EQ(stored[3], 0); // beyond the end of the file
  EXPECT_EQ(stored[4], 0);
  EXPECT_EQ(stored[5], 1); // beyond the request: untouched
  EXPECT_EQ(dedEncodeSample(-100), stored[1]);
  // Nothing left to read, and a request for nothing, both fail.
  EXPECT_EQ(dedReadStoredSamples(in.file, 1, stored), nullptr);
  std::rewind(in.file);
  EXPECT_EQ(dedReadStoredSamples(in.file, 0, stored), nullptr);
}

TEST(StoredSamples, StreamSizeKeepsThePosition) {
  dedtest::TempDir dir;
  Stream in(dir.write("bytes.bin", std::vector<uint8_t>(1234, 7)));
  ASSERT_EQ(std::fseek(in.file, 100, SEEK_SET), 0);
  EXPECT_EQ(dedStreamSize(in.file), 1234);
  EXPECT_EQ(std::ftell(in.file), 100);
}

} // namespace
