// The process-wide table of open DED files behind the host's image handles.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int32_t DED_MAX_OPEN_FILES = 10;

// Opens path for reading, checks the magic at bytes 4..7 and stores the new
// handle (the lowest empty slot) through handle. The mode must start with
// 'r'; it is passed on unchanged but for being made binary (a 't' becomes
// 'b', and a mode without 'b' gets one). Returns DED_OK; -2 when the table
// is full, the mode does not start with 'r', the path is not a regular file
// (a directory, FIFO or device: refused without blocking or reading) or does
// not open; -6 when the magic is missing (the stream is closed again); -1
// when the host has no memory for a very long mode; -8 for a null argument.
// On failure the table is unchanged and nothing stays open.
int32_t dedTableOpen(const char *path, const char *mode, int32_t *handle);

// Closes the handle's stream and empties its slot; every other handle keeps
// naming its own file. Returns DED_OK, or -8 for a bad handle.
int32_t dedTableClose(int32_t handle);

// Opens path with mode only when it names a regular file: a FIFO without a
// writer would block in open, a directory or device reads as anything but a
// DED file. Never blocks. Null, with errno set where the system set it, when
// it is not one or does not open.
std::FILE *dedOpenRegular(const char *path, const char *mode);

// The stream behind a valid handle (0..9, slot not empty), or null.
std::FILE *dedStreamFor(int32_t handle);

// The image size a successful get-info last told the host for this handle,
// which sized the host's pixel buffer from it. Remembering is ignored for a
// bad handle; recall is false when the handle is bad or nothing was told yet.
void dedRememberToldSize(int32_t handle, int32_t width, int32_t height);
bool dedToldSize(int32_t handle, int32_t *width, int32_t *height);
