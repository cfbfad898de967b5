// What the plug-in tells the host about the DED reader's findings, and the
// host's memory handed to the reader.
#pragma once

#include <cstdint>

#include "ded/allocator.h"
#include "ded/finding.h"

// The host's status code for a finding: DED_OK for None, otherwise -1, -2,
// -3, -6 or -8 (see host/status.h).
int32_t dedStatusFor(DedFinding finding);

// qvMalloc and qvFree.
DedAllocator dedHostAllocator();
