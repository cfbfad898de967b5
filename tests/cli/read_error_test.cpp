// A region of the input the system cannot read (a preloaded shim fails every
// read reaching it with EIO, through the plug-in's C stream and the host's
// descriptor alike) fails every command that reads it: exit 1, the file and
// the system's words on standard error, no output left. A full disk on
// standard output is told in the system's words too.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/cli/run_tool.h"
#include "tests/support/ded_writer.h"

namespace {

int16_t slope(int column, int row) { return static_cast<int16_t>(column * 3 + row); }

// Runs elvarin-host in folder with every read of ded from byte bad failing.
clitest::ToolRun runWithBadRegion(const std::vector<std::string> &args, const std::string &ded,
                                  size_t bad, const std::string &folder) {
  struct stat status {};
  if (::stat(ded.c_str(), &status) != 0) {
    return {};
  }
  setenv("ELVARIN_EIO_INODE", std::to_string(status.st_ino).c_str(), 1);
  setenv("ELVARIN_EIO_AT", std::to_string(bad).c_str(), 1);
  setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
  setenv("LD_PRELOAD", ELVARIN_EIO_SHIM, 1);
  clitest::ToolRun r = clitest::runTool(args, folder, "", folder);
  unsetenv("LD_PRELOAD");
  return r;
}

TEST(ReadErrors, ABadRegionFailsEveryCommandNamingTheFileAndTheError) {
  dedtest::TempDir work;
  const std::vector<uint8_t> bytes = dedtest::encode(dedtest::geographicFile(300, 200, slope));
  const std::string ded = work.write("in.ded", bytes);
  // Inside a cell header, inside the samples, and the very last byte (the
  // end of the file itself is no error).
  for (const size_t bad : {size_t{170}, bytes.size() / 2, bytes.size() - 1}) {
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"convert", ded, "out.png"},
                                               {"convert", ded, "out.png", "-q"},
                                               {"convert", ded, "out.tif", "--type", "int16"},
                                               {"info", ded},
                                               {"info", ded, "--json"}}) {
      SCOPED_TRACE(args[0] + " " + args.back() + ", bad byte " + std::to_string(bad));
      dedtest::TempDir folder;
      const clitest::ToolRun r = runWithBadRegion(args, ded, bad, folder.path().string());
      EXPECT_EQ(r.exitCode, 1) << r.err;
      EXPECT_NE(r.err.find(ded + ": "), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("Input/output error"), std::string::npos) << r.err;
      EXPECT_EQ(clitest::namesIn(folder.path()), std::vector<std::string>{});
    }
  }
}

// A region running on into the next cell is told where it starts: the
// count of the samples ends at the first read that fails.
TEST(ReadErrors, TheFirstFailedReadIsTheOneTold) {
  dedtest::TempDir work;
  dedtest::File file;
  file.cellCount = 2;
  for (const double west : {10.0, 10.5}) {
    file.cells.push_back(dedtest::geographicCell(west, 45, 100, 100, 36.0f, slope));
  }
  const std::string ded = work.write("two.ded", dedtest::encode(file));
  const size_t lastOfFirst = dedtest::samplesOffset(2) + 2 * 100 * 100 - 2;
  const clitest::ToolRun r =
      runWithBadRegion({"info", ded}, ded, lastOfFirst, work.path().string());
  EXPECT_NE(r.err.find("samples at byte " + std::to_string(lastOfFirst) + ":"), std::string::npos)
      << r.err;
}

TEST(ReadErrors, AFullDiskOnStandardOutputIsToldInTheSystemsWords) {
  dedtest::TempDir work;
  dedtest::File file = dedtest::geographicFile(4, 3, slope);
  file.cells.assign(60, file.cells[0]); // a report longer than the stream's buffer
  file.cellCount = 60;
  const std::string ded = work.write("in.ded", dedtest::encode(file));
  for (const std::string form : {"", " --json"}) {
    std::string command = std::string("'") + ELVARIN_HOST_EXE + "' info '";
    command.append(ded).append("'").append(form).append(" >/dev/full 2>'");
    command.append(work.path().string()).append("/err'");
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_EQ(clitest::slurp(work.path() / "err"),
              "elvarin-host: cannot write the standard output: No space left on device\n")
        << form;
  }
}

} // namespace
