// Runs the fuzz target over inputs without libFuzzer, so a finding reproduces
// under any compiler and debugger: each argument is an input file or a folder
// of them (read in name order). Exits non-zero when no input was found; a
// failing input aborts inside the target. With -timeout=N first (libFuzzer's
// spelling), an input that takes more than N seconds fails the replay too:
// an input that makes reading slow is a finding as much as a crash. Windows
// has no alarm: there the limit is not kept (the driver's replays, which
// want it, are Linux only).
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

#if defined(_WIN32)
void limitTime(unsigned /*seconds*/) {}
void watchTime() {}
#else
extern "C" void tookTooLong(int /*signal*/) {
  static const char kMessage[] = "replay: the input took longer than its time limit\n";
  (void)!write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  std::abort();
}
void limitTime(unsigned seconds) { (void)alarm(seconds); } // 0: no limit
void watchTime() { (void)std::signal(SIGALRM, tookTooLong); }
#endif

void replay(const std::filesystem::path &path, unsigned seconds) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
  std::printf("%s (%zu bytes)\n", path.string().c_str(), bytes.size());
  (void)std::fflush(stdout); // the name first, should the input abort
  limitTime(seconds);
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  limitTime(0);
}

} // namespace

int main(int argc, char **argv) {
  size_t inputs = 0;
  unsigned seconds = 0;
  int first = 1;
  if (argc > 1 && std::strncmp(argv[1], "-timeout=", 9) == 0) {
    seconds = static_cast<unsigned>(std::strtoul(argv[1] + 9, nullptr, 10));
    watchTime();
    first = 2;
  }
  for (int i = first; i < argc; ++i) {
    const std::filesystem::path arg = argv[i];
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(arg)) {
      for (const auto &entry : std::filesystem::directory_iterator(arg)) {
        if (entry.is_regular_file() && entry.path().extension() != ".md") {
          files.push_back(entry.path());
        }
      }
      std::sort(files.begin(), files.end());
    } else {
      files.push_back(arg);
    }
    for (const auto &file : files) {
      replay(file, seconds);
      ++inputs;
    }
  }
  std::printf("%zu inputs replayed\n", inputs);
  return inputs > 0 ? 0 : 1;
}
