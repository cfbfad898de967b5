// elvarin-host convert's --format, progress line and batches, end to end.
// Standard error is a file here, never a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/cli/run_tool.h"
#include "tests/support/ded_writer.h"

namespace {

namespace fs = std::filesystem;
using clitest::namesIn;
using clitest::runTool;
using clitest::slurp;
using clitest::ToolRun;

constexpr const char *kFullLine = "0...10...20...30...40...50...60...70...80...90...100 - done.\n";

class Batch : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(run({"sample", at("a.ded"), "--size", "300"}).exitCode, 0);
    ASSERT_EQ(run({"sample", at("b.ded"), "--kind", "utm", "--size", "200"}).exitCode, 0);
    std::ofstream(at("bad.ded")) << "not elevations";
  }
  ToolRun run(const std::vector<std::string> &args) { return runTool(args, logs.path().string()); }
  std::string at(const std::string &name) const { return (work.path() / name).string(); }

  dedtest::TempDir work;
  dedtest::TempDir logs;
};

TEST_F(Batch, FormatOverridesTheExtension) {
  struct Case {
    const char *format;
    std::string magic;
  };
  for (const Case &c : {Case{"pgm", "P5"}, Case{"tif", "II*"}, Case{"png", "\x89PNG"}}) {
    SCOPED_TRACE(c.format);
    const ToolRun r = run({"convert", at("a.ded"), at("a.img"), "--format", c.format});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(slurp(at("a.img")).substr(0, c.magic.size()), c.magic);
  }
  const ToolRun r = run({"convert", at("a.ded"), at("a.png"), "--format", "jpg"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("--format must be png, pgm, tif or ded, not jpg"), std::string::npos)
      << r.err;
}

TEST_F(Batch, ConvertsTheGoodFilesReportsTheBadAndExitsOne) {
  ToolRun r = run({"convert", at("a.ded"), at("bad.ded"), at("b.ded"), at("missing.ded"),
                   "--output-dir", at("out/tif"), "--format", "tif", "-j", "2"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(namesIn(at("out/tif")),
            (std::vector<std::string>{"a.prj", "a.tif", "a.tif.aux.xml", "a.wld", "b.prj", "b.tif",
                                      "b.tif.aux.xml", "b.wld"}));
  const std::vector<std::string> lines = clitest::linesOf(r.err);
  ASSERT_EQ(lines.size(), 3u) << r.err;
  EXPECT_EQ(lines.back(), "elvarin-host: 2 converted, 2 failed");
  EXPECT_NE(r.err.find("elvarin-host: " + at("bad.ded") + ": not a DED file"), std::string::npos);
  EXPECT_NE(r.err.find("elvarin-host: " + at("missing.ded") + ": "), std::string::npos);

  // Each file's outputs are those of a single convert.
  r = run({"convert", at("b.ded"), at("b.tif")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char *name : {"b.tif", "b.wld", "b.prj", "b.tif.aux.xml"}) {
    EXPECT_EQ(slurp(at(std::string("out/tif/") + name)), slurp(at(name))) << name;
  }

  // A batch writes DED files as convert does, and refuses what they do not use.
  r = run({"convert", at("a.ded"), at("b.ded"), "--output-dir", at("out/ded"), "--format", "ded"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(namesIn(at("out/ded")), (std::vector<std::string>{"a.ded", "b.ded"}));
  r = run({"convert", at("a.ded"), "--output-dir", at("out/x"), "--format", "ded", "--as-host"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("--as-host does not apply to DED output"), std::string::npos) << r.err;

  r = run({"convert", at("a.ded"), at("b.ded"), "--output-dir", at("out/png"), "-q"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(namesIn(at("out/png")).size(), 8u);
  // Each --stats line names its file.
  r = run({"convert", at("a.ded"), "--output-dir", at("out/stats"), "--stats"});
  EXPECT_EQ(r.err.rfind("elvarin-host: stats: " + at("a.ded") + ": load ", 0), 0u) << r.err;
  r = run({"convert", at("a.ded"), "--output-dir", at("out/stats"), "--stats", "--format", "ded"});
  EXPECT_EQ(r.err.rfind("elvarin-host: stats: " + at("a.ded") + ": ", 0), 0u) << r.err;
  // Each phase is named and timed from the end of the one before: together
  // they make the total.
  ASSERT_EQ(run({"sample", at("c.ded"), "--size", "1025", "-q"}).exitCode, 0);
  for (const auto &[output, named] :
       {std::pair{"c.png", "load describe get-image write PNG finish total "},
        std::pair{"c2.ded", "plan write total "}}) {
    r = run({"convert", at("c.ded"), at(output), "--stats"});
    double phases = 0, total = 0;
    std::string names;
    std::istringstream items(r.err.substr(r.err.find("stats: ") + 7));
    for (std::string item; std::getline(items, item, ',');) {
      if (item.ends_with(" s")) {
        const size_t space = item.rfind(' ', item.size() - 3);
        names += item.substr(item.find_first_not_of(' '), space + 1 - item.find_first_not_of(' '));
        (item.find("total") != std::string::npos ? total : phases) += std::stod(item.substr(space));
      }
    }
    EXPECT_EQ(names, named) << r.err;
    EXPECT_NEAR(phases, total, 0.004) << r.err;
  }
}

TEST_F(Batch, InputsOfOneStemAreRefusedBeforeAnythingIsWritten) {
  fs::create_directory(at("other"));
  fs::copy_file(at("a.ded"), at("other/a.ded"));
  const ToolRun r =
      run({"convert", at("a.ded"), at("b.ded"), at("other/a.ded"), "--output-dir", at("out")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find(at("a.ded") + " and " + at("other/a.ded") + " would both be written to " +
                       at("out/a.png")),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(at("out")));
}

TEST_F(Batch, AnOutputThatIsAnInputIsRefusedBeforeAnythingIsWritten) {
  fs::copy_file(at("a.ded"), at("a.png.aux.xml")); // a DED file of that name
  fs::create_symlink(at("b.ded"), at("c.prj"));    // c's .prj leads to b
  fs::copy_file(at("a.ded"), at("c.ded"));
  const struct {
    std::vector<std::string> inputs;
    std::string clash;
  } cases[] = {
      {{at("a.png.aux.xml"), at("a.ded")},
       at("a.png.aux.xml") + ": the .aux.xml file of " + at("a.ded") +
           " would overwrite the input " + at("a.png.aux.xml")},
      {{at("b.ded"), at("c.ded")},
       at("c.prj") + ": the .prj file of " + at("c.ded") + " would overwrite the input " +
           at("b.ded")},
  };
  const std::vector<std::string> before = namesIn(work.path());
  for (const auto &c : cases) {
    std::vector<std::string> args = {"convert"};
    args.insert(args.end(), c.inputs.begin(), c.inputs.end());
    args.insert(args.end(), {"--output-dir", work.path().string()});
    const ToolRun r = run(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("elvarin-host: " + c.clash + " (see"), std::string::npos) << r.err;
    EXPECT_EQ(namesIn(work.path()), before);
  }
  EXPECT_EQ(slurp(at("a.png.aux.xml")), slurp(at("a.ded")));
}

TEST_F(Batch, ProgressLineOnlyWhenAskedForAndNeverWhenQuiet) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"convert", at("a.ded"), at("a.png"), "--progress"}, kFullLine},
      {{"convert", at("a.ded"), at("a.png")}, ""},
      {{"convert", at("a.ded"), at("a.png"), "--progress", "-q"}, ""},
      {{"convert", at("a.ded"), at("c.ded"), "--progress"}, kFullLine},
      {{"convert", at("a.ded"), at("c.ded"), "--progress", "-q"}, ""},
      {{"convert", at("a.ded"), "--output-dir", at("o"), "--progress"},
       std::string(kFullLine) + "elvarin-host: 1 converted, 0 failed\n"},
      {{"convert", at("a.ded"), "--output-dir", at("o"), "--progress", "--quiet"}, ""},
      {{"sample", at("s.ded"), "--size", "64", "--progress"}, kFullLine},
      {{"sample", at("s.ded"), "--size", "64", "--progress", "-q"}, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    const ToolRun r = run(c.args);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, c.err);
  }
  // A warning ends the line first; the line then starts again.
  fs::resize_file(at("a.ded"), fs::file_size(at("a.ded")) - 2);
  const ToolRun r = run({"convert", at("a.ded"), at("a.png"), "--progress"});
  EXPECT_EQ(r.err, "0...10...20...30\nelvarin-host: warning: " + at("a.ded") +
                       ": the file ends 1 sample short; they are shown as elevation 0\n" +
                       kFullLine);
  // A DED output tells the driver's warning about its source once written.
  EXPECT_EQ(run({"convert", at("a.ded"), at("c.ded"), "--progress"}).err,
            kFullLine + ("elvarin-host: warning: " + at("a.ded")) +
                ": the file ends 1 sample short of its cells; those in a column it stores in "
                "part read as NoData\n");
  EXPECT_EQ(run({"convert", at("a.ded"), at("c.ded"), "-q"}).err, "");
}

} // namespace
