// Runs the built elvarin-host as a person would, capturing what it prints.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace clitest {

struct ToolRun {
  int exitCode = -1;
  std::string out; // standard output
  std::string err; // standard error
};

// Runs elvarin-host with args (each quoted for the shell); folder receives
// the captured streams. exe, when given, is another copy of the program to
// run; cwd, when given, the folder to run it in.
ToolRun runTool(const std::vector<std::string> &args, const std::string &folder,
                const std::string &exe = "", const std::string &cwd = "");

// A file's bytes as a string (empty when it cannot be read).
std::string slurp(const std::filesystem::path &path);

// The names in a folder, sorted (none when it cannot be read).
std::vector<std::string> namesIn(const std::filesystem::path &folder);

// The lines of text, without their line breaks.
std::vector<std::string> linesOf(const std::string &text);

} // namespace clitest
