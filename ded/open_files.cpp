#include "ded/open_files.h"

#include <cstring>

#include "ded/status.h"

namespace {

struct OpenFileTable {
  std::FILE *slots[DED_MAX_OPEN_FILES];
  int32_t count;
};

OpenFileTable table; // zero at load

constexpr char kMagic[4] = {'K', 'V', 'T', 'R'};

// The longest mode accepted; real modes are a few characters.
constexpr size_t kMaxMode = 32;

// Reading modes always open in binary: in text mode a Windows C runtime
// translates line ends and stops at byte 0x1A, which corrupts the samples.
bool binaryMode(const char *mode, char (&out)[kMaxMode + 2]) {
  const size_t length = std::strlen(mode);
  if (length > kMaxMode) {
    return false;
  }
  std::memcpy(out, mode, length + 1);
  if (std::strchr(mode, 'b') == nullptr) {
    out[length] = 'b';
    out[length + 1] = '\0';
  }
  return true;
}

int32_t lowestEmptySlot() {
  for (int32_t slot = 0; slot < DED_MAX_OPEN_FILES; ++slot) {
    if (table.slots[slot] == nullptr) {
      return slot;
    }
  }
  return -1;
}

} // namespace

std::FILE *dedStreamFor(int32_t handle) {
  if (handle < 0 || handle >= DED_MAX_OPEN_FILES) {
    return nullptr;
  }
  return table.slots[handle];
}

int32_t dedOpenFileCount() { return table.count; }

extern "C" int32_t dedOpenImage(void * /*host0*/, void * /*host1*/, const char *path,
                                const char *mode, int32_t *handle) {
  if (path == nullptr || mode == nullptr || handle == nullptr) {
    return DED_ERR_BADARG;
  }
  if (table.count >= DED_MAX_OPEN_FILES) {
    return DED_ERR_OPEN;
  }
  if (mode[0] != 'r') {
    return DED_ERR_OPEN;
  }
  char openMode[kMaxMode + 2];
  if (!binaryMode(mode, openMode)) {
    return DED_ERR_OPEN;
  }
  const int32_t slot = lowestEmptySlot();
  if (slot < 0) {
    return DED_ERR_OPEN;
  }
  std::FILE *stream = std::fopen(path, openMode);
  if (stream == nullptr) {
    return DED_ERR_OPEN;
  }
  // The first word is read and dropped; the magic is the second.
  char magic[4];
  const bool read = std::fread(magic, 4, 1, stream) == 1 && std::fread(magic, 4, 1, stream) == 1;
  if (!read || std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
    (void)std::fclose(stream); // read-only: nothing to lose
    return DED_ERR_FORMAT;
  }
  table.slots[slot] = stream;
  ++table.count;
  *handle = slot;
  return DED_OK;
}

extern "C" int32_t dedCloseImage(void * /*host0*/, void * /*host1*/, int32_t handle) {
  std::FILE *stream = dedStreamFor(handle);
  if (stream == nullptr) {
    return DED_ERR_BADARG;
  }
  (void)std::fclose(stream); // read-only: nothing to lose
  table.slots[handle] = nullptr;
  --table.count;
  return DED_OK;
}
