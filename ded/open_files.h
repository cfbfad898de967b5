// The process-wide table of open DED files behind the host's image handles.
#pragma once

#include <cstdint>
#include <cstdio>

#include "ded/allocator.h"
#include "ded/finding.h"

constexpr int32_t DED_MAX_OPEN_FILES = 10;

// Opens path for reading, checks the magic at bytes 4..7 and stores the new
// handle (the lowest empty slot) through handle. The mode must start with
// 'r'; it is passed on unchanged but for being made binary (a 't' becomes
// 'b', and a mode without 'b' gets one); a very long mode is rewritten in a
// block from allocator. Returns None; NoArgument for a null argument;
// NotForReading; TableFull; NotOpened when the path is not a regular file (a
// directory, FIFO or device: refused without blocking or reading) or does not
// open; NoMemory; BadMagic (the stream is closed again). On failure the table
// is unchanged and nothing stays open.
DedFinding dedTableOpen(const char *path, const char *mode, const DedAllocator &allocator,
                        int32_t *handle);

// Closes the handle's stream and empties its slot; every other handle keeps
// naming its own file. Returns None, or NoArgument for a bad handle.
DedFinding dedTableClose(int32_t handle);

// Opens path with mode only when it names a regular file: a FIFO without a
// writer would block in open, a directory or device reads as anything but a
// DED file. Never blocks. Null, with errno set where the system set it, when
// it is not one or does not open.
std::FILE *dedOpenRegular(const char *path, const char *mode);

// The stream behind a valid handle (0..9, slot not empty), or null.
std::FILE *dedStreamFor(int32_t handle);
