// The process-wide table of open DED files behind the host's image handles,
// and the open and close callbacks that fill and empty it.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int32_t DED_MAX_OPEN_FILES = 10;

// Opens path for reading, checks the magic at bytes 4..7 and stores the new
// handle (the lowest empty slot) through handle. Returns DED_OK, -2 when the
// table is full, the mode does not start with 'r' or the file does not open,
// -6 when the magic is missing (the stream is closed again), -8 for a null
// argument. On failure the table is unchanged.
extern "C" int32_t dedOpenImage(void *host0, void *host1, const char *path, const char *mode,
                                int32_t *handle);

// Closes the handle's stream and empties its slot; every other handle keeps
// naming its own file. Returns DED_OK, or -8 for a bad handle.
extern "C" int32_t dedCloseImage(void *host0, void *host1, int32_t handle);

// The stream behind a valid handle (0..9, slot not empty), or null.
std::FILE *dedStreamFor(int32_t handle);

// Number of files open now.
int32_t dedOpenFileCount();
