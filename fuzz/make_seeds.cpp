// Writes the fuzzer's seed corpus, or the hand-made hostile files of
// tests/crashers, built byte by byte with the tests' DED writer. Every file is
// a fuzzer input: the DED bytes followed by four control bytes.
//   ded_make_seeds seeds <folder>
//   ded_make_seeds crashers <folder>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "ded/records.h"
#include "tests/support/ded_writer.h"

namespace {

using dedtest::Cell;
using dedtest::File;
using Control = std::array<uint8_t, 4>;

constexpr Control kPlainHost = {0, 0, 0, 0};

int16_t ramp(int column, int row) { return static_cast<int16_t>((column * 37 + row * 11) % 256); }

File geographicMosaic(int cells, int columns, int rows) {
  File file;
  file.cellCount = cells;
  for (int i = 0; i < cells; ++i) {
    const double x = 10.0 + (columns - 1) * (300.0 / 36000.0) * i;
    file.cells.push_back(dedtest::geographicCell(x, 45.0, columns, rows, 300.0f, ramp));
  }
  return file;
}

File utmMosaic(int cells) {
  File file = dedtest::utmFile("33", 'N', 3, 3, ramp);
  file.cellCount = cells;
  for (int i = 1; i < cells; ++i) {
    file.cells.push_back(dedtest::utmCell(500000.0 + 60.0 * i, 4000000.0, 3, 3, 30.0f, ramp));
  }
  return file;
}

bool writeInput(const std::string &folder, const std::string &name, const std::vector<uint8_t> &ded,
                const Control &control) {
  std::vector<uint8_t> bytes = ded;
  bytes.insert(bytes.end(), control.begin(), control.end());
  const std::string path = folder + "/" + name;
  std::FILE *out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::perror(path.c_str());
    return false;
  }
  const bool written = std::fwrite(bytes.data(), bytes.size(), 1, out) == 1;
  return std::fclose(out) == 0 && written;
}

bool writeSeeds(const std::string &folder) {
  struct Seed {
    const char *name;
    File file;
  };
  File flat = dedtest::geographicFile(4, 3, ramp);
  flat.minElevation = 7;
  flat.maxElevation = 7;
  File wide = dedtest::geographicFile(5, 4, ramp);
  wide.minElevation = -100;
  wide.maxElevation = 900;
  File noCount = dedtest::geographicFile(3, 2, ramp);
  noCount.cellCount = 0;
  File overlap = geographicMosaic(2, 3, 3);
  overlap.cells.push_back(dedtest::geographicCell(10.0, 45.0, 2, 2, 600.0f, ramp));
  overlap.cellCount = 3;
  File truncated = geographicMosaic(2, 3, 2);
  const std::vector<Seed> seeds = {
      {"geo_single", dedtest::geographicFile(5, 4, ramp)},
      {"geo_flat_range", flat},
      {"geo_wide_range", wide},
      {"geo_no_cell_count", noCount},
      {"utm_north", dedtest::utmFile("33", 'N', 3, 3, ramp)},
      {"utm_south", dedtest::utmFile(" +60", 's', 2, 4, ramp)},
      {"geo_two_cells", geographicMosaic(2, 3, 3)},
      {"geo_four_cells", geographicMosaic(4, 2, 2)},
      {"geo_overlap", overlap},
      {"utm_two_cells", utmMosaic(2)},
      {"utm_three_cells", utmMosaic(3)},
  };
  // A few hosts per file; the fuzzer finds the rest.
  // The last two rewrite the file after get-info: doubled width, negated samples.
  const Control hosts[] = {kPlainHost,
                           {0x40, 0x23, 0x41, 0x02},
                           {0x18, 0x50, 0x92, 0x00},
                           {0x2b, 0x07, 0x23, 0x04},
                           {0x00, 0x00, 0x00, 0x50},
                           {0x00, 0x00, 0x00, 0x70}};
  for (const Seed &seed : seeds) {
    std::vector<uint8_t> bytes = dedtest::encode(seed.file);
    for (size_t h = 0; h < std::size(hosts); ++h) {
      const std::string name = std::string(seed.name) + "_" + std::to_string(h);
      if (!writeInput(folder, name, bytes, hosts[h])) {
        return false;
      }
    }
  }
  std::vector<uint8_t> cut = dedtest::encode(truncated);
  cut.resize(cut.size() - 5);
  return writeInput(folder, "geo_two_cells_truncated", cut, kPlainHost);
}

// Hostile files: each one a way a file can lie about itself.
bool writeCrashers(const std::string &folder) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  auto add = [&files](const std::string &name, const File &file) {
    files.emplace_back(name, dedtest::encode(file));
  };

  File file = dedtest::geographicFile(2, 2, ramp);
  file.cellCount = 1000000; // 40 MB of cell headers asked of a 208-byte file
  add("huge_cell_count", file);
  file.cellCount = 100000000; // 4 GB of cell headers: beyond any 32-bit block
  add("cell_count_beyond_int32_bytes", file);
  file.cellCount = INT32_MIN;
  add("most_negative_cell_count", file);

  file = geographicMosaic(2, 2, 2);
  file.cells[0].xSpacing = nan;
  add("nan_spacing", file);
  file = geographicMosaic(2, 2, 2);
  file.cells[0].ySpacing = 0.0f;
  add("zero_first_spacing", file);
  file = geographicMosaic(2, 2, 2);
  file.cells[1].xSpacing = 0.0f; // its offset is not finite: dropped
  add("zero_later_spacing", file);
  file = geographicMosaic(2, 2, 2);
  file.cells[1].yMax = inf;
  add("infinite_bound", file);
  file = geographicMosaic(2, 2, 2);
  file.cells[0].xSpacing = 1e-30f;
  add("mosaic_too_wide", file);

  file = dedtest::utmFile("", 'N', 2, 2, ramp);
  file.zone = std::string(116, '7'); // digits to the header's last byte
  add("zone_without_terminator", file);
  file.zone = std::string(114, '0') + "33";
  add("zone_ends_at_header_end", file);
  file = dedtest::utmFile("61", 'N', 2, 2, ramp);
  add("zone_61", file);
  file = dedtest::utmFile("33", 'X', 2, 2, ramp);
  add("hemisphere_x", file);

  file = utmMosaic(2);
  file.cells[1] = dedtest::utmCell(9.0e6, -4.0e6, 3, 3, 30.0f, ramp);
  add("cell_far_outside", file);
  file = utmMosaic(2);
  file.cells[1] = dedtest::utmCell(499940.0, 3999940.0, 3, 3, 30.0f, ramp);
  add("cell_before_the_origin", file);

  file = geographicMosaic(2, 2, 2);
  for (Cell &cell : file.cells) {
    cell.columnCount = 2.5f;
    cell.rowCount = 2.5f;
    cell.samples.resize(6);
  }
  add("fractional_counts", file);
  file = dedtest::geographicFile(2, 2, ramp);
  file.cells[0].columnCount = -3.0f;
  add("negative_count", file);
  file.cells[0].columnCount = 3.0e9f;
  add("count_beyond_int32", file);
  file = dedtest::geographicFile(1, 1, ramp);
  file.cells[0].columnCount = 65536.0f;
  file.cells[0].rowCount = 65536.0f;
  add("image_beyond_int32_bytes", file);
  file = geographicMosaic(2, 2, 2);
  file.cells[1].columnCount = 50000.0f; // scratch of 50000 x 50000 samples
  file.cells[1].rowCount = 50000.0f;
  add("scratch_beyond_int32_bytes", file);
  file = geographicMosaic(2, 2, 2);
  for (Cell &cell : file.cells) {
    cell.columnCount = 0.0f;
    cell.rowCount = 0.0f;
    cell.samples.clear();
  }
  add("empty_cells", file);

  // Bounds that run backwards: no column at all, a billion rows.
  file = geographicMosaic(2, 2, 2);
  file.cells[0].xMin = 2.0f;
  file.cells[0].xMax = 0.5f;
  file.cells[1].xMin = 2.5f;
  file.cells[1].xMax = 0.4f;
  file.cells[0].xSpacing = 36000.0f;
  file.cells[0].yMin = 0.0f;
  file.cells[1].yMin = 0.0f;
  file.cells[0].yMax = 1024.0f;
  file.cells[0].ySpacing = 36000.0f / 1048576.0f;
  add("inverted_bounds_no_pixels", file);

  std::vector<uint8_t> bytes = dedtest::encode(dedtest::geographicFile(2, 2, ramp));
  files.emplace_back("seven_bytes", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 7));
  files.emplace_back("header_only", std::vector<uint8_t>(bytes.begin(), bytes.begin() + DED_HEADER_SIZE));
  files.emplace_back("one_byte_of_samples",
                     std::vector<uint8_t>(bytes.begin(), bytes.begin() + 201));

  for (const auto &[name, ded] : files) {
    if (!writeInput(folder, name + ".ded", ded, kPlainHost)) {
      return false;
    }
  }
  // A host that keeps the file open while it is rewritten: after get-info
  // told 7 x 5, the first cell's column count doubles.
  return writeInput(folder, "grows_after_get_info.ded",
                    dedtest::encode(dedtest::geographicFile(7, 5, ramp)), {0, 0, 0, 0x50});
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    (void)std::fprintf(stderr, "usage: %s seeds|crashers <folder>\n", argv[0]);
    return 2;
  }
  const std::string what = argv[1];
  std::error_code error;
  std::filesystem::create_directories(argv[2], error);
  if (what == "seeds") {
    return writeSeeds(argv[2]) ? 0 : 1;
  }
  if (what == "crashers") {
    return writeCrashers(argv[2]) ? 0 : 1;
  }
  (void)std::fprintf(stderr, "usage: %s seeds|crashers <folder>\n", argv[0]);
  return 2;
}
