#include "cli/host/pinned_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace elvhost {

namespace {

constexpr int64_t kNsPerSecond = 1000000000;

bool identity(const struct stat &status, FileVersion *identity) {
  if (!S_ISREG(status.st_mode)) {
    return false;
  }
  *identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
               static_cast<int64_t>(status.st_size),
               int64_t{status.st_mtim.tv_sec} * kNsPerSecond + status.st_mtim.tv_nsec};
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
    return;
  }
  if (!identify(fd, &identity_)) {
    (void)::close(fd);
    return;
  }
  fd_ = fd;
  // Opening the descriptor's /proc name opens the very file it holds, with
  // a position and buffer of its own, as a fresh open of the path would.
  name_ = "/proc/self/fd/" + std::to_string(fd);
  FileVersion reopened;
  if (!identifyPath(name_, &reopened) || reopened != identity_) {
    // No /proc: readers go by the path, which must then keep naming the file.
    name_ = path;
  }
}

PinnedFile::~PinnedFile() {
  if (fd_ >= 0) {
    (void)::close(fd_);
  }
}

bool PinnedFile::unchanged() const {
  FileVersion now, atPath;
  return pinned() && identify(fd_, &now) && now == identity_ &&
         (name_ != path_ || (identifyPath(path_, &atPath) && atPath == identity_));
}

} // namespace elvhost
