// Preloaded into elvarin-host by the tests: every read of one file that
// reaches a chosen byte fails there with EIO, as a bad disk region does,
// whether it comes through a C stream (the plug-in's fread) or a
// descriptor (pread). The bytes before it are given.
//
// ELVARIN_EIO_INODE  the file's inode number
// ELVARIN_EIO_AT     the first byte that cannot be read
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

using FreadFn = size_t (*)(void *, size_t, size_t, std::FILE *);
using PreadFn = ssize_t (*)(int, void *, size_t, off_t);

template <typename Fn> Fn real(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// How many of bytes from offset can be read: all, or those before the bad
// byte when fd is the file's and the read reaches it.
size_t readable(int fd, off_t offset, size_t bytes) {
  struct stat status {};
  const char *inode = std::getenv("ELVARIN_EIO_INODE");
  const char *at = std::getenv("ELVARIN_EIO_AT");
  if (inode == nullptr || at == nullptr || ::fstat(fd, &status) != 0 ||
      status.st_ino != std::strtoull(inode, nullptr, 10)) {
    return bytes;
  }
  const auto bad = static_cast<off_t>(std::strtoll(at, nullptr, 10));
  return offset + static_cast<off_t>(bytes) <= bad ? bytes
         : offset >= bad                           ? 0
                                                   : static_cast<size_t>(bad - offset);
}

} // namespace

extern "C" ssize_t pread(int fd, void *dest, size_t bytes, off_t offset) {
  const size_t allowed = readable(fd, offset, bytes);
  if (allowed == 0 && bytes > 0) {
    errno = EIO;
    return -1;
  }
  return real<PreadFn>("pread")(fd, dest, allowed, offset);
}

extern "C" ssize_t pread64(int fd, void *dest, size_t bytes, off_t offset) {
  return pread(fd, dest, bytes, offset);
}

extern "C" size_t fread(void *dest, size_t size, size_t count, std::FILE *stream) {
  const off_t offset = ::ftello(stream);
  const size_t bytes = size * count;
  const size_t allowed = size == 0 ? bytes : readable(::fileno(stream), offset, bytes) / size;
  const size_t got = real<FreadFn>("fread")(dest, size, size == 0 ? count : allowed, stream);
  if (size != 0 && allowed < count && got == allowed) {
    stream->_flags |= _IO_ERR_SEEN; // glibc's error indicator, as a failed read sets it
    errno = EIO;
  }
  return got;
}
