// Preloaded into elvarin-host by the tests: puts another file's bytes at the
// input's path at a chosen moment of the run, the way a process that keeps
// replacing or rewriting the file would, but at exactly that moment.
//
// ELVARIN_SWAP_TARGET  the input's path
// ELVARIN_SWAP_WITH    the file whose bytes go in its place
// ELVARIN_SWAP_BACK    the input's own bytes, put back at every other event
// ELVARIN_SWAP_MODE    "rename": the event is an open() of the input (by its path or a
//                      /proc/self/fd name), and a copy is renamed over the path;
//                      "rewrite": the event is an fseeko to the start of any stream,
//                      and the input is overwritten in place
// ELVARIN_SWAP_AT      n: only the n-th event (from 1); 0: every event, alternating
//                      between WITH and BACK
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using OpenFn = int (*)(const char *, int, ...);
using SeekFn = int (*)(std::FILE *, off_t, int);

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
    if (std::strcmp(mode, "rename") == 0) {
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

} // extern "C"
