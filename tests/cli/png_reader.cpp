#include "tests/cli/png_reader.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace clitest {

namespace {

// Reads an 8-bit grey PNG into pixels, with libpng's size limits lifted (a
// row may be over a million pixels). No object with a destructor lives in
// this frame, which libpng may leave by longjmp. False for anything else.
bool readGrey(std::FILE *file, GreyPicture *picture) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_init_io(png, file);
  png_read_info(png, info);
  if (png_get_bit_depth(png, info) != 8 || png_get_color_type(png, info) != PNG_COLOR_TYPE_GRAY) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  picture->width = static_cast<int>(width);
  picture->height = static_cast<int>(height);
  picture->pixels.resize(size_t{width} * height);
  for (png_uint_32 row = 0; row < height; ++row) {
    png_read_row(png, picture->pixels.data() + size_t{row} * width, nullptr);
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

} // namespace

bool readPng(const std::string &path, GreyPicture *picture, std::string *error) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = "cannot open " + path;
    return false;
  }
  const bool read = readGrey(file, picture);
  (void)std::fclose(file);
  if (!read) {
    *error = path + ": not an 8-bit grey PNG libpng reads";
  }
  return read;
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
