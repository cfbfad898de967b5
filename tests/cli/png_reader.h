// Reads PNG and PGM files back for the tests: 8-bit grey only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace clitest {

struct GreyPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels; // rows top to bottom, width bytes each
};

// False, with the reason in error, for anything but an 8-bit grey PNG.
bool readPng(const std::string &path, GreyPicture *picture, std::string *error);
// False for anything but a binary 8-bit PGM (P5, maxval 255).
bool readPgm(const std::string &path, GreyPicture *picture, std::string *error);

} // namespace clitest
