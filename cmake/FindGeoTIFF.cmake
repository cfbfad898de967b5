# libgeotiff has no CMake package or pkg-config file on Debian: its headers
# live in their own folder (/usr/include/geotiff) and its library is
# libgeotiff. Defines GeoTIFF::GeoTIFF, which brings libtiff along.
find_package(TIFF QUIET)
find_path(GeoTIFF_INCLUDE_DIR geotiffio.h PATH_SUFFIXES geotiff libgeotiff)
find_library(GeoTIFF_LIBRARY NAMES geotiff libgeotiff)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(GeoTIFF
  REQUIRED_VARS GeoTIFF_LIBRARY GeoTIFF_INCLUDE_DIR TIFF_FOUND)

if(GeoTIFF_FOUND AND NOT TARGET GeoTIFF::GeoTIFF)
  add_library(GeoTIFF::GeoTIFF UNKNOWN IMPORTED)
  set_target_properties(GeoTIFF::GeoTIFF PROPERTIES
    IMPORTED_LOCATION ${GeoTIFF_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${GeoTIFF_INCLUDE_DIR}
    INTERFACE_LINK_LIBRARIES TIFF::TIFF)
endif()
mark_as_advanced(GeoTIFF_INCLUDE_DIR GeoTIFF_LIBRARY)
