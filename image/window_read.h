// Reading a window of a GIS frame's elevations: each cell's stored samples
// that land in the window, read from the file in runs and placed. The one
// read loop of the GDAL driver, elvarin-host's Int16 output and the Python
// package, so that they agree on every sample and on every failure.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ded/blocks.h"
#include "ded/input.h"
#include "ded/placement.h"
#include "image/place.h"

// Why a window's read stopped: the system failed a read or a seek (error is
// its error number), or the file no longer holds samples it held when its
// blocks were walked (error 0). offset is the byte the samples not given
// start at.
struct DedWindowFailure {
  int error = 0;
  int64_t offset = 0;
};

// The cells a window reads: cells[k] indexes both placements (where the
// cell's block lands in the frame) and blocks (where it lies in the file);
// a null cells list means every one of count cells, in file order.
struct DedWindowCells {
  const DedPlacement *placements;
  const DedCellBlock *blocks;
  const int32_t *cells;
  size_t count;
};

// Places into window (its rows the frame's rows [bottom, bottom +
// window.height), row 0 the southern, its columns window.firstColumn on)
// every stored sample of the cells that lands in it, later cells over
// earlier ones; samples past those a block's file holds are fill, and the
// window's other pixels are left alone. Reads at most about a million
// samples at a time. Before each read it checks that the file still holds
// the samples it held, so that a file cut short since is never read from a
// buffer. False, with *failure, when a read fails or the file no longer
// holds them (the window then holds part of the samples), or when there is
// no memory for a run (error ENOMEM).
bool dedReadWindowCells(const DedInput &input, const DedWindowCells &cells,
                        const DedInt16Window &window, int64_t bottom, int16_t fill,
                        DedWindowFailure *failure);
