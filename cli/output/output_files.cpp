#include "cli/output/output_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace elvhost {

namespace fs = std::filesystem;

namespace {

// Output is large; a big stdio buffer keeps the number of write calls low.
constexpr size_t kStreamBuffer = size_t{1} << 20;

// Temporary files not yet renamed, kept where a signal handler can reach
// them: interrupting a long conversion (Ctrl-C, kill) leaves nothing either.
constexpr int kMaxPending = 8;
constexpr size_t kMaxPendingPath = 4096;
char pendingPaths[kMaxPending][kMaxPendingPath];
volatile std::sig_atomic_t pendingInUse[kMaxPending];
constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

extern "C" void removePendingAndDie(int signal) {
  for (int i = 0; i < kMaxPending; ++i) {
    if (pendingInUse[i] != 0) {
      unlink(pendingPaths[i]); // async-signal-safe
    }
  }
  (void)std::signal(signal, SIG_DFL);
  (void)std::raise(signal);
}

// A signal ignored when the program started (nohup, a shell's background
// job) stays ignored; the others remove the temporary files first.
void installCleanup() {
  static bool installed = false;
  if (installed) {
    return;
  }
  installed = true;
  for (const int signal : kCleanedSignals) {
    struct sigaction previous {};
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
      (void)std::signal(signal, removePendingAndDie);
    }
  }
}

void watchPending(const std::string &path) {
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

// A new file beside finalPath, ".NAME.XXXXXX", created exclusively, so a
// name planted in advance (a symbolic link, say) is never written through.
// Its permissions are those of a file the user creates. -1 on failure.
int createTemporary(const std::string &finalPath, std::string *tempPath) {
  const fs::path path(finalPath);
  std::string name(1, '.');
  name.append(path.filename().string());
  name.append(".XXXXXX");
  std::string pattern = (path.parent_path() / name).string();
  const int fd = mkstemp(pattern.data());
  if (fd >= 0) {
    const mode_t mask = umask(0);
    umask(mask);
    (void)fchmod(fd, static_cast<mode_t>(0666) & ~mask);
    *tempPath = pattern;
  }
  return fd;
}

} // namespace

bool sameFile(const std::string &a, const std::string &b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) {
    return fs::equivalent(a, b, ec);
  }
  const fs::path left = fs::weakly_canonical(fs::absolute(a, ec), ec);
  const fs::path right = fs::weakly_canonical(fs::absolute(b, ec), ec);
  return left.lexically_normal() == right.lexically_normal();
}

OutputSet::~OutputSet() { discard(); }

std::FILE *OutputSet::create(const std::string &finalPath, std::string *error) {
  if (fs::path(finalPath).filename().empty()) {
    *error = finalPath + ": not a file name";
    return nullptr;
  }
  std::error_code ec;
  if (fs::is_directory(finalPath, ec)) {
    *error = "cannot write " + finalPath + ": it is a folder";
    return nullptr;
  }
  installCleanup();
  // Signals wait while the file exists but is not yet listed for removal.
  sigset_t cleaned, previous;
  sigemptyset(&cleaned);
  for (const int signal : kCleanedSignals) {
    sigaddset(&cleaned, signal);
  }
  (void)sigprocmask(SIG_BLOCK, &cleaned, &previous);
  Entry entry;
  entry.finalPath = finalPath;
  const int fd = createTemporary(finalPath, &entry.tempPath);
  if (fd >= 0) {
    watchPending(entry.tempPath);
  }
  (void)sigprocmask(SIG_SETMASK, &previous, nullptr);
  entry.stream = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (entry.stream == nullptr) {
    *error = "cannot write " + finalPath + ": " + std::strerror(errno);
    if (fd >= 0) {
      (void)::close(fd);
      (void)::unlink(entry.tempPath.c_str());
      forgetPending(entry.tempPath);
    }
    return nullptr;
  }
  (void)std::setvbuf(entry.stream, nullptr, _IOFBF, kStreamBuffer);
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
  // An earlier file of the same name stays, as a second link, until every
  // rename succeeded: a refused rename puts all of them back.
  for (Entry &entry : entries_) {
    struct stat existing {};
    if (::lstat(entry.finalPath.c_str(), &existing) == 0) {
      // Moved aside where the file system has no hard links; a folder never.
      entry.backupPath = entry.tempPath + ".old";
      const char *from = entry.finalPath.c_str(), *to = entry.backupPath.c_str();
      if (::link(from, to) != 0 && (S_ISDIR(existing.st_mode) || ::rename(from, to) != 0)) {
        *error = "cannot replace " + entry.finalPath + ": " + std::strerror(errno);
        entry.backupPath.clear();
        discard();
        return false;
      }
    }
    if (::rename(entry.tempPath.c_str(), entry.finalPath.c_str()) != 0) {
      *error = "cannot write " + entry.finalPath + ": " + std::strerror(errno);
      discard();
      return false;
    }
    entry.placed = true;
    forgetPending(entry.tempPath);
  }
  for (const Entry &entry : entries_) {
    if (!entry.backupPath.empty()) {
      (void)::unlink(entry.backupPath.c_str());
    }
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
    if (!entry.placed) {
      (void)::unlink(entry.tempPath.c_str());
    } else if (entry.backupPath.empty()) {
      (void)::unlink(entry.finalPath.c_str());
    }
    if (!entry.backupPath.empty()) {
      // Back in its place; a second link to the same file is left by the
      // rename (it does nothing then) and removed here.
      (void)::rename(entry.backupPath.c_str(), entry.finalPath.c_str());
      (void)::unlink(entry.backupPath.c_str());
    }
    forgetPending(entry.tempPath);
  }
  entries_.clear();
}

} // namespace elvhost
