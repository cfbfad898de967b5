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

  // Runs args with the shim swapping b in for in.ded (and back) in mode at event at.
  clitest::ToolRun swapped(const std::vector<std::string> &args, const fs::path &folder,
                           const char *mode, int at) {
    const std::string target = (folder / "in.ded").string();
    work.write("back.ded", a);
    work.write("with.ded", b);
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
    return r;
  }

  dedtest::TempDir work;
  std::vector<uint8_t> a, b;
  std::vector<Outputs> expected[2]; // a's and b's outputs, grey and int16
};

TEST_F(SameFile, SwappedAtAnyMomentGivesOneFilesOutputsOrNothing) {
  struct Row {
    const char *mode;
    int at; // 0: at every event
  };
  int failed = 0;
  for (const Row row : {Row{"rename", 1}, Row{"rename", 2}, Row{"rename", 3}, Row{"rename", 0},
                        Row{"rewrite", 1}, Row{"rewrite", 2}, Row{"rewrite", 3}, Row{"rewrite", 4},
                        Row{"rewrite", 5}, Row{"rewrite", 6}, Row{"rewrite", 0}}) {
    for (const bool int16 : {false, true}) {
      const std::string label =
          std::string(row.mode) + std::to_string(row.at) + (int16 ? "int16" : "grey");
      SCOPED_TRACE(label);
      const fs::path folder = work.path() / label;
      fs::create_directory(folder);
      work.write(fs::relative(folder / "in.ded", work.path()).string(), a);
      const clitest::ToolRun r = swapped(convertArgs(folder, int16), folder, row.mode, row.at);
      const Outputs got = outputsIn(folder);
      if (r.exitCode == 0) {
        EXPECT_TRUE(got == expected[int16][0] || got == expected[int16][1]) << r.err;
      } else {
        ++failed;
        EXPECT_TRUE(got.empty());
        EXPECT_NE(r.err.find("changed while it was read"), std::string::npos) << r.err;
      }
      // The pinned file makes a rename harmless: the run reads one file.
      EXPECT_TRUE(std::string(row.mode) == "rewrite" || r.exitCode == 0) << r.err;
    }
  }
  EXPECT_GT(failed, 1) << "no rewrite was caught";
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

} // namespace
