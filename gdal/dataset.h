// GDAL's view of a DED file: a dataset of one Int16 band of the true
// elevations, north-up, NoData where the file gives no sample. ded/ reads
// the file and places its cells, image/ copies the samples; this only
// translates between them and GDAL.
#pragma once

#include <cstdint>
#include <vector>

#include <gdal_pam.h>
#include <ogr_spatialref.h>

#include "ded/blocks.h"
#include "ded/describe.h"
#include "ded/placement.h"

// NoData: positions no cell covers, samples past the end of the file, and
// the file's own voids alike.
constexpr int16_t DED_GDAL_NODATA = -32768;

class DedDataset final : public GDALPamDataset {
public:
  // Whether the header bytes GDAL read carry the DED magic.
  static int Identify(GDALOpenInfo *openInfo);
  // Null for a file that is not DED; null after a CPLError for a DED file
  // that cannot be read or an open for update. Throws nothing.
  static GDALDataset *Open(GDALOpenInfo *openInfo);

  ~DedDataset() override;
  CPLErr GetGeoTransform(double *transform) override;
  const OGRSpatialReference *GetSpatialRef() const override;

private:
  friend class DedRasterBand;
  bool describe(); // fills the members below from file_; false after a CPLError
  void publishMetadata();

  VSILFILE *file_ = nullptr;
  DedImageInfo info_{};
  std::vector<DedCellHeader> cells_;
  std::vector<DedCellBlock> blocks_;     // where each cell's samples lie in the file
  std::vector<DedPlacement> placements_; // where each cell's block lands in the image
  double transform_[6] = {};
  OGRSpatialReference srs_;
};

class DedRasterBand final : public GDALPamRasterBand {
public:
  explicit DedRasterBand(DedDataset *dataset);
  // Fills one block: blockXSize image columns by blockYSize rows, row-major,
  // north first. CE_Failure after a CPLError when the file cannot be read.
  CPLErr IReadBlock(int blockX, int blockY, void *block) override;
  double GetNoDataValue(int *success) override;
  const char *GetUnitType() override;
};
