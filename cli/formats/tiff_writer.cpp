#include "cli/formats/tiff_writer.h"

#include <geotiffio.h>
#include <tiffio.h>
#include <xtiffio.h>

#include <libdeflate.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "cli/formats/decimal.h"
#include "cli/formats/parallel.h"
#include "cli/formats/tiff_stream.h"

namespace elvhost {

namespace {

// Tiles of 256 x 256 pixels: GDAL's default, and 64 KiB each, so a tile and
// its compressed form stay in the second-level cache.
constexpr uint32_t kTileSide = 256;
// The tiles are compressed here, with libdeflate on every core, and handed
// to libtiff as raw tiles: libtiff compresses one tile at a time on one
// thread, and the compression is nearly all of the writer's time. Measured
// on the 7169 x 7169 terrain mosaic's 784 tiles, one thread, libdeflate,
// the machine under load:
//
//   level     1      2      3      4      5      6      7      8
//   MB      6.87   6.52   6.15   5.84   5.76   5.37   5.17   4.93
//   s       0.35   0.39   0.52   0.63   0.80   1.21   2.54   7.39
//
// (zlib: level 6 5.27 MB in 3.6 s; ISA-L: 7.6 MB in 0.15 s.) gdal_translate
// with DEFLATE at its default ZLEVEL 6 writes 5.18 MB in about 1.5 s (5.85
// and 5.77 MB at ZLEVEL 4 and 5, 4.94 MB at 7): the sizes of libdeflate's
// levels 4, 5, 7 and 8. Matching GDAL's size (level 7) means doing GDAL's
// compression work, and on two cores that is only about twice as fast. A
// converter is run to get an image now: level 1 makes the file a third
// larger than GDAL's default one and the conversion about five times as fast
// (bench/outputs-bench.sh); ISA-L would save little more time for a file
// half as large again.
constexpr int kDeflateLevel = 1;
constexpr uint16_t kHorizontalPredictor = 2;
// Tiles compressed between two writes: their compressed bytes wait in
// memory for their turn, about 4 MiB at most.
constexpr uint32_t kTilesPerRound = 64;
constexpr unsigned kMaxThreads = 8;

// GDAL keeps a band's scale, offset and unit, among other things, as XML in
// this private tag, and the value that marks no data as text in the next;
// libtiff knows neither, so they are registered here.
constexpr ttag_t kGdalMetadataTag = 42112;
constexpr ttag_t kGdalNoDataTag = 42113;

constexpr short kPixelIsArea = 1;     // RasterPixelIsArea
constexpr short kModelProjected = 1;  // ModelTypeProjected
constexpr short kModelGeographic = 2; // ModelTypeGeographic
constexpr short kLinearMetre = 9001;  // Linear_Meter

// Classic TIFF addresses 4 GiB; beyond a safe margin below that, BigTIFF.
constexpr int64_t kClassicTiffLimit = int64_t{0xF0000000};

TIFFExtendProc parentExtender = nullptr;

void addGdalMetadataTag(TIFF *tif) {
  static const TIFFFieldInfo kFields[] = {
      {kGdalMetadataTag, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0,
       const_cast<char *>("GDALMetadata")},
      {kGdalNoDataTag, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char *>("GDALNoData")}};
  (void)TIFFMergeFieldInfo(tif, kFields, 2);
  if (parentExtender != nullptr) {
    parentExtender(tif);
  }
}

// libtiff's tag extenders are process-wide: the GeoTIFF tags and GDAL's
// metadata tag are registered once, before the first file is opened.
void registerTags() {
  static std::once_flag once;
  std::call_once(once, [] {
    XTIFFInitialize();
    parentExtender = TIFFSetTagExtender(addGdalMetadataTag);
  });
}

std::string gdalMetadataXml(const ElevationScale &elevation) {
  return "<GDALMetadata>\n  <Item name=\"OFFSET\" sample=\"0\" role=\"offset\">" +
         formatShortest(elevation.offset) +
         "</Item>\n  <Item name=\"SCALE\" sample=\"0\" role=\"scale\">" +
         formatShortest(elevation.scale) + "</Item>\n</GDALMetadata>";
}

// The size and sample layout of an image the writer tiles: one band of
// 8-bit unsigned grey levels or 16-bit signed elevations.
struct TiffLayout {
  int32_t width = 0, height = 0;
  bool int16 = false;
};

bool setImageTags(TIFF *tif, const TiffLayout &image) {
  return TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.width)) != 0 &&
         TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.height)) != 0 &&
         TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, image.int16 ? 16 : 8) != 0 &&
         TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) != 0 &&
         TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT,
                      image.int16 ? SAMPLEFORMAT_INT : SAMPLEFORMAT_UINT) != 0 &&
         TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) != 0 &&
         TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) != 0 &&
         TIFFSetField(tif, TIFFTAG_TILEWIDTH, kTileSide) != 0 &&
         TIFFSetField(tif, TIFFTAG_TILELENGTH, kTileSide) != 0 &&
         TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) != 0 &&
         TIFFSetField(tif, TIFFTAG_PREDICTOR, kHorizontalPredictor) != 0;
}

// The pixel grid's place in the model: a pixel size and the top-left
// corner's position for an image whose rows run south and columns east
// without rotation, the full affine matrix for any other.
bool setTransformTags(TIFF *tif, const GeoTransform &t) {
  const auto &[cornerX, xPerColumn, xPerRow, cornerY, yPerColumn, yPerRow] = t;
  if (xPerRow == 0 && yPerColumn == 0 && xPerColumn > 0 && yPerRow < 0) {
    double scale[3] = {xPerColumn, -yPerRow, 0};
    double tiepoint[6] = {0, 0, 0, cornerX, cornerY, 0};
    return TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, 3, scale) != 0 &&
           TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, 6, tiepoint) != 0;
  }
  double matrix[16] = {xPerColumn, xPerRow, 0, cornerX, yPerColumn, yPerRow, 0, cornerY,
                       0,          0,       0, 0,       0,          0,       0, 1};
  return TIFFSetField(tif, TIFFTAG_GEOTRANSMATRIX, 16, matrix) != 0;
}

// Without a coordinate system there are no keys at all: a key directory
// without a model type reads as a broken coordinate system.
bool setGeoKeys(TIFF *tif, const std::optional<Crs> &crs) {
  if (!crs) {
    return true;
  }
  GTIF *keys = GTIFNew(tif);
  if (keys == nullptr) {
    return false;
  }
  const bool geographic = crs->geographic;
  const bool ok =
      GTIFKeySet(keys, GTModelTypeGeoKey, TYPE_SHORT, 1,
                 geographic ? kModelGeographic : kModelProjected) != 0 &&
      GTIFKeySet(keys, GTRasterTypeGeoKey, TYPE_SHORT, 1, kPixelIsArea) != 0 &&
      GTIFKeySet(keys, GTCitationGeoKey, TYPE_ASCII, 0, crs->name.c_str()) != 0 &&
      GTIFKeySet(keys, geographic ? GeographicTypeGeoKey : ProjectedCSTypeGeoKey, TYPE_SHORT, 1,
                 crs->epsg) != 0 &&
      (geographic || GTIFKeySet(keys, ProjLinearUnitsGeoKey, TYPE_SHORT, 1, kLinearMetre) != 0) &&
      GTIFWriteKeys(keys) != 0;
  GTIFFree(keys);
  return ok;
}

// Where tile t of an image of width x height pixels lies: its first column
// and row, and how many of its columns and rows the image fills.
struct TileSpan {
  uint32_t x0, y0, columns, rows;
};

TileSpan tileSpan(int32_t imageWidth, int32_t imageHeight, uint32_t t) {
  const auto width = static_cast<uint32_t>(imageWidth);
  const auto height = static_cast<uint32_t>(imageHeight);
  const uint32_t across = (width + kTileSide - 1) / kTileSide;
  const uint32_t x0 = t % across * kTileSide, y0 = t / across * kTileSide;
  return {x0, y0, std::min(kTileSide, width - x0), std::min(kTileSide, height - y0)};
}

// Tile t of the image as TIFF stores it with the horizontal predictor: each
// row's bytes less their left neighbour (the first kept), the parts beyond
// the image zero before differencing. tile holds kTileSide^2 bytes.
void predictTile(const GreyImage &image, bool northUp, uint32_t t, uint8_t *tile) {
  const auto [x0, y0, columns, rows] = tileSpan(image.width, image.height, t);
  if (rows < kTileSide || columns < kTileSide) {
    std::fill(tile, tile + size_t{kTileSide} * kTileSide, uint8_t{0});
  }
  for (uint32_t r = 0; r < rows; ++r) {
    uint8_t *out = tile + size_t{r} * kTileSide;
    const uint8_t *in = outputRow(image, static_cast<int32_t>(y0 + r), northUp) + x0;
    out[0] = in[0];
    for (uint32_t c = 1; c < columns; ++c) {
      out[c] = static_cast<uint8_t>(in[c] - in[c - 1]);
    }
    if (columns < kTileSide) {
      out[columns] = static_cast<uint8_t>(-in[columns - 1]);
    }
  }
}

// Tile t of the elevations as TIFF stores them with the 16-bit horizontal
// predictor: each row's samples less their left neighbour, modulo 2^16, in
// this machine's byte order, which is the file's. tile holds kTileSide^2
// samples' bytes.
void predictTile16(const Int16Image &image, uint32_t t, uint8_t *tile) {
  const auto [x0, y0, columns, rows] = tileSpan(image.width, image.height, t);
  uint16_t out[kTileSide];
  std::fill(tile, tile + size_t{kTileSide} * kTileSide * 2, uint8_t{0});
  for (uint32_t r = 0; r < rows; ++r) {
    const int16_t *in = image.samples + (size_t{y0} + r) * static_cast<uint32_t>(image.width) + x0;
    out[0] = static_cast<uint16_t>(in[0]);
    for (uint32_t c = 1; c < columns; ++c) {
      out[c] = static_cast<uint16_t>(in[c] - in[c - 1]);
    }
    uint32_t used = columns;
    if (columns < kTileSide) {
      out[columns] = static_cast<uint16_t>(-in[columns - 1]);
      ++used;
    }
    std::memcpy(tile + size_t{r} * kTileSide * 2, out, size_t{used} * 2);
  }
}

// Fills a tile's bytes, as TIFF stores them before compression, from tile t.
using TilePredictor = std::function<void(uint32_t t, uint8_t *tile)>;

struct FreeCompressor {
  void operator()(libdeflate_compressor *c) const { libdeflate_free_compressor(c); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, FreeCompressor>;

struct CloseTiff {
  void operator()(TIFF *tif) const { TIFFClose(tif); }
};

// Every tile in order, compressed kTilesPerRound at a time on up to one
// thread a core, each round written before the next starts. Returns false,
// with the reason in error unless libtiff reported one.
bool writeTiles(TIFF *tif, const TiffLayout &image, const TilePredictor &predict,
                const RowProgress &progress, std::string *error) {
  const auto width = static_cast<uint32_t>(image.width);
  const auto height = static_cast<uint32_t>(image.height);
  const size_t tileBytes = size_t{kTileSide} * kTileSide * (image.int16 ? 2 : 1);
  const uint32_t across = (width + kTileSide - 1) / kTileSide;
  const uint32_t tiles = across * ((height + kTileSide - 1) / kTileSide);
  const unsigned threads =
      std::clamp(std::jthread::hardware_concurrency(), 1u, std::min(kMaxThreads, tiles));
  std::vector<Compressor> compressors;
  std::vector<std::vector<uint8_t>> scratch(threads, std::vector<uint8_t>(tileBytes));
  for (unsigned i = 0; i < threads; ++i) {
    compressors.emplace_back(libdeflate_alloc_compressor(kDeflateLevel));
    if (!compressors.back()) {
      *error = "out of memory";
      return false;
    }
  }
  const size_t bound = libdeflate_zlib_compress_bound(compressors[0].get(), tileBytes);
  std::vector<std::vector<uint8_t>> out(std::min(kTilesPerRound, tiles),
                                        std::vector<uint8_t>(bound));
  std::vector<size_t> sizes(out.size());
  for (uint32_t first = 0; first < tiles; first += kTilesPerRound) {
    const uint32_t end = std::min(tiles, first + kTilesPerRound);
    // One compressor and tile buffer per worker.
    parallelFor(end - first, threads, [&](size_t i, unsigned worker) {
      const auto t = static_cast<uint32_t>(first + i);
      predict(t, scratch[worker].data());
      sizes[i] = libdeflate_zlib_compress(compressors[worker].get(), scratch[worker].data(),
                                          tileBytes, out[i].data(), out[i].size());
    });
    for (uint32_t t = first; t < end; ++t) {
      const size_t size = sizes[t - first];
      if (size == 0) {
        *error = "libdeflate could not compress a tile";
        return false;
      }
      if (TIFFWriteRawTile(tif, t, out[t - first].data(), static_cast<tmsize_t>(size)) < 0) {
        return false;
      }
    }
    if (progress) {
      progress(
          static_cast<int32_t>(std::min<uint64_t>(height, uint64_t{end} / across * kTileSide)));
    }
  }
  return true;
}

// Writes a tiled GeoTIFF of the layout's size and samples, predict giving
// each tile's bytes, with geo's transform and coordinate system;
// gdalMetadata and noData, when not empty, go into GDAL's tags.
bool writeTiff(std::FILE *stream, const TiffLayout &image, const TilePredictor &predict,
               const Georeference &geo, const std::string &gdalMetadata, const char *noData,
               std::string *error, const RowProgress &progress) {
  if (image.width <= 0 || image.height <= 0) {
    *error = "the image is empty";
    return false;
  }
  registerTags();
  const int64_t tilesAcross = (int64_t{image.width} + kTileSide - 1) / kTileSide;
  const int64_t tilesDown = (int64_t{image.height} + kTileSide - 1) / kTileSide;
  const int64_t sampleBytes = image.int16 ? 2 : 1;
  const bool big =
      tilesAcross * tilesDown * kTileSide * kTileSide * sampleBytes > kClassicTiffLimit;

  TiffError tiffError;
  TiffStream file{stream};
  std::unique_ptr<TIFF, CloseTiff> tif(tiffOpenOnStream(&file, big, &tiffError));
  std::string failure;
  bool ok = tif && setImageTags(tif.get(), image) &&
            (!geo.unmapped.empty() || setTransformTags(tif.get(), geo.transform)) &&
            setGeoKeys(tif.get(), geo.crs);
  if (ok && !gdalMetadata.empty()) {
    ok = TIFFSetField(tif.get(), kGdalMetadataTag, gdalMetadata.c_str()) != 0;
  }
  if (ok && noData != nullptr) {
    ok = TIFFSetField(tif.get(), kGdalNoDataTag, noData) != 0;
  }
  ok = ok && writeTiles(tif.get(), image, predict, progress, &failure) && TIFFFlush(tif.get()) != 0;
  tif.reset();
  if (ok && std::ferror(stream) != 0) {
    ok = false;
    tiffNoteFailure(&file);
  }
  if (!ok) {
    *error = file.failure != 0           ? std::strerror(file.failure)
             : !failure.empty()          ? failure
             : tiffError.text[0] != '\0' ? tiffError.text.data()
                                         : "libtiff failed";
  }
  return ok;
}

} // namespace

bool writeGeoTiff(std::FILE *stream, const GreyImage &image, bool northUp, const Georeference &geo,
                  std::string *error, const RowProgress &progress) {
  const TilePredictor predict = [&image, northUp](uint32_t t, uint8_t *tile) {
    predictTile(image, northUp, t, tile);
  };
  return writeTiff(stream, {image.width, image.height, false}, predict, geo,
                   geo.elevation ? gdalMetadataXml(*geo.elevation) : "", nullptr, error, progress);
}

bool writeInt16GeoTiff(std::FILE *stream, const Int16Image &image, const Georeference &geo,
                       std::string *error, const RowProgress &progress) {
  const TilePredictor predict = [&image](uint32_t t, uint8_t *tile) {
    predictTile16(image, t, tile);
  };
  static const std::string kMetres = "<GDALMetadata>\n  <Item name=\"UNITTYPE\" sample=\"0\" "
                                     "role=\"unittype\">m</Item>\n</GDALMetadata>";
  static const std::string kNoData = std::to_string(kInt16NoData);
  return writeTiff(stream, {image.width, image.height, true}, predict, geo, kMetres,
                   kNoData.c_str(), error, progress);
}

} // namespace elvhost
