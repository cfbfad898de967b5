// A converted image never carries another file's facts: the input replaced
// by a rename, or rewritten in place, at each moment of a run (a preloaded
// shim does it at exactly that moment) gives either one file's outputs, all
// of them, or a failure that leaves nothing behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "tests/cli/run_tool.h"
#include "tests/support/ded_writer.h"

namespace {

namespace fs = std::filesystem;
using Outputs = std::map<std::string, std::string>; // name -> bytes

int16_t hills(int column, int row) { return static_cast<int16_t>(column * row % 700); }
int16_t ramp(int column, int row) { return static_cast<int16_t>(400 + column - row); }

// Everything in folder but the DED files and the tool's logs.
Outputs outputsIn(const fs::path &folder) {
  Outputs outputs;
  for (const std::string &name : clitest::namesIn(folder)) {
    if (!name.ends_with(".ded") && !name.starts_with("tool.")) {
      outputs[name] = clitest::slurp(folder / name);
    }
  }
  return outputs;
}

class SameFile : public ::testing::Test {
protected:
  void SetUp() override {
    // Two files of one length: a 101 x 101 geographic cell and a 30 m UTM one.
    a = dedtest::encode(dedtest::geographicFile(101, 101, hills));
    b = dedtest::encode(dedtest::utmFile("33", 'N', 101, 101, ramp));
    ASSERT_EQ(a.size(), b.size());
    for (const bool int16 : {false, true}) {
      expected[int16] = {convertClean(a, "a", int16), convertClean(b, "b", int16)};
      ASSERT_NE(expected[int16][0], expected[int16][1]);
    }
  }

  // convert in.ded to in.pgm, or with int16 its elevations to in.tif.
  static std::vector<std::string> convertArgs(const fs::path &folder, bool int16) {
    std::vector<std::string> args{"convert", (folder / "in.ded").string(),
                                  (folder / (int16 ? "in.tif" : "in.pgm")).string()};
    if (int16) {
      args.insert(args.end(), {"--type", "int16"});
    }
    return args;
  }

  Outputs convertClean(const std::vector<uint8_t> &bytes, const std::string &name, bool int16) {
    const fs::path folder = work.path() / (name + std::to_string(int16));
    fs::create_directory(folder);
    work.write(fs::relative(folder / "in.ded", work.path()).string(), bytes);
    const clitest::ToolRun r = clitest::runTool(convertArgs(folder, int16), folder.string());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return outputsIn(folder);
  }

  // Runs args with the shim swapping `with` (b unless given) in for in.ded
  // (and back) in mode at event at; noWatch: inotify cannot be had.
  clitest::ToolRun swapped(const std::vector<std::string> &args, const fs::path &folder,
                           const char *mode, int at, bool noWatch = false,
                           const std::vector<uint8_t> *with = nullptr) {
    const std::string target = (folder / "in.ded").string();
    work.write("back.ded", a);
    work.write("with.ded", with != nullptr ? *with : b);
    if (noWatch) {
      setenv("ELVARIN_SWAP_NO_INOTIFY", "1", 1);
    }
    const std::pair<const char *, std::string> env[] = {
        {"ELVARIN_SWAP_TARGET", target},
        {"ELVARIN_SWAP_WITH", (work.path() / "with.ded").string()},
        {"ELVARIN_SWAP_BACK", (work.path() / "back.ded").string()},
        {"ELVARIN_SWAP_MODE", mode},
        {"ELVARIN_SWAP_AT", std::to_string(at)},
        {"ASAN_OPTIONS", "verify_asan_link_order=0"},
        {"LD_PRELOAD", ELVARIN_SWAP_SHIM}};
    for (const auto &[name, value] : env) {
      setenv(name, value.c_str(), 1);
    }
    clitest::ToolRun r = clitest::runTool(args, folder.string());
    for (const auto &[name, value] : env) {
      unsetenv(name);
    }
    unsetenv("ELVARIN_SWAP_NO_INOTIFY");
    return r;
  }

  dedtest::TempDir work;
  std::vector<uint8_t> a, b;
  std::vector<Outputs> expected[2]; // a's and b's outputs, grey and int16
};

TEST_F(SameFile, SwappedAtAnyMomentGivesOneFilesOutputsOrNothing) {
  struct Row {
    const char *mode;
    int at;               // 0: at every event
    bool noWatch = false; // inotify cannot be had: the change time tells
  };
  int failed = 0;
  for (const Row row :
       {Row{"rename", 1}, Row{"rename", 2}, Row{"rename", 3}, Row{"rename", 0}, Row{"rewrite", 1},
        Row{"rewrite", 2}, Row{"rewrite", 3}, Row{"rewrite", 4}, Row{"rewrite", 5},
        Row{"rewrite", 6}, Row{"rewrite", 0}, Row{"tail", 1}, Row{"tail", 1, true}}) {
    for (const bool int16 : {false, true}) {
      const std::string label = std::string(row.mode) + std::to_string(row.at) +
                                (row.noWatch ? "noWatch" : "") + (int16 ? "int16" : "grey");
      SCOPED_TRACE(label);
      const fs::path folder = work.path() / label;
      fs::create_directory(folder);
      work.write(fs::relative(folder / "in.ded", work.path()).string(), a);
      const clitest::ToolRun r =
          swapped(convertArgs(folder, int16), folder, row.mode, row.at, row.noWatch);
      const Outputs got = outputsIn(folder);
      if (r.exitCode == 0) {
        EXPECT_TRUE(got == expected[int16][0] || got == expected[int16][1]) << r.err;
      } else {
        ++failed;
        EXPECT_TRUE(got.empty());
        EXPECT_NE(r.err.find("changed while it was read"), std::string::npos) << r.err;
      }
      // The pinned file makes a rename harmless: the run reads one file.
      EXPECT_TRUE(std::string(row.mode) != "rename" || r.exitCode == 0) << r.err;
    }
  }
  EXPECT_GT(failed, 1) << "no rewrite was caught";
}

// Stored through a shared mapping, which nothing reports, with the time put
// back: a header that differs is still caught, though the image is one file's.
TEST_F(SameFile, ACellHeaderRewrittenKeepingSizeTimeAndDescriptionIsCaught) {
  dedtest::File file = dedtest::geographicFile(101, 101, hills);
  file.cells[0].reserved[0] = 7;
  const std::vector<uint8_t> with = dedtest::encode(file);
  fs::create_directory(work.path() / "mapped");
  work.write("mapped/in.ded", a);
  const clitest::ToolRun r = swapped(convertArgs(work.path() / "mapped", false),
                                     work.path() / "mapped", "mmap", 1, false, &with);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("changed while it was read (its headers were rewritten)"), std::string::npos)
      << r.err;
}

// A child killed outright (the OOM killer) leaves no temporary output.
TEST_F(SameFile, ABatchRemovesWhatAKilledConversionLeft) {
  fs::create_directory(work.path() / "killed");
  work.write("killed/in.ded", a);
  const fs::path out = work.path() / "killed" / "out";
  const clitest::ToolRun r = swapped(
      {"convert", (work.path() / "killed" / "in.ded").string(), "--output-dir", out.string()},
      work.path() / "killed", "kill", 1);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("stopped by signal 9"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_directory(out));
  EXPECT_EQ(clitest::namesIn(out), std::vector<std::string>{});
}

TEST_F(SameFile, ABatchChecksEachFile) {
  const fs::path folder = work.path() / "batch";
  fs::create_directory(folder);
  work.write("batch/in.ded", a);
  work.write("batch/other.ded", a);
  const clitest::ToolRun r =
      swapped({"convert", (folder / "in.ded").string(), (folder / "other.ded").string(),
               "--output-dir", (folder / "out").string(), "--format", "pgm", "-j", "2"},
              folder, "rewrite", 0);
  Outputs mine, other;
  for (const auto &[name, bytes] : outputsIn(folder / "out")) {
    (name.starts_with("in.") ? mine : other)[name] = bytes;
  }
  const auto renamed = [](const Outputs &outputs, const std::string &stem) {
    Outputs out;
    for (const auto &[name, bytes] : outputs) {
      out[stem + name.substr(2)] = bytes;
    }
    return out;
  };
  EXPECT_EQ(other, renamed(expected[0][0], "other"));
  EXPECT_TRUE(mine == expected[0][0] || mine == expected[0][1] || (mine.empty() && r.exitCode == 1))
      << r.err;
}

TEST_F(SameFile, ARenameRefusedAtAnyStepOfACommitKeepsTheEarlierOutputs) {
  // Every kind of output, its earlier files in place: the n-th rename of the
  // commit fails, for every n until the run no longer needs one more.
  const std::vector<std::vector<std::string>> kinds = {
      {"in.pgm"}, {"in.png", "--as-host"}, {"in.tif", "--type", "int16"}, {"copy.DED"}};
  for (const std::vector<std::string> &kind : kinds) {
    SCOPED_TRACE(kind[0]);
    const fs::path folder = work.path() / ("commit-" + kind[0]);
    fs::create_directory(folder);
    std::vector<std::string> args{"convert", (folder / "in.ded").string(),
                                  (folder / kind[0]).string()};
    args.insert(args.end(), kind.begin() + 1, kind.end());
    work.write(fs::relative(folder / "in.ded", work.path()).string(), a);
    ASSERT_EQ(clitest::runTool(args, folder.string()).exitCode, 0);
    const Outputs earlier = outputsIn(folder);
    const std::vector<std::string> names = clitest::namesIn(folder);
    work.write(fs::relative(folder / "in.ded", work.path()).string(), b);
    int n = 1;
    for (; n < 20; ++n) {
      const clitest::ToolRun r = swapped(args, folder, "renamefails", n, false, &b);
      if (r.exitCode == 0) {
        break;
      }
      EXPECT_EQ(r.exitCode, 1) << n;
      EXPECT_NE(r.err.find("Input/output error"), std::string::npos) << r.err;
      EXPECT_EQ(outputsIn(folder), earlier) << "rename " << n;
      EXPECT_EQ(clitest::namesIn(folder), names) << "no temporary is left";
    }
    EXPECT_GT(n, 1);
    EXPECT_NE(outputsIn(folder), earlier);
  }
}

} // namespace
