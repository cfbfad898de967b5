// The driver's registration: GDAL calls GDALRegister_DED when it loads
// gdal_DED.so from GDAL_DRIVER_PATH (GDALRegisterMe where it looks for that).
#include <exception>

#include <gdal_priv.h>

#include "gdal/copy_output.h"
#include "gdal/create_copy.h"
#include "gdal/dataset.h"

extern "C" {
__attribute__((visibility("default"))) void GDALRegister_DED();
__attribute__((visibility("default"))) void GDALRegisterMe();
}

void GDALRegister_DED() {
  // A plug-in built against another GDAL than the one loading it is refused
  // with GDAL's own message rather than run with mismatched classes.
  if (!GDAL_CHECK_VERSION("DED driver")) {
    return;
  }
  if (GDALGetDriverByName("DED") != nullptr) {
    return;
  }
  GDALDriver *driver = nullptr;
  try {
    driver = new GDALDriver();
  } catch (const std::exception &e) {
    CPLError(CE_Failure, CPLE_OutOfMemory, "DED driver: %s", e.what());
    return;
  }
  driver->SetDescription("DED");
  driver->SetMetadataItem(GDAL_DCAP_RASTER, "YES");
  driver->SetMetadataItem(GDAL_DMD_LONGNAME, "DED elevation file");
  driver->SetMetadataItem(GDAL_DMD_EXTENSION, "ded");
  driver->SetMetadataItem(GDAL_DCAP_VIRTUALIO, "YES");
  driver->SetMetadataItem(GDAL_DMD_OPENOPTIONLIST,
                          "<OpenOptionList>"
                          "<Option name='FRAME' type='string-select' default='DATA' "
                          "description='DATA: every sample the file holds; HOST: the "
                          "plug-in image only'>"
                          "<Value>DATA</Value><Value>HOST</Value></Option>"
                          "</OpenOptionList>");
  driver->pfnIdentify = DedDataset::Identify;
  driver->pfnOpen = DedDataset::Open;
  // Written whole from another raster: no Create, since a file's elevation
  // range and cells are settled only by all of its samples.
  driver->SetMetadataItem(GDAL_DCAP_CREATECOPY, "YES");
  driver->SetMetadataItem(GDAL_DMD_CREATIONDATATYPES,
                          "Byte UInt16 Int16 UInt32 Int32 UInt64 Int64 Float32 Float64");
  driver->SetMetadataItem(
      GDAL_DMD_CREATIONOPTIONLIST,
      "<CreationOptionList>"
      "<Option name='CELL_SIZE' type='int' min='2' description='Samples a side of each cell of a "
      "geographic file, neighbouring cells sharing their edge samples (default: one degree of "
      "samples and the shared edge, at most 3601). A UTM file is always one cell.'/>"
      "</CreationOptionList>");
  driver->pfnCreateCopy = DedCreateCopy;
  // GDAL deletes an output before creating it: a refused write keeps it.
  driver->pfnDelete = DedDelete;
  GetGDALDriverManager()->RegisterDriver(driver);
}

void GDALRegisterMe() { GDALRegister_DED(); }
