// Preloaded into elvarin-host by the tests: puts another file's bytes at the
// input's path at a chosen moment of the run, the way a process that keeps
// replacing or rewriting the file would, but at exactly that moment.
//
// ELVARIN_SWAP_TARGET  the input's path
// ELVARIN_SWAP_WITH    the file whose bytes go in its place
// ELVARIN_SWAP_BACK    the input's own bytes, put back at every other event
// ELVARIN_SWAP_MODE    "rename": the event is an open() of the input (by its path or a
//                      /proc/self/fd name), and a copy is renamed over the path;
//                      "fopen": the same for an fopen() of the input by its path
//                      once it is there (an output opened again);
//                      "rewrite": the event is an fseeko to the start of any stream,
//                      and the input is overwritten in place;
//                      "tail": the event is a read of samples (an fread of 2-byte
//                      items), the back half of the input is overwritten in place
//                      and its modification time put back; "mmap": the same event,
//                      the whole input stored through a shared mapping, the time put
//                      back; "kill": the event is an open, and the process is killed;
//                      "renamefails": the event is a rename, which fails with EIO
//                      and renames nothing, as a disk's error would have it
// ELVARIN_SWAP_NO_INOTIFY  set: inotify cannot be had, as when its limits are reached
// ELVARIN_SWAP_AT      n: only the n-th event (from 1); 0: every event, alternating
//                      between WITH and BACK
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using OpenFn = int (*)(const char *, int, ...);
using SeekFn = int (*)(std::FILE *, off_t, int);
using ReadFn = size_t (*)(void *, size_t, size_t, std::FILE *);

int eventCount = 0;
thread_local bool busy = false;

const char *variable(const char *name) {
  const char *value = std::getenv(name);
  return value != nullptr ? value : "";
}

OpenFn realOpen(const char *name) { return reinterpret_cast<OpenFn>(dlsym(RTLD_NEXT, name)); }

std::vector<char> bytesOf(const char *path) {
  std::vector<char> bytes;
  const int fd = realOpen("open")(path, O_RDONLY);
  char chunk[65536];
  for (ssize_t got = 0; fd >= 0 && (got = ::read(fd, chunk, sizeof chunk)) > 0;) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  if (fd >= 0) {
    (void)::close(fd);
  }
  return bytes;
}

void put(const char *path, const std::vector<char> &bytes, int flags) {
  const int fd = realOpen("open")(path, flags, 0644);
  if (fd >= 0) {
    (void)!::write(fd, bytes.data(), bytes.size());
    (void)::close(fd);
  }
}

// Puts bytes from `from` on in place, through a shared mapping or by
// writing, and the file's times back as they were.
void putInPlace(const char *path, const std::vector<char> &bytes, size_t from, bool mapped) {
  struct stat before {};
  const int fd = realOpen("open")(path, O_RDWR);
  if (fd < 0 || ::fstat(fd, &before) != 0 || bytes.size() != static_cast<size_t>(before.st_size)) {
    std::abort();
  }
  if (mapped) {
    void *map = ::mmap(nullptr, bytes.size(), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    std::memcpy(static_cast<char *>(map) + from, bytes.data() + from, bytes.size() - from);
    (void)::munmap(map, bytes.size());
  } else {
    (void)!::pwrite(fd, bytes.data() + from, bytes.size() - from, static_cast<off_t>(from));
  }
  const timespec times[2] = {before.st_atim, before.st_mtim};
  (void)::futimens(fd, times);
  (void)::close(fd);
}

// One event of the mode's kind happened: swaps when it is the chosen one.
void event(const char *mode) {
  if (busy || std::strcmp(variable("ELVARIN_SWAP_MODE"), mode) != 0) {
    return;
  }
  busy = true;
  const int at = std::atoi(variable("ELVARIN_SWAP_AT"));
  ++eventCount;
  if (at == 0 || eventCount == at) {
    const bool back = at == 0 && eventCount % 2 == 0;
    const std::vector<char> bytes =
        bytesOf(variable(back ? "ELVARIN_SWAP_BACK" : "ELVARIN_SWAP_WITH"));
    const std::string target = variable("ELVARIN_SWAP_TARGET");
    if (std::strcmp(mode, "kill") == 0) {
      (void)std::raise(SIGKILL);
    } else if (std::strcmp(mode, "tail") == 0 || std::strcmp(mode, "mmap") == 0) {
      const bool mapped = std::strcmp(mode, "mmap") == 0;
      putInPlace(target.c_str(), bytes, mapped ? 0 : bytes.size() / 2, mapped);
    } else if (std::strcmp(mode, "rename") == 0 || std::strcmp(mode, "fopen") == 0) {
      const std::string fresh = target + ".swap";
      put(fresh.c_str(), bytes, O_WRONLY | O_CREAT | O_TRUNC);
      (void)std::rename(fresh.c_str(), target.c_str());
    } else {
      put(target.c_str(), bytes, O_WRONLY);
    }
  }
  busy = false;
}

void opening(const char *path) {
  if (path != nullptr && (std::strcmp(path, variable("ELVARIN_SWAP_TARGET")) == 0 ||
                          std::strncmp(path, "/proc/self/fd/", 14) == 0)) {
    event("rename");
    event("kill");
  }
}

int forward(const char *name, const char *path, int flags, mode_t mode) {
  opening(path);
  return realOpen(name)(path, flags, mode);
}

} // namespace

extern "C" {

// The mode argument is there only when a file may be created.
#define ELVARIN_SWAP_OPEN(name)                                                                    \
  int name(const char *path, int flags, ...) {                                                     \
    mode_t mode = 0;                                                                               \
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {                                                    \
      va_list args;                                                                                \
      va_start(args, flags);                                                                       \
      mode = va_arg(args, mode_t);                                                                 \
      va_end(args);                                                                                \
    }                                                                                              \
    return forward(#name, path, flags, mode);                                                      \
  }

// The analyzer loses va_start inside the macro's expansion.
ELVARIN_SWAP_OPEN(open)   // NOLINT(clang-analyzer-valist.Uninitialized)
ELVARIN_SWAP_OPEN(open64) // NOLINT(clang-analyzer-valist.Uninitialized)

std::FILE *fopen64(const char *path, const char *how) {
  if (path != nullptr && std::strcmp(path, variable("ELVARIN_SWAP_TARGET")) == 0 &&
      ::access(path, F_OK) == 0) {
    event("fopen");
  }
  using FopenFn = std::FILE *(*)(const char *, const char *);
  return reinterpret_cast<FopenFn>(dlsym(RTLD_NEXT, "fopen64"))(path, how);
}

int fseeko(std::FILE *stream, off_t offset, int whence) {
  if (offset == 0 && whence == SEEK_SET) {
    event("rewrite");
  }
  return reinterpret_cast<SeekFn>(dlsym(RTLD_NEXT, "fseeko"))(stream, offset, whence);
}

int fseeko64(std::FILE *stream, off_t offset, int whence) {
  if (offset == 0 && whence == SEEK_SET) {
    event("rewrite");
  }
  return reinterpret_cast<SeekFn>(dlsym(RTLD_NEXT, "fseeko64"))(stream, offset, whence);
}

size_t fread(void *dest, size_t size, size_t count, std::FILE *stream) {
  if (size == 2) {
    event("tail");
    event("mmap");
  }
  return reinterpret_cast<ReadFn>(dlsym(RTLD_NEXT, "fread"))(dest, size, count, stream);
}

int rename(const char *from, const char *to) {
  if (std::strcmp(variable("ELVARIN_SWAP_MODE"), "renamefails") == 0 &&
      ++eventCount == std::atoi(variable("ELVARIN_SWAP_AT"))) {
    errno = EIO;
    return -1;
  }
  return reinterpret_cast<int (*)(const char *, const char *)>(dlsym(RTLD_NEXT, "rename"))(from,
                                                                                           to);
}

int inotify_init1(int flags) {
  if (std::getenv("ELVARIN_SWAP_NO_INOTIFY") != nullptr) {
    errno = EMFILE;
    return -1;
  }
  return reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "inotify_init1"))(flags);
}

} // extern "C"
