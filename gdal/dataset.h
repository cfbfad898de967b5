// GDAL's view of a DED file: a dataset of one Int16 band of the true
// elevations, north-up, NoData where the file gives no sample. ded/ reads
// the file and places its cells, image/ copies the samples; this only
// translates between them and GDAL.
#pragma once

#include <cstdint>
#include <vector>

#include <cpl_string.h>
#include <gdal_pam.h>
#include <ogr_spatialref.h>

#include "ded/blocks.h"
#include "ded/column_index.h"
#include "ded/describe.h"
#include "ded/gis_frame.h"
#include "ded/records.h"
#include "image/place.h"

// NoData: positions no cell covers, samples past the end of the file, and
// the file's own voids alike.
constexpr int16_t DED_GDAL_NODATA = DED_VOID;

class DedDataset final : public GDALPamDataset {
public:
  // Whether the header bytes GDAL read carry the DED magic.
  static int Identify(GDALOpenInfo *openInfo);
  // Null for a file that is not DED; null after a CPLError for a DED file
  // that cannot be read or an open for update. Throws nothing.
  static GDALDataset *Open(GDALOpenInfo *openInfo);

  ~DedDataset() override;
  CPLErr GetGeoTransform(double *transform) override;
  // A user's override kept by PAM (the .aux.xml), else the file's own.
  const OGRSpatialReference *GetSpatialRef() const override;
  // The georeference is the file's: CE_Failure after a CPLError.
  CPLErr SetGeoTransform(double *transform) override;

  // The default and CELLS domains are the file's own facts, made at opening
  // and never taken from nor saved into the .aux.xml; other domains are
  // PAM's. Setting the file's domains fails with a CPLError.
  char **GetMetadataDomainList() override;
  char **GetMetadata(const char *domain = "") override;
  const char *GetMetadataItem(const char *name, const char *domain = "") override;
  CPLErr SetMetadata(char **metadata, const char *domain = "") override;
  CPLErr SetMetadataItem(const char *name, const char *value, const char *domain = "") override;

private:
  friend class DedRasterBand;
  // Fills the members below from file_, in the frame the open options ask
  // for; false after a CPLError.
  bool readFrame(bool hostFrameOnly);
  void publishMetadata();
  // The list serving domain, or null for PAM's.
  CPLStringList *fileDomain(const char *domain);

  VSILFILE *file_ = nullptr;
  DedImageInfo info_{};
  std::vector<DedCellHeader> cells_;
  std::vector<DedCellBlock> blocks_; // where each cell's samples lie in the file
  DedGisFrame frame_;                // where each cell's block lands in the image
  DedColumnIndex columnIndex_;       // which cells reach which columns of it
  double transform_[6] = {};
  OGRSpatialReference srs_;
  CPLStringList metadata_, cellsMetadata_;
};

class DedRasterBand final : public GDALPamRasterBand {
public:
  explicit DedRasterBand(DedDataset *dataset);
  // Fills one block: blockXSize image columns by blockYSize rows, row-major,
  // north first. CE_Failure after a CPLError when the file cannot be read.
  CPLErr IReadBlock(int blockX, int blockY, void *block) override;
  // A large Int16 read at full resolution bypasses the block cache and tells
  // the caller's progress once, when read; any other goes through the cache.
  CPLErr IRasterIO(GDALRWFlag rw, int xOff, int yOff, int xSize, int ySize, void *data,
                   int bufXSize, int bufYSize, GDALDataType bufType, GSpacing pixelSpace,
                   GSpacing lineSpace, GDALRasterIOExtraArg *extra) override;
  double GetNoDataValue(int *success) override;
  const char *GetUnitType() override;
  // NoData is the file format's: CE_Failure after a CPLError.
  CPLErr SetNoDataValue(double value) override;
  CPLErr DeleteNoDataValue() override;

private:
  // Reads every shown cell's samples that land in window (image columns
  // from its first column, its height rows up from image row bottom, row 0
  // at the southern edge; north first in memory), already filled with
  // NoData. CE_Failure after a CPLError.
  CPLErr readWindow(const DedInt16Window &window, int32_t bottom);
};
