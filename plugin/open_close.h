// The open and close callbacks: the host's way into the open-file table.
#pragma once

#include <cstdint>

// Opens a DED file and stores its handle; see dedTableOpen for the codes.
extern "C" int32_t dedOpenImage(void *host0, void *host1, const char *path, const char *mode,
                                int32_t *handle);

// Closes a handle; DED_OK, or -8 for a bad handle.
extern "C" int32_t dedCloseImage(void *host0, void *host1, int32_t handle);
