// Reads through the pinned descriptor give the file's bytes as they are now,
// whatever mix of small (buffered) and large reads and seeks asks for them;
// the pinned file tells its versions apart to the nanosecond.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "cli/input/pinned_file.h"
#include "cli/input/pinned_input.h"

namespace {

struct Read {
  int64_t seek; // -1: none
  size_t bytes;
};

TEST(PinnedInput, GivesTheBytesAtEveryPositionAsTheyAreNow) {
  const std::string path = ::testing::TempDir() + "/pinned_input.bin";
  std::vector<uint8_t> bytes(200000);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char *>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  const elvhost::PinnedFile pin(path);
  ASSERT_TRUE(pin.pinned());
  const std::vector<std::vector<Read>> cases = {
      {{0, 80}, {-1, 648}, {-1, 70000}, {-1, 10}}, // records, then a read past the buffer
      {{65530, 12}, {-1, 131072}},                 // across the buffer's end, then a large one
      {{199990, 100}},                             // past the end: the rest only
      {{300000, 4}},                               // wholly past the end
  };
  for (const std::vector<Read> &reads : cases) {
    elvhost::PinnedInput reader(pin);
    const DedInput &input = reader.input();
    int64_t at = 0;
    for (const Read &read : reads) {
      if (read.seek >= 0) {
        ASSERT_TRUE(input.seek(input.context, read.seek));
        at = read.seek;
      }
      std::vector<uint8_t> got(read.bytes);
      const size_t n = input.read(input.context, got.data(), got.size());
      const size_t held = at < 200000 ? std::min<size_t>(read.bytes, size_t(200000 - at)) : 0;
      ASSERT_EQ(n, held) << "at " << at;
      EXPECT_TRUE(std::equal(got.begin(), got.begin() + long(n), bytes.begin() + at)) << at;
      at += static_cast<int64_t>(n);
    }
  }
  // A seek drops what was buffered: bytes rewritten since are read anew.
  elvhost::PinnedInput reader(pin);
  const DedInput &input = reader.input();
  uint8_t first[8], again[8];
  ASSERT_EQ(input.read(input.context, first, 8), 8u);
  const uint8_t changed[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::fstream(path, std::ios::in | std::ios::out | std::ios::binary)
      .write(reinterpret_cast<const char *>(changed), 8);
  ASSERT_TRUE(input.seek(input.context, 0));
  ASSERT_EQ(input.read(input.context, again, 8), 8u);
  EXPECT_EQ(std::vector<uint8_t>(again, again + 8), std::vector<uint8_t>(changed, changed + 8));
  EXPECT_EQ(input.size(input.context), 200000);
  std::filesystem::remove(path);
}

// A modification time moved by one nanosecond within its second, the
// length and bytes kept, is another version of the file. Set with the
// access time, it is no write a watch on writes hears of.
TEST(PinnedFile, AModificationTimeOneNanosecondOnIsAChange) {
  const std::string path = ::testing::TempDir() + "/pinned_time.bin";
  std::ofstream(path) << "elevations";
  timespec times[2] = {{1700000000, 0}, {1700000000, 500}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const elvhost::PinnedFile pin(path);
  ASSERT_TRUE(pin.unchanged());
  times[1].tv_nsec = 501;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_FALSE(pin.unchanged());
  std::filesystem::remove(path);
}

} // namespace
