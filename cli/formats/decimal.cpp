#include "cli/formats/decimal.h"

#include <charconv>
#include <cmath>

namespace elvhost {

std::string formatFixed(double value) {
  if (value == 0) {
    return "0"; // and never "-0"
  }
  char text[400]; // holds any double in fixed form
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return std::string(text, result.ptr);
}

std::string formatShortest(double value) {
  // Plain decimals where they stay short, so 500000 is not "5e+05".
  const double magnitude = std::fabs(value);
  if (value == 0 || (magnitude >= 1e-5 && magnitude < 1e15)) {
    return formatFixed(value);
  }
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

} // namespace elvhost
