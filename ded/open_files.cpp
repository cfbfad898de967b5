#include "ded/open_files.h"

#include <cstring>

#include "ded/header.h"
#include "ded/records.h"

#if defined(_WIN32)
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The table is full when no slot is empty; a handle is a slot index.
struct OpenFileTable {
  std::FILE *slots[DED_MAX_OPEN_FILES];
};

OpenFileTable table; // zero at load

// Modes up to this long are rewritten on the stack; longer ones, which the C
// library may still accept, in a block from the caller's allocator.
constexpr size_t kShortMode = 32;

// The mode made binary: in text mode a Windows C runtime translates line ends
// and stops at byte 0x1A, which corrupts the samples. Microsoft's runtimes
// keep the first of 't' and 'b' (or refuse both), so a 't' becomes the 'b'
// rather than gaining one. out has room for length + 2 characters.
void binaryMode(const char *mode, size_t length, char *out) {
  std::memcpy(out, mode, length + 1);
  bool binary = false;
  for (size_t i = 0; i < length; ++i) {
    if (out[i] == 't') {
      out[i] = 'b';
    }
    binary = binary || out[i] == 'b';
  }
  if (!binary) {
    out[length] = 'b';
    out[length + 1] = '\0';
  }
}

} // namespace

std::FILE *dedOpenRegular(const char *path, const char *mode) {
#if defined(_WIN32)
  // Opening does not block here (pipes live under \\.\pipe\ and need a
  // server); what was opened is checked before anything is read.
  std::FILE *stream = std::fopen(path, mode);
  if (stream == nullptr) {
    return nullptr;
  }
  struct _stat64 status;
  if (_fstat64(_fileno(stream), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
    (void)std::fclose(stream); // read-only: nothing to lose
    return nullptr;
  }
  return stream;
#else
  // Opened without blocking and checked through the descriptor, so the path
  // cannot be swapped for a FIFO between the check and the open.
  const int access = std::strchr(mode, '+') != nullptr ? O_RDWR : O_RDONLY;
  const int fd = ::open(path, access | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return nullptr;
  }
  struct stat status {};
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    (void)::close(fd);
    return nullptr;
  }
  std::FILE *stream = ::fdopen(fd, mode);
  if (stream == nullptr) {
    (void)::close(fd);
  }
  return stream;
#endif
}

namespace {

int32_t lowestEmptySlot() {
  for (int32_t slot = 0; slot < DED_MAX_OPEN_FILES; ++slot) {
    if (table.slots[slot] == nullptr) {
      return slot;
    }
  }
  return -1;
}

// Opens path with the mode made binary into slot.
DedFinding openInto(int32_t slot, const char *path, const char *mode,
                    const DedAllocator &allocator) {
  const size_t length = std::strlen(mode);
  char shortMode[kShortMode + 2];
  DedBlock<char> longMode;
  char *openMode = shortMode;
  if (length > kShortMode) {
    longMode = dedAllocate<char>(allocator, static_cast<int64_t>(length) + 2);
    if (!longMode) {
      return DedFinding::NoMemory;
    }
    openMode = longMode.get();
  }
  binaryMode(mode, length, openMode);
  std::FILE *stream = dedOpenRegular(path, openMode);
  if (stream == nullptr) {
    return DedFinding::NotOpened;
  }
  // Two words: the first is read and dropped, the magic is the second.
  uint8_t start[DED_MAGIC_OFFSET + sizeof DED_MAGIC];
  const bool read =
      std::fread(start, 4, 1, stream) == 1 && std::fread(start + 4, 4, 1, stream) == 1;
  if (!read || !dedHasMagic(start, sizeof start)) {
    (void)std::fclose(stream); // read-only: nothing to lose
    return DedFinding::BadMagic;
  }
  table.slots[slot] = stream;
  return DedFinding::None;
}

} // namespace

std::FILE *dedStreamFor(int32_t handle) {
  if (handle < 0 || handle >= DED_MAX_OPEN_FILES) {
    return nullptr;
  }
  return table.slots[handle];
}

DedFinding dedTableOpen(const char *path, const char *mode, const DedAllocator &allocator,
                        int32_t *handle) {
  if (path == nullptr || mode == nullptr || handle == nullptr) {
    return DedFinding::NoArgument;
  }
  if (mode[0] != 'r') {
    return DedFinding::NotForReading;
  }
  const int32_t slot = lowestEmptySlot(); // none when the table is full
  if (slot < 0) {
    return DedFinding::TableFull;
  }
  const DedFinding finding = openInto(slot, path, mode, allocator);
  if (finding == DedFinding::None) {
    *handle = slot;
  }
  return finding;
}

DedFinding dedTableClose(int32_t handle) {
  std::FILE *stream = dedStreamFor(handle);
  if (stream == nullptr) {
    return DedFinding::NoArgument;
  }
  (void)std::fclose(stream); // read-only: nothing to lose
  table.slots[handle] = nullptr;
  return DedFinding::None;
}
