// The record readers, byte for byte.
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

#include "ded/records.h"
#include "tests/support/ded_writer.h"

namespace {

using dedtest::TempDir;

struct Stream {
  explicit Stream(const std::string &path) : file(std::fopen(path.c_str(), "rb")) {}
  ~Stream() {
    if (file != nullptr) {
      std::fclose(file);
    }
  }
  std::FILE *file;
};

std::vector<uint8_t> bytes200() {
  dedtest::File file = dedtest::geographicFile(2, 2);
  file.cells[0].samples.clear();
  return dedtest::encode(file);
}

// The message perror prints for a read that hit the end of the file.
std::string perrorLine(const char *message, int error) {
  return std::string(message) + ": " + std::strerror(error) + "\n";
}

TEST(Swap, ReversesBytes) {
  EXPECT_EQ(swap16(0x1234), 0x3412);
  EXPECT_EQ(swap32(0x11223344u), 0x44332211u);
  EXPECT_EQ(swap32(swap32(0xdeadbeefu)), 0xdeadbeefu);
}

TEST(Records, StatisticsAndCellWordsDecodeBigEndian) {
  TempDir dir;
  // Built in place: GCC 12 misreads inserts after a sized constructor as out of bounds.
  std::vector<uint8_t> bytes(200, 0);
  const uint8_t stats[] = {0x00, 0x00, 0x00, 0x02, 0xFF, 0x9C, 0x03, 0x84};
  std::memcpy(bytes.data() + 128, stats, sizeof stats);
  for (size_t i = 0; i < 24; ++i) {
    bytes[136 + i] = static_cast<uint8_t>(0xA0 + i); // kept as they are
  }
  const uint8_t word[] = {0x42, 0xF2, 0x00, 0x00};
  for (size_t i = 0; i < 10; ++i) {
    std::memcpy(bytes.data() + 160 + 4 * i, word, sizeof word);
  }
  Stream in(dir.write("records.ded", bytes));
  DedHeader header;
  DedStatistics statistics;
  DedCellHeader cell;
  ASSERT_TRUE(dedReadHeader(dedStdioInput(in.file), &header));
  ASSERT_TRUE(dedReadStatistics(dedStdioInput(in.file), &statistics));
  ASSERT_TRUE(dedReadCellHeader(dedStdioInput(in.file), &cell));
  EXPECT_EQ(statistics.cellCount, 2);
  EXPECT_EQ(statistics.minElevation, -100);
  EXPECT_EQ(statistics.maxElevation, 900);
  EXPECT_EQ(statistics.reserved[0], 0xA0);
  EXPECT_EQ(statistics.reserved[23], 0xA0 + 23);
  for (float f : {cell.yMin, cell.yMax, cell.xMin, cell.xMax, cell.ySpacing, cell.xSpacing,
                  cell.rowCount, cell.columnCount}) {
    EXPECT_EQ(f, 121.0f);
  }
  EXPECT_EQ(cell.reserved[0], 0x42F20000u);
}

TEST(Records, HeaderKeepsCharacterFieldsAndSwapsFirstWord) {
  TempDir dir;
  dedtest::File file = dedtest::utmFile("33", 'n', 2, 2);
  file.word0 = 0x01020304;
  Stream in(dir.write("utm.ded", dedtest::encode(file)));
  DedHeader header;
  ASSERT_TRUE(dedReadHeader(dedStdioInput(in.file), &header));
  EXPECT_EQ(header.word0, 0x01020304);
  EXPECT_EQ(std::memcmp(header.magic, "KVTR", 4), 0);
  EXPECT_EQ(std::memcmp(header.projection, "UTM", 3), 0);
  EXPECT_EQ(header.hemisphere, 'n');
  EXPECT_EQ(std::memcmp(header.zone, "33\0", 3), 0);
}

TEST(Records, File200BytesYieldsRecordsThenNoSamples) {
  TempDir dir;
  const auto bytes = bytes200();
  ASSERT_EQ(bytes.size(), 200u);
  Stream in(dir.write("200.ded", bytes));
  DedHeader header;
  DedStatistics statistics;
  DedCellHeader cell;
  EXPECT_TRUE(dedReadHeader(dedStdioInput(in.file), &header));
  EXPECT_TRUE(dedReadStatistics(dedStdioInput(in.file), &statistics));
  EXPECT_TRUE(dedReadCellHeader(dedStdioInput(in.file), &cell));
  uint16_t sample = 7;
  testing::internal::CaptureStderr();
  EXPECT_EQ(dedReadStoredSamples(in.file, 1, &sample), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Records, ZeroSamplesFailSilentlyMidFile) {
  TempDir dir;
  Stream in(dir.write("mid.ded", dedtest::encode(dedtest::geographicFile(2, 2))));
  std::fseek(in.file, 200, SEEK_SET);
  uint16_t sample = 7;
  testing::internal::CaptureStderr();
  EXPECT_EQ(dedReadStoredSamples(in.file, 0, &sample), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(sample, 7);
}

// Each header reader fails on a record cut short and says which record.
TEST(Records, TruncatedRecordsPrintTheirMessage) {
  struct Case {
    size_t size;
    const char *message;
  };
  const Case cases[] = {
      {0, "Reading ded file header"},
      {127, "Reading ded file header"},
      {128 + 30, "Reading ded cell statistics"},
      {160, "Reading ded cell header"},
      {199, "Reading ded cell header"},
  };
  TempDir dir;
  auto bytes = bytes200();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.size);
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(c.size));
    Stream in(dir.write("cut.ded", cut));
    DedHeader header;
    DedStatistics statistics;
    DedCellHeader cell;
    testing::internal::CaptureStderr();
    errno = 0;
    const bool ok = dedReadHeader(dedStdioInput(in.file), &header) &&
                    dedReadStatistics(dedStdioInput(in.file), &statistics) &&
                    dedReadCellHeader(dedStdioInput(in.file), &cell);
    const int error = errno;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok);
    EXPECT_EQ(err, perrorLine(c.message, error));
  }
}

} // namespace
