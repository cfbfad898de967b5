#include "cli/geo/crs.h"

#include <cstring>

#include "cli/geo/proj_handles.h"
#include "ded/header.h"

namespace elvhost {

namespace {

// The EPSG code the projection codes stand for; 0, with the reason in error,
// for codes that stand for none.
int epsgFor(const CrsCodes &codes, std::string *error) {
  const auto &[projection, zone, hemisphere] = codes;
  if (!projection) {
    *error = "the plug-in set no projection";
    return 0;
  }
  // A missing zone or hemisphere is one outside its codes.
  const int32_t epsg = dedEpsgOfProjection(*projection, zone.value_or(0), hemisphere.value_or(-1));
  if (epsg != 0) {
    return epsg;
  }
  if (*projection != PROJ_UTM) {
    *error = "unknown projection code " + std::to_string(*projection);
  } else if (!zone || *zone < 1 || *zone > DED_MAX_UTM_ZONE) {
    *error = zone ? "UTM zone " + std::to_string(*zone) + " is not 1.." +
                        std::to_string(DED_MAX_UTM_ZONE)
                  : "the plug-in set no UTM zone";
  } else {
    *error = "the plug-in set no UTM hemisphere (" + std::to_string(DED_HEMISPHERE_SOUTH) +
             " south, " + std::to_string(DED_HEMISPHERE_NORTH) + " north)";
  }
  return 0;
}

} // namespace

bool crsFor(const CrsCodes &codes, Crs *crs, std::string *error) {
  const int epsg = epsgFor(codes, error);
  if (epsg == 0) {
    return false;
  }
  const ProjContext context = newProjContext();
  const std::string code = std::to_string(epsg);
  const ProjObject system = projObject(
      proj_create_from_database(context.get(), "EPSG", code.c_str(), PJ_CATEGORY_CRS, 0, nullptr));
  const ProjObject axes =
      projObject(system ? proj_crs_get_coordinate_system(context.get(), system.get()) : nullptr);
  // One line each; GDAL's WKT1 names the axes, even WGS 84's latitude first.
  const char *const esriOptions[] = {"MULTILINE=NO", nullptr};
  const char *const gdalOptions[] = {"MULTILINE=NO", "OUTPUT_AXIS=YES", nullptr};
  const char *name = system ? proj_get_name(system.get()) : nullptr;
  const char *esri =
      system ? proj_as_wkt(context.get(), system.get(), PJ_WKT1_ESRI, esriOptions) : nullptr;
  const std::string esriWkt = esri != nullptr ? esri : "";
  // proj_as_wkt's text lasts only until its next call on the same object.
  const char *ogc =
      system ? proj_as_wkt(context.get(), system.get(), PJ_WKT1_GDAL, gdalOptions) : nullptr;
  const char *firstAxis = nullptr;
  if (!axes || name == nullptr || esriWkt.empty() || ogc == nullptr ||
      proj_cs_get_axis_info(context.get(), axes.get(), 0, nullptr, nullptr, &firstAxis, nullptr,
                            nullptr, nullptr, nullptr) == 0 ||
      firstAxis == nullptr) {
    *error = "PROJ does not know EPSG:" + code + ": " + projProblem(context.get());
    return false;
  }
  crs->epsg = epsg;
  crs->geographic = proj_get_type(system.get()) == PJ_TYPE_GEOGRAPHIC_2D_CRS;
  crs->name = name;
  crs->esriWkt = esriWkt;
  crs->ogcWkt = ogc;
  crs->latitudeFirst = std::strcmp(firstAxis, "north") == 0;
  return true;
}

} // namespace elvhost
