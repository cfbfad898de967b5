// The open-file table: handles, modes, magic and stable handles across closes.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include "ded/open_files.h"
#include "ded/records.h"
#include "host/status.h"
#include "plugin/open_close.h"
#include "qvapilib/stand_in.h"
#include "tests/support/host_fixture.h"

namespace {

using dedtest::HostTest;

int32_t openWith(const std::string &path, const char *mode, int32_t *handle) {
  return dedOpenImage(nullptr, nullptr, path.c_str(), mode, handle);
}
int32_t closeHandle(int32_t handle) { return dedCloseImage(nullptr, nullptr, handle); }

class OpenFiles : public HostTest {
protected:
  std::string goodPath() {
    return dir.write("good.ded", dedtest::encode(dedtest::geographicFile(2, 2)));
  }
};

TEST_F(OpenFiles, ModesThatReadOpenOthersAreRefused) {
  const std::string path = goodPath();
  const struct {
    const char *mode;
    int32_t status;
    bool noMemory = false; // the host has no block for the rewritten mode
  } cases[] = {{"r", DED_OK},
               {"rb", DED_OK},
               {"r+", DED_OK},
               {"w", DED_ERR_OPEN},
               {"wb", DED_ERR_OPEN},
               {"a", DED_ERR_OPEN},
               {"Rb", DED_ERR_OPEN},
               {"", DED_ERR_OPEN},
               {"rt", DED_OK},
               // Around the longest mode rewritten on the stack (32), and far past it.
               {"rbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb", DED_OK},
               {"rbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb", DED_OK},
               {"rtttttttttttttttttttttttttttttttttttttttttttttttttttttttttttttttttttt", DED_OK},
               {"rtttttttttttttttttttttttttttttttttttttttttttttttttttttttttttttttttttt",
                DED_ERR_NOMEM, true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mode);
    int32_t handle = -1;
    qvstandin::failAllAllocations(c.noMemory);
    EXPECT_EQ(openWith(path, c.mode, &handle), c.status);
    qvstandin::failAllAllocations(false);
    if (c.status == DED_OK) {
      EXPECT_EQ(handle, 0);
      EXPECT_EQ(closeHandle(handle), DED_OK);
    } else {
      EXPECT_EQ(handle, -1);
    }
    EXPECT_EQ(dedtest::openHandleCount(), 0);
  }
}

// A mode without 'b' still reads the bytes exactly, CR LF and 0x1A included.
TEST_F(OpenFiles, TextModeReadsBinaryBytes) {
  dedtest::File file = dedtest::geographicFile(2, 2, [](int c, int r) {
    return static_cast<int16_t>(c == 0 ? (r == 0 ? 0x0D0A : 0x1A1A) : 0x0A0D);
  });
  const std::string path = dir.write("crlf.ded", dedtest::encode(file));
  int32_t handle = -1;
  ASSERT_EQ(openWith(path, "r", &handle), DED_OK);
  std::FILE *stream = dedStreamFor(handle);
  std::fseek(stream, 200, SEEK_SET);
  uint16_t samples[4] = {};
  ASSERT_NE(dedReadStoredSamples(stream, 4, samples), nullptr);
  EXPECT_EQ(dedDecodeSample(samples[0]), 0x0D0A);
  EXPECT_EQ(dedDecodeSample(samples[1]), 0x1A1A);
  EXPECT_EQ(dedDecodeSample(samples[2]), 0x0A0D);
  EXPECT_EQ(dedDecodeSample(samples[3]), 0x0A0D);
  EXPECT_EQ(closeHandle(handle), DED_OK);
}

TEST_F(OpenFiles, MagicIsCheckedAtBytesFourToSeven) {
  const struct {
    const char *name;
    std::vector<uint8_t> bytes;
    int32_t status;
  } cases[] = {
      {"short", {'a', 'b', 'c', 'd', 'K', 'V', 'T'}, DED_ERR_FORMAT},
      {"empty", {}, DED_ERR_FORMAT},
      {"magic first", {'K', 'V', 'T', 'R', 'K', 'V', 'T'}, DED_ERR_FORMAT},
      {"eight bytes", {0xFF, 0, 7, 1, 'K', 'V', 'T', 'R'}, DED_OK},
      {"lower case", {0, 0, 0, 0, 'k', 'v', 't', 'r', 0}, DED_ERR_FORMAT},
      {"last letter", {0, 0, 0, 0, 'K', 'V', 'T', 'S', 0}, DED_ERR_FORMAT},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    int32_t handle = -1;
    EXPECT_EQ(openWith(dir.write("m.ded", c.bytes), "rb", &handle), c.status);
    if (c.status == DED_OK) {
      EXPECT_EQ(closeHandle(handle), DED_OK);
    } else {
      EXPECT_EQ(handle, -1);
      EXPECT_EQ(dedtest::openHandleCount(), 0);
    }
  }
  // A failed open leaves its slot for the next one.
  int32_t handle = -1;
  EXPECT_EQ(openWith(goodPath(), "rb", &handle), DED_OK);
  EXPECT_EQ(handle, 0);
  EXPECT_EQ(closeHandle(handle), DED_OK);
}

TEST_F(OpenFiles, MissingFileAndNullArguments) {
  int32_t handle = -1;
  EXPECT_EQ(openWith((dir.path() / "absent.ded").string(), "rb", &handle), DED_ERR_OPEN);
  EXPECT_EQ(dedOpenImage(nullptr, nullptr, nullptr, "rb", &handle), DED_ERR_BADARG);
  EXPECT_EQ(dedOpenImage(nullptr, nullptr, goodPath().c_str(), nullptr, &handle), DED_ERR_BADARG);
  EXPECT_EQ(dedOpenImage(nullptr, nullptr, goodPath().c_str(), "rb", nullptr), DED_ERR_BADARG);
  EXPECT_EQ(handle, -1);
  EXPECT_EQ(dedtest::openHandleCount(), 0);
}

TEST_F(OpenFiles, TenOpensThenFullWithoutTouchingTheFileSystem) {
  const std::string path = goodPath();
  for (int32_t i = 0; i < DED_MAX_OPEN_FILES; ++i) {
    int32_t handle = -1;
    ASSERT_EQ(openWith(path, "rb", &handle), DED_OK);
    EXPECT_EQ(handle, i);
  }
  int32_t handle = -1;
  // Not even a missing file is looked for when the table is full.
  EXPECT_EQ(openWith((dir.path() / "absent.ded").string(), "rb", &handle), DED_ERR_OPEN);
  EXPECT_EQ(openWith(path, "rb", &handle), DED_ERR_OPEN);
  EXPECT_EQ(handle, -1);
  for (int32_t i = 0; i < DED_MAX_OPEN_FILES; ++i) {
    EXPECT_EQ(closeHandle(i), DED_OK);
  }
}

TEST_F(OpenFiles, HandlesStayStableWhenAnEarlierFileCloses) {
  const std::string a = dir.write("a.ded", dedtest::encode(dedtest::geographicFile(2, 2)));
  const std::string b = dir.write("b.ded", dedtest::encode(dedtest::geographicFile(3, 3)));
  int32_t ha = -1, hb = -1, hc = -1;
  ASSERT_EQ(openWith(a, "rb", &ha), DED_OK);
  ASSERT_EQ(openWith(b, "rb", &hb), DED_OK);
  EXPECT_EQ(ha, 0);
  EXPECT_EQ(hb, 1);
  EXPECT_EQ(closeHandle(ha), DED_OK);
  // B is still handle 1 and still B.
  std::FILE *stream = dedStreamFor(1);
  ASSERT_NE(stream, nullptr);
  std::fseek(stream, 160, SEEK_SET);
  DedCellHeader cell;
  ASSERT_TRUE(dedReadCellHeader(dedStdioInput(stream), &cell));
  EXPECT_EQ(cell.columnCount, 3.0f);
  EXPECT_EQ(dedStreamFor(0), nullptr);
  EXPECT_EQ(closeHandle(0), DED_ERR_BADARG);
  // The next open takes the lowest empty slot.
  ASSERT_EQ(openWith(a, "rb", &hc), DED_OK);
  EXPECT_EQ(hc, 0);
  EXPECT_EQ(dedtest::openHandleCount(), 2);
  EXPECT_EQ(closeHandle(1), DED_OK);
  EXPECT_EQ(closeHandle(0), DED_OK);
}

TEST_F(OpenFiles, BadHandlesAreRefused) {
  for (int32_t handle : {-1, 10, 3, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(closeHandle(handle), DED_ERR_BADARG) << handle;
  }
  int32_t handle = -1;
  ASSERT_EQ(openWith(goodPath(), "rb", &handle), DED_OK);
  EXPECT_EQ(closeHandle(handle), DED_OK);
  EXPECT_EQ(closeHandle(handle), DED_ERR_BADARG);
}

#if !defined(_WIN32)
// A FIFO without a writer would block in open, a directory reads as a
// malformed file, a device reads endlessly: none of them is a DED file.
TEST_F(OpenFiles, OnlyRegularFilesOpenAndNothingBlocks) {
  const std::string fifo = (dir.path() / "pipe.ded").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string &path :
       {fifo, dir.path().string(), std::string("/dev/zero"), std::string("/dev/null")}) {
    for (const char *mode : {"rb", "r+"}) {
      SCOPED_TRACE(path + " " + mode);
      int32_t handle = -1;
      EXPECT_EQ(openWith(path, mode, &handle), DED_ERR_OPEN);
      EXPECT_EQ(handle, -1);
      EXPECT_EQ(dedtest::openHandleCount(), 0);
    }
  }
}
#else
// A device or a folder is no DED file; a device opens but is not read.
TEST_F(OpenFiles, OnlyRegularFilesOpen) {
  for (const std::string &path : {std::string("NUL"), dir.path().string()}) {
    SCOPED_TRACE(path);
    int32_t handle = -1;
    EXPECT_EQ(openWith(path, "rb", &handle), DED_ERR_OPEN);
    EXPECT_EQ(dedtest::openHandleCount(), 0);
  }
}
#endif

} // namespace
