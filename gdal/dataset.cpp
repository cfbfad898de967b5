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
#include "ded/finding_message.h"
#include "ded/header.h"
#include "gdal/vsi_input.h"

namespace {

void *allocate(size_t bytes) { return VSI_MALLOC_VERBOSE(bytes); }
void release(void *block) { VSIFree(block); }
constexpr DedAllocator kGdalAllocator{allocate, release};

// A float as the shortest text that reads back as the same float.
std::string floatText(float value) { return CPLSPrintf("%.9g", static_cast<double>(value)); }

// The frame the FRAME open option asks for: DATA (the default) shows every
// sample the file holds, HOST the plug-in's image. False after a CPLError
// for another value.
bool frameOption(GDALOpenInfo *openInfo, bool *hostFrameOnly) {
  const char *frame = CSLFetchNameValueDef(openInfo->papszOpenOptions, "FRAME", "DATA");
  *hostFrameOnly = EQUAL(frame, "HOST");
  if (!*hostFrameOnly && !EQUAL(frame, "DATA")) {
    CPLError(CE_Failure, CPLE_IllegalArg, "%s: FRAME must be DATA or HOST, not %s",
             openInfo->pszFilename, frame);
    return false;
  }
  return true;
}

CPLErr notSupported(const char *what) {
  CPLError(CE_Failure, CPLE_NotSupported, "DED: %s is the file's own and cannot be set", what);
  return CE_Failure;
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
  bool hostFrameOnly = false;
  if (!frameOption(openInfo, &hostFrameOnly)) {
    return nullptr;
  }
  try {
    auto dataset = std::make_unique<DedDataset>();
    std::swap(dataset->file_, openInfo->fpL);
    dataset->SetDescription(openInfo->pszFilename);
    if (!dataset->readFrame(hostFrameOnly)) {
      return nullptr;
    }
    dataset->nRasterXSize = dataset->frame_.width;
    dataset->nRasterYSize = dataset->frame_.height;
    dataset->SetBand(1, new DedRasterBand(dataset.get()));
    dataset->publishMetadata();
    dataset->TryLoadXML(openInfo->GetSiblingFiles());
    // Facts an older .aux.xml may hold are not this file's; they are
    // neither shown nor saved again.
    dataset->oMDMD.SetMetadata(nullptr, "");
    dataset->oMDMD.SetMetadata(nullptr, "CELLS");
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

bool DedDataset::readFrame(bool hostFrameOnly) {
  const char *name = GetDescription();
  const DedInput input = dedVsiInput(file_);
  DedRecords records;
  DedFindingFacts facts;
  facts.header = &records.header;
  facts.fileBytes = input.size(input.context);
  DedBlock<DedCellHeader> read(nullptr, DedRelease{kGdalAllocator.release});
  DedFinding finding = dedDescribeInput(input, kGdalAllocator, &info_, &records, &read);
  facts.cell = records.cell;
  facts.neededBytes = finding == DedFinding::CellHeaderShort
                          ? dedFirstBlockOffset(dedCellHeaderCount(records.statistics.cellCount))
                          : DED_FIRST_CELL_HEADER;
  if (finding == DedFinding::None) {
    // Described means every header was read; the array is short only when
    // the file grew while it was read.
    if (read) {
      cells_.assign(read.get(), read.get() + dedCellHeaderCount(info_.cellCount));
    } else {
      finding = DedFinding::CellHeaderShort;
    }
  }
  const auto count = static_cast<int32_t>(cells_.size());
  if (finding == DedFinding::None) {
    DedBlockWalk walk =
        dedStartBlockWalk(cells_.data(), count, facts.fileBytes, dedBlockLimit(info_));
    blocks_.resize(cells_.size());
    for (DedCellBlock &block : blocks_) {
      (void)dedNextBlock(&walk, &block);
    }
    finding = facts.fileBytes < 0 ? DedFinding::SizeUnknown
                                  : dedGisCheckBlocks(info_, blocks_.data(), count, &facts.cell);
  }
  if (finding == DedFinding::None) {
    int32_t apart[2] = {};
    finding =
        dedMakeGisFrame(info_, cells_.data(), blocks_.data(), count, hostFrameOnly, &frame_, apart);
    facts.cell = apart[0];
    facts.otherCell = apart[1];
    facts.cellHeader = cells_.data();
    facts.neededBytes = finding == DedFinding::BlockPastEnd ? blocks_[0].offset + DED_SAMPLE_SIZE
                                                            : facts.neededBytes;
  }
  if (finding != DedFinding::None) {
    CPLError(CE_Failure, CPLE_AppDefined, "%s: %s", name,
             dedFindingMessage(finding, facts).c_str());
    return false;
  }
  if (frame_.width <= 0 || frame_.height <= 0) {
    CPLError(CE_Failure, CPLE_AppDefined, "%s: an image of %d x %d samples has none to show", name,
             frame_.width, frame_.height);
    return false;
  }
  for (const std::string &warning :
       dedGisWarnings(frame_.notes, dedSpacingUnitName(info_.projection))) {
    CPLError(CE_Warning, CPLE_AppDefined, "%s: %s", name, warning.c_str());
  }
  dedGisGeoTransform(frame_, transform_);
  columnIndex_ = dedIndexColumns(frame_);
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
  metadata_.SetNameValue("AREA_OR_POINT", "Point");
  metadata_.SetNameValue("CELL_COUNT", CPLSPrintf("%d", info_.cellCount));
  metadata_.SetNameValue("ELEVATION_MINIMUM", CPLSPrintf("%.0f", info_.minElevation));
  metadata_.SetNameValue("ELEVATION_MAXIMUM", CPLSPrintf("%.0f", info_.maxElevation));
  metadata_.SetNameValue("X_SPACING", floatText(info_.xSpacing).c_str());
  metadata_.SetNameValue("Y_SPACING", floatText(info_.ySpacing).c_str());
  metadata_.SetNameValue("SPACING_UNIT", dedSpacingUnitName(info_.projection));
  metadata_.SetNameValue("FRAME", frame_.host ? "HOST" : "DATA");
  if (utm) {
    metadata_.SetNameValue("UTM_ZONE", CPLSPrintf("%d", info_.utmZone));
    metadata_.SetNameValue("UTM_HEMISPHERE",
                           info_.utmHemisphere == DED_HEMISPHERE_NORTH ? "N" : "S");
  }

  // Cells in file order, numbered from 1, the first DED_GIS_LISTED_CELLS of
  // them: bounds west,south,east,north in coordinate units; spacing x,y in
  // file units.
  const size_t listed = std::min(cells_.size(), static_cast<size_t>(DED_GIS_LISTED_CELLS));
  for (size_t i = 0; i < listed; ++i) {
    const DedCellHeader &c = cells_[i];
    const std::string key = "CELL_" + std::to_string(i + 1) + "_";
    cellsMetadata_.AddNameValue((key + "BOUNDS").c_str(),
                                (floatText(c.xMin) + "," + floatText(c.yMin) + "," +
                                 floatText(c.xMax) + "," + floatText(c.yMax))
                                    .c_str());
    cellsMetadata_.AddNameValue((key + "SPACING").c_str(),
                                (floatText(c.xSpacing) + "," + floatText(c.ySpacing)).c_str());
    cellsMetadata_.AddNameValue((key + "SIZE").c_str(),
                                (floatText(c.columnCount) + "x" + floatText(c.rowCount)).c_str());
    cellsMetadata_.AddNameValue((key + "SAMPLES_MISSING").c_str(),
                                CPLSPrintf("%" PRId64, blocks_[i].missing));
  }
  if (listed < cells_.size()) {
    cellsMetadata_.AddNameValue(
        "CELLS_NOT_LISTED", CPLSPrintf("%" PRIu64, static_cast<uint64_t>(cells_.size() - listed)));
  }
}

CPLStringList *DedDataset::fileDomain(const char *domain) {
  if (domain == nullptr || *domain == '\0') {
    return &metadata_;
  }
  return EQUAL(domain, "CELLS") ? &cellsMetadata_ : nullptr;
}

char **DedDataset::GetMetadataDomainList() {
  return BuildMetadataDomainList(GDALPamDataset::GetMetadataDomainList(), TRUE, "", "CELLS",
                                 nullptr);
}

char **DedDataset::GetMetadata(const char *domain) {
  CPLStringList *list = fileDomain(domain);
  return list != nullptr ? list->List() : GDALPamDataset::GetMetadata(domain);
}

const char *DedDataset::GetMetadataItem(const char *name, const char *domain) {
  CPLStringList *list = fileDomain(domain);
  return list != nullptr ? list->FetchNameValue(name)
                         : GDALPamDataset::GetMetadataItem(name, domain);
}

CPLErr DedDataset::SetMetadata(char **metadata, const char *domain) {
  return fileDomain(domain) != nullptr ? notSupported("the metadata of this domain")
                                       : GDALPamDataset::SetMetadata(metadata, domain);
}

CPLErr DedDataset::SetMetadataItem(const char *name, const char *value, const char *domain) {
  return fileDomain(domain) != nullptr ? notSupported("the metadata of this domain")
                                       : GDALPamDataset::SetMetadataItem(name, value, domain);
}

CPLErr DedDataset::GetGeoTransform(double *transform) {
  std::copy(std::begin(transform_), std::end(transform_), transform);
  return CE_None;
}

CPLErr DedDataset::SetGeoTransform(double * /*transform*/) {
  return notSupported("the geotransform");
}

const OGRSpatialReference *DedDataset::GetSpatialRef() const {
  const OGRSpatialReference *user = GDALPamDataset::GetSpatialRef();
  return user != nullptr ? user : &srs_;
}
