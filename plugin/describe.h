// The description of the file behind a host's handle.
#pragma once

#include <cstdint>

#include "ded/describe.h"

// Describes the file behind a handle, reading it from its first byte as it is
// now, the cell headers' array from the host. Returns DED_OK; -8 for a bad
// handle (nothing is read), unusable UTM fields or header values; -3 when a
// record is unreadable (the reader prints why); -1 when the host has no
// memory for the cell headers. Leaves the stream somewhere inside the file
// and nothing allocated, unless headers is given: then, when every cell
// header was read, it receives them as dedDescribeInput hands them back, so
// they are not read again. info is not to be relied on after a failure.
int32_t dedDescribe(int32_t handle, DedImageInfo *info, DedBlock<DedCellHeader> *headers = nullptr);
