#include "cli/input/pinned_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace elvhost {

namespace {

constexpr int64_t kNsPerSecond = 1000000000;

bool identity(const struct stat &status, FileVersion *identity) {
  if (!S_ISREG(status.st_mode)) {
    return false;
  }
  *identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
               static_cast<int64_t>(status.st_size),
               int64_t{status.st_mtim.tv_sec} * kNsPerSecond + status.st_mtim.tv_nsec,
               int64_t{status.st_ctim.tv_sec} * kNsPerSecond + status.st_ctim.tv_nsec};
  return true;
}

bool identify(int fd, FileVersion *id) {
  struct stat status {};
  return ::fstat(fd, &status) == 0 && identity(status, id);
}

bool identifyPath(const std::string &path, FileVersion *id) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && identity(status, id);
}

} // namespace

PinnedFile::PinnedFile(const std::string &path) : path_(path), name_(path) {
  // Non-blocking, so a FIFO put at the path cannot hold the run up here.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    openError_ = errno;
    return;
  }
  // Opening the descriptor's /proc name opens the very file it holds, with
  // a position and buffer of its own, as a fresh open of the path would.
  const std::string procName = "/proc/self/fd/" + std::to_string(fd);
  // Watched before its identity is taken, so no write after it goes unseen.
  watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch_ >= 0 && ::inotify_add_watch(watch_, procName.c_str(), IN_MODIFY) < 0) {
    (void)::close(watch_);
    watch_ = -1;
  }
  if (!identify(fd, &identity_)) {
    (void)::close(fd);
    return;
  }
  fd_ = fd;
  name_ = procName;
  FileVersion reopened;
  if (!identifyPath(name_, &reopened) || reopened != identity_) {
    // No /proc: readers go by the path, which must then keep naming the file.
    name_ = path;
  }
}

PinnedFile::~PinnedFile() {
  for (const int fd : {fd_, watch_}) {
    if (fd >= 0) {
      (void)::close(fd);
    }
  }
}

bool PinnedFile::written() const {
  pollfd events{watch_, POLLIN, 0};
  return ::poll(&events, 1, 0) != 0;
}

bool PinnedFile::unchanged() const {
  FileVersion now, atPath;
  if (!pinned() || !identify(fd_, &now) || !identifyPath(name_, &atPath)) {
    return false;
  }
  if (watch_ >= 0) {
    // Every write is reported; the change time would also fail a harmless
    // rename over the path.
    if (written()) {
      return false;
    }
    now.changedNs = atPath.changedNs = identity_.changedNs;
  }
  return now == identity_ && atPath == identity_;
}

} // namespace elvhost
