#include "gdal/dataset.h"

#include <algorithm>
#include <cinttypes>
#include <exception>
#include <iterator>
#include <memory>
#include <string>

#include <cpl_string.h>

#include "ded/area.h"
#include "ded/epsg.h"
#include "gdal/vsi_input.h"

namespace {

void *allocate(size_t bytes) { return VSI_MALLOC_VERBOSE(bytes); }
void release(void *block) { VSIFree(block); }
constexpr DedAllocator kGdalAllocator{allocate, release};

// A float as the shortest text that reads back as the same float.
std::string floatText(float value) { return CPLSPrintf("%.9g", static_cast<double>(value)); }

// What keeps the driver from showing a file whose description succeeded: a
// size GDAL cannot have, a cell the plug-in would refuse for its size. A
// file that ends early, or a cell without samples, only leaves NoData.
DedFinding blocksUnusable(const DedImageInfo &info, const std::vector<DedCellBlock> &blocks) {
  const DedFinding scratch = dedCheckScratch(info);
  if (scratch != DedFinding::None) {
    return scratch;
  }
  for (const DedCellBlock &block : blocks) {
    if (block.finding == DedFinding::CellTooLarge) {
      return block.finding;
    }
  }
  return DedFinding::None;
}

} // namespace

int DedDataset::Identify(GDALOpenInfo *openInfo) {
  return openInfo->pabyHeader != nullptr &&
         dedHasMagic(openInfo->pabyHeader, static_cast<size_t>(openInfo->nHeaderBytes));
}

GDALDataset *DedDataset::Open(GDALOpenInfo *openInfo) {
  if (!Identify(openInfo) || openInfo->fpL == nullptr) {
    return nullptr;
  }
  if (openInfo->eAccess == GA_Update) {
    CPLError(CE_Failure, CPLE_NotSupported,
             "%s: the DED driver is read-only; open DED files for reading", openInfo->pszFilename);
    return nullptr;
  }
  try {
    auto dataset = std::make_unique<DedDataset>();
    std::swap(dataset->file_, openInfo->fpL);
    dataset->SetDescription(openInfo->pszFilename);
    if (!dataset->describe()) {
      return nullptr;
    }
    dataset->nRasterXSize = dataset->info_.width;
    dataset->nRasterYSize = dataset->info_.height;
    dataset->SetBand(1, new DedRasterBand(dataset.get()));
    dataset->publishMetadata();
    dataset->TryLoadXML(openInfo->GetSiblingFiles());
    dataset->oOvManager.Initialize(dataset.get(), openInfo->pszFilename,
                                   openInfo->GetSiblingFiles());
    return dataset.release();
  } catch (const std::exception &e) {
    CPLError(CE_Failure, CPLE_OutOfMemory, "%s: %s", openInfo->pszFilename, e.what());
    return nullptr;
  }
}

DedDataset::~DedDataset() {
  FlushCache(true);
  if (file_ != nullptr) {
    (void)VSIFCloseL(file_);
  }
}

bool DedDataset::describe() {
  const char *name = GetDescription();
  const DedInput input = dedVsiInput(file_);
  DedFinding finding = dedDescribeInput(input, kGdalAllocator, &info_);
  if (finding == DedFinding::None) {
    cells_.resize(static_cast<size_t>(dedCellHeaderCount(info_.cellCount)));
    finding = input.seek(input.context, DED_FIRST_CELL_HEADER)
                  ? dedReadCellHeaders(input, static_cast<int32_t>(cells_.size()), cells_.data())
                  : DedFinding::CellHeaderShort;
  }
  if (finding == DedFinding::None) {
    DedBlockWalk walk = dedStartBlockWalk(cells_.data(), static_cast<int32_t>(cells_.size()),
                                          input.size(input.context), dedBlockLimit(info_));
    blocks_.resize(cells_.size());
    for (DedCellBlock &block : blocks_) {
      (void)dedNextBlock(&walk, &block);
    }
    finding = walk.fileSize < 0 ? DedFinding::SizeUnknown : blocksUnusable(info_, blocks_);
  }
  if (finding != DedFinding::None) {
    CPLError(CE_Failure, CPLE_AppDefined, "%s: %s", name, dedFindingText(finding));
    return false;
  }
  if (info_.width <= 0 || info_.height <= 0) {
    CPLError(CE_Failure, CPLE_AppDefined, "%s: an image of %d x %d samples has none to show", name,
             info_.width, info_.height);
    return false;
  }
  int64_t missing = 0;
  placements_.reserve(cells_.size());
  for (size_t i = 0; i < cells_.size(); ++i) {
    missing += blocks_[i].missing;
    placements_.push_back(dedPlaceCell(info_, cells_[i]));
  }
  if (missing > 0) {
    CPLError(CE_Warning, CPLE_FileIO,
             "%s: the file ends %" PRId64 " samples short of its cells; they read as NoData", name,
             missing);
  }
  dedGeoTransform(info_, transform_);
  srs_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  const int epsg = dedEpsgCode(info_);
  if (srs_.importFromEPSG(epsg) != OGRERR_NONE) {
    CPLError(CE_Failure, CPLE_AppDefined, "%s: no coordinate system for EPSG:%d", name, epsg);
    return false;
  }
  return true;
}

void DedDataset::publishMetadata() {
  const bool utm = info_.projection == PROJ_UTM;
  CPLStringList items;
  items.SetNameValue("CELL_COUNT", CPLSPrintf("%d", info_.cellCount));
  items.SetNameValue("ELEVATION_MINIMUM", CPLSPrintf("%.0f", info_.minElevation));
  items.SetNameValue("ELEVATION_MAXIMUM", CPLSPrintf("%.0f", info_.maxElevation));
  items.SetNameValue("X_SPACING", floatText(info_.xSpacing).c_str());
  items.SetNameValue("Y_SPACING", floatText(info_.ySpacing).c_str());
  items.SetNameValue("SPACING_UNIT", utm ? "metre" : "1/36000 degree");
  if (utm) {
    items.SetNameValue("UTM_ZONE", CPLSPrintf("%d", info_.utmZone));
    items.SetNameValue("UTM_HEMISPHERE", info_.utmHemisphere == DED_HEMISPHERE_NORTH ? "N" : "S");
  }
  SetMetadata(items.List());

  // Cells in file order, numbered from 1: bounds west,south,east,north in
  // coordinate units; spacing x,y in file units.
  CPLStringList cells;
  for (size_t i = 0; i < cells_.size(); ++i) {
    const DedCellHeader &c = cells_[i];
    const std::string key = "CELL_" + std::to_string(i + 1) + "_";
    cells.AddNameValue((key + "BOUNDS").c_str(), (floatText(c.xMin) + "," + floatText(c.yMin) +
                                                  "," + floatText(c.xMax) + "," + floatText(c.yMax))
                                                     .c_str());
    cells.AddNameValue((key + "SPACING").c_str(),
                       (floatText(c.xSpacing) + "," + floatText(c.ySpacing)).c_str());
    cells.AddNameValue((key + "SIZE").c_str(),
                       (floatText(c.columnCount) + "x" + floatText(c.rowCount)).c_str());
    cells.AddNameValue((key + "SAMPLES_MISSING").c_str(),
                       CPLSPrintf("%" PRId64, blocks_[i].missing));
  }
  SetMetadata(cells.List(), "CELLS");
}

CPLErr DedDataset::GetGeoTransform(double *transform) {
  std::copy(std::begin(transform_), std::end(transform_), transform);
  return CE_None;
}

const OGRSpatialReference *DedDataset::GetSpatialRef() const { return &srs_; }
