// The get-image callback: the file's cells assembled into one raster and
// delivered to the host as grey levels.
#pragma once

#include <cstdint>

// Fills the host's pixel buffer (rows qvGetImageRowWidth bytes apart, row 0
// at the southern edge) with the grey image of the handle's file as it is
// now; the bytes past each row's width are never written. Returns DED_OK; -8
// for a bad handle or null buffer, a file whose size is no longer the one
// the last successful get-info told the host (its buffer was sized by it),
// unusable sizes, a host row width below the image width or a cell with more
// samples than the largest cell's counts allow; -1 when the host has no
// memory; -3 when the file cannot be read (a cell without samples included).
// A short read is one read: the samples it misses are 0. On failure nothing
// stays allocated and the buffer is untouched, except when a mosaic's block
// read fails part way for a reason other than the file's contents as the
// call found them (an I/O error, the file cut short meanwhile): cells placed
// before it stay written. Needs no more memory than the scratch block of one
// cell beside the host's buffer; for a single cell, a band of about 1 MiB of
// samples and a staging area of grey levels of at most about 2.6 MiB (2.2 MiB
// for 7169 rows). Starts no thread.
extern "C" int32_t dedGetImageData(void *host0, void *host1, int32_t handle, void *unused,
                                   uint8_t *pixels) noexcept;
