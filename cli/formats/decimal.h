// Numbers as the side files, the GeoTIFF metadata and info write them: the
// shortest decimal that reads back as the same double.
#pragma once

#include <string>

namespace elvhost {

// Never with an exponent; 0 and -0 are both "0".
std::string formatFixed(double value);

// With an exponent only for very small or very large magnitudes.
std::string formatShortest(double value);

} // namespace elvhost
