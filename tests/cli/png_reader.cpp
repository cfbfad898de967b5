#include "tests/cli/png_reader.h"

#include <png.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace clitest {

bool readPng(const std::string &path, GreyPicture *picture, std::string *error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    *error = image.message;
    return false;
  }
  if (image.format != PNG_FORMAT_GRAY) {
    png_image_free(&image);
    *error = "not an 8-bit grey PNG";
    return false;
  }
  picture->width = static_cast<int>(image.width);
  picture->height = static_cast<int>(image.height);
  picture->pixels.assign(PNG_IMAGE_SIZE(image), 0);
  if (png_image_finish_read(&image, nullptr, picture->pixels.data(), 0, nullptr) == 0) {
    *error = image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}

bool readPgm(const std::string &path, GreyPicture *picture, std::string *error) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  in >> magic >> picture->width >> picture->height >> maxval;
  if (!in || magic != "P5" || maxval != 255 || in.get() != '\n') {
    *error = "not a binary 8-bit PGM";
    return false;
  }
  const size_t size = static_cast<size_t>(picture->width) * static_cast<size_t>(picture->height);
  picture->pixels.assign(size, 0);
  in.read(reinterpret_cast<char *>(picture->pixels.data()), static_cast<std::streamsize>(size));
  if (static_cast<size_t>(in.gcount()) != size || in.peek() != EOF) {
    *error = "pixel data is not width x height bytes";
    return false;
  }
  return true;
}

} // namespace clitest
