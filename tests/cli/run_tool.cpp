#include "tests/cli/run_tool.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace clitest {

namespace {

std::string quoted(const std::string &arg) {
  std::string out(1, '\'');
  for (char ch : arg) {
    if (ch == '\'') {
      out.append("'\\''");
    } else {
      out.push_back(ch);
    }
  }
  out.push_back('\'');
  return out;
}

std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

} // namespace

ToolRun runTool(const std::vector<std::string> &args, const std::string &folder,
                const std::string &exe, const std::string &cwd) {
  const std::string outPath = folder + "/tool.stdout";
  const std::string errPath = folder + "/tool.stderr";
  std::string command = cwd.empty() ? "" : "cd " + quoted(cwd) + " && ";
  command.append(quoted(exe.empty() ? ELVARIN_HOST_EXE : exe));
  for (const std::string &arg : args) {
    command.push_back(' ');
    command.append(quoted(arg));
  }
  command.append(" >");
  command.append(quoted(outPath));
  command.append(" 2>");
  command.append(quoted(errPath));
  ToolRun run;
  const int status = std::system(command.c_str());
#if defined(_WIN32)
  run.exitCode = status;
#else
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
  run.out = slurp(outPath);
  run.err = slurp(errPath);
  (void)std::remove(outPath.c_str());
  (void)std::remove(errPath.c_str());
  return run;
}

std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    lines.push_back(line);
  }
  return lines;
}

std::string slurp(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> namesIn(const std::filesystem::path &folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(folder, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace clitest
