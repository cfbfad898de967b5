#include "gdal/copy_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>

#include <cpl_port.h>
#include <cpl_vsi.h>

namespace {

// A name beside path no other writer takes: path, then what it is for, the
// process and a count.
std::string besidePath(const char *path, const char *what) {
  static std::atomic<unsigned> count{0};
  return std::string(path) + "." + what + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(count++);
}

// A local path that names nothing yet or a regular file (through links),
// which may be replaced by a rename; *mode the permission bits of the file it
// names, if any.
bool replaceable(const char *filename, bool *exists, mode_t *mode) {
  if (STARTS_WITH(filename, "/vsi")) {
    return false;
  }
  struct stat st {};
  *exists = ::stat(filename, &st) == 0;
  *mode = st.st_mode & 07777;
  return *exists ? S_ISREG(st.st_mode) : errno == ENOENT;
}

// Files Delete moved aside, by the name they had.
struct Aside {
  std::mutex lock;
  std::map<std::string, std::string> files;
  Aside() = default;
  Aside(const Aside &) = delete;
  Aside &operator=(const Aside &) = delete;
  ~Aside() {
    for (const auto &[name, aside] : files) {
      (void)::unlink(aside.c_str());
    }
  }
};

Aside &aside() {
  static Aside files;
  return files;
}

// Writes beside filename and renames over it.
bool writeBeside(const char *filename, bool exists, mode_t mode,
                 const std::function<bool(const DedOutput &, std::string *)> &write,
                 std::string *error) {
  const std::string temporary = besidePath(filename, "part");
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  std::FILE *stream = fd < 0 ? nullptr : ::fdopen(fd, "wb");
  if (stream == nullptr) {
    *error = std::string("cannot create the file: ") + std::strerror(errno);
    if (fd >= 0) {
      (void)::close(fd);
      (void)::unlink(temporary.c_str());
    }
    return false;
  }
  bool written = false;
  try {
    written = write(dedStdioOutput(stream), error);
  } catch (const std::exception &e) { // out of memory: the temporary goes all the same
    *error = e.what();
  }
  if (written && exists) {
    written = ::fchmod(fd, mode) == 0; // the replaced file's permissions
  }
  if (std::fclose(stream) != 0 && written) {
    written = false;
    *error = std::string("cannot write the file: ") + std::strerror(errno);
  }
  if (written && ::rename(temporary.c_str(), filename) != 0) {
    written = false;
    *error = std::string("cannot put the file in place: ") + std::strerror(errno);
  }
  if (!written) {
    (void)::unlink(temporary.c_str());
  }
  return written;
}

// An output opened only when the first bytes come.
struct Opening {
  const char *name;
  VSILFILE *file = nullptr;
};

bool writeStreamed(const char *filename,
                   const std::function<bool(const DedOutput &, std::string *)> &write,
                   std::string *error) {
  VSIStatBufL st{};
  const bool existed = VSIStatL(filename, &st) == 0;
  Opening opening{filename};
  const DedOutput output{&opening,
                         [](void *context, const void *data, size_t bytes) {
                           auto *o = static_cast<Opening *>(context);
                           if (o->file == nullptr) {
                             o->file = VSIFOpenL(o->name, "wb");
                           }
                           return o->file != nullptr &&
                                  VSIFWriteL(data, 1, bytes, o->file) == bytes;
                         },
                         nullptr};
  bool written = false;
  try {
    written = write(output, error);
  } catch (const std::exception &e) {
    *error = e.what();
  }
  if (opening.file != nullptr && VSIFCloseL(opening.file) != 0 && written) {
    written = false;
    *error = "cannot write the file";
  }
  if (!written && opening.file != nullptr && !existed) {
    (void)VSIUnlink(filename);
  }
  return written;
}

} // namespace

bool dedWriteOutput(const char *filename,
                    const std::function<bool(const DedOutput &, std::string *)> &write,
                    std::string *error) {
  bool exists = false;
  mode_t mode = 0;
  return replaceable(filename, &exists, &mode) ? writeBeside(filename, exists, mode, write, error)
                                               : writeStreamed(filename, write, error);
}

void dedSettleDeleted(const char *filename) {
  Aside &a = aside();
  const std::lock_guard<std::mutex> hold(a.lock);
  const auto found = a.files.find(filename);
  if (found == a.files.end()) {
    return;
  }
  if (::access(filename, F_OK) == 0 || ::rename(found->second.c_str(), filename) != 0) {
    (void)::unlink(found->second.c_str());
  }
  a.files.erase(found);
}

CPLErr DedDelete(const char *filename) {
  const std::string auxiliary = std::string(filename) + ".aux.xml";
  VSIStatBufL st{};
  if (VSIStatL(auxiliary.c_str(), &st) == 0) {
    (void)VSIUnlink(auxiliary.c_str());
  }
  if (VSIStatL(filename, &st) != 0) {
    return CE_None; // nothing to delete
  }
  bool exists = false;
  mode_t mode = 0;
  if (!replaceable(filename, &exists, &mode)) {
    if (VSIUnlink(filename) != 0) {
      CPLError(CE_Failure, CPLE_FileIO, "%s: cannot delete it", filename);
      return CE_Failure;
    }
    return CE_None;
  }
  const std::string moved = besidePath(filename, "deleted");
  if (::rename(filename, moved.c_str()) != 0) {
    CPLError(CE_Failure, CPLE_FileIO, "%s: cannot delete it: %s", filename, VSIStrerror(errno));
    return CE_Failure;
  }
  Aside &a = aside();
  const std::lock_guard<std::mutex> hold(a.lock);
  std::string &slot = a.files[filename];
  if (!slot.empty()) {
    (void)::unlink(slot.c_str());
  }
  slot = moved;
  return CE_None;
}
