// Writing DED files from any raster GDAL reads: the driver's CreateCopy, and
// the two steps it takes, which elvarin-host's convert also takes with its
// own output. ded/ lays out and writes the file; this reads the source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gdal_priv.h>

#include "ded/writer.h"

// What writing a source takes, settled before a byte is written.
struct DedCopyPlan {
  GDALRasterBand *band = nullptr; // the source's first band, the elevations
  GDALRasterBand *mask = nullptr; // its mask where that marks more than NoData: 0 is a void
  DedLayout layout;
  DedValueRule rule;                 // the band's NoData
  std::vector<std::string> warnings; // what the file leaves out of the source
};

// Plans the file of source in cells of cellSide samples a side (0: the
// default rule of dedPlanLayout). False, with the reason in error (naming
// the coordinate system or the problem and how to make a source that
// writes), for a source without a band, without a north-up geotransform, in
// another coordinate system than WGS 84 geographic or UTM, or whose layout
// the plug-in could not import. Throws only std::bad_alloc.
bool dedPlanCopy(GDALDataset *source, int32_t cellSide, DedCopyPlan *plan, std::string *error);

// What a person is told after plan's file is written: what it leaves out of
// the source (other bands, imaginary parts) and the values it clamped.
std::vector<std::string> dedCopyWarnings(const DedCopyPlan &plan, const DedWriteReport &report);

// Writes plan's file to output, reading the source's band (and mask) through
// GDAL in rows and telling progress (may be null). False, with the reason in error, when the
// source cannot be read, a write fails, the user stops it, or every sample
// is a void; the output then holds part of a file for the caller to remove.
bool dedWriteFromBand(const DedCopyPlan &plan, const DedOutput &output, GDALProgressFunc progress,
                      void *progressData, DedWriteReport *report, std::string *error);

// The driver's CreateCopy (creation option CELL_SIZE): the written file
// opened for reading, or null after a CPLError, leaving no file behind.
// Throws nothing.
GDALDataset *DedCreateCopy(const char *filename, GDALDataset *source, int strict, char **options,
                           GDALProgressFunc progress, void *progressData);
