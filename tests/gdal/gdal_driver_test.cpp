// One table of files, read through the driver by GDAL's own programs: what
// gdalinfo reports agrees with elvarin-host info, and gdal_translate gives
// exactly the file's samples, NoData where no cell covers or the file ends.
#include <cmath>
#include <filesystem>
#include <ostream>
#include <sstream>

#include "tests/gdal/elevations.h"
#include "tests/gdal/harness.h"

namespace {

using gdaltest::elevationAt;
using nlohmann::json;

struct DriverCase {
  const char *label;
  dedtest::File file;
  size_t cutBytes = 0;      // taken off the end of the file
  bool zipped = false;      // read from a ZIP archive through /vsizip/
  const char *warning = ""; // what GDAL must warn of when it opens the file
  bool grows = false;       // the plug-in's image cannot hold every cell: the frame grows
};

void PrintTo(const DriverCase &value, std::ostream *os) { *os << value.label; }

// The numbers of a metadata item ("1,2.5,3"), each as the float it names.
std::vector<double> numbersIn(const json &item) {
  std::vector<double> out;
  std::stringstream text(item.get<std::string>());
  for (std::string number; std::getline(text, number, ',');) {
    out.push_back(std::stof(number));
  }
  return out;
}

// A UTM file of two cells shows its first cell's size from the south-west
// corner of both: there the second cell, the first lying outside.
dedtest::File utmTwoCells() {
  dedtest::File file = dedtest::utmFile("12", 'S', 5, 4, elevationAt);
  file.cellCount = 2;
  file.cells[0].xMin += 300;
  file.cells[0].xMax += 300;
  file.cells.push_back(dedtest::utmCell(500000.0, 4000000.0, 5, 4, 30.0f, elevationAt));
  return file;
}

// A UTM file whose second cell runs past the northern edge of the first
// cell's image: the plug-in clips it, the frame grows north to hold it.
dedtest::File utmCutAtTheNorth() {
  dedtest::File file = dedtest::utmFile("33", 'N', 4, 3, elevationAt);
  file.cellCount = 2;
  file.cells.push_back(dedtest::utmCell(500030.0, 4000060.0, 2, 4, 30.0f, elevationAt));
  return file;
}

// Cells 1/120 degree apart east-west, 1/240 north-south.
dedtest::File unequalSpacing() {
  dedtest::File file = dedtest::geographicFile(5, 4, elevationAt);
  dedtest::Cell &cell = file.cells[0];
  cell = dedtest::geographicCell(10.0, 45.0, 5, 4, 300.0f, elevationAt);
  cell.ySpacing = 150.0f;
  cell.yMax = static_cast<float>(45.0 + 3 * 150.0 / 36000.0);
  return file;
}

// Bounds twice as wide as the samples the spacing spreads: the spacing places them.
dedtest::File stretched(int rows = 4) {
  dedtest::File file = dedtest::geographicFile(5, rows, elevationAt);
  file.cells[0].xMax += 4 * 300.0f / 36000;
  return file;
}

// 6 x 4 samples whose spacing field is 0: the bounds spread them.
dedtest::File zeroSpacing() {
  dedtest::File file = dedtest::geographicFile(6, 4, elevationAt);
  file.cells[0].xSpacing = file.cells[0].ySpacing = 0.0f;
  return file;
}

// A UTM cell of 5 x 4 samples: its y bounds 60 m apart a row (its x spacing
// field 0 when zeroX).
dedtest::File utmCellAgainstItsBounds(bool zeroX) {
  dedtest::File file = dedtest::utmFile("33", 'N', 5, 4, elevationAt);
  file.cells[0].yMax += zeroX ? 0.0f : 90.0f;
  file.cells[0].xSpacing = zeroX ? 0.0f : 30.0f;
  return file;
}

// Two UTM cells east of the first, 0.3 of a sample off its grid.
dedtest::File utmOffTheGrid() {
  dedtest::File file = dedtest::utmFile("33", 'N', 4, 3, elevationAt);
  file.cellCount = 3;
  for (const double east : {500099.0, 500189.0}) {
    file.cells.push_back(dedtest::utmCell(east, 4000000.0, 4, 3, 30.0f, elevationAt));
  }
  return file;
}

bool northEast(int i, int k) { return i == 1 && k == 1; }

class DriverFiles : public gdaltest::GdalFolder, public ::testing::WithParamInterface<DriverCase> {
protected:
  const DriverCase &c = GetParam();
  std::vector<uint8_t> bytes = dedtest::encode(c.file);
  std::string plain;
  // Writes the file, cut as the case says; the name GDAL opens it by.
  std::string written() {
    bytes.resize(bytes.size() - c.cutBytes);
    plain = work.write("f.ded", bytes);
    if (!c.zipped) {
      return plain;
    }
    EXPECT_EQ(run(ELVARIN_PYTHON, {"-m", "zipfile", "-c", at("f.zip"), plain}).exitCode, 0);
    return "/vsizip/" + at("f.zip") + "/f.ded";
  }
};

TEST_P(DriverFiles, GdalinfoAgreesWithElvarinHostInfo) {
  const clitest::ToolRun gdal = run("gdalinfo", {"-json", "-mdd", "all", written()});
  ASSERT_EQ(gdal.exitCode, 0) << gdal.err;
  EXPECT_NE(gdal.err.find(c.warning), std::string::npos) << gdal.err;
  EXPECT_EQ(gdal.err.empty(), *c.warning == '\0') << gdal.err;
  EXPECT_FALSE(std::filesystem::exists(plain + ".aux.xml")); // opening changes nothing
  const clitest::ToolRun info = clitest::runTool({"info", plain, "--json"}, work.path().string());
  ASSERT_EQ(info.exitCode, 0) << info.err;
  const json theirs = json::parse(gdal.out), ours = json::parse(info.out);

  const gdaltest::Elevations reference = gdaltest::decodeElevations(bytes);
  EXPECT_EQ(theirs["size"], json({reference.width, reference.height}));
  const double expected[6] = {reference.west - reference.xStep / 2,
                              reference.xStep,
                              0,
                              reference.north + reference.yStep / 2,
                              0,
                              -reference.yStep};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_NEAR(theirs["geoTransform"][i].get<double>(), expected[i],
                1e-9 * (1 + std::fabs(expected[i])));
  }
  EXPECT_EQ(theirs["stac"]["proj:epsg"], ours["coordinateSystem"]["epsg"]);
  EXPECT_EQ(theirs["size"], ours["size"]);
  EXPECT_EQ(theirs["bands"][0]["type"], ours["bands"][0]["type"]);
  EXPECT_EQ(ours["greyImage"]["size"] == ours["size"], !c.grows);
  const json host = GdalFolder::info({"-oo", "FRAME=HOST", plain}); // the grey image's frame
  EXPECT_EQ(host["size"], ours["greyImage"]["size"]);
  EXPECT_EQ(host["metadata"][""]["FRAME"], "HOST");
  for (size_t i = 0; i < 6; ++i) {
    const double grey = ours["greyImage"]["geoTransform"][i];
    EXPECT_NEAR(host["geoTransform"][i].get<double>(), grey, 1e-12 * (1 + std::fabs(grey)));
    const double mine = ours["geoTransform"][i];
    EXPECT_NEAR(theirs["geoTransform"][i].get<double>(), mine, 1e-12 * (1 + std::fabs(mine)));
  }
  // gdalinfo prints corners to 7 decimals of a degree, 3 of a metre.
  const double printed = ours["coordinateSystem"]["epsg"] == 4326 ? 5e-8 : 5e-4;
  for (const char *corner : {"upperLeft", "lowerLeft", "lowerRight", "upperRight", "center"}) {
    for (size_t axis = 0; axis < 2; ++axis) {
      EXPECT_NEAR(theirs["cornerCoordinates"][corner][axis].get<double>(),
                  ours["cornerCoordinates"][corner][axis].get<double>(), printed)
          << corner;
    }
  }
  const json &band = theirs["bands"][0];
  EXPECT_EQ(band["type"], "Int16");
  EXPECT_EQ(band["noDataValue"], gdaltest::kNoData);
  EXPECT_EQ(band["unit"], "m");
  EXPECT_EQ(band["description"], "Elevation");
  const json &metadata = theirs["metadata"][""];
  const bool utm = c.file.projection == "UTM";
  const dedtest::Cell &first = c.file.cells[0];
  EXPECT_EQ(metadata["AREA_OR_POINT"], "Point");
  if (c.grows) { // where the two frames differ, the default shows the data's
    EXPECT_EQ(metadata["FRAME"], "DATA");
  }
  EXPECT_EQ(metadata.value("UTM_HEMISPHERE", ""), utm ? std::string(1, c.file.hemisphere) : "");
  EXPECT_EQ(metadata["SPACING_UNIT"], utm ? "metre" : "1/36000 degree");
  EXPECT_EQ(numbersIn(metadata["X_SPACING"]), std::vector<double>{first.xSpacing});
  EXPECT_EQ(numbersIn(metadata["Y_SPACING"]), std::vector<double>{first.ySpacing});
  if (!utm) { // info's arc-seconds: a tenth of the 1/36000 degree units
    EXPECT_EQ(ours["sampleSpacing"]["arcSeconds"],
              json({first.xSpacing / 10.0, first.ySpacing / 10.0}));
  }
  EXPECT_EQ(metadata["CELL_COUNT"], std::to_string(c.file.cellCount));
  EXPECT_EQ(metadata["ELEVATION_MINIMUM"], std::to_string(c.file.minElevation));
  EXPECT_EQ(metadata["ELEVATION_MAXIMUM"], std::to_string(c.file.maxElevation));
  // The first 1000 cells are listed, each with the samples the cut takes from it.
  const size_t count = c.file.cells.size(), listed = std::min<size_t>(count, 1000);
  ASSERT_EQ(ours["cells"].size(), listed);
  EXPECT_EQ(ours.value("cellsNotListed", size_t{0}), count - listed);
  const json &cells = theirs["metadata"]["CELLS"];
  ASSERT_EQ(cells.size(), 4 * listed + (listed < count ? 1 : 0));
  EXPECT_EQ(cells.value("CELLS_NOT_LISTED", "0"), std::to_string(count - listed));
  std::vector<size_t> missing(count);
  size_t cut = (c.cutBytes + 1) / 2; // samples, one cut in part counting whole
  for (size_t i = count; i-- > 0; cut -= missing[i]) {
    missing[i] = std::min(cut, c.file.cells[i].samples.size());
  }
  for (size_t i = 0; i < listed; ++i) {
    const json &cell = ours["cells"][i];
    const std::string key = "CELL_" + std::to_string(i + 1);
    EXPECT_EQ(cells[key + "_SIZE"], cell["columns"].dump() + "x" + cell["rows"].dump());
    const dedtest::Cell &header = c.file.cells[i];
    EXPECT_EQ(numbersIn(cells[key + "_BOUNDS"]),
              (std::vector<double>{header.xMin, header.yMin, header.xMax, header.yMax}));
    EXPECT_EQ(numbersIn(cells[key + "_SPACING"]),
              (std::vector<double>{header.xSpacing, header.ySpacing}));
    EXPECT_EQ(cells[key + "_SAMPLES_MISSING"], std::to_string(missing[i]));
    EXPECT_EQ(cell["missingSamples"], missing[i]);
  }
}

TEST_P(DriverFiles, TranslateGivesTheFileSamples) {
  const clitest::ToolRun r = run("gdal_translate", {"-q", "-of", "EHdr", written(), at("f.bil")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find(c.warning), std::string::npos) << r.err;
  EXPECT_EQ(gdaltest::readSamples(at("f.bil")), gdaltest::decodeElevations(bytes).samples);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DriverFiles,
    ::testing::Values(
        DriverCase{"geographicCell", dedtest::geographicFile(5, 4, elevationAt)},
        DriverCase{"geographicMosaic", gdaltest::mosaicOf(gdaltest::tiles(3, 2))},
        DriverCase{"utmCell", dedtest::utmFile("33", 'N', 6, 5, elevationAt)},
        DriverCase{"utmSeveralCells", utmTwoCells(), 0, false, "", true},
        DriverCase{"utmCutAtTheNorth", utmCutAtTheNorth(), 0, false, "", true},
        DriverCase{"unequalSpacing", unequalSpacing()},
        DriverCase{"spacingAgainstBounds", stretched(), 0, false,
                   "contradicts its bounds and counts, which give 600.0"},
        DriverCase{"oneRowAgainstBounds", stretched(1), 0, false, " x none; the spacing places"},
        DriverCase{"zeroSpacing", zeroSpacing(), 0, false,
                   "spacing 0 x 0 (1/36000 degree) is not above 0"},
        DriverCase{"utmYAgainstBounds", utmCellAgainstItsBounds(false), 0, false,
                   "cell 1's spacing 30 x 30 (metre) contradicts its bounds and counts, which "
                   "give 30 x 60; the spacing places the samples"},
        DriverCase{"utmZeroXSpacing", utmCellAgainstItsBounds(true), 0, false,
                   "cell 1's spacing 0 x 30 (metre) is not above 0; its bounds and counts give "
                   "30 x 30, used instead"},
        DriverCase{"utmOffTheGrid", utmOffTheGrid(), 0, false,
                   "cell 2 and 1 more cell lie off the first cell's grid; placed at the nearest "
                   "sample",
                   true},
        DriverCase{"thousandAndOneCells", gdaltest::mosaicOf(gdaltest::tiles(1001, 1)), 26, false,
                   "the file ends 13 samples short of its cells", true},
        DriverCase{"oneSampleShort", dedtest::geographicFile(6, 5, elevationAt), 2, false,
                   "ends 1 sample short"},
        DriverCase{"severalBlocks", dedtest::geographicFile(700, 2000, elevationAt)},
        DriverCase{"cutShort", dedtest::geographicFile(6, 5, elevationAt), 7, false, "4 samples"},
        DriverCase{"mosaicWithGap", gdaltest::mosaicOf(gdaltest::tiles(2, 2, northEast))},
        DriverCase{"zippedMosaic", gdaltest::mosaicOf(gdaltest::tiles(2, 1)), 0, true}),
    [](const auto &testInfo) { return std::string(testInfo.param.label); });

} // namespace
