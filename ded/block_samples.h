// The samples of a cell's block, read as stored: the one reader every program
// that reads samples uses (the plug-in, the command-line host, the GDAL
// driver), so they agree on which samples a short file gives.
#pragma once

#include <cstdint>

#include "ded/blocks.h"
#include "ded/input.h"

// What a read of a block's samples gave: got samples from the file, all at
// the start of dest; error is the input's error number (see
// DedInput::readError) when a read or the seek to them failed rather than
// meeting the end of the file, otherwise 0.
struct DedSamplesRead {
  int64_t got;
  int error;
};

// Reads samples [first, first + count) of block into dest, each left as
// stored (see dedDecodeSample), from their own place in the file: it seeks
// there first, and only when some of them are to be read. The samples the
// block's file holds (block.samples - block.missing) are read; every other
// one (past those, or one the seek or the read did not give, a half sample
// too) is set to fill. The caller decides what a short read means. first and
// count are not negative; dest holds count samples. Allocates nothing;
// leaves the input somewhere inside the file.
[[nodiscard]] DedSamplesRead dedReadBlockSamples(const DedInput &input, const DedCellBlock &block,
                                                 int64_t first, int64_t count, uint16_t fill,
                                                 uint16_t *dest);
