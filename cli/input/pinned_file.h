// The input file of one run, held open from the host's first look at it to
// the end, so that the host's own reading and every open the plug-in asks
// for reach the same file, whatever is renamed over its path meanwhile; and
// its identity, so that a file rewritten in place is caught.
#pragma once

#include <cstdint>
#include <string>

namespace elvhost {

// What tells one version of a file from another: device and inode, length,
// the time its contents last changed, and the inode's change time, which no
// user can set back (but which a rename over the path also moves, on the
// file replaced, whose bytes stay).
struct FileVersion {
  uint64_t device = 0, inode = 0;
  int64_t bytes = 0;
  int64_t modifiedNs = 0, changedNs = 0;
  bool operator==(const FileVersion &) const = default;
};

class PinnedFile {
public:
  // Opens path for reading without blocking. A path that is not a regular
  // file, or does not open, is not pinned: readers then go by the path and
  // say themselves why it will not do.
  explicit PinnedFile(const std::string &path);
  ~PinnedFile();
  PinnedFile(const PinnedFile &) = delete;
  PinnedFile &operator=(const PinnedFile &) = delete;

  bool pinned() const { return fd_ >= 0; }
  // The descriptor the file is held by (PinnedInput reads through it); -1
  // when it is not pinned.
  int descriptor() const { return fd_; }
  // The path as given, and when it did not open, the system's reason (0 when
  // it opened but is not a regular file).
  const std::string &path() const { return path_; }
  int openError() const { return openError_; }
  // The name under which any reader opens exactly the pinned file
  // ("/proc/self/fd/N"), or the path when it is not pinned.
  const std::string &name() const { return name_; }
  // The file is still as it was pinned: same device, inode, length and
  // modification time (and, read by its path, still at the path), and no
  // write to it since it was pinned. Every write the kernel reports is seen
  // (watched with inotify, or where that cannot be had, by the change time);
  // stores through another process's shared mapping of the file are not.
  // False when it is not pinned.
  bool unchanged() const;

private:
  bool written() const;

  int fd_ = -1;
  int openError_ = 0;
  int watch_ = -1; // an inotify descriptor told of every write to the file
  std::string path_, name_;
  FileVersion identity_;
};

} // namespace elvhost
