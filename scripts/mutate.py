#!/usr/bin/env python3
"""Mutation testing of the plug-in's own code (host/, ded/, image/, plugin/), and of
elvarin-host's and the GDAL driver's (cli/, gdal/) against their own suites.

Applies one hand-picked fault at a time to a source file, rebuilds the
plug-in's test binaries in a build directory of their own, runs the plug-in's
suites (unit, read faults, end to end, the fuzz replays and the export check)
and records whether any of them noticed: killed, survived, or not compiling. A
run that outlasts the timeout counts as killed. The source is restored after
every mutant, also on Ctrl-C, and the tree is checked clean at the end.

    scripts/mutate.py                 every mutant
    scripts/mutate.py --only cells    mutants whose id starts with "cells"
    scripts/mutate.py --list          the table, without running anything
    scripts/mutate.py --changed BASE [--seed S] [--cap N] [--list]
                                      faults generated on the lines changed since BASE
                                      (scripts/line_mutants.py), at most N per file

Each mutant is (file, original text, replacement, what the fault is). The
original text must occur exactly once in its file. A mutant that no test can
tell from the original carries "equivalent: <why>"; it is still run, and a
kill of it would mean the reason is wrong.
"""

import argparse
import os
import signal
import subprocess
import sys
import time
from pathlib import Path

import line_mutants

ROOT = Path(__file__).resolve().parent.parent
# Generated faults that no test can tell from the original, with the reason.
EQUIVALENTS = Path(__file__).resolve().parent / "mutate-equivalent.tsv"

# The binaries the plug-in's suites need; the command-line host is not built.
TARGETS = ["elvarin", "unit_tests", "read_fault_tests", "e2e_tests", "ded_fuzz_replay",
           "ded_make_seeds"]


def M(path, original, replacement, description, equivalent=None):
    return {"path": path, "original": original, "replacement": replacement,
            "description": description, "equivalent": equivalent}


MUTANTS = [
    # host/status.h
    M("host/status.h", "DED_ERR_READ = -3;", "DED_ERR_READ = -4;", "wrong read-failure code"),
    M("host/status.h", "-8; // bad handle", "-7; // bad handle", "wrong bad-argument code"),
    # host/attributes.h
    M("ded/header.h", "PROJ_UTM = 4;",
      "PROJ_UTM = 3;", "wrong UTM projection code"),
    M("ded/header.h", "DED_HEMISPHERE_NORTH = 1;",
      "DED_HEMISPHERE_NORTH = 0;", "north hemisphere coded as south"),
    M("host/attributes.h", "QV_TEXTURE_TYPE = 2;", "QV_TEXTURE_TYPE = 1;", "wrong texture type"),
    M("host/attributes.h", "QV_GREY_HIGH = 255.0f;", "QV_GREY_HIGH = 256.0f;",
      "grey range one too high"),
    M("host/attributes.h", "QV_SIGNED_FLAG = 1;", "QV_SIGNED_FLAG = 0;", "signed flag cleared"),
    # host/host_block.h
    M("host/host_block.h", "void operator()(void *block) const { qvFree(block); }",
      "void operator()(void *block) const { (void)block; }", "host blocks never released"),
    M("host/host_block.h", "if (bytes < 0 || static_cast<uint64_t>(bytes) > SIZE_MAX) {",
      "if (static_cast<uint64_t>(bytes) > SIZE_MAX) {", "negative size check dropped",
      "equivalent: every caller passes a product of non-negative counts, and on a 64-bit "
      "size_t the remaining check never fires"),
    M("host/host_block.h", "return HostBlock<T>(static_cast<T *>(qvMalloc(static_cast<size_t>(bytes))));",
      "return HostBlock<T>(static_cast<T *>(qvMalloc(static_cast<size_t>(bytes) / 2)));",
      "half the block asked for"),
    # host/qvapi.h
    M("host/qvapi.h", '#define QVAPI_PLUGIN_EXPORT __attribute__((visibility("default")))',
      '#define QVAPI_PLUGIN_EXPORT __attribute__((visibility("hidden")))',
      "entry points not exported"),
    M("host/qvapi.h", "QVAPI_HOST_FN int32_t qvSetTextureMinMax(QvImageRec image, float min, float max)",
      "QVAPI_HOST_FN int32_t qvSetTextureMinMax(QvImageRec image, double min, double max)",
      "grey range setter declared with doubles"),
    M("host/qvapi.h", "typedef int32_t (*QvGetImageDataFunc)(void *host0, void *host1, int32_t handle, void *unused,",
      "typedef int32_t (*QvGetImageDataFunc)(void *host0, void *host1, int32_t handle, uint8_t *unused,",
      "get-image callback shape changed"),
    # ded/records.h
    M("ded/records.h", "DED_HEADER_SIZE = 128;", "DED_HEADER_SIZE = 127;", "header size off by one"),
    M("ded/records.h", "DED_FIRST_CELL_HEADER = DED_HEADER_SIZE + DED_STATISTICS_SIZE;",
      "DED_FIRST_CELL_HEADER = DED_HEADER_SIZE;", "first cell header offset misses the statistics"),
    M("ded/records.h", "DED_SAMPLE_SIZE = 2;", "DED_SAMPLE_SIZE = 1;", "sample size of one byte"),
    M("ded/records.h", "DED_GEOGRAPHIC_SPACING_UNITS = 36000.0;",
      "DED_GEOGRAPHIC_SPACING_UNITS = 3600.0;", "spacing in arc-seconds instead of tenths"),
    M("ded/records.h", "inline uint16_t swap16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }",
      "inline uint16_t swap16(uint16_t v) { return static_cast<uint16_t>(v >> 8); }",
      "16-bit swap loses the low byte"),
    M("ded/records.h", "((v >> 8) & 0x0000ff00u)", "((v >> 8) & 0x00ff0000u)",
      "32-bit swap with the wrong mask"),
    M("ded/records.h", "inline int16_t dedDecodeSample(uint16_t stored) { return static_cast<int16_t>(swap16(stored)); }",
      "inline int16_t dedDecodeSample(uint16_t stored) { return static_cast<int16_t>(stored); }",
      "stored sample decoded without a swap"),
    # ded/records.cpp
    M("ded/records.cpp", "  return swap32(word);", "  return word;", "big-endian word not swapped"),
    M("ded/records.cpp", "if (input.read(input.context, bytes, size) != size) {",
      "if (input.read(input.context, bytes, size) == 0) {", "a record read short is accepted"),
    M("ded/stdio_input.cpp", "  std::perror(message);",
      "  std::fputs(message, stderr);", "failed record read prints no reason"),
    M("ded/stdio_input.cpp", "    errno = EIO;", "    errno = 0;", "a record cut short by the end says Success"),
    M("ded/records.cpp", "loadBig32(bytes + DED_WORD0_OFFSET);",
      "loadBig32(bytes + DED_MAGIC_OFFSET);", "first word read from the magic"),
    M("ded/records.cpp", "std::memcpy(dest->projection, bytes + DED_PROJECTION_OFFSET,",
      "std::memcpy(dest->projection, bytes + DED_PROJECTION_OFFSET - 1,", "projection tag one byte early"),
    M("ded/records.cpp", "std::memcpy(&dest->hemisphere, bytes + DED_HEMISPHERE_OFFSET, 1);",
      "std::memcpy(&dest->hemisphere, bytes + DED_ZONE_OFFSET, 1);", "hemisphere letter read from the zone"),
    M("ded/records.cpp", "loadBig16(bytes + DED_MIN_ELEVATION_FIELD);",
      "loadBig16(bytes + DED_MAX_ELEVATION_FIELD);", "minimum elevation read from the maximum"),
    M("ded/records.cpp", "words[i] = loadBig32(bytes + DED_CELL_HEADER_WORD * i);",
      "words[i] = loadBig32(bytes + i);", "cell header words overlap"),
    M("ded/records.cpp", "  if (count <= 0) {\n    return nullptr;", "  if (count < 0) {\n    return nullptr;",
      "a request for no samples reaches fread",
      "equivalent: fread of no items returns 0, which fails the same way with nothing read"),
    M("ded/records.cpp", "  if (got == 0) {\n    return nullptr;", "  if (got < wanted) {\n    return nullptr;",
      "a short read of samples fails"),
    M("ded/records.cpp", "std::memset(dest + got, 0, (wanted - got) * sizeof(uint16_t));",
      "std::memset(dest + got, 0, wanted - got);", "zero fill counts bytes as samples"),
    M("ded/records.cpp", "  std::memset(dest + got, 0, (wanted - got) * sizeof(uint16_t));\n", "",
      "no zero fill after a short read"),
    M("ded/records.cpp", "*read = static_cast<int32_t>(got);", "*read = count;",
      "a short read reported as whole"),
    M("ded/stdio_input.cpp", "const bool sought = dedSeekTo(streamOf(context), offset);",
      "const bool sought = std::fseek(streamOf(context), static_cast<long>(offset), SEEK_CUR) == 0;", "fresh seek relative to the position"),
    M("ded/stdio_input.cpp", "  (void)std::fflush(streamOf(context));\n",
      "", "fresh seek keeps the buffered input"),
    M("ded/records.cpp", "return seek64(stream, offset, SEEK_SET) == 0; }",
      "return seek64(stream, offset, SEEK_SET) != 0; }", "seek result inverted"),
    M("ded/records.cpp", "  if (seek64(stream, position, SEEK_SET) != 0) {",
      "  if (false) {\n    (void)position;", "stream size leaves the stream at the end"),
    M("ded/records.cpp", "  return size;\n}", "  return size - 1;\n}", "stream size one byte short"),
    # ded/cells.h
    M("ded/cells.h", "return cellCount > 1 ? cellCount : 1;", "return cellCount >= 0 ? cellCount : 1;",
      "a cell count of 0 reads no header"),
    M("ded/cells.h", "return DED_FIRST_CELL_HEADER + int64_t{headerCount} * DED_CELL_HEADER_SIZE;",
      "return DED_FIRST_CELL_HEADER + int64_t{headerCount - 1} * DED_CELL_HEADER_SIZE;",
      "first block offset one header early"),
    # ded/cells.cpp
    M("ded/cells.h", "DED_SNAP = 1.0 / 16.0;", "DED_SNAP = 1.0 / 8.0;", "snap distance 1/8"),
    M("ded/cells.cpp", "kInt32Limit = 2147483648.0f;", "kInt32Limit = 2147483647.0f;",
      "count limit written as INT32_MAX",
      "equivalent: 2147483647.0f and 2147483648.0f are the same float, 2^31"),
    M("ded/cells.cpp", "count >= 0.0f && count < kInt32Limit", "count >= 0.0f && count <= kInt32Limit",
      "a count of exactly 2^31 accepted"),
    M("ded/cells.cpp", "return std::isfinite(count) && count >= 0.0f", "return count >= 0.0f",
      "count finiteness check dropped",
      "equivalent: NaN fails count >= 0 and infinity fails count < 2^31"),
    M("ded/cells.cpp", "std::isfinite(cell.xMin) &&\n", "\n", "infinite western bound accepted"),
    M("ded/cells.cpp", "std::isfinite(cell.xMax) && std::isfinite(cell.yMin)", "std::isfinite(cell.yMin)",
      "infinite eastern bound accepted"),
    M("ded/cells.cpp", "std::isfinite(cell.xSpacing) && std::isfinite(cell.ySpacing);",
      "std::isfinite(cell.ySpacing);", "NaN x spacing accepted"),
    M("ded/cells.cpp", "      finding = DedFinding::CellUnusable;",
      "      finding = DedFinding::CellHeaderShort;", "unusable cell reported as a read failure"),
    M("ded/cells.cpp", "return std::trunc(static_cast<double>(cell.columnCount) * static_cast<double>(cell.rowCount));",
      "return std::round(static_cast<double>(cell.columnCount) * static_cast<double>(cell.rowCount));",
      "sample count rounded instead of truncated"),
    M("ded/cells.cpp", "return std::trunc(static_cast<double>(cell.columnCount) * static_cast<double>(cell.rowCount));",
      "return std::trunc(cell.columnCount * cell.rowCount);",
      "sample count multiplied in single precision"),
    M("ded/blocks.cpp", "if (samples > static_cast<double>(walk->limit)) {",
      "if (samples >= static_cast<double>(walk->limit)) {", "the largest cell refused"),
    M("ded/blocks.cpp", "} else if (samples < 1.0) {",
      "} else if (false) {", "a cell without samples passes the check"),
    M("ded/blocks.cpp", "} else if (b.offset > walk->fileSize - DED_SAMPLE_SIZE) {",
      "} else if (b.offset >= walk->fileSize - DED_SAMPLE_SIZE) {", "a block of exactly one sample at the end refused"),
    M("ded/blocks.cpp", "} else if (b.offset > walk->fileSize - DED_SAMPLE_SIZE) {",
      "} else if (b.offset > walk->fileSize) {", "half a sample counts as a block"),
    M("ded/cells.cpp", "const double nearest = std::nearbyint(quotient);",
      "const double nearest = std::round(quotient);", "nearest whole number rounded half away",
      "equivalent: nearbyint and round differ only at halves, which lie 1/2 from both "
      "neighbours and so never snap"),
    M("ded/cells.cpp", "if (std::fabs(quotient - nearest) <= DED_SNAP) {",
      "if (std::fabs(quotient - nearest) < DED_SNAP) {", "exactly 1/16 off no longer snaps"),
    M("ded/cells.cpp", "if (std::fabs(quotient - nearest) <= DED_SNAP) {",
      "if (quotient - nearest <= DED_SNAP) {", "snap distance without fabs"),
    M("ded/cells.cpp", "  return std::trunc(quotient);\n}", "  return std::floor(quotient);\n}",
      "floor instead of trunc"),
    M("ded/cells.cpp", "return projection == PROJ_UTM ? 1.0 : DED_GEOGRAPHIC_SPACING_UNITS;",
      "return projection != PROJ_UTM ? 1.0 : DED_GEOGRAPHIC_SPACING_UNITS;", "spacing units inverted"),
    M("ded/cells.cpp", "const double step = static_cast<double>(spacing) / units;",
      "const double step = static_cast<float>(static_cast<double>(spacing) / units);",
      "placing step rounded to single precision"),
    M("ded/cells.cpp", "dedWholePart((static_cast<double>(cellLow) - static_cast<double>(mosaicLow)) / step);",
      "dedWholePart(static_cast<double>(cellLow - mosaicLow) / step);",
      "placing offset subtracted in single precision"),
    M("ded/cells.cpp", "dedWholePart((static_cast<double>(cellLow) - static_cast<double>(mosaicLow)) / step);",
      "std::trunc((static_cast<double>(cellLow) - static_cast<double>(mosaicLow)) / step);",
      "placing quotient truncated without the snap"),
    M("ded/cells.cpp", "if (!std::isfinite(whole) || whole < static_cast<double>(INT32_MIN) ||",
      "if (whole < static_cast<double>(INT32_MIN) ||", "non-finite offset not dropped",
      "equivalent on x86-64: infinities fail the range check, and a NaN (0/0) converts to "
      "INT64_MIN, whose block lies wholly outside the image (a float-cast-overflow sanitizer "
      "build reports it)"),
    M("ded/cells.cpp", "return axisOrigin(cell.xMin, xMin, cell.xSpacing, units, column) &&",
      "return axisOrigin(cell.xMin, xMin, cell.ySpacing, units, column) &&",
      "column placed by the y spacing"),
    M("ded/cells.cpp", "axisOrigin(cell.yMin, yMin, cell.ySpacing, units, row);",
      "axisOrigin(cell.yMin, yMin, cell.xSpacing, units, row);", "row placed by the x spacing"),
    M("ded/cells.cpp", "axisOrigin(cell.yMin, yMin, cell.ySpacing, units, row);",
      "axisOrigin(cell.xMin, yMin, cell.ySpacing, units, row);", "row placed from the western bound"),
    # ded/describe.cpp
    M("ded/describe.cpp", "kStartLow = 1.0e10f;", "kStartLow = 1.0e5f;", "minima start too low"),
    M("ded/describe.cpp", "if (cell.yMin < info->yMin) {", "if (cell.yMin > info->yMin) {",
      "southern bound folds the wrong way"),
    M("ded/describe.cpp", "info->yMax = cell.yMax;", "info->yMax = cell.xMax;",
      "northern bound from the eastern one"),
    M("ded/describe.cpp", "info->maxColumns = static_cast<int32_t>(cell.columnCount);",
      "info->maxColumns = static_cast<int32_t>(cell.rowCount);", "largest columns from the rows"),
    M("ded/describe.cpp", "info->maxRows = static_cast<int32_t>(cell.rowCount);",
      "info->maxRows = static_cast<int32_t>(cell.columnCount);", "largest rows from the columns"),
    M("ded/header.cpp", "(text[i] == ' ' || (text[i] >= '\\t' && text[i] <= '\\r'))",
      "(text[i] == ' ' || text[i] == '\\t')", "only blanks and tabs skipped before the zone"),
    M("ded/header.cpp", "const size_t end = sizeof header.zone;",
      "const size_t end = sizeof header.zone - 1;", "zone text read one byte short"),
    M("ded/header.cpp", "      value = INT32_MAX;",
      "      value = DED_MAX_UTM_ZONE;", "large zones saturate at 60"),
    M("ded/header.cpp", "negative = text[i] == '-';",
      "negative = text[i] != '-';", "sign test inverted"),
    M("ded/header.cpp", "text[i] >= '0' && text[i] <= '9'; ++i) {",
      "text[i] >= '0' && text[i] < '9'; ++i) {", "digit 9 ends the zone"),
    M("ded/describe.cpp", "const double quotient = (static_cast<double>(high) - static_cast<double>(low)) /",
      "const double quotient = static_cast<double>(high - low) /",
      "mosaic extent subtracted in single precision"),
    M("ded/describe.cpp", "(static_cast<double>(spacing) / DED_GEOGRAPHIC_SPACING_UNITS);",
      "static_cast<double>(spacing / 36000.0f);", "sizing step in single precision"),
    M("ded/describe.cpp", "const double whole = dedWholePart(quotient);",
      "const double whole = std::trunc(quotient);", "mosaic size truncated without the snap"),
    M("ded/describe.cpp", "if (!std::isfinite(whole) || whole < -1.0 ||", "if (!std::isfinite(whole) || whole < 0.0 ||",
      "an extent one step backwards refused"),
    M("ded/describe.cpp", "whole >= static_cast<double>(INT32_MAX)) {", "whole > static_cast<double>(INT32_MAX)) {",
      "a mosaic of exactly 2^31 columns accepted"),
    M("ded/describe.cpp", "return static_cast<int64_t>(whole) + 1;", "return static_cast<int64_t>(whole);",
      "mosaic size one short"),
    M("ded/describe.cpp", "return static_cast<int32_t>(std::min<int64_t>(count, held + 1));",
      "return static_cast<int32_t>(std::min<int64_t>(count, held));",
      "no room for the header whose read fails"),
    M("ded/header.cpp", "  case 's':\n",
      "  case 'e':\n", "lower-case s not a hemisphere"),
    M("ded/header.cpp", "    *code = DED_HEMISPHERE_SOUTH;",
      "    *code = DED_HEMISPHERE_NORTH;", "south coded as north"),
    M("ded/describe.cpp", "if (zone < 1 || zone > DED_MAX_UTM_ZONE) {",
      "if (zone < 1 || zone >= DED_MAX_UTM_ZONE) {", "zone 60 refused"),
    M("ded/describe.cpp", "  info->width = static_cast<int32_t>(first.columnCount);\n  info->height = static_cast<int32_t>(first.rowCount);\n  return DedFinding::None;",
      "  info->width = static_cast<int32_t>(first.rowCount);\n  info->height = static_cast<int32_t>(first.rowCount);\n  return DedFinding::None;", "UTM width from the rows"),
    M("ded/describe.cpp", "if (info->cellCount <= 1) {", "if (info->cellCount < 1) {",
      "a one-cell geographic file sized from its bounds"),
    M("ded/describe.cpp", "if (!(first.xSpacing > 0.0f) || !(first.ySpacing > 0.0f)) {",
      "if (!(first.ySpacing > 0.0f)) {", "x spacing of the first cell not checked"),
    M("ded/describe.cpp", "if (!(first.xSpacing > 0.0f) || !(first.ySpacing > 0.0f)) {",
      "if (!(first.xSpacing > 0.0f)) {", "y spacing of the first cell not checked"),
    M("ded/describe.cpp", "mosaicSize(info->xMin, info->xMax, first.xSpacing);",
      "mosaicSize(info->xMin, info->xMax, first.ySpacing);", "mosaic width by the y spacing"),
    M("ded/describe.cpp", "if (width < 0 || height < 0) {", "if (width < 0) {",
      "an unusable mosaic height not refused"),
    M("ded/describe.cpp", "  info->width = static_cast<int32_t>(width);",
      "  info->width = static_cast<int32_t>(height);", "mosaic width from its height"),
    M("ded/describe.cpp", "  (void)input.seek(input.context, DED_HEADER_OFFSET); // a failed seek shows in the next read\n",
      "", "description reads from wherever the input is"),
    M("ded/describe.cpp", "  if (arrayBytes > INT32_MAX) {", "  if (false) {\n    (void)arrayBytes;",
      "cell array size not checked"),
    M("ded/describe.cpp", "dedAllocate<DedCellHeader>(allocator, int64_t{room} * DED_CELL_HEADER_SIZE);",
      "dedAllocate<DedCellHeader>(allocator, int64_t{count} * DED_CELL_HEADER_SIZE);", "cell array as large as the file claims"),
    M("ded/describe.cpp", "info->cellCount = read.statistics.cellCount;",
      "info->cellCount = count;", "cell count as headers read, not as stored"),
    M("ded/describe.cpp", "const DedCellHeader first = cells[0];", "const DedCellHeader first = cells[count - 1];",
      "the last cell taken for the first"),
    M("ded/header.cpp", "std::memcmp(header.projection, \"UTM\", 3) == 0",
      "std::memcmp(header.projection, \"UTM\", 2) == 0", "projection tag compared on two letters"),
    M("ded/records.h", "DED_MAX_SAMPLES = INT32_MAX / DED_SAMPLE_SIZE;",
      "DED_MAX_SAMPLES = INT32_MAX;", "image bytes counted as samples"),
    M("ded/describe.cpp", "if (int64_t{info->width} * info->height > DED_MAX_SAMPLES) {",
      "if (int64_t{info->width} * info->height >= DED_MAX_SAMPLES) {", "an image of exactly 2 GiB refused"),
    M("ded/describe.cpp", "info->minElevation = static_cast<float>(read.statistics.minElevation);",
      "info->minElevation = static_cast<float>(read.statistics.maxElevation);", "minimum from the maximum"),
    # ded/open_files.cpp
    M("ded/records.h", "DED_MAGIC[4] = {'K', 'V', 'T', 'R'};",
      "DED_MAGIC[4] = {'K', 'V', 'T', 'S'};", "wrong magic"),
    M("ded/open_files.cpp", "std::strchr(mode, '+') != nullptr ? O_RDWR : O_RDONLY;", "O_RDONLY;",
      "an update mode opened read-only"),
    M("ded/open_files.cpp", "const int fd = ::open(path, access | O_NONBLOCK | O_CLOEXEC);",
      "const int fd = ::open(path, access | O_CLOEXEC);", "open may block on a FIFO"),
    M("ded/open_files.cpp", "!S_ISREG(status.st_mode) || flags < 0 ||", "flags < 0 ||",
      "not-regular files accepted"),
    M("ded/open_files.cpp", "  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||\n      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {\n    (void)::close(fd);",
      "  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||\n      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {",
      "refused descriptor not closed"),
    M("ded/open_files.cpp", "for (int32_t slot = 0; slot < DED_MAX_OPEN_FILES; ++slot) {",
      "for (int32_t slot = 0; slot < DED_MAX_OPEN_FILES - 1; ++slot) {", "last slot never used"),
    M("ded/open_files.cpp", "    if (!longMode) {\n      return DedFinding::NoMemory;\n    }\n",
      "", "long mode without a block used anyway"),
    M("ded/open_files.cpp", "std::fread(start, 4, 1, stream) == 1 && std::fread(start + 4, 4, 1, stream) == 1;",
      "std::fread(start + 4, 4, 1, stream) == 1;", "magic taken from the first word"),
    M("ded/open_files.cpp", "    (void)std::fclose(stream); // read-only: nothing to lose\n    return DedFinding::BadMagic;",
      "    return DedFinding::BadMagic;", "stream without the magic left open"),
    M("plugin/status.cpp", "    return DED_ERR_FORMAT;",
      "    return DED_ERR_OPEN;", "missing magic reported as open failure"),
    M("plugin/open_close.cpp", "    dedForgetToldSize(handle); // the next file in this slot told the host nothing yet\n",
      "", "a closed handle keeps the size told for its file"),
    M("ded/open_files.cpp", "if (handle < 0 || handle >= DED_MAX_OPEN_FILES) {",
      "if (handle < 0 || handle > DED_MAX_OPEN_FILES) {", "handle 10 looked up",
      "equivalent in a release build: handle 10 reads the pointer just past the table, which "
      "this build's layout leaves null, so it acts as an empty slot (an address-sanitizer "
      "build reports the read)"),
    M("ded/open_files.cpp", "if (handle < 0 || handle >= DED_MAX_OPEN_FILES) {",
      "if (handle >= DED_MAX_OPEN_FILES) {", "negative handles looked up"),
    M("ded/open_files.cpp", "  if (slot < 0) {\n    return DedFinding::TableFull;",
      "  if (slot < -1) {\n    return DedFinding::TableFull;", "a full table not refused"),
    M("ded/open_files.cpp", "  if (finding == DedFinding::None) {\n    *handle = slot;\n  }",
      "  *handle = slot;", "a failed open stores a handle"),
    M("ded/open_files.cpp", "  table.slots[handle] = nullptr;\n",
      "", "closed slot not emptied"),
    M("plugin/told_size.cpp", "told[handle] = ToldSize{true, width, height};",
      "told[handle] = ToldSize{false, width, height};", "told size never remembered"),
    M("plugin/told_size.cpp", "*width = told[handle].width;",
      "*width = told[handle].height;", "told width recalled as the height"),
    M("plugin/told_size.cpp", "if (!inTable(handle) || !told[handle].told) {",
      "if (!inTable(handle)) {", "a size never told is recalled"),
    M("plugin/describe.cpp", "  if (stream == nullptr) {\n    return DED_ERR_BADARG;\n  }\n",
      "", "a bad handle described as a closed stream"),
    # image/grey.cpp
    M("image/grey.cpp", "bits = static_cast<uint16_t>((bits >> 8) | (bits << 8));",
      "bits = static_cast<uint16_t>(bits >> 8);", "per-pixel decode drops the low byte"),
    M("image/grey.cpp", "pixels + c + r * rowStride,", "pixels + c + r * width,",
      "lane blocks' rows by width, not stride"),
    M("image/grey.cpp", "mapBlock<kClampTop>(block + c * columnPitch + r,",
      "mapBlock<kClampTop>(block + c * height + r,", "lane blocks' column pitch taken as the height"),
    M("image/grey.cpp", "return std::nearbyint(scale.negMin) == scale.negMin && scale.negMin >= -32767.0f &&",
      "return scale.negMin >= -32767.0f &&", "fractional minimum through the lanes"),
    M("image/grey.cpp", "         scale.negMin <= 32768.0f;", "         scale.negMin < 32768.0f;",
      "minimum -32768 kept off the lanes",
      "equivalent: both paths give dedGreyLevel's levels exactly; only the speed differs"),
    M("image/grey.cpp", "const float offset = 8388608.0f + 32768.0f - scale.negMin;",
      "const float offset = 8388608.0f - scale.negMin;", "lane offset without the bias"),
    M("image/grey.cpp", "return _mm_cvttps_epi32(kClampTop ? _mm_min_ps(s.top, value) : value);",
      "return _mm_cvttps_epi32(kClampTop ? _mm_min_ps(value, s.top) : value);",
      "min operands swapped: NaN becomes 255"),
    M("image/grey.cpp", "return _mm_cvttps_epi32(kClampTop ? _mm_min_ps(s.top, value) : value);",
      "return _mm_cvttps_epi32(value);", "no ceiling however large k is"),
    M("image/grey.cpp", "constexpr float kLargestUnclampedK = 16384.0f;",
      "constexpr float kLargestUnclampedK = 65536.0f;", "ceiling dropped for products beyond 2^31"),
    M("image/grey.cpp", "return _mm_packs_epi32(levels4<kClampTop>(_mm_unpacklo_epi16(biased, s.exponent), s),",
      "return _mm_packs_epi32(levels4<kClampTop>(_mm_unpackhi_epi16(biased, s.exponent), s),",
      "lower four lanes from the upper half"),
    M("image/grey.cpp", "_mm_srli_si128(two, 8));", "_mm_srli_si128(two, 4));", "odd row from the wrong half"),
    M("image/grey.cpp", "const int32_t width8 = width - width % kBlock;",
      "const int32_t width8 = width - width % kTileColumns;", "lanes stop at whole tiles",
      "equivalent: the columns the lanes leave are mapped one pixel at a time to the same levels"),
    M("image/grey.cpp", "const int32_t cEnd = width - c0 < kTileColumns ? width : c0 + kTileColumns;",
      "const int32_t cEnd = c0 + kTileColumns;", "last tile runs past the whole blocks"),
    M("image/grey.cpp", "done = height - height % DED_AVX2_BLOCK_ROWS;", "done = height - height % 8;",
      "the AVX2 kernel given rows short of a whole block"),
    M("image/grey.cpp", "if (static_cast<int>(path) > static_cast<int>(dedBestGreyPath())) {",
      "if (static_cast<int>(path) > static_cast<int>(DedGreyPath::Avx2)) {",
      "a kernel the processor lacks can be chosen",
      "equivalent where the processor has AVX2, as the machines that run the suites do"),
    # image/grey_avx2.cpp
    M("image/grey_avx2.cpp", "uint8_t *upper = out + 8 * rowStride;", "uint8_t *upper = out + 7 * rowStride;",
      "upper halves one row too high"),
    M("image/grey_avx2.cpp", "v[c] = stored ? swapLanes(column) : column;", "v[c] = column;",
      "stored samples unswapped in the AVX2 kernel"),
    M("image/grey.cpp", "               width - width8, height, rowStride);",
      "               width - width8, height8, rowStride);", "right edge stops at the whole rows"),
    M("image/grey.cpp", "pixels + height8 * rowStride, width8,", "pixels + height8 * rowStride, width,",
      "bottom edge includes the corner again",
      "equivalent: the corner is mapped twice to the same levels"),
    M("image/grey.cpp", "const float k = 255.0f / (maxElevation - minElevation);",
      "const float k = 255.0f / (maxElevation - minElevation + 1.0f);", "grey scale over range + 1"),
    M("image/grey.cpp", "static_cast<float>((static_cast<double>(sample) + static_cast<double>(scale.negMin)) *",
      "static_cast<float>((static_cast<float>(sample) + scale.negMin) *",
      "elevation offset added in single precision"),
    M("image/grey.cpp", "  const float v =\n      static_cast<float>((static_cast<double>(sample)",
      "  const double v =\n      ((static_cast<double>(sample)", "grey value kept in double precision"),
    M("image/grey.cpp", "  if (!(v >= 0.0f)) {", "  if (v < 0.0f) {", "NaN not caught before the conversion",
      "equivalent on x86-64: a NaN converts to 0x80000000, whose low byte is the same 0 (a "
      "float-cast-overflow sanitizer build reports it)"),
    M("image/grey.cpp", "  if (v > 255.0f) {", "  if (v >= 255.0f) {", "255 saturated",
      "equivalent: exactly 255 converts to 255 as well"),
    M("image/grey.cpp", "  if (v > 255.0f) {", "  if (v > 256.0f) {", "ceiling at 256"),
    M("image/grey.cpp", "  return static_cast<uint8_t>(v);", "  return static_cast<uint8_t>(std::lround(v));",
      "grey level rounded instead of truncated"),
    M("image/grey.cpp", "             path == DedGreyPath::Avx2);\n    return;",
      "             path == DedGreyPath::Avx2);",
      "lanes' pixels mapped again one at a time",
      "equivalent: the plain pass writes the very levels the lanes wrote"),
    # image/place.cpp
    M("ded/placement.cpp", "p.firstColumn = std::max<int64_t>(0, -imageColumn);",
      "p.firstColumn = std::max<int64_t>(0, imageColumn);", "left clip with the wrong sign"),
    M("ded/placement.cpp", "std::min<int64_t>(columns, int64_t{width} - imageColumn);",
      "std::min<int64_t>(columns, int64_t{width} - imageRow);", "right clip from the row"),
    M("ded/placement.cpp", "p.firstRow = std::max<int64_t>(0, -imageRow);",
      "p.firstRow = std::max<int64_t>(0, -imageColumn);", "bottom clip by the column"),
    M("ded/placement.cpp", "std::min<int64_t>(rows, int64_t{height} - imageRow);",
      "std::min<int64_t>(rows, int64_t{height} - imageColumn);", "top clip from the column"),
    M("ded/placement.cpp", "p.shown = p.firstColumn < p.endColumn && p.firstRow < p.endRow;",
      "p.shown = p.firstColumn < p.endColumn;", "a block without rows in the image counts as shown"),
    M("image/place.cpp", "block + placement.firstColumn * placement.rows + placement.firstRow;",
      "block + placement.firstColumn * placement.columns + placement.firstRow;", "clipped block start by columns, not rows"),
    M("image/place.cpp", "(placement.imageRow + placement.firstRow) * image.rowStride;",
      "(placement.imageRow + placement.firstRow) * image.width;", "placed rows by width, not stride"),
    M("image/place.cpp", "dedMapToGrey(from, static_cast<std::ptrdiff_t>(placement.rows),",
      "dedMapToGrey(from, static_cast<std::ptrdiff_t>(placement.columns),", "column pitch of the columns"),
    M("image/place.cpp", "DedSampleForm::Stored, scale, to,", "DedSampleForm::Value, scale, to,",
      "stored samples mapped unswapped"),
    M("image/place.cpp", "static_cast<int32_t>(placement.endColumn - placement.firstColumn),",
      "static_cast<int32_t>(placement.endColumn),", "clipped width counts the dropped columns"),
    M("image/place.cpp", "DedSampleForm::Stored, scale, to,", "DedSampleForm::Value, scale, to,",
      "stored samples mapped unswapped"),
    M("image/place.cpp", "if (coversRow(r, row) && r.firstColumn <= column && column < r.endColumn) {",
      "if (coversRow(r, row) && r.firstColumn < column && column < r.endColumn) {",
      "a rectangle's first column filled over",
      "equivalent: the pixels filled over are the cell's own, which placing it writes again"),
    M("image/place.cpp", "if (edge > row && edge < endRow) {", "if (edge > row + 1 && edge < endRow) {",
      "a rectangle's edge one row after another missed"),
    M("image/place.cpp", "          gapEnd = std::min(gapEnd, covered[i].firstColumn);\n", "",
      "gaps filled over the rectangles right of them",
      "equivalent: the pixels filled over are cells' own, which placing them writes again"),
    # Survives: each of the rows is a memset of no bytes, so only time shows (seconds for
    # the billion rows of tests/crashers/inverted_bounds_no_pixels.ded), and no test times.
    M("image/place.cpp", "  if (image.width <= 0) {\n    return; // no pixels, however many rows",
      "  if (image.width < 0) {\n    return; // no pixels, however many rows",
      "image without columns still walked row by row"),
    # image/stream_rows.cpp
    M("image/stream_rows.cpp", "int64_t c = g0 <= lineStart ? g0 : g0 - intoLine(row + g0);",
      "int64_t c = g0 < lineStart ? g0 : g0 - intoLine(row + g0);", "no carry at the first whole line"),
    M("image/stream_rows.cpp", "std::memcpy(row + c, from, n); // shares its line",
      "std::memcpy(row + c, from, n + 1); // shares its line", "a byte past the run written"),
    M("image/stream_rows.cpp", "carry(staged - (groupEnd - c), from, n);",
      "carry(staged - (groupEnd - c) + 1, from, n);", "carried bytes one column off"),
    M("image/stream_rows.cpp", "return (groupColumns + DED_STREAM_LINE) * rows + DED_STREAM_LINE;",
      "return (groupColumns + DED_STREAM_LINE) * rows;", "the last row's carried line read past the area",
      "equivalent without AddressSanitizer (the sanitizer suite catches it): the bytes read past "
      "the area are never written out"),
    M("image/stream_rows.cpp", "for (; c + DED_STREAM_LINE <= groupEnd;", "for (; c + DED_STREAM_LINE < groupEnd;",
      "a line that ends the group carried instead of written",
      "equivalent: the next group or the run's end writes it, with ordinary stores at worst"),
    M("image/place.cpp", "for (int64_t r = 0; r < image.height; ++r) {",
      "for (int64_t r = 0; r <= image.height; ++r) {", "fill one row too many"),
    M("image/place.cpp", "level, static_cast<size_t>(image.width));", "level, static_cast<size_t>(image.rowStride));",
      "fill writes the row padding"),
    # plugin/get_image.cpp
    M("plugin/get_image.cpp", "kBandSamples = int64_t{1} << 19;", "kBandSamples = int64_t{1} << 20;",
      "bands of 2 MiB"),
    M("plugin/get_image.cpp", "const int64_t chunkColumns = (columns + chunks - 1) / chunks;",
      "const int64_t chunkColumns = columns / chunks;", "chunks one column short of the block",
      "equivalent: the columns left over come in a last, narrow chunk"),
    M("plugin/get_image.cpp", "kBandColumnMultiple = 64;", "kBandColumnMultiple = 32;",
      "bands in multiples of 32 columns"),
    M("plugin/get_image.cpp", "bandColumns = std::max<int64_t>(1, kBandSamples / columnSamples);",
      "bandColumns = kBandSamples / columnSamples;", "a band may have no column"),
    M("plugin/get_image.cpp", "      bandColumns -= bandColumns % kBandColumnMultiple;\n", "",
      "band not rounded to whole cache lines"),
    M("plugin/get_image.cpp", "    bandColumns = std::min<int64_t>(bandColumns, info.width);\n", "",
      "band wider than the image"),
    M("plugin/get_image.cpp", "const int64_t bandBytes = bandColumns * columnSamples * DED_SAMPLE_SIZE;",
      "const int64_t bandBytes = bandColumns * columnSamples;", "band block counted in bytes as samples"),
    M("plugin/get_image.cpp", "const bool staged = columnSamples > 0 && bandColumns >= kBandColumnMultiple;",
      "const bool staged = columnSamples > 0;", "bands of less than a line staged",
      "equivalent: the staging area writes the same pixels, only more slowly"),
    M("plugin/get_image.cpp", "if (staged && (column - out.groupColumn == groupColumns || column == info.width)) {",
      "if (staged && column == info.width) {", "groups staged past the staging area's width"),
    M("plugin/get_image.cpp", "const int64_t columns = std::min<int64_t>(bandColumns, info.width - column);",
      "const int64_t columns = bandColumns;", "last band runs past the image",
      "equivalent: the extra columns lie right of the image, which placing clips; the samples "
      "read for them follow the block and are never shown"),
    M("plugin/get_image.cpp", "exhausted = read.got < samples;", "exhausted = read.got == 0;",
      "reading goes on after a short band"),
    M("plugin/get_image.cpp", "dedClipBlock(columns, columnSamples, column, 0, image.width, image.height)",
      "dedClipBlock(columnSamples, columns, column, 0, image.width, image.height)", "band placed with columns and rows swapped"),
    M("plugin/get_image.cpp", "if (read.error != 0 || (read.got == 0 && first == 0)) {",
      "if (read.error != 0 || read.got == 0) {", "a later band or chunk of nothing fails"),
    M("plugin/get_image.cpp", "if (read.error != 0 || (read.got == 0 && first == 0)) {",
      "if (read.got == 0 && first == 0) {", "a read the system failed taken for the end of the file"),
    M("plugin/get_image.cpp", "*exhausted = read.got < samples;", "*exhausted = read.got == 0;",
      "reading goes on after a short band or chunk"),
    M("plugin/get_image.cpp", "    std::fill_n(dest, samples, uint16_t{0});\n", "",
      "bands or chunks past the end keep the last samples"),
    M("plugin/get_image.cpp", "  } while (column < info.width);", "  } while (column <= info.width);",
      "one band more, of no columns"),
    M("plugin/get_image.cpp", "dedHostAlloc<uint16_t>(scratchSamples * DED_SAMPLE_SIZE);",
      "dedHostAlloc<uint16_t>(scratchSamples);", "scratch block counted in bytes as samples"),
    M("plugin/get_image.cpp", "  const DedFinding finding = dedCheckBlocks(cells, count, fileSize, scratchSamples);\n  if (finding != DedFinding::None) {\n    return dedStatusFor(finding);\n  }\n",
      "  (void)dedCheckBlocks(cells, count, fileSize, scratchSamples);\n", "blocks not checked before the first pixel"),
    M("plugin/get_image.cpp", "const uint8_t uncovered = dedGreyLevel(static_cast<int16_t>(info.minElevation), scale);",
      "const uint8_t uncovered = 0;", "uncovered pixels filled with 0 outright",
      "equivalent: the minimum elevation maps to (min - min) x k, which is 0, -0 or NaN: grey 0 "
      "for every range"),
    M("ded/block_samples.cpp", "if (wanted > 0 && !input.seek(input.context, block.offset + first * DED_SAMPLE_SIZE)) {",
      "if (wanted > 0 && false) {", "blocks read one after another without a seek"),
    M("ded/block_samples.cpp", "result.error = input.readError != nullptr ? input.readError(input.context) : 0;",
      "result.error = 0;", "a read the system failed handed up as the end of the file"),
    M("image/place.cpp", "  return {placement.imageColumn + placement.firstColumn,\n",
      "  return {placement.imageRow + placement.firstColumn,\n",
      "a placed rectangle's left edge from the row"),
    M("plugin/get_image.cpp", "    dedFillUncovered(image, covered, count, uncovered);\n", "",
      "uncovered pixels not filled"),
    M("ded/blocks.cpp", "limit, 0, dedFirstBlockOffset(count)};",
      "limit, 0, dedFirstBlockOffset(1)};", "mosaic blocks after a single header"),
    M("ded/blocks.cpp", "walk->nextOffset = b.offset + b.bytes;",
      "walk->nextOffset = b.offset + b.samples;", "next block offset in samples"),
    M("ded/placement.cpp", "return dedClipBlock(columns, rows, column, row, info.width, info.height);",
      "return dedClipBlock(rows, columns, column, row, info.width, info.height);", "cell placed with columns and rows swapped"),
    M("ded/placement.cpp", "!dedCellOrigin(cell, info.xMin, info.yMin, info.projection, &column, &row)) {",
      "!dedCellOrigin(cell, info.yMin, info.xMin, info.projection, &column, &row)) {", "cells placed from swapped minima"),
    M("plugin/get_image.cpp", "if (count <= kMostCellsFilledAround) {", "if (count < 0) {",
      "the whole image filled first however few cells",
      "equivalent: the cells are placed over the fill, only the time differs"),
    M("plugin/get_image.cpp", "if (readBlockPart(input, block, done, wanted, &exhausted, scratch) != DED_OK) {",
      "if (readBlockPart(input, block, 0, wanted, &exhausted, scratch) != DED_OK) {",
      "every chunk read from the block's start"),
    # ded/block_samples.cpp: one reader of a block's samples, one rule for a short file
    M("ded/block_samples.cpp", "std::min(block.samples - block.missing, block.bytes / DED_SAMPLE_SIZE);",
      "std::min(block.samples, block.bytes / DED_SAMPLE_SIZE);", "samples past those the file holds read"),
    M("ded/block_samples.cpp", "got += static_cast<int64_t>(read / DED_SAMPLE_SIZE);",
      "got += static_cast<int64_t>((read + 1) / DED_SAMPLE_SIZE);", "a half sample counted as read"),
    M("ded/block_samples.cpp", "  std::fill(dest + result.got, dest + count, fill);", "  std::fill(dest + result.got, dest + count, 0);",
      "samples the file does not give are 0, not the caller's fill"),
    M("ded/placement.cpp", "const int64_t i0 = std::max(placement.firstRow, bottom - placement.imageRow);",
      "const int64_t i0 = placement.firstRow;", "a window's rows read from the block's first landing row"),
    M("plugin/get_image.cpp", "scratchSamples * DED_SAMPLE_SIZE);\n  DedRowStream",
      "scratchSamples * DED_SAMPLE_SIZE * 2);\n  DedRowStream", "staging area past the scratch block"),
    M("plugin/get_image.cpp", "if (rowStride < info.width) {", "if (rowStride <= info.width) {",
      "rows exactly the width refused"),
    M("ded/describe.cpp", "limit != INT64_MAX && limit > DED_MAX_SAMPLES",
      "limit != INT64_MAX && limit >= DED_MAX_SAMPLES", "a scratch block of exactly 2 GiB refused"),
    M("plugin/get_image.cpp", "if (stream == nullptr || pixels == nullptr) {", "if (stream == nullptr) {",
      "null pixel buffer accepted"),
    M("plugin/get_image.cpp", "(toldWidth != info.width || toldHeight != info.height)",
      "(toldWidth != info.width)", "told height not compared"),
    M("plugin/get_image.cpp", "qvGetImageRowWidth(info.width, QV_SAMPLE_SIZE, QV_TEXTURE_TYPE, &padding);",
      "qvGetImageRowWidth(info.width, QV_TEXTURE_TYPE, QV_SAMPLE_SIZE, &padding);",
      "row width asked with swapped arguments"),
    M("plugin/get_image.cpp", "const DedPixelImage image{pixels, info.width, info.height, rowStride};",
      "const DedPixelImage image{pixels, info.height, info.width, rowStride};", "image width and height swapped"),
    M("plugin/get_image.cpp", "  if (count == 1) {\n    return deliverSingleCell",
      "  if (info.cellCount == 1) {\n    return deliverSingleCell",
      "a file of cell count 0 or less delivered as a mosaic"),
    # plugin/get_info.cpp
    M("plugin/get_info.cpp", "qvSetTextureWidth(image, info.width)", "qvSetTextureWidth(image, info.height)",
      "width told as the height"),
    M("plugin/get_info.cpp", "qvSetTextureMinMax(image, QV_GREY_LOW, QV_GREY_HIGH)",
      "qvSetTextureMinMax(image, QV_GREY_HIGH, QV_GREY_LOW)", "grey range reversed"),
    M("plugin/get_info.cpp", "qvSetTextureTiledFlag(image, QV_TILED_FLAG) != 0 &&",
      "qvSetTextureTiledFlag(image, QV_TILED_FLAG) >= 0 &&", "refused tiled flag ignored"),
    M("plugin/get_info.cpp", "  dedRememberToldSize(handle, info.width, info.height);\n", "",
      "told size not remembered"),
    M("plugin/get_info.cpp", "  if (!setAttributes(image, info)) {\n    return DED_ERR_BADARG;",
      "  if (!setAttributes(image, info)) {\n    return DED_ERR_READ;", "refusal reported as a read failure"),
    # plugin/geo_info.cpp
    M("plugin/geo_info.cpp", "qvSetTextureGeoProjection(image, info.projection)",
      "qvSetTextureGeoProjection(image, PROJ_GEOGRAPHIC)", "projection always geographic"),
    M("plugin/geo_info.cpp", "if (info.projection != PROJ_UTM) {", "if (info.projection == PROJ_UTM) {",
      "zone and hemisphere for geographic files only"),
    M("plugin/geo_info.cpp", "qvSetTextureGeoUTMHemisphere(image, info.utmHemisphere)",
      "qvSetTextureGeoUTMHemisphere(image, info.utmZone)", "hemisphere told as the zone"),
    M("ded/area.cpp", "if (info.projection == PROJ_UTM && info.cellCount > 1) {",
      "if (info.projection == PROJ_UTM && info.cellCount > 0) {", "single UTM cell's far ends computed"),
    M("ded/area.cpp", "(static_cast<double>(info.height) - 1.0) * static_cast<double>(info.ySpacing);",
      "(static_cast<double>(info.height) - 1.0) * static_cast<double>(info.xSpacing);", "northern end by the x spacing"),
    M("ded/area.cpp", "(static_cast<double>(info.height) - 1.0) * static_cast<double>(info.ySpacing);",
      "static_cast<double>(info.height) * static_cast<double>(info.ySpacing);", "northern end one spacing too far"),
    M("plugin/geo_info.cpp", "qvSetTextureGeoCtlPt(image, 1, 0.0, height, area.xMin, area.yMax)",
      "qvSetTextureGeoCtlPt(image, 1, height, 0.0, area.xMin, area.yMax)", "second point's image x and y swapped"),
    M("plugin/geo_info.cpp", "qvSetTextureGeoCtlPt(image, 2, width, 0.0, area.xMax, area.yMin)",
      "qvSetTextureGeoCtlPt(image, 2, width, 0.0, area.xMin, area.yMin)",
      "third point at the western edge"),
    M("plugin/geo_info.cpp", "return setProjection(image, info) && setControlPoints(image, info)",
      "return setProjection(image, info) || setControlPoints(image, info)", "control points skipped"),
    # plugin/entry.cpp
    M("plugin/entry.cpp", "kImporterFormat = 65;", "kImporterFormat = 64;", "wrong importer format"),
    M("plugin/entry.cpp", '"Filter",\n                              "*.ded"', '"Filter",\n                              "*.DED"',
      "filter in capitals"),
    M("plugin/entry.cpp", "return importer != nullptr ? 1 : 0;", "return 1;", "refused registration reported as done"),
    M("plugin/entry.cpp", "  qvSetReadImageGeoInfoFunc(plugin, importer, dedGetGeoInfo, nullptr);\n", "",
      "geo-info callback never attached"),
    M("plugin/entry.cpp", "{ qvUnregisterAllTools(plugin); }", "{ (void)plugin; }", "exit unregisters nothing"),
    M("plugin/entry.cpp", "dedGetImageInfo, dedGetImageData, nullptr,", "dedGetImageData, dedGetImageInfo, nullptr,",
      "get-info and get-image registered the wrong way round"),
    # plugin/open_close.cpp
    M("plugin/open_close.cpp", "return dedStatusFor(dedTableOpen(path, mode, dedHostAllocator(), handle));",
      "return dedTableOpen(path, mode, dedHostAllocator(), handle) == DedFinding::None ? 0 : -2;", "every open failure told as -2"),
    M("plugin/open_close.cpp", "  return dedStatusFor(finding);",
      "  return 0;", "close always succeeds"),
    # ded/blocks.cpp (new)
    M("ded/blocks.cpp", "b.missing = held <= 0 ? b.samples : std::max<int64_t>(0, b.samples - held);",
      "b.missing = b.samples - held;", "missing samples below zero for a whole block"),
    M("ded/blocks.cpp", "b.bytes = std::min(b.samples, (INT64_MAX - b.offset) / DED_SAMPLE_SIZE) * DED_SAMPLE_SIZE;",
      "b.bytes = b.samples * DED_SAMPLE_SIZE;", "block sizes wrap for huge claims"),
    # image/place.cpp: elevations
    M("image/place.cpp", "window.northUp ? int64_t{window.height} - 1 - imageRow : imageRow;",
      "window.northUp ? int64_t{window.height} - imageRow : imageRow;", "north-up rows one too far"),
    M("image/place.cpp", "v[c] = _mm_or_si128(_mm_slli_epi16(column, 8), _mm_srli_epi16(column, 8));",
      "v[c] = column;", "elevations in tiles copied without the byte swap"),
    M("image/place.cpp", "for (int64_t i = j < wholeColumns ? wholeRows : 0; i < rows; ++i) {",
      "for (int64_t i = wholeRows; i < rows; ++i) {", "the columns right of the tiles left out"),
    M("image/place.cpp", "placeTile(from + j * pitch + i, pitch, to + i * step + j, step);",
      "placeTile(from + j * pitch + i, pitch, to + i * step + j, -step);",
      "tiles' rows written the other way"),
    # ded/area.cpp: geotransform
    M("ded/area.cpp", "geoTransform[3] = grid.north + grid.yStep / 2;",
      "geoTransform[3] = grid.north - grid.yStep / 2;", "top edge half a pixel inside"),

    # ---- The command-line host and the GDAL driver (cli/, gdal/) ----
    # Run against elvarin-host's and the driver's suites (CLI_SUITES), not the plug-in's.
    # cli/output/output_files.cpp: what may be replaced, and what is left
    M("cli/output/output_files.cpp", "return S_ISREG(status.st_mode)   ? \"\"",
      "return !S_ISDIR(status.st_mode) ? \"\"", "a FIFO or a device replaced by an output"),
    M("cli/output/output_files.cpp", "return errno == ENOENT || errno == ENOTDIR",
      "return errno != EACCES", "a name too long found only after the work"),
    M("cli/output/output_files.cpp", ": !left.path.empty() && left.path == right.path;",
      ": left.path == right.path;", "two unresolvable names taken for one file"),
    M("cli/output/output_files.cpp", "(void)::chmod(entry.tempPath.c_str(), existing.st_mode & 0777);",
      "", "a replaced output loses its permissions"),
    M("cli/output/output_files.cpp", "if (S_ISREG(existing.st_mode)) {\n        (void)::chmod",
      "if (!S_ISREG(existing.st_mode)) {\n        (void)::chmod", "permissions taken from the wrong files"),
    M("cli/output/output_files.cpp", "const size_t length = prefix.size() + sizeof kTemporarySuffix - 2;",
      "const size_t length = prefix.size() + sizeof kTemporarySuffix - 1;",
      "a killed child's temporaries not recognised"),
    M("cli/output/output_files.cpp", "      (void)::unlink(it->path().c_str());\n", "",
      "a killed child's temporaries kept"),
    M("cli/output/output_files.cpp", "if (std::string problem = outputProblem(finalPath); !problem.empty()) {",
      "if (std::string problem = outputProblem(finalPath); false) {",
      "sample replaces a FIFO with its output"),
    M("cli/output/output_files.cpp", "(void)fchmod(fd, static_cast<mode_t>(0666) & ~mask);",
      "(void)fchmod(fd, static_cast<mode_t>(0600));", "new outputs ignore the umask"),
    # cli/commands: batch, errors, main
    M("cli/commands/batch.cpp", "removeTemporariesOf(file.path);", "(void)file;",
      "a killed child's temporaries left in the folder"),
    M("cli/commands/batch.cpp", "lines.append(kStats).append(shownName(input)).append(\": \")",
      "lines.append(kStats).append(shownName(input).substr(0, 0))",
      "a batch's --stats line does not name its file"),
    M("cli/commands/output_plan.cpp", "if (std::string problem = outputProblem(file.path); !problem.empty()) {",
      "if (std::string problem = outputProblem(file.path); false) {",
      "a batch's outputs that are not files only found by each child"),
    M("cli/commands/sample.cpp", "    if (!options.quiet) {\n      reportFailure(\"warning: \" + output + \": \" + error);",
      "    if (false) {\n      reportFailure(\"warning: \" + output + \": \" + error);",
      "a sample cell GIS programs place off written without a word"),
    M("cli/commands/conversion.cpp", "if (std::string problem = unwritableOutput(output, *format); !problem.empty()) {",
      "if (std::string problem = unwritableOutput(output, *format); false) {",
      "convert's side files that are not files found only after the work"),
    M("cli/commands/conversion.cpp", "    line.breakLine();\n    reportFailure(\"warning: \" + text);",
      "    reportFailure(\"warning: \" + text);", "a warning printed on the end of the progress line"),
    M("cli/commands/input_snapshot.cpp", "if (const std::string why = changedSince(snapshot.pin, snapshot.facts); !why.empty()) {",
      "if (const std::string why = changedSince(snapshot.pin, snapshot.facts); false) {",
      "a file rewritten during get-image converted"),
    M("cli/main.cpp", "return flushedOutput(run(argc, argv));", "return run(argc, argv);",
      "lost standard output reported as success"),
    M("cli/commands/errors.cpp", "if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {",
      "if (std::fflush(stdout) == 0) {", "an earlier lost write to standard output forgotten"),
    # cli/host: the one-file check
    M("cli/input/pinned_file.cpp", "    if (written()) {\n      return false;\n    }\n", "",
      "writes reported by inotify ignored"),
    M("cli/input/pinned_file.cpp", "now.changedNs = atPath.changedNs = identity_.changedNs;",
      "(void)atPath;", "a rename over the path fails the run"),
    M("cli/input/pinned_file.cpp", "int64_t{status.st_ctim.tv_sec} * kNsPerSecond + status.st_ctim.tv_nsec};",
      "0};", "the change time never compared where inotify cannot be had"),
    M("cli/input/pinned_file.cpp", "O_RDONLY | O_NONBLOCK | O_CLOEXEC", "O_RDONLY | O_CLOEXEC",
      "a FIFO input blocks the run"),
    M("cli/input/pinned_file.cpp", "IN_MODIFY) < 0) {", "IN_ATTRIB) < 0) {",
      "the watch misses writes and fails renames over the path"),
    M("cli/input/pinned_input.cpp", "  self->buffered_ = 0;\n", "",
      "a seek serves bytes the file no longer holds from the buffer"),
    M("cli/input/one_file_checks.cpp", "if (t.width != image.width || t.height != image.height) {",
      "if (t.width != image.width) {", "a plug-in's wrong height unnoticed"),
    M("cli/input/one_file_checks.cpp", "if (!sameBytes(a[i].header, b[i].header) || a[i].offset != b[i].offset ||",
      "if (a[i].offset != b[i].offset ||", "a rewritten cell header unnoticed"),
    # cli/elevation/losses.cpp: long runs and the void warning
    M("cli/elevation/losses.cpp", "constexpr size_t kRun = UINT16_MAX;", "constexpr size_t kRun = size_t{1} << 16;",
      "16-bit run counters wrap at 65,536"),
    M("cli/elevation/losses.cpp", "int64_t{losses.lowest} - low > (int64_t{high} - low) / 2;",
      "int64_t{losses.lowest} - low >= (int64_t{high} - low) / 2;", "void warning at exactly half the range"),
    M("cli/elevation/losses.cpp", "int64_t{losses.lowest} - low > (int64_t{high} - low) / 2;",
      "static_cast<int16_t>(losses.lowest - low) > (int64_t{high} - low) / 2;",
      "the lowest elevation's height above the range's bottom wraps"),
    # cli/geo/georef.cpp
    M("cli/geo/georef.cpp", "*error = \"the control points do not span the image\";",
      "*error = \"unusable control points\";", "the control points' message says nothing"),
    M("cli/commands/output_plan.cpp", "if ((given & choice.choice) != 0 && (row.choices & choice.choice) == 0) {",
      "if (false) {", "a choice the output ignores is accepted"),
    M("cli/commands/output_plan.cpp", "for (size_t j = 0; j < i; ++j) {", "for (size_t j = i; j < i; ++j) {",
      "an output that would overwrite another output of its job"),
    M("cli/commands/convert.cpp", "return confirmed ? confirmed : made;", "return made;",
      "a file changed under get-image converted"),
    # image/window_read.cpp: the one read loop of the GIS outputs
    M("image/window_read.cpp", "if (read.error != 0 || read.got < readable) {", "if (read.error != 0) {",
      "samples the file no longer holds read as the fill"),
    M("image/window_read.cpp", "if (size < offset + readable * DED_SAMPLE_SIZE) {", "if (false) {",
      "a file cut short since it was described read from a buffer"),
    M("image/window_read.cpp", "const bool wholeColumns = shown.rows == placement.rows;",
      "const bool wholeColumns = true;", "parts of columns read as one run"),
    M("cli/elevation/losses.cpp", "uncoveredPositions(facts.image, placements)",
      "uncoveredPositions(facts.image, {})", "positions no cell covers counted without the cells"),
    M("cli/elevation/losses.cpp", "if (stop.stop_requested()) {", "if (stop.stop_requested() && false) {",
      "a loss count asked to stop reads on to the file's end"),
    M("cli/commands/grey_raster.cpp", "status(Step::GetImage) == DED_ERR_READ;",
      "status(Step::GetImage) != DED_ERR_READ;",
      "a read the plug-in failed stops the count that would name the system's error"),
    M("cli/commands/ded_writer_module.cpp", "\"elvarin-host: stats: %s\\n\"", "\"%s\\n\"",
      "a DED conversion's --stats line, which a batch cannot name the file in"),
    M("cli/commands/ded_writer_module.cpp", "if (level == CE_Warning) {", "if (level == CE_Fatal) {",
      "a DED conversion keeps its source's warnings from the user"),
    # gdal/band.cpp
    M("gdal/band.cpp", "if (readWindow(window, nRasterYSize - yOff - ySize) != CE_None) {",
      "if (readWindow(window, nRasterYSize - yOff) != CE_None) {",
      "a large read's window taken from the wrong rows"),
    M("gdal/band.cpp", "extra->pfnProgress(1.0, \"\", extra->pProgressData) == FALSE) {", "false) {",
      "a large read goes on when its progress asks it to stop"),
    M("gdal/band.cpp", "if (CPLGetLastErrorNo() == CPLE_NotSupported) {", "if (false) {",
      "a stream that cannot seek back blamed on the file"),
    M("gdal/band.cpp", "  CPLErrorReset();\n  DedWindowFailure failure;", "  DedWindowFailure failure;",
      "an earlier unsupported operation taken for the stream's",
      "equivalent where no earlier error of that number is pending when a block is read"),
    # gdal/copy_output.cpp
    M("gdal/copy_output.cpp", "if (!check(error)) {\n    (void)::unlink(filename);",
      "if (!check(error)) {", "a written file that does not open again left in place"),
]

# The command-line host's and the driver's binaries and suites.
CLI_TARGETS = ["elvarin-host", "elvarin", "cli_unit_tests", "cli_e2e_tests", "closes_badly_plugin",
               "swap_shim", "gdal_DED", "gdal_driver_tests", "gdal_fuzz_replay"]


def suites_of(m):
    """The suites that can notice a fault in m's file: ded/ and image/ serve the plug-in,
    the command-line host and the driver alike."""
    folder = m["path"].split("/", 1)[0]
    if folder in ("ded", "image"):
        return ("plugin", "cli")
    return ("cli",) if folder in ("cli", "gdal") else ("plugin",)


def mutant_ids():
    """Ids like cells.07: the file's stem and the mutant's place among that file's."""
    counts = {}
    ids = []
    for m in MUTANTS:
        stem = Path(m["path"]).stem + (".h" if m["path"].endswith(".h") else "")
        counts[stem] = counts.get(stem, 0) + 1
        ids.append(f"{stem}.{counts[stem]:02d}")
    return ids


def check_table():
    """Every original occurs exactly once in its file; returns the problems."""
    problems = []
    for mid, m in zip(mutant_ids(), MUTANTS):
        text = (ROOT / m["path"]).read_bytes()
        n = text.count(m["original"].encode())
        if n != 1:
            problems.append(f"{mid} {m['path']}: original found {n} times: {m['original']!r}")
        if m["original"] == m["replacement"]:
            problems.append(f"{mid}: replacement equals the original")
    return problems


def run(cmd, log, timeout, cwd=ROOT):
    """Runs cmd in its own process group; returns its code, or None on timeout."""
    log.write(f"$ {' '.join(str(c) for c in cmd)}\n")
    log.flush()
    proc = subprocess.Popen([str(c) for c in cmd], cwd=cwd, stdout=log, stderr=subprocess.STDOUT,
                            start_new_session=True)
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        return None
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        raise


def build(build_dir, log, timeout, suites):
    targets = sorted(set((TARGETS if "plugin" in suites else []) +
                         (CLI_TARGETS if "cli" in suites else [])))
    return run(["cmake", "--build", build_dir, "-j2", "--target", *targets], log, timeout)


def run_suites(build_dir, log, timeout, suites):
    """The plug-in's suites and/or elvarin-host's and the driver's, first failure ends
    them. 'killed', 'timeout' or 'survived'."""
    deadline = time.monotonic() + timeout
    seeds = build_dir / "mutation-seeds"
    tests = build_dir / "tests"
    gtest = ["--gtest_brief=1", "--gtest_fail_fast"]
    cli_commands = [
        [tests / "cli" / "cli_unit_tests", *gtest],
        [tests / "cli" / "cli_e2e_tests", *gtest],
        [tests / "gdal" / "gdal_driver_tests", *gtest],
        [tests / "fuzz" / "gdal_fuzz_replay", ROOT / "tests" / "crashers"],
    ]
    plugin_commands = [
        [tests / "unit_tests", *gtest],
        [tests / "read_fault_tests", *gtest],
        [tests / "e2e" / "e2e_tests", *gtest],
        [tests / "fuzz" / "ded_make_seeds", "seeds", seeds],
        [tests / "fuzz" / "ded_fuzz_replay", seeds],
        [tests / "fuzz" / "ded_fuzz_replay", ROOT / "tests" / "crashers"],
        ["ctest", "--test-dir", build_dir, "-R", "^plugin_exports$", "--output-on-failure"],
    ]
    commands = (plugin_commands if "plugin" in suites else []) + \
        (cli_commands if "cli" in suites else [])
    for cmd in commands:
        left = deadline - time.monotonic()
        if left <= 0:
            return "timeout"
        code = run(cmd, log, left)
        if code is None:
            return "timeout"
        if code != 0:
            return "killed"
    return "survived"


def interrupt(*_):
    """A polite kill restores the source as Ctrl-C does."""
    raise KeyboardInterrupt


def configure(build_dir):
    if not (build_dir / "build.ninja").exists():
        subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release"], check=True, stdout=subprocess.DEVNULL)


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build-dir", default="build/mutation")
    parser.add_argument("--timeout", type=float, default=120.0, help="seconds per mutant's tests")
    parser.add_argument("--only", action="append", default=[], help="id prefix; repeatable")
    parser.add_argument("--list", action="store_true", help="print the mutants and stop")
    parser.add_argument("--changed", metavar="BASE",
                        help="faults generated on the lines changed since BASE, not the table")
    parser.add_argument("--seed", default="1", help="chooses the generated faults")
    parser.add_argument("--cap", type=int, default=4, help="generated faults per file")
    return parser.parse_args()


def table_mutants(args):
    """[(id, mutant)] of the hand-picked table, or None when the table is stale."""
    problems = check_table()
    if problems:
        print("\n".join(problems), file=sys.stderr)
        return None
    return [(mid, m) for mid, m in zip(mutant_ids(), MUTANTS)
            if not args.only or any(mid.startswith(p) for p in args.only)]


def generated_mutants(args):
    """[(id, mutant)] of faults made on the lines changed since args.changed."""
    made = line_mutants.generate(ROOT, args.changed, args.seed, args.cap, EQUIVALENTS)
    return [(f"{m['path']}:{m['line']}", m) for m in made
            if not args.only or any(m["path"].startswith(p) for p in args.only)]


def print_list(chosen, generated):
    for mid, m in chosen:
        mark = f"  [equivalent: {m['equivalent']}]" if m["equivalent"] else ""
        if generated:
            print(f"{mid}: {m['original'].strip()} -> {m['replacement'].strip() or '(dropped)'}"
                  f"{mark}")
        else:
            print(f"{mid:18} {m['path']:24} {m['description']}{mark}")
    print(f"{len(chosen)} mutants")


def mutated(text, m):
    """text with m's fault in it: its line replaced, or its original's one occurrence."""
    if "line" in m:
        lines = text.splitlines(keepends=True)
        lines[m["line"] - 1] = m["replacement"]
        return "".join(lines)
    return text.replace(m["original"], m["replacement"], 1)


def run_mutant(m, build_dir, log, timeout):
    path = ROOT / m["path"]
    original = path.read_bytes()  # bytes: line ends stay as they are
    try:
        path.write_bytes(mutated(original.decode(), m).encode())
        if build(build_dir, log, 1800, suites_of(m)) != 0:
            return "not compiling"
        outcome = run_suites(build_dir, log, timeout, suites_of(m))
        return "killed" if outcome == "timeout" else outcome
    finally:
        path.write_bytes(original)


def main():
    args = parse_args()
    chosen = generated_mutants(args) if args.changed else table_mutants(args)
    if chosen is None:
        return 2
    if args.list:
        print_list(chosen, bool(args.changed))
        return 0

    os.nice(10)  # shared machine: builds and tests yield to others
    signal.signal(signal.SIGTERM, interrupt)
    paths = sorted({m["path"] for _, m in chosen})
    if not paths:
        print("no mutants", file=sys.stderr)
        return 2
    if subprocess.run(["git", "diff", "--quiet", "--", *paths], cwd=ROOT).returncode != 0:
        print("the sources to mutate have uncommitted changes; refusing to mutate them",
              file=sys.stderr)
        return 2
    build_dir = (ROOT / args.build_dir).resolve()
    configure(build_dir)
    logs = build_dir / "mutants"
    logs.mkdir(exist_ok=True)

    with open(logs / "baseline.log", "w") as log:
        suites = sorted({s for _, m in chosen for s in suites_of(m)})
        if build(build_dir, log, 1800, suites) != 0 or \
                run_suites(build_dir, log, 600, suites) != "survived":
            print(f"the unmutated code does not build or pass: see {logs / 'baseline.log'}",
                  file=sys.stderr)
            return 2

    results = []
    try:
        for mid, m in chosen:
            started = time.monotonic()
            with open(logs / f"{mid.replace('/', '_')}.log", "w") as log:
                outcome = run_mutant(m, build_dir, log, args.timeout)
            results.append((mid, m, outcome))
            mark = " (equivalent)" if m["equivalent"] and outcome == "survived" else ""
            print(f"{mid:18} {outcome:14} {time.monotonic() - started:6.1f}s  "
                  f"{m['description']}{mark}", flush=True)
    except KeyboardInterrupt:
        print("interrupted; the source is restored", file=sys.stderr)
    finally:
        clean = subprocess.run(["git", "diff", "--quiet", "--", *paths], cwd=ROOT).returncode == 0
        if not clean:
            print("WARNING: git diff shows changes in the mutated sources", file=sys.stderr)

    summarize(results, logs)
    return 0 if clean else 1


def summarize(results, logs):
    total = len(results)
    broken = [r for r in results if r[2] == "not compiling"]
    compiled = [r for r in results if r[2] != "not compiling"]
    equivalent = [r for r in compiled if r[1]["equivalent"] and r[2] == "survived"]
    # A kill of a mutant marked equivalent counts as a kill: the reason was wrong.
    wrongly_equivalent = [r for r in compiled if r[1]["equivalent"] and r[2] == "killed"]
    counted = [r for r in compiled if r not in equivalent]
    killed = [r for r in counted if r[2] == "killed"]
    survived = [r for r in counted if r[2] == "survived"]
    with open(logs / "results.tsv", "w") as out:
        for mid, m, outcome in results:
            out.write(f"{mid}\t{m['path']}\t{outcome}\t{m['description']}\t"
                      f"{m['equivalent'] or ''}\n")
    print()
    print(f"mutants          {total}")
    print(f"not compiling    {len(broken)}")
    print(f"equivalent       {len(equivalent)}")
    print(f"killed           {len(killed)}")
    print(f"survived         {len(survived)}")
    if counted:
        print(f"score            {100.0 * len(killed) / len(counted):.1f} % of the "
              f"{len(counted)} compiled, non-equivalent mutants killed")
    for folder in sorted({line_mutants.top_folder(m) for _, m, _ in counted}):
        mine = [r for r in counted if line_mutants.top_folder(r[1]) == folder]
        dead = sum(1 for r in mine if r[2] == "killed")
        print(f"  {folder + '/':12} {100.0 * dead / len(mine):5.1f} %  ({dead} of {len(mine)})")
    for mid, m, _ in survived:
        shown = f"{m['original'].strip()} -> {m['replacement'].strip() or '(dropped)'}" \
            if "line" in m else m["description"]
        print(f"  survived: {mid} {m['path']}: {shown}")
    for mid, m, _ in wrongly_equivalent:
        print(f"  killed though marked equivalent: {mid} {m['path']}: {m['description']}")


if __name__ == "__main__":
    sys.exit(main())
