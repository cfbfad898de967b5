#include "gdal/copy_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

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
  std::map<std::string, std::string, std::less<>> files; // found without a copy
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

// The temporary file a local output is written to: closed, and removed
// unless it was put in place, however its writing ends.
struct Temporary {
  std::string path;
  std::FILE *stream = nullptr;
  bool placed = false;
  explicit Temporary(std::string name) : path(std::move(name)) {}
  Temporary(const Temporary &) = delete;
  Temporary &operator=(const Temporary &) = delete;
  ~Temporary() {
    if (stream != nullptr) {
      (void)std::fclose(stream);
    }
    if (!placed) {
      (void)::unlink(path.c_str());
    }
  }
};

// Writes beside filename and renames over it; a file that then fails check
// is removed.
bool writeBeside(const char *filename, bool exists, mode_t mode, const DedOutputWrite &write,
                 const DedOutputCheck &check, std::string *error) {
  Temporary part{besidePath(filename, "part")};
  const int fd = ::open(part.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  part.stream = fd < 0 ? nullptr : ::fdopen(fd, "wb");
  if (part.stream == nullptr) {
    part.placed = fd < 0; // nothing made, nothing to remove
    *error = std::string("cannot create the file: ") + std::strerror(errno);
    if (fd >= 0) {
      (void)::close(fd);
    }
    return false;
  }
  if (!write(dedStdioOutput(part.stream), error) || (exists && ::fchmod(fd, mode) != 0)) {
    return false; // exists: the replaced file's permissions
  }
  const int closed = std::fclose(std::exchange(part.stream, nullptr));
  if (closed != 0) {
    *error = std::string("cannot write the file: ") + std::strerror(errno);
    return false;
  }
  if (::rename(part.path.c_str(), filename) != 0) {
    *error = std::string("cannot put the file in place: ") + std::strerror(errno);
    return false;
  }
  part.placed = true;
  if (!check(error)) {
    (void)::unlink(filename);
    return false;
  }
  return true;
}

// An output opened only when the first bytes come: closed, and removed
// when it was made here and not kept, however its writing ends.
struct Opening {
  const char *name;
  bool existed;
  VSILFILE *file = nullptr;
  bool opened = false;
  bool kept = false;
  Opening(const char *output, bool named) : name(output), existed(named) {}
  Opening(const Opening &) = delete;
  Opening &operator=(const Opening &) = delete;
  ~Opening() {
    if (file != nullptr) {
      (void)VSIFCloseL(file);
    }
    if (opened && !kept && !existed) {
      (void)VSIUnlink(name);
    }
  }
};

bool writeStreamed(const char *filename, const DedOutputWrite &write, const DedOutputCheck &check,
                   std::string *error) {
  VSIStatBufL st{};
  Opening opening{filename, VSIStatL(filename, &st) == 0};
  const DedOutput output{&opening,
                         [](void *context, const void *data, size_t bytes) {
                           auto *o = static_cast<Opening *>(context);
                           if (o->file == nullptr) {
                             o->file = VSIFOpenL(o->name, "wb");
                             o->opened = o->file != nullptr;
                           }
                           return o->file != nullptr &&
                                  VSIFWriteL(data, 1, bytes, o->file) == bytes;
                         },
                         nullptr};
  if (!write(output, error)) {
    return false;
  }
  if (opening.file != nullptr && VSIFCloseL(std::exchange(opening.file, nullptr)) != 0) {
    *error = "cannot write the file";
    return false;
  }
  opening.kept = check(error);
  return opening.kept;
}

} // namespace

bool dedWriteOutput(const char *filename, const DedOutputWrite &write, const DedOutputCheck &check,
                    std::string *error) {
  bool exists = false;
  mode_t mode = 0;
  return replaceable(filename, &exists, &mode)
             ? writeBeside(filename, exists, mode, write, check, error)
             : writeStreamed(filename, write, check, error);
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

namespace {

CPLErr deleteOutput(const char *filename) {
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

} // namespace

CPLErr DedDelete(const char *filename) {
  try {
    return deleteOutput(filename);
  } catch (const std::exception &e) {
    CPLError(CE_Failure, CPLE_OutOfMemory, "%s: cannot delete it: %s", filename, e.what());
    return CE_Failure;
  }
}
