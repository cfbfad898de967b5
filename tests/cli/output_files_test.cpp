// Outputs appear all together or not at all.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/output/output_files.h"
#include "tests/support/ded_writer.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> namesIn(const fs::path &folder) {
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string contents(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(OutputSet, NothingIsVisibleUntilCommitThenEverything) {
  dedtest::TempDir dir;
  {
    elvhost::OutputSet outputs;
    std::string error;
    std::FILE *image = outputs.create((dir.path() / "a.png").string(), &error);
    ASSERT_NE(image, nullptr) << error;
    (void)std::fputs("pixels", image);
    ASSERT_TRUE(outputs.writeText((dir.path() / "a.pgw").string(), "1\n", &error)) << error;
    for (const std::string &name : namesIn(dir.path())) {
      EXPECT_EQ(name[0], '.') << "only hidden temporary files before commit: " << name;
    }
    ASSERT_TRUE(outputs.commit(&error)) << error;
  }
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"a.pgw", "a.png"}));
  EXPECT_EQ(contents(dir.path() / "a.png"), "pixels");
  EXPECT_EQ(contents(dir.path() / "a.pgw"), "1\n");
}

TEST(OutputSet, AbandonedOutputsLeaveNothingAndOldFilesStand) {
  dedtest::TempDir dir;
  dir.write("a.png", {'o', 'l', 'd'});
  {
    elvhost::OutputSet outputs;
    std::string error;
    std::FILE *image = outputs.create((dir.path() / "a.png").string(), &error);
    ASSERT_NE(image, nullptr);
    (void)std::fputs("half", image);
    ASSERT_TRUE(outputs.writeText((dir.path() / "a.prj").string(), "GEOGCS", &error));
  }
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.png"});
  EXPECT_EQ(contents(dir.path() / "a.png"), "old");
}

TEST(OutputSet, ARefusedRenamePutsBackWhatTheEarlierRenamesReplaced) {
  dedtest::TempDir dir;
  dir.write("a.png", {'o', 'l', 'd'});
  elvhost::OutputSet outputs;
  std::string error;
  ASSERT_TRUE(outputs.writeText((dir.path() / "a.png").string(), "new", &error)) << error;
  ASSERT_TRUE(outputs.writeText((dir.path() / "a.pgw").string(), "1\n", &error)) << error;
  // A folder that is not empty takes the last name after it was checked:
  // no rename can replace it, whoever runs the test.
  fs::create_directories(dir.path() / "a.pgw" / "inside");
  EXPECT_FALSE(outputs.commit(&error));
  EXPECT_NE(error.find("a.pgw"), std::string::npos) << error;
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"a.pgw", "a.png"}));
  EXPECT_EQ(contents(dir.path() / "a.png"), "old");
}

TEST(OutputSet, UnwritablePlacesAreRefusedNamingTheFile) {
  dedtest::TempDir dir;
  elvhost::OutputSet outputs;
  std::string error;
  const std::string missing = (dir.path() / "no-such-folder" / "x.png").string();
  EXPECT_EQ(outputs.create(missing, &error), nullptr);
  EXPECT_NE(error.find(missing), std::string::npos) << error;
  fs::create_directory(dir.path() / "folder.png");
  EXPECT_EQ(outputs.create((dir.path() / "folder.png").string(), &error), nullptr);
  EXPECT_NE(error.find("folder.png"), std::string::npos) << error;
  // Two names too long to resolve are not one file for it.
  const std::string tooLong = (dir.path() / std::string(256, 'n')).string();
  EXPECT_FALSE(elvhost::sameFile(tooLong + ".png", tooLong + ".wld"));
}

TEST(OutputSet, AWriteErrorFailsTheCommitAndRemovesEverything) {
#if defined(__linux__)
  dedtest::TempDir dir;
  elvhost::OutputSet outputs;
  std::string error;
  ASSERT_TRUE(outputs.writeText((dir.path() / "a.pgw").string(), "1\n", &error));
  std::FILE *image = outputs.create((dir.path() / "a.png").string(), &error);
  ASSERT_NE(image, nullptr);
  (void)std::fputs("x", image);
  // Make the next flush fail as a full disk would.
  std::FILE *full = std::freopen("/dev/full", "wb", image);
  ASSERT_NE(full, nullptr);
  std::vector<char> block(1 << 16, 'x');
  (void)std::fwrite(block.data(), 1, block.size(), full);
  EXPECT_FALSE(outputs.commit(&error));
  EXPECT_NE(error.find("a.png"), std::string::npos) << error;
  EXPECT_TRUE(namesIn(dir.path()).size() <= 1u);
  for (const std::string &name : namesIn(dir.path())) {
    ADD_FAILURE() << "left behind: " << name;
  }
#else
  GTEST_SKIP() << "needs /dev/full";
#endif
}

#if !defined(_WIN32)
// The commit's renames go through this (the program is linked with
// --wrap=rename): the n-th one raises SIGTERM once it is done.
int signalAfterRename = 0;
extern "C" int __real_rename(const char *from, const char *to);
extern "C" int __wrap_rename(const char *from, const char *to) {
  const int result = __real_rename(from, to);
  if (signalAfterRename > 0 && --signalAfterRename == 0) {
    (void)std::raise(SIGTERM);
  }
  return result;
}

TEST(OutputSetDeathTest, ASignalDuringTheRenamesWaitsForTheLast) {
  GTEST_FLAG_SET(death_test_style, "fast");
  dedtest::TempDir dir;
  const std::vector<std::string> names = {"a.png", "a.pgw", "a.prj", "a.png.aux.xml"};
  for (const std::string &name : names) {
    dir.write(name, {'o', 'l', 'd'});
  }
  EXPECT_EXIT(
      {
        elvhost::OutputSet outputs;
        std::string error;
        for (const std::string &name : names) {
          if (!outputs.writeText((dir.path() / name).string(), "new", &error)) {
            std::exit(3);
          }
        }
        signalAfterRename = 2;
        (void)outputs.commit(&error);
        std::exit(4); // the signal is held no longer than the commit
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(namesIn(dir.path()),
            (std::vector<std::string>{"a.pgw", "a.png", "a.png.aux.xml", "a.prj"}));
  for (const std::string &name : names) {
    EXPECT_EQ(contents(dir.path() / name), "new") << name;
  }
}

TEST(OutputSetDeathTest, AnInterruptedRunLeavesNothingBehind) {
  // Forked without re-running the test, so the child writes into this folder.
  GTEST_FLAG_SET(death_test_style, "fast");
  dedtest::TempDir dir;
  const std::string target = (dir.path() / "big.png").string();
  EXPECT_EXIT(
      {
        elvhost::OutputSet outputs;
        std::string error;
        std::FILE *image = outputs.create(target, &error);
        if (image == nullptr) {
          std::exit(3);
        }
        (void)std::fputs("half an image", image);
        (void)std::fflush(image);
        (void)std::raise(SIGTERM);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_TRUE(namesIn(dir.path()).empty());
}
#endif

} // namespace
