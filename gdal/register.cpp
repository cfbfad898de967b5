// The driver's registration: GDAL calls GDALRegister_DED when it loads
// gdal_DED.so from GDAL_DRIVER_PATH (GDALRegisterMe where it looks for that).
#include <exception>

#include <gdal_priv.h>

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
  // Read-only: no Create or CreateCopy, so GDAL offers no writing.
  driver->pfnIdentify = DedDataset::Identify;
  driver->pfnOpen = DedDataset::Open;
  GetGDALDriverManager()->RegisterDriver(driver);
}

void GDALRegisterMe() { GDALRegister_DED(); }
