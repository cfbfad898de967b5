// The DED records and samples as the file stores them: the inverse of the
// readers, for the programs that write DED files (the command-line host's
// sample files, the tests, the benchmarks, the fuzz seeds). The plug-in only
// reads; it does not link this.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ded/records.h"

// Each writes its record's bytes, big-endian, exactly as the matching reader
// takes them back: every field as it stands, right or wrong.
void dedEncodeHeader(const DedHeader &header, uint8_t (&out)[DED_HEADER_SIZE]);
void dedEncodeStatistics(const DedStatistics &statistics, uint8_t (&out)[DED_STATISTICS_SIZE]);
void dedEncodeCellHeader(const DedCellHeader &cell, uint8_t (&out)[DED_CELL_HEADER_SIZE]);

// count samples as the file stores them: 2 x count bytes at out.
void dedEncodeSamples(const int16_t *samples, size_t count, uint8_t *out);
