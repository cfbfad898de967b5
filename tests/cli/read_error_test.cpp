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

TEST(ReadErrors, ABadRegionFailsEveryCommandNamingTheFileAndTheError) {
  dedtest::TempDir work;
  const std::vector<uint8_t> bytes = dedtest::encode(dedtest::geographicFile(300, 200, slope));
  const std::string ded = work.write("in.ded", bytes);
  struct stat status {};
  ASSERT_EQ(::stat(ded.c_str(), &status), 0);
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
      setenv("ELVARIN_EIO_INODE", std::to_string(status.st_ino).c_str(), 1);
      setenv("ELVARIN_EIO_AT", std::to_string(bad).c_str(), 1);
      setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
      setenv("LD_PRELOAD", ELVARIN_EIO_SHIM, 1);
      const clitest::ToolRun r =
          clitest::runTool(args, folder.path().string(), "", folder.path().string());
      unsetenv("LD_PRELOAD");
      EXPECT_EQ(r.exitCode, 1) << r.err;
      EXPECT_NE(r.err.find(ded + ": "), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("Input/output error"), std::string::npos) << r.err;
      EXPECT_EQ(clitest::namesIn(folder.path()), std::vector<std::string>{});
    }
  }
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
