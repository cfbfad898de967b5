#include "cli/output/output_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

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

// A temporary file's name: "." + the final name (cut short where needed) +
// kTemporarySuffix; the file it replaces waits under that + kBackupSuffix.
constexpr char kTemporarySuffix[] = ".XXXXXX";
constexpr char kBackupSuffix[] = ".old";
constexpr size_t kMaxFinalPart =
    NAME_MAX - 1 - (sizeof kTemporarySuffix - 1) - (sizeof kBackupSuffix - 1);

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
// job) stays ignored; the others remove the temporary files first. A write
// beyond the file-size limit (ulimit -f) fails with EFBIG, to be reported
// and cleaned up, instead of killing the process with SIGXFSZ.
void installCleanup() {
  static bool installed = false;
  if (installed) {
    return;
  }
  installed = true;
  (void)std::signal(SIGXFSZ, SIG_IGN);
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

// The signals that clean up, blocked until the guard ends: a temporary file
// is created and listed, or the outputs are renamed into place, in one step.
class HeldSignals {
public:
  HeldSignals() {
    sigset_t cleaned;
    sigemptyset(&cleaned);
    for (const int signal : kCleanedSignals) {
      sigaddset(&cleaned, signal);
    }
    (void)sigprocmask(SIG_BLOCK, &cleaned, &previous_);
  }
  ~HeldSignals() { (void)sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  HeldSignals(const HeldSignals &) = delete;
  HeldSignals &operator=(const HeldSignals &) = delete;

private:
  sigset_t previous_{};
};

// A new file beside finalPath, ".NAME.XXXXXX", created exclusively, so a
// name planted in advance (a symbolic link, say) is never written through.
// NAME is the final name, cut short where the temporary or backup name would
// be too long for the folder when the final one is not. Its permissions are
// those of a file the user creates. -1 on failure.
int createTemporary(const std::string &finalPath, std::string *tempPath) {
  const fs::path path(finalPath);
  std::string name(1, '.');
  name.append(path.filename().string().substr(0, kMaxFinalPart));
  name.append(kTemporarySuffix);
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

FileIdentity identityOf(const std::string &name) {
  FileIdentity identity;
  struct stat status {};
  if (::stat(name.c_str(), &status) == 0) {
    identity.exists = true;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
  }
  std::error_code ec;
  identity.path = fs::weakly_canonical(fs::absolute(name, ec), ec).lexically_normal().string();
  return identity;
}

bool sameFile(const std::string &a, const std::string &b) {
  const FileIdentity left = identityOf(a), right = identityOf(b);
  return left.exists && right.exists ? left.device == right.device && left.inode == right.inode
                                     : !left.path.empty() && left.path == right.path;
}

std::string outputProblem(const std::string &path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    // A missing folder is said by the first write, as it always was.
    return errno == ENOENT || errno == ENOTDIR
               ? ""
               : "cannot write " + path + ": " + std::strerror(errno);
  }
  return S_ISREG(status.st_mode)   ? ""
         : S_ISDIR(status.st_mode) ? "cannot write " + path + ": it is a folder"
                                   : "cannot write " + path + ": it is not a regular file";
}

void removeTemporariesOf(const std::string &finalPath) {
  const fs::path path(finalPath);
  std::string prefix(1, '.'); // built piece by piece: GCC 12 misreads "." + ... (-Wrestrict)
  prefix.append(path.filename().string().substr(0, kMaxFinalPart)).push_back('.');
  const size_t length = prefix.size() + sizeof kTemporarySuffix - 2;
  std::error_code ec;
  for (fs::directory_iterator it(path.parent_path().empty() ? "." : path.parent_path(), ec), end;
       !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() == length && name.starts_with(prefix) && it->is_regular_file(ec)) {
      (void)::unlink(it->path().c_str());
    }
  }
}

OutputSet::~OutputSet() { discard(); }

std::FILE *OutputSet::create(const std::string &finalPath, std::string *error) {
  if (fs::path(finalPath).filename().empty()) {
    *error = finalPath + ": not a file name";
    return nullptr;
  }
  if (std::string problem = outputProblem(finalPath); !problem.empty()) {
    *error = std::move(problem);
    return nullptr;
  }
  installCleanup();
  Entry entry;
  entry.finalPath = finalPath;
  int fd = -1;
  {
    const HeldSignals held; // while the file exists but is not yet listed for removal
    fd = createTemporary(finalPath, &entry.tempPath);
    if (fd >= 0) {
      watchPending(entry.tempPath);
    }
  }
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
  // rename succeeded: a refused rename puts all of them back. A signal waits
  // until all are in place or all put back, never leaving old and new side
  // by side.
  const HeldSignals held;
  for (Entry &entry : entries_) {
    struct stat existing {};
    if (::lstat(entry.finalPath.c_str(), &existing) == 0) {
      if (S_ISREG(existing.st_mode)) {
        (void)::chmod(entry.tempPath.c_str(), existing.st_mode & 0777);
      }
      // Moved aside where the file system has no hard links; a folder never.
      entry.backupPath = entry.tempPath + kBackupSuffix;
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
