// What GDAL makes of a file, through its gdalinfo program: the independent
// reader the tests hold the GeoTIFF and the auxiliary files to.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace clitest {

// Whether gdalinfo can be run here; tests that need it skip without it.
bool haveGdalInfo();

// gdalinfo -json's report on path; false, with the reason in error, when
// gdalinfo fails or reports an error or warning.
bool gdalInfo(const std::string &path, nlohmann::json *report, std::string *error);

} // namespace clitest
