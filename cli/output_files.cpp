#include "cli/output_files.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace elvhost {

namespace {

std::string temporaryNameFor(const std::string &finalPath) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path path(finalPath);
  // Built piece by piece: GCC 12 at -O3 misreads chained concatenation
  // starting from a literal as an overlapping copy (-Wrestrict).
  std::string name(1, '.');
  name.append(path.filename().string());
  name.append(".part-");
  name.append(std::to_string(getpid()));
  name.push_back('-');
  name.append(std::to_string(counter++));
  return (path.parent_path() / name).string();
}

// Output is large; a big stdio buffer keeps the number of write calls low.
constexpr size_t kStreamBuffer = size_t{1} << 20;

// Temporary files not yet renamed, kept where a signal handler can reach
// them: interrupting a long conversion (Ctrl-C, kill) leaves nothing either.
constexpr int kMaxPending = 8;
constexpr size_t kMaxPendingPath = 4096;
char pendingPaths[kMaxPending][kMaxPendingPath];
volatile std::sig_atomic_t pendingInUse[kMaxPending];
constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void removePendingAndDie(int signal) {
  for (int i = 0; i < kMaxPending; ++i) {
    if (pendingInUse[i] != 0) {
      unlink(pendingPaths[i]); // async-signal-safe
    }
  }
  (void)std::signal(signal, SIG_DFL);
  (void)std::raise(signal);
}

void watchPending(const std::string &path) {
  static bool installed = false;
  if (!installed) {
    installed = true;
    for (const int signal : kCleanedSignals) {
      (void)std::signal(signal, removePendingAndDie);
    }
  }
  if (path.size() >= kMaxPendingPath) {
    return;
  }
  for (int i = 0; i < kMaxPending; ++i) {
    if (pendingInUse[i] == 0) {
      std::memcpy(pendingPaths[i], path.c_str(), path.size() + 1);
      pendingInUse[i] = 1;
      return;
    }
  }
}

void forgetPending(const std::string &path) {
  for (int i = 0; i < kMaxPending; ++i) {
    if (pendingInUse[i] != 0 && path == pendingPaths[i]) {
      pendingInUse[i] = 0;
    }
  }
}

} // namespace

OutputSet::~OutputSet() { discard(); }

std::FILE *OutputSet::create(const std::string &finalPath, std::string *error) {
  if (std::filesystem::path(finalPath).filename().empty()) {
    *error = finalPath + ": not a file name";
    return nullptr;
  }
  std::error_code ec;
  if (std::filesystem::is_directory(finalPath, ec)) {
    *error = "cannot write " + finalPath + ": it is a folder";
    return nullptr;
  }
  Entry entry;
  entry.finalPath = finalPath;
  entry.tempPath = temporaryNameFor(finalPath);
  entry.stream = std::fopen(entry.tempPath.c_str(), "wb");
  if (entry.stream == nullptr) {
    *error = "cannot write " + finalPath + ": " + std::strerror(errno);
    return nullptr;
  }
  (void)std::setvbuf(entry.stream, nullptr, _IOFBF, kStreamBuffer);
  watchPending(entry.tempPath);
  entries_.push_back(entry);
  return entry.stream;
}

bool OutputSet::writeText(const std::string &finalPath, const std::string &text,
                          std::string *error) {
  std::FILE *stream = create(finalPath, error);
  if (stream == nullptr) {
    return false;
  }
  if (std::fwrite(text.data(), 1, text.size(), stream) != text.size()) {
    *error = "cannot write " + finalPath + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool OutputSet::commit(std::string *error) {
  for (Entry &entry : entries_) {
    std::FILE *stream = entry.stream;
    entry.stream = nullptr;
    const bool failed = std::ferror(stream) != 0;
    const int savedErrno = errno;
    if (std::fclose(stream) != 0 || failed) {
      *error = "cannot write " + entry.finalPath + ": " +
               std::strerror(failed ? (savedErrno != 0 ? savedErrno : EIO) : errno);
      discard();
      return false;
    }
  }
  for (Entry &entry : entries_) {
    std::error_code ec;
    std::filesystem::rename(entry.tempPath, entry.finalPath, ec);
    if (ec) {
      *error = "cannot write " + entry.finalPath + ": " + ec.message();
      discard();
      return false;
    }
    entry.placed = true;
    forgetPending(entry.tempPath);
  }
  entries_.clear();
  return true;
}

void OutputSet::discard() {
  for (Entry &entry : entries_) {
    if (entry.stream != nullptr) {
      (void)std::fclose(entry.stream);
      entry.stream = nullptr;
    }
    std::error_code ec;
    std::filesystem::remove(entry.placed ? entry.finalPath : entry.tempPath, ec);
    forgetPending(entry.tempPath);
  }
  entries_.clear();
}

} // namespace elvhost
