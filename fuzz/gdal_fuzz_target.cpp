// One input is one DED file, opened by the DED driver from /vsimem/ and read
// as GDAL's programs read it: the whole image when it is small, otherwise a
// block's width at two corners and in the middle. Beyond what the sanitizers
// catch, GDAL's contract is checked: a file that does not open says why
// through CPLError, and a file that opens reads without failing (an
// in-memory file never fails a read). A violation prints and aborts, so
// libFuzzer keeps the input.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal.h>

extern "C" void GDALRegister_DED();

namespace {

constexpr const char *kPath = "/vsimem/fuzz.ded";
constexpr int64_t kWholeImage = int64_t{1} << 20; // pixels read at once at the most
constexpr int kWindow = 64;

[[noreturn]] void fail(const char *what) {
  (void)std::fprintf(stderr, "gdal fuzz: %s (last error: %s)\n", what, CPLGetLastErrorMsg());
  std::abort();
}

void readWindow(GDALRasterBandH band, int x, int y, int width, int height) {
  std::vector<int16_t> samples(static_cast<size_t>(width) * static_cast<size_t>(height));
  CPLErrorReset();
  if (GDALRasterIO(band, GF_Read, x, y, width, height, samples.data(), width, height, GDT_Int16, 0,
                   0) != CE_None) {
    fail("a file that opened did not read");
  }
}

bool setUp() {
  GDALRegister_DED();
  CPLSetErrorHandler(CPLQuietErrorHandler);
  GDALSetCacheMax64(int64_t{64} << 20);
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool ready = setUp();
  (void)ready;
  VSIFCloseL(VSIFileFromMemBuffer(kPath, const_cast<GByte *>(data), static_cast<vsi_l_offset>(size),
                                  FALSE));
  CPLErrorReset();
  const char *const drivers[] = {"DED", nullptr};
  GDALDatasetH dataset = GDALOpenEx(
      kPath, GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, drivers, nullptr, nullptr);
  if (dataset == nullptr) {
    if (CPLGetLastErrorType() != CE_Failure) {
      fail("a file that did not open gave no error");
    }
  } else {
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    const int width = GDALGetRasterXSize(dataset);
    const int height = GDALGetRasterYSize(dataset);
    if (band == nullptr || GDALGetRasterCount(dataset) != 1 || width <= 0 || height <= 0) {
      fail("not one band of some pixels");
    }
    // A large image is read one block's width at a time (a block is at
    // most 2 MiB), at the corners and in the middle.
    int blockWidth = 0;
    int blockHeight = 0;
    GDALGetBlockSize(band, &blockWidth, &blockHeight);
    if (int64_t{width} * height <= kWholeImage) {
      readWindow(band, 0, 0, width, height);
    } else {
      const int w = std::min(width, blockWidth), h = std::min(height, kWindow);
      for (const auto &[x, y] : {std::pair{0, 0}, std::pair{width - w, height - h},
                                 std::pair{(width - w) / 2, (height - h) / 2}}) {
        readWindow(band, x, y, w, h);
      }
    }
    GDALClose(dataset);
  }
  VSIUnlink(kPath);
  return 0;
}
