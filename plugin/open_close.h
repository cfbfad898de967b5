// The open and close callbacks: the host's way into the open-file table.
#pragma once

#include <cstdint>

// Opens a DED file and stores its handle. Returns DED_OK; -2 when the table
// is full, the mode does not start with 'r', the path is not a regular file
// or does not open; -6 when the magic is missing; -1 when the host has no
// memory for a very long mode; -8 for a null argument (see dedTableOpen).
extern "C" int32_t dedOpenImage(void *host0, void *host1, const char *path, const char *mode,
                                int32_t *handle) noexcept;

// Closes a handle; DED_OK, or -8 for a bad handle.
extern "C" int32_t dedCloseImage(void *host0, void *host1, int32_t handle) noexcept;
