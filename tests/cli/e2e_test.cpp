// elvarin-host end to end: the built program against the built plug-in, as
// people use it. Pixels are checked against what the plug-in delivers to a
// host in this process, geo-reference against the files' own bounds.
#include <gtest/gtest.h>

#include <ostream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "qvapilib/loader.h"
#include "tests/cli/png_reader.h"
#include "tests/cli/run_tool.h"
#include "tests/support/ded_writer.h"

namespace {

namespace fs = std::filesystem;
using clitest::GreyPicture;
using clitest::namesIn;
using clitest::runTool;
using clitest::slurp;
using clitest::ToolRun;

std::vector<double> numbersIn(const fs::path &path) {
  std::istringstream in(slurp(path));
  std::vector<double> numbers;
  double v = 0;
  while (in >> v) {
    numbers.push_back(v);
  }
  return numbers;
}

// The host's buffer for a file, filled by the plug-in loaded in this process.
struct HostImage {
  int32_t width = 0, height = 0, stride = 0;
  std::vector<uint8_t> pixels;
  uint8_t at(int32_t column, int32_t hostRow) const {
    return pixels[static_cast<size_t>(hostRow) * static_cast<size_t>(stride) +
                  static_cast<size_t>(column)];
  }
};

HostImage importInProcess(const std::string &path) {
  qvstandin::reset();
  qvstandin::LoadedPlugin plugin;
  std::string error;
  HostImage image;
  if (!qvstandin::loadPlugin(ELVARIN_PLUGIN_PATH, &plugin, &error)) {
    ADD_FAILURE() << error;
    return image;
  }
  int32_t handle = -1;
  qvstandin::ImageRecord record;
  EXPECT_EQ(qvstandin::hostOpen(path.c_str(), "rb", &handle), 0);
  EXPECT_EQ(qvstandin::hostGetInfo(handle, &record), 0);
  for (const auto &call : record.calls) {
    if (call.name == "qvSetTextureWidth") {
      image.width = static_cast<int32_t>(call.args[0]);
    } else if (call.name == "qvSetTextureHeight") {
      image.height = static_cast<int32_t>(call.args[0]);
    }
  }
  image.stride = qvstandin::rowWidthFor(image.width);
  image.pixels.assign(static_cast<size_t>(image.stride) * static_cast<size_t>(image.height), 0);
  EXPECT_EQ(qvstandin::hostGetImage(handle, image.pixels.data()), 0);
  EXPECT_EQ(qvstandin::hostClose(handle), 0);
  qvstandin::unloadPlugin(&plugin);
  return image;
}

class HostTool : public ::testing::Test {
protected:
  ToolRun run(const std::vector<std::string> &args) { return runTool(args, logs.path().string()); }
  std::string at(const std::string &name) const { return (work.path() / name).string(); }

  dedtest::TempDir work; // inputs and outputs
  dedtest::TempDir logs; // the program's captured streams
};

struct SampleCase {
  const char *label;
  const char *kind;
  const char *size;
};

void PrintTo(const SampleCase &value, std::ostream *os) { *os << value.label; }

class SampleAndConvert : public HostTool, public ::testing::WithParamInterface<SampleCase> {};

TEST_P(SampleAndConvert, PngIsTheHostsPixelsNorthUpAndAsHostPgmInItsOrder) {
  const SampleCase &c = GetParam();
  ToolRun r = run({"sample", at("s.ded"), "--kind", c.kind, "--size", c.size});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = run({"convert", at("s.ded"), at("s.png")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  r = run({"convert", at("s.ded"), at("host.pgm"), "--as-host"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(namesIn(work.path()),
            (std::vector<std::string>{"host.pgm", "host.pgm.aux.xml", "host.prj", "host.wld",
                                      "s.ded", "s.pgw", "s.png", "s.png.aux.xml", "s.prj"}));

  const HostImage host = importInProcess(at("s.ded"));
  GreyPicture png, pgm;
  std::string error;
  ASSERT_TRUE(clitest::readPng(at("s.png"), &png, &error)) << error;
  ASSERT_TRUE(clitest::readPgm(at("host.pgm"), &pgm, &error)) << error;
  ASSERT_EQ(png.width, host.width);
  ASSERT_EQ(png.height, host.height);
  ASSERT_EQ(pgm.width, host.width);
  ASSERT_EQ(pgm.height, host.height);
  int distinct = 0;
  std::vector<bool> seen(256, false);
  for (int32_t row = 0; row < host.height; ++row) {
    for (int32_t col = 0; col < host.width; ++col) {
      const size_t written = static_cast<size_t>(row) * static_cast<size_t>(host.width) + col;
      ASSERT_EQ(png.pixels[written], host.at(col, host.height - 1 - row))
          << "PNG row " << row << " column " << col;
      ASSERT_EQ(pgm.pixels[written], host.at(col, row)) << "PGM row " << row << " column " << col;
      if (!seen[png.pixels[written]]) {
        seen[png.pixels[written]] = true;
        ++distinct;
      }
    }
  }
  EXPECT_GE(distinct, 200) << "the terrain spans the grey range";
}

INSTANTIATE_TEST_SUITE_P(Kinds, SampleAndConvert,
                         ::testing::Values(SampleCase{"geographic", "geographic", "257"},
                                           SampleCase{"utm", "utm", "301"},
                                           SampleCase{"mosaic", "mosaic", "2049"}),
                         [](const auto &testInfo) { return std::string(testInfo.param.label); });

TEST_F(HostTool, SampleIsTheSameBytesEveryTime) {
  ASSERT_EQ(run({"sample", at("a.ded"), "--kind", "mosaic", "--size", "2049"}).exitCode, 0);
  ASSERT_EQ(run({"sample", at("b.ded"), "--kind", "mosaic", "--size", "2049"}).exitCode, 0);
  EXPECT_EQ(fs::file_size(at("a.ded")), 128u + 32u + 4u * 40u + 4u * 1025u * 1025u * 2u);
  EXPECT_TRUE(slurp(at("a.ded")) == slurp(at("b.ded")));
}

TEST_F(HostTool, SampleSaysWhatItWroteInTheZoneAsked) {
  const ToolRun r = run(
      {"sample", at("u.ded"), "--kind", "utm", "--size", "4", "--zone", "12", "--hemisphere", "S"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "wrote " + at("u.ded") + ": 4 x 4 samples, UTM zone 12S\n");
  const ToolRun info = run({"info", at("u.ded"), "--json"});
  EXPECT_EQ(nlohmann::json::parse(info.out)["coordinateSystem"]["epsg"], 32712) << info.out;
}

// A one-degree cell whose spacing single precision cannot hold exactly is
// written all the same, with a warning unless quiet.
TEST_F(HostTool, SampleWarnsOfACellGisProgramsPlaceSlightlyOff) {
  ToolRun r = run({"sample", at("g.ded"), "--size", "4076"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.rfind("elvarin-host: warning: " + at("g.ded") + ": single-precision", 0), 0u)
      << r.err;
  EXPECT_EQ(fs::file_size(at("g.ded")), 128u + 32u + 40u + 4076u * 4076u * 2u);
  r = run({"sample", at("q.ded"), "--size", "4076", "-q"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
}

struct GeoCase {
  const char *label;
  dedtest::File file;
  double xMin, yMin, xMax, yMax;
  int width, height;
  int epsg;
  const char *prjStart;
};

void PrintTo(const GeoCase &value, std::ostream *os) { *os << value.label; }

dedtest::File utmSouth() { return dedtest::utmFile("56", 's', 101, 51); }

class GeoReference : public HostTool, public ::testing::WithParamInterface<GeoCase> {};

TEST_P(GeoReference, WorldFilePrjAndAux) {
  const GeoCase &c = GetParam();
  const std::string ded = work.write("g.ded", dedtest::encode(c.file));
  // By default a pixel is the sample spacing and its centre the sample; the
  // host's reading stretches the pixels over the bounds, corner to corner.
  const double sx = (c.xMax - c.xMin) / (c.width - 1), sy = (c.yMax - c.yMin) / (c.height - 1);
  const double hx = (c.xMax - c.xMin) / c.width, hy = (c.yMax - c.yMin) / c.height;
  struct Way {
    const char *label, *image, *world;
    std::vector<std::string> options;
    double expected[6];
  };
  const Way ways[] = {
      {"samples, north-up", "g.png", "g.pgw", {}, {sx, 0, 0, -sy, c.xMin, c.yMax}},
      {"samples, as host", "g.pgm", "g.wld", {"--as-host"}, {sx, 0, 0, sy, c.xMin, c.yMin}},
      {"host",
       "h.png",
       "h.pgw",
       {"--georef", "host"},
       {hx, 0, 0, -hy, c.xMin + hx / 2, c.yMax - hy / 2}}};
  for (const Way &way : ways) {
    SCOPED_TRACE(way.label);
    const std::string image = at(way.image);
    std::vector<std::string> args{"convert", ded, image};
    args.insert(args.end(), way.options.begin(), way.options.end());
    const ToolRun r = run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto world = numbersIn(at(way.world));
    ASSERT_EQ(world.size(), 6u);
    for (int i = 0; i < 6; ++i) {
      EXPECT_NEAR(world[i], way.expected[i], 1e-9 * (1 + std::abs(way.expected[i])))
          << "line " << i + 1;
    }
    const std::string prj = slurp(fs::path(image).replace_extension(".prj"));
    EXPECT_EQ(prj.rfind(c.prjStart, 0), 0u) << prj;
    EXPECT_EQ(std::count(prj.begin(), prj.end(), '\n'), 1);
    const std::string aux = slurp(image + ".aux.xml");
    EXPECT_NE(
        aux.find("AUTHORITY[&quot;EPSG&quot;,&quot;" + std::to_string(c.epsg) + "&quot;]]</SRS>"),
        std::string::npos)
        << aux;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, GeoReference,
    ::testing::Values(
        GeoCase{"geographic", dedtest::geographicFile(121, 61), 10, 45, 11, 45.5, 121, 61, 4326,
                "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
                "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]\n"},
        GeoCase{"utmNorth", dedtest::utmFile("33", 'N', 101, 51), 500000, 4000000, 503000, 4001500,
                101, 51, 32633, "PROJCS[\"WGS_1984_UTM_Zone_33N\",GEOGCS[\"GCS_WGS_1984\""},
        GeoCase{"utmSouth", utmSouth(), 500000, 4000000, 503000, 4001500, 101, 51, 32756,
                "PROJCS[\"WGS_1984_UTM_Zone_56S\",GEOGCS[\"GCS_WGS_1984\""}),
    [](const auto &testInfo) { return std::string(testInfo.param.label); });

TEST_F(HostTool, InfoJsonHoldsTheFilesViewAndWhatTheHostLearned) {
  const std::string ded =
      work.write("u.ded", dedtest::encode(dedtest::utmFile("56", 'S', 101, 51)));
  const ToolRun r = run({"info", ded, "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  using nlohmann::json;
  // Not const: a member the tool left out reads as null instead of undefined behaviour.
  auto doc = json::parse(r.out, nullptr, false);
  ASSERT_FALSE(doc.is_discarded()) << r.out;
  std::vector<std::string> order;
  const auto ordered = nlohmann::ordered_json::parse(r.out);
  for (const auto &member : ordered.items()) {
    order.push_back(member.key());
  }
  EXPECT_EQ(order, (std::vector<std::string>{
                       "schemaVersion", "file", "size", "coordinateSystem", "geoTransform",
                       "cornerCoordinates", "wgs84Extent", "bands", "greyImage", "elevation",
                       "sampleSpacing", "missingSamples", "losses", "cells", "plugin", "host"}));
  EXPECT_EQ(doc["file"], ded);
  EXPECT_EQ(doc["size"], json::parse("[101, 51]"));
  EXPECT_EQ(doc["coordinateSystem"]["epsg"], 32756);
  EXPECT_EQ(doc["coordinateSystem"]["description"], "UTM zone 56 south");
  EXPECT_EQ(doc["geoTransform"], json::parse("[499985, 30, 0, 4001515, 0, -30]"));
  EXPECT_EQ(doc["elevation"],
            json::parse(R"({"minimum":0,"maximum":255,"unit":"m","metresPerGreyLevel":1})"));
  EXPECT_EQ(doc["sampleSpacing"]["metres"], json::parse("[30, 30]"));
  EXPECT_EQ(doc["sampleSpacing"]["fileUnit"], "metre");
  EXPECT_EQ(doc["cells"][0]["offset"], 200);
  EXPECT_EQ(doc["cells"][0]["bytes"], 101 * 51 * 2);
  EXPECT_EQ(doc["plugin"]["id"], "Elvarin");
  auto &host = doc["host"];
  EXPECT_EQ(host["texture"], json::parse(R"({"width":101,"height":51,"type":2,"sampleSize":8,
      "min":0,"max":255,"transparentValue":-32768,"tiled":0,"signed":1})"));
  EXPECT_EQ(host["geo"]["utmZone"], 56);
  EXPECT_EQ(host["geo"]["utmHemisphere"], 0);
  EXPECT_EQ(host["controlPoints"][2], json::parse(R"({"image":[101,0],"world":[503000,4000000]})"));
  EXPECT_DOUBLE_EQ(host["geoTransform"][1].get<double>(), 3000.0 / 101);
  EXPECT_EQ(host["callbacks"], json::parse(R"({"open":0,"get-info":0,"geo-info":0,"close":0})"));
}

TEST_F(HostTool, InfoTextFitsAScreenWithOneLinePerCell) {
  dedtest::File mosaic;
  mosaic.cellCount = 49;
  for (int row = 0; row < 7; ++row) {
    for (int column = 0; column < 7; ++column) {
      mosaic.cells.push_back(dedtest::geographicCell(10.0 + column / 60.0, 45.0 + row / 60.0, 3, 3,
                                                     300.0f)); // 2 spacings of 1/120 degree
    }
  }
  dedtest::File many = mosaic; // one cell more than are listed
  many.cells.resize(1001, mosaic.cells[0]);
  many.cellCount = 1001;
  for (const auto &[name, file, cells] :
       {std::tuple{"one.ded", dedtest::geographicFile(11, 11), 1}, std::tuple{"m.ded", mosaic, 49},
        std::tuple{"many.ded", many, 1000}}) {
    SCOPED_TRACE(name);
    const ToolRun r = run({"info", work.write(name, dedtest::encode(file))});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = clitest::linesOf(r.out);
    EXPECT_LE(lines.size(), 40u + cells - 1) << r.out;
    const auto cellLines = std::count_if(lines.begin(), lines.end(), [](const std::string &line) {
      return line.find("; 3 x 3; ") != std::string::npos ||
             line.find("; 11 x 11; ") != std::string::npos;
    });
    EXPECT_EQ(cellLines, cells) << r.out;
    EXPECT_EQ(r.out.find("and 1 more cell, not listed\n") != std::string::npos, cells == 1000);
    EXPECT_NE(r.out.find("its reading"), std::string::npos) << "the host's reading differs";
    EXPECT_NE(r.out.find("2 (grey), 8 (bits a sample), grey 0..255, transparent -32768, 0 (not "
                         "tiled), 1 (signed)"),
              std::string::npos)
        << r.out;
  }
}

struct BadCase {
  const char *label;
  std::vector<uint8_t> bytes; // for "missing" and "folder": none
  const char *words;          // what the tool's line says after "FILE: "
  int code;                   // the plug-in's status, in info --json's error
};

void PrintTo(const BadCase &value, std::ostream *os) { *os << value.label; }

std::vector<uint8_t> badMagic() {
  dedtest::File file = dedtest::geographicFile(11, 11);
  file.magic = "KVTX";
  return dedtest::encode(file);
}

std::vector<uint8_t> truncatedIn(size_t bytes) {
  std::vector<uint8_t> all = dedtest::encode(dedtest::geographicFile(11, 11));
  all.resize(bytes);
  return all;
}

// A cell of trunc(columns) = 0 columns of 4 rows, and 8 bytes more.
std::vector<uint8_t> noColumns(float columns) {
  dedtest::File file = dedtest::geographicFile(0, 4);
  file.cells[0].columnCount = columns;
  file.trailing.resize(8);
  return dedtest::encode(file);
}

std::vector<uint8_t> utm(const char *zone, char hemisphere = 'N') {
  return dedtest::encode(dedtest::utmFile(zone, hemisphere, 11, 11));
}

class BadInput : public HostTool, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadInput, FailsNamingTheFileAndWhatIsWrongAndWritesNothing) {
  const BadCase &c = GetParam();
  const std::string label = c.label;
  std::string ded = at(label + ".ded");
  if (label == "folder") {
    fs::create_directory(ded);
  } else if (label == "fifo") {
    ASSERT_EQ(mkfifo(ded.c_str(), 0600), 0); // no writer: an open that waited would never end
  } else if (label != "missing") {
    ded = work.write("bad.ded", c.bytes);
  }
  const auto before = namesIn(work.path());
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"convert", ded, at("out.png")},
        std::vector<std::string>{"info", ded}, std::vector<std::string>{"info", ded, "--json"}}) {
    SCOPED_TRACE(args.back());
    const ToolRun r = run(args);
    EXPECT_EQ(r.exitCode, 1);
    // What the plug-in printed comes first, unchanged; the tool's line last.
    const auto lines = clitest::linesOf(r.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("elvarin-host: " + ded + ": " + c.words + " (", 0), 0u)
        << lines.back();
    EXPECT_NE(lines.back().find(" returned " + std::to_string(c.code) + ")"), std::string::npos)
        << lines.back();
    EXPECT_EQ(namesIn(work.path()), before) << "no output, not even a temporary one";
    if (label == "truncatedCellHeader") {
      EXPECT_EQ(lines.front().rfind("Reading ded cell header: ", 0), 0u) << "the plug-in's own";
    }
    if (args.back() == "--json") {
      const auto doc = nlohmann::json::parse(r.out, nullptr, false);
      // The plug-in's failing status, else the exit status: never 0.
      EXPECT_EQ(doc["error"]["code"], c.code != 0 ? c.code : 1) << r.out;
      EXPECT_EQ("elvarin-host: " + doc["error"].value("message", ""), lines.back());
    } else {
      EXPECT_EQ(r.out, "") << "no table of empty values";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadInput,
    ::testing::Values(
        BadCase{"missing", {}, "cannot open: No such file or directory", -2},
        BadCase{"folder", {}, "is a folder, not a DED file", -2},
        BadCase{"fifo", {}, "is not a regular file", -2},
        BadCase{"empty", truncatedIn(0), "is empty", -6},
        BadCase{"wrongMagic", badMagic(), "not a DED file (no KVTR magic at byte 4)", -6},
        BadCase{"shorterThanTheMagic", truncatedIn(6), "not a DED file", -6},
        BadCase{"truncatedHeader", truncatedIn(100),
                "the header is cut short: the file has 100 bytes, 160 needed", -3},
        BadCase{"truncatedCellHeader", truncatedIn(170),
                "the cell headers are cut short: the file has 170 bytes, 200 needed", -3},
        BadCase{"noColumns", noColumns(0),
                "a cell holds no samples (cell 1): the plug-in's image is 0 x 4 pixels", 0},
        BadCase{"halfAColumn", noColumns(0.5f),
                "the image has no samples to show: the plug-in's image is 0 x 4 pixels", 0},
        BadCase{"utmZone61", utm("61"), "UTM zone 61 is outside 1..60", -8},
        BadCase{"utmZone0", utm("0"), "UTM zone 0 is outside 1..60", -8},
        BadCase{"utmZoneBeyondInt32", utm(std::string(116, '9').c_str()),
                "UTM zone 2147483647 or more is outside 1..60", -8},
        BadCase{"utmZoneMissing", utm("x"), "the UTM zone is not a number", -8},
        BadCase{"utmHemisphere", utm("33", 'Q'), "UTM hemisphere 'Q' is neither N nor S", -8},
        BadCase{"utmHemisphereBlank", utm("33", ' '), "UTM hemisphere byte 0x20 is neither N nor S",
                -8}),
    [](const auto &testInfo) { return std::string(testInfo.param.label); });

// 6 x 4 samples of spacing 0 whose bounds are one point: nothing places them.
dedtest::File onePoint() {
  dedtest::File file = dedtest::geographicFile(6, 4);
  dedtest::Cell &cell = file.cells[0];
  cell.xSpacing = cell.ySpacing = 0.0f;
  cell.xMax = cell.xMin;
  cell.yMax = cell.yMin;
  return file;
}

TEST_F(HostTool, InfoJsonFollowsItsSchemaForEveryKindOfFile) {
  // Debian's python3-jsonschema, which scripts/install-deps.sh installs.
  ASSERT_EQ(std::system(ELVARIN_PYTHON " -c 'import jsonschema' 2>/dev/null"), 0)
      << ELVARIN_PYTHON " has no jsonschema (scripts/install-deps.sh)";
  dedtest::File several = dedtest::utmFile("33", 'N', 5, 4);
  several.cellCount = 2;
  several.cells.push_back(dedtest::utmCell(499000.0, 3999000.0, 5, 4, 30.0f));
  std::vector<uint8_t> shortFile = dedtest::encode(dedtest::geographicFile(11, 11));
  shortFile.resize(shortFile.size() - 4);
  dedtest::File farEast = dedtest::utmFile("33", 'N', 4, 4);
  farEast.cells[0] = dedtest::utmCell(30000000.0, 5000000.0, 4, 4, 30.0f); // PROJ gives up
  // Cells too far apart for one frame: the driver refuses the file.
  dedtest::File apart = dedtest::utmFile("33", 'N', 4, 4);
  apart.cells.push_back(dedtest::utmCell(3500000.0, 3000000.0, 4, 4, 30.0f));
  apart.cellCount = 2;
  // One cell more than info lists one by one.
  dedtest::File manyCells = dedtest::geographicFile(2, 2);
  manyCells.cells.assign(1001, manyCells.cells[0]);
  manyCells.cellCount = 1001;
  const ToolRun many = run({"info", work.write("many.ded", dedtest::encode(manyCells)), "--json"});
  EXPECT_EQ(nlohmann::json::parse(many.out, nullptr, false)["cellsNotListed"], 1) << many.err;
  const ToolRun farText = run({"info", work.write("far.ded", dedtest::encode(farEast))});
  EXPECT_EQ(farText.exitCode, 0) << farText.err;
  EXPECT_NE(farText.out.find("\nWGS 84 extent     not computed (PROJ cannot"), std::string::npos)
      << farText.out;
  const std::pair<std::string, std::vector<uint8_t>> files[] = {
      {"far.ded", dedtest::encode(farEast)},
      {"geographic.ded", dedtest::encode(dedtest::geographicFile(11, 11))},
      {"utm.ded", dedtest::encode(utmSouth())},
      {"several.ded", dedtest::encode(several)},
      {"short.ded", shortFile},
      {"onePoint.ded", dedtest::encode(onePoint())},
      {"many.ded", dedtest::encode(manyCells)},
      {"apart.ded", dedtest::encode(apart)},
      {"bad\xff.ded", badMagic()}};
  std::string outputs;
  for (const auto &[name, bytes] : files) {
    const ToolRun r = run({"info", work.write(name, bytes), "--json"});
    outputs.append(" ").append(
        work.write(name + ".json", std::vector<uint8_t>(r.out.begin(), r.out.end())));
  }
  const std::string check = work.write("check.py", {});
  std::ofstream(check) << "import json, sys, jsonschema\n"
                          "schema = json.load(open(sys.argv[1]))\n"
                          "for name in sys.argv[2:]:\n"
                          "    jsonschema.validate(json.load(open(name)), schema)\n";
  EXPECT_EQ(std::system((ELVARIN_PYTHON " " + check + " " ELVARIN_INFO_SCHEMA + outputs).c_str()),
            0);
}

// The grey image of samples nothing places shows every one of them, says so
// and writes no georeference rather than NaN.
TEST_F(HostTool, SamplesNothingPlacesConvertWithoutAGeoreference) {
  const std::string ded = work.write("point.ded", dedtest::encode(onePoint()));
  for (const char *image : {"p.png", "p.tif"}) {
    const ToolRun r = run({"convert", ded, at(image)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "elvarin-host: warning: " + ded +
                         ": no georeference is written: the first cell's spacing is not above 0 "
                         "(0 x 0) and its bounds and counts give none\n");
    EXPECT_EQ(clitest::slurp(at(image) + ".aux.xml").find("GeoTransform"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(at("p.pgw")));
  EXPECT_FALSE(std::filesystem::exists(at("p.wld")));
}

TEST_F(HostTool, AFileEndingInsideItsSamplesConvertsWithAWarning) {
  std::vector<uint8_t> bytes = dedtest::encode(dedtest::geographicFile(11, 11));
  bytes.resize(bytes.size() - 10); // 5 samples short
  const std::string ded = work.write("short.ded", bytes);
  const ToolRun r = run({"convert", ded, at("short.png")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "elvarin-host: warning: " + ded +
                       ": the file ends 5 samples short; they are shown as elevation 0\n");
  const ToolRun info = run({"info", ded, "--json"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_EQ(nlohmann::json::parse(info.out)["missingSamples"], 5);

  // Without a single sample of a cell the plug-in cannot fill it.
  bytes.resize(200);
  work.write("short.ded", bytes);
  const ToolRun none = run({"convert", ded, at("short.png")});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(clitest::linesOf(none.err).back(),
            "elvarin-host: " + ded +
                ": the samples are cut short: the file has 200 bytes, 442 needed (get-image "
                "returned -3)");
}

// A PNG wider than libpng's default limit of a million pixels converts and
// reads back as the plug-in's pixels, north up.
TEST_F(HostTool, APngOfMoreThanAMillionColumnsConverts) {
  constexpr int kWidth = 1'000'002;
  dedtest::File file = dedtest::geographicFile(
      kWidth, 2, [](int c, int r) { return static_cast<int16_t>((c * 7 + r * 100) % 256); });
  const ToolRun r = run({"convert", work.write("wide.ded", dedtest::encode(file)), at("wide.png")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "elvarin-host: warning: " + at("wide.png") +
                       ": most programs cannot open a PNG over 1000000 pixels wide, as this one "
                       "(1000002) is; a GeoTIFF (.tif) has no such limit\n");
  GreyPicture png;
  std::string error;
  ASSERT_TRUE(clitest::readPng(at("wide.png"), &png, &error)) << error;
  ASSERT_EQ(png.width, kWidth);
  ASSERT_EQ(png.height, 2);
  for (int c = 0; c < kWidth; ++c) {
    for (int row = 0; row < 2; ++row) { // the first row is the northern one
      ASSERT_EQ(png.pixels[static_cast<size_t>(row) * kWidth + c], (c * 7 + (1 - row) * 100) % 256)
          << "column " << c << " row " << row;
    }
  }
}

TEST_F(HostTool, OutputsThatWouldOverwriteTheInputOrEachOtherAreRefused) {
  const std::vector<uint8_t> ded = dedtest::encode(dedtest::geographicFile(11, 11));
  work.write("in.png", ded);
  work.write("a.pgw", ded);
  work.write("g.ded", ded);
  fs::create_symlink(at("g.ded"), at("link.png"));
  fs::create_symlink(at("g.ded"), at("link.DED"));
  fs::create_hard_link(at("g.ded"), at("hard.prj"));
  // Outputs that are not files are never replaced by one, through links
  // neither; a name too long is said to be.
  ASSERT_EQ(mkfifo(at("fifo.png").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(at("side.pgw").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", at("null.png"));
  const std::string longName(256, 'n');
  struct Case {
    std::string input, output, says;
    int code = 2;
  } const cases[] = {
      {"in.png", "in.png", "in.png: the image would overwrite the input"},
      {"a.pgw", "a.png", "a.pgw: the world file would overwrite the input"},
      {"g.ded", "link.png", "link.png: the image would overwrite the input"},
      {"g.ded", "hard.png", "hard.prj: the .prj file would overwrite the input"},
      {"g.ded", "g.ded", "g.ded: the output would overwrite the input"},
      {"g.ded", "link.DED", "link.DED: the output would overwrite the input"},
      {"g.ded", "fifo.png", "cannot write " + at("fifo.png") + ": it is not a regular file", 1},
      {"missing.ded", "side.png", "cannot write " + at("side.pgw") + ": it is not a regular file",
       1},
      {"g.ded", "null.png", "cannot write " + at("null.png") + ": it is not a regular file", 1},
      {"missing.ded", longName + ".png",
       "cannot write " + at(longName + ".png") + ": File name too long", 1},
  };
  const auto before = namesIn(work.path());
  for (const Case &c : cases) {
    SCOPED_TRACE(c.output);
    const ToolRun r = run({"convert", at(c.input), at(c.output)});
    EXPECT_EQ(r.exitCode, c.code);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"sample", at("fifo.png")},
        std::vector<std::string>{"convert", at("g.ded"), at("side.ded"), "--output-dir",
                                 work.path().string()}}) {
    const ToolRun r = run(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("it is not a regular file"), std::string::npos) << r.err;
  }
  EXPECT_EQ(namesIn(work.path()), before);
  EXPECT_TRUE(fs::is_fifo(at("fifo.png")));
  EXPECT_TRUE(slurp(at("in.png")) == slurp(at("g.ded"))) << "the inputs are untouched";
  EXPECT_TRUE(slurp(at("a.pgw")) == slurp(at("g.ded")));
}

TEST_F(HostTool, PlantedLinksAreNeverWrittenThrough) {
  const std::string ded = work.write("g.ded", dedtest::encode(dedtest::geographicFile(11, 11)));
  const std::string victim = work.write("victim", {'k', 'e', 'e', 'p'});
  // Links at the names a temporary file would once have had (the process
  // id is the shell's, which exec keeps), and at the final name itself.
  fs::create_symlink(victim, at("out.png"));
  const std::string plant = "for n in 0 1 2 3; do ln -s " + victim + " " + at(".out.png.part-") +
                            "$$-$n; ln -s " + victim + " " + at(".out.pgw.part-") + "$$-$n; done";
  const std::string command = "sh -c '" + plant + "; exec \"$0\" convert \"$1\" \"$2\"' " +
                              ELVARIN_HOST_EXE + " " + ded + " " + at("out.png");
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(slurp(victim), "keep");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(at("out.png"))));
}

// elvarin-host run by the shell after before (a limit, a umask) and with
// the redirections in after; its exit code.
int shellRun(const std::string &before, const std::string &args, const std::string &after) {
  const int status =
      std::system((before + " '" ELVARIN_HOST_EXE "' " + args + " " + after).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Built piece by piece: GCC 12 misreads a concatenation from a literal
// (-Wrestrict).
std::string quoted(const std::string &path) {
  std::string text(1, '\'');
  text.append(path);
  text.push_back('\'');
  return text;
}

// Started with standard error closed, no output file takes its place, so
// no warning or progress line lands inside one.
TEST_F(HostTool, WithStandardErrorClosedNoMessageLandsInAnOutput) {
  std::vector<uint8_t> bytes = dedtest::encode(dedtest::geographicFile(11, 11));
  bytes.resize(bytes.size() - 10); // a warning to print
  const std::string ded = quoted(work.write("short.ded", bytes));
  EXPECT_EQ(shellRun("", "convert " + ded + " " + quoted(at("o.png")), "2>&-"), 0);
  EXPECT_EQ(shellRun("", "convert --progress " + ded + " " + quoted(at("o.pgm")), "2>&-"), 0);
  EXPECT_EQ(shellRun("", "sample --progress --size 64 " + quoted(at("s.ded")), ">/dev/null 2>&-"),
            0);
  GreyPicture picture;
  std::string error;
  EXPECT_TRUE(clitest::readPng(at("o.png"), &picture, &error)) << error;
  EXPECT_TRUE(clitest::readPgm(at("o.pgm"), &picture, &error)) << error;
  EXPECT_EQ(run({"info", at("s.ded")}).exitCode, 0);
}

// Beyond the file-size limit a write fails, is reported and cleaned up,
// alone or in a batch, instead of SIGXFSZ ending the run silently.
TEST_F(HostTool, AFileSizeLimitIsAWriteErrorThatLeavesNothing) {
  ASSERT_EQ(run({"sample", at("big.ded"), "--size", "513"}).exitCode, 0);
  const std::string big = quoted(at("big.ded"));
  const std::string err = (logs.path() / "limited.err").string();
  const std::string limit = "ulimit -f 64;"; // 32 or 64 KiB, by the shell's block
  EXPECT_EQ(shellRun(limit, "convert " + big + " " + quoted(at("big.png")), "2>" + err), 1);
  EXPECT_EQ(slurp(err), "elvarin-host: cannot write " + at("big.png") + ": File too large\n");
  // Stopped part way, the progress line ends before the failure is told.
  EXPECT_EQ(shellRun(limit, "convert --progress " + big + " " + quoted(at("big.pgm")), "2>" + err),
            1);
  const std::string told = slurp(err);
  EXPECT_TRUE(told.starts_with("0...") && told.ends_with("0\nelvarin-host: cannot write " +
                                                         at("big.pgm") + ": File too large\n"))
      << told;
  EXPECT_EQ(shellRun(limit, "convert " + big + " --output-dir " + quoted(at("out")), "2>" + err),
            1);
  EXPECT_EQ(slurp(err), "elvarin-host: cannot write " + at("out/big.png") +
                            ": File too large\nelvarin-host: 0 converted, 1 failed\n");
  EXPECT_EQ(namesIn(work.path()), (std::vector<std::string>{"big.ded", "out"}));
  EXPECT_TRUE(namesIn(at("out")).empty());
}

TEST_F(HostTool, ControlCharactersInNamesArePrintedEscaped) {
  const std::string name = at("ev\x1b[31mil\x07.ded"), shown = at("ev\\x1b[31mil\\x07.ded");
  ToolRun r = run({"convert", name, at("o.png")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err.rfind("elvarin-host: " + shown + ": cannot open", 0), 0u) << r.err;
  r = run({"sample", name, "--size", "4"});
  EXPECT_EQ(r.out, "wrote " + shown + ": 4 x 4 samples, geographic\n");
}

// A final name as long as the folder allows, sidecars included, is written
// although its temporary name would be longer.
TEST_F(HostTool, TheLongestLegalNamesAreWritten) {
  const std::string ded = work.write("g.ded", dedtest::encode(dedtest::geographicFile(11, 11)));
  const std::string stem(247 - 4, 'n'); // the .aux.xml name is 255 bytes long
  const ToolRun r = run({"convert", ded, at(stem + ".png")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(namesIn(work.path()), (std::vector<std::string>{"g.ded", stem + ".pgw", stem + ".png",
                                                            stem + ".png.aux.xml", stem + ".prj"}));
}

// Converting twice to one name leaves exactly the outputs, as the umask
// makes new files, and no backup of the first.
TEST_F(HostTool, ConvertingTwiceLeavesJustTheOutputs) {
  const std::string ded =
      quoted(work.write("g.ded", dedtest::encode(dedtest::geographicFile(11, 11))));
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(shellRun("umask 022;", "convert " + ded + " " + quoted(at("up.PNG")), ""), 0);
  }
  const std::vector<std::string> outputs = {"up.PNG", "up.PNG.aux.xml", "up.pgw", "up.prj"};
  std::vector<std::string> expected = outputs;
  expected.insert(expected.begin(), "g.ded");
  EXPECT_EQ(namesIn(work.path()), expected);
  for (const std::string &name : outputs) {
    EXPECT_EQ(fs::status(at(name)).permissions(), fs::perms(0644)) << name;
  }
  // A replaced output keeps its permissions.
  fs::permissions(at("up.PNG"), fs::perms(0600));
  ASSERT_EQ(shellRun("umask 022;", "convert " + ded + " " + quoted(at("up.PNG")), ""), 0);
  EXPECT_EQ(fs::status(at("up.PNG")).permissions(), fs::perms(0600));
  EXPECT_EQ(fs::status(at("up.prj")).permissions(), fs::perms(0644));
}

// Output that does not reach standard output fails the run.
TEST_F(HostTool, LostStandardOutputFailsTheRun) {
  const std::string ded =
      quoted(work.write("g.ded", dedtest::encode(dedtest::geographicFile(11, 11))));
  const std::string err = (logs.path() / "full.err").string();
  for (const std::string &args : {"info " + ded, "info --json " + ded, std::string("--version")}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(shellRun("", args, ">/dev/full 2>" + err), 1);
    EXPECT_EQ(slurp(err).rfind("elvarin-host: cannot write the standard output: ", 0), 0u)
        << slurp(err);
  }
}

// A close that fails after get-image fails the conversion; in a batch the
// plug-in's last words, left without a line break, still come through.
TEST_F(HostTool, AFailedCloseAfterGetImageFailsTheConversion) {
  const std::string ded = work.write("g.ded", dedtest::encode(dedtest::geographicFile(11, 11)));
  const std::string failed =
      "elvarin-host: " + ded + ": truncated or unreadable (close returned -3)";
  ToolRun r = run({"convert", ded, at("g.png"), "--plugin", ELVARIN_STUB_PLUGIN_PATH});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, failed + "\ncloses-badly: unloaded");
  EXPECT_EQ(namesIn(work.path()), std::vector<std::string>{"g.ded"});
  r = run({"convert", ded, "--output-dir", at("out"), "--plugin", ELVARIN_STUB_PLUGIN_PATH});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, failed + "\ncloses-badly: unloaded\nelvarin-host: 0 converted, 1 failed\n");
  EXPECT_TRUE(namesIn(at("out")).empty());
  // A plug-in whose image is not the file's is caught before its pixels.
  setenv("ELVARIN_STUB_HEIGHT", "5", 1);
  r = run({"convert", ded, at("g.png"), "--plugin", ELVARIN_STUB_PLUGIN_PATH});
  unsetenv("ELVARIN_STUB_HEIGHT");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(ded + ": changed while it was read (the plug-in's image size is not the "
                             "file's)"),
            std::string::npos)
      << r.err;
}

TEST_F(HostTool, AFailedCommitKeepsTheEarlierOutputs) {
  const std::string ded = work.write("g.ded", dedtest::encode(dedtest::geographicFile(11, 11)));
  ASSERT_EQ(run({"convert", ded, at("out.png")}).exitCode, 0);
  const std::string png = slurp(at("out.png")), pgw = slurp(at("out.pgw"));
  // A folder that is not empty where the .prj goes: refused even for root.
  fs::remove(at("out.prj"));
  fs::create_directories(at("out.prj/inside"));
  const ToolRun r = run({"convert", ded, at("out.png"), "--georef", "host"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot write " + at("out.prj")), std::string::npos) << r.err;
  EXPECT_TRUE(slurp(at("out.png")) == png);
  EXPECT_EQ(slurp(at("out.pgw")), pgw);
  EXPECT_EQ(namesIn(work.path()), (std::vector<std::string>{"g.ded", "out.pgw", "out.png",
                                                            "out.png.aux.xml", "out.prj"}));
}

struct SignalCase {
  const char *label;
  int signal;
  bool ignoredAtStart;
  const char *output = "big.png";
};

void PrintTo(const SignalCase &value, std::ostream *os) { *os << value.label; }

class Signals : public HostTool, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(Signals, CleanUpUnlessIgnoredFromTheStart) {
  const SignalCase &c = GetParam();
  ASSERT_EQ(run({"sample", at("big.ded"), "--kind", "mosaic", "--size", "4097"}).exitCode, 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    (void)std::signal(c.signal, c.ignoredAtStart ? SIG_IGN : SIG_DFL);
    const rlimit noCore{0, 0}; // SIGQUIT dumps core otherwise
    (void)setrlimit(RLIMIT_CORE, &noCore);
    (void)std::freopen("/dev/null", "w", stderr);
    execl(ELVARIN_HOST_EXE, ELVARIN_HOST_EXE, "convert", at("big.ded").c_str(),
          at(c.output).c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  // Signal as soon as a temporary file exists, and again until it is done.
  int status = 0;
  bool signalled = false;
  while (waitpid(child, &status, WNOHANG) == 0) {
    const auto names = namesIn(work.path());
    if (signalled ||
        std::any_of(names.begin(), names.end(), [](const std::string &n) { return n[0] == '.'; })) {
      signalled = kill(child, c.signal) == 0 || signalled;
    }
    usleep(1000);
  }
  ASSERT_TRUE(signalled) << "finished before a temporary file was seen";
  if (c.ignoredAtStart) {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(namesIn(work.path()).size(), 5u);
  } else {
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
    EXPECT_EQ(namesIn(work.path()), std::vector<std::string>{"big.ded"});
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Signals,
                         ::testing::Values(SignalCase{"quit", SIGQUIT, false},
                                           SignalCase{"ignoredInterrupt", SIGINT, true},
                                           SignalCase{"dedTerminate", SIGTERM, false, "c.ded"}),
                         [](const auto &testInfo) { return std::string(testInfo.param.label); });

TEST_F(HostTool, AMissingOutputFolderFailsBeforeReadingAnything) {
  const std::string ded = work.write("g.ded", dedtest::encode(dedtest::geographicFile(11, 11)));
  const std::string nowhere = at("no-such-folder/out.png");
  const ToolRun r = run({"convert", ded, nowhere});
  EXPECT_EQ(r.exitCode, 1);
  const auto lines = clitest::linesOf(r.err);
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_EQ(lines[0], "elvarin-host: cannot write " + nowhere + ": No such file or directory");
  EXPECT_EQ(namesIn(work.path()), std::vector<std::string>{"g.ded"});
}

TEST_F(HostTool, AReadOnlyOutputFolderFailsAndStaysEmpty) {
  const std::string ded = work.write("g.ded", dedtest::encode(dedtest::geographicFile(11, 11)));
  fs::create_directory(at("ro"));
  fs::permissions(at("ro"), fs::perms::owner_read | fs::perms::owner_exec);
  const ToolRun r = run({"convert", ded, at("ro/out.png")});
  fs::permissions(at("ro"), fs::perms::owner_all);
  if (r.exitCode == 0) {
    GTEST_SKIP() << "this user may write into read-only folders (root)";
  }
  EXPECT_EQ(r.exitCode, 1);
  ASSERT_EQ(clitest::linesOf(r.err).size(), 1u) << r.err;
  EXPECT_NE(r.err.find("cannot write " + at("ro/out.png")), std::string::npos) << r.err;
  EXPECT_TRUE(namesIn(at("ro")).empty());
}

// A 2 x 2 raster in srs (none when empty) at geoTransform, as GDAL opens it
// from the text itself.
std::string rasterIn(const std::string &srs, const std::string &geoTransform) {
  return "<VRTDataset rasterXSize='2' rasterYSize='2'>" +
         (srs.empty() ? std::string() : "<SRS>" + srs + "</SRS>") + "<GeoTransform>" +
         geoTransform + "</GeoTransform><VRTRasterBand dataType='Int16' band='1'/></VRTDataset>";
}

TEST_F(HostTool, CommandLineMistakesAndHelp) {
  struct Case {
    std::vector<std::string> args;
    const char *says;
    int exitCode;
    bool onStdout;
  };
  const Case cases[] = {
      {{"--help"}, "usage: elvarin-host COMMAND", 0, true},
      {{"info", "--help"}, "usage: elvarin-host info FILE.ded", 0, true},
      {{"convert", "--help"}, "usage: elvarin-host convert FILE.ded", 0, true},
      {{"sample", "-h"}, "usage: elvarin-host sample OUT.ded", 0, true},
      {{}, "usage: elvarin-host COMMAND", 2, false},
      {{"paint"}, "elvarin-host: unknown command paint (see elvarin-host --help)", 2, false},
      {{"convert", "a.ded"}, "convert takes a DED file and an output image", 2, false},
      {{"convert", "a.ded", "b.jpg"},
       "b.jpg: the output must end in .png, .pgm, .tif, .tiff or .ded",
       2,
       false},
      {{"info", "a.ded", "--colour"},
       "unknown option --colour (see elvarin-host info --help)",
       2,
       false},
      {{"sample", "x.ded", "--size", "1"},
       "--size must be a whole number from 2 to 32767",
       2,
       false},
      {{"sample", "x.ded", "--kind", "lunar"},
       "--kind must be geographic, utm or mosaic",
       2,
       false},
      {{"sample", "x.ded", "--kind", "mosaic", "--size", "2"},
       "--size for a mosaic must be 1 + 1024 x cells per side (1025, 2049, ... 31745), not 2",
       2,
       false},
      {{"sample", "x.ded", "--kind", "utm", "--zone", "61"},
       "--zone must be a whole number from 1 to 60, not 61",
       2,
       false},
      {{"sample", "x.ded", "--hemisphere", "Q"}, "--hemisphere must be N or S, not Q", 2, false},
      {{"info", "a.ded", "--plugin"}, "option --plugin needs a value", 2, false},
      {{"convert", "a.ded", "e.png", "--type", "int16"},
       "--type int16 writes only GeoTIFF: give OUT.tif or --format tif",
       2,
       false},
      {{"convert", "a.ded", "--output-dir", "o", "--type", "int16", "--format", "pgm"},
       "--type int16 writes only GeoTIFF",
       2,
       false},
      {{"convert", "a.ded", "e.tif", "--type", "float"}, "--type must be grey or int16", 2, false},
      {{"convert", "a.ded", "e.tif", "--frame", "data"},
       "--frame applies only with --type int16",
       2,
       false},
      {{"convert", "a.tif", "o.ded", "--type", "int16"},
       "--type does not apply to DED output",
       2,
       false},
      {{"convert", "a.tif", "o.ded", "--georef", "host"},
       "--georef does not apply to DED output",
       2,
       false},
      {{"convert", "a.tif", "o.DED", "--frame", "host"},
       "--frame does not apply to DED output",
       2,
       false},
      {{"sample", "x.ded", "--size", "5", "--size", "6"}, "option --size given twice", 2, false},
      {{"sample", "x.ded", "--plugin", "p.so"},
       "unknown option --plugin (see elvarin-host sample --help)",
       2,
       false},
      {{"convert", at("absent.tif"), at("o.ded")},
       "absent.tif: cannot be read as a raster",
       1,
       false},
      // Sources GDAL reads from their text alone: nothing to write, nothing left.
      {{"convert", rasterIn("EPSG:3857", "0,10,0,0,0,-10"), at("o.ded")},
       "(EPSG:3857) is neither WGS 84 (EPSG:4326) nor WGS 84 / UTM (EPSG:326zz, 327zz); "
       "reproject it first: gdalwarp -t_srs EPSG:4326",
       1,
       false},
      {{"convert", rasterIn("EPSG:4326", "8,0.01,0.002,46,0,-0.01"), at("o.ded"), "--format",
        "ded"},
       "its geotransform is rotated or sheared; make it north-up first: gdalwarp -t_srs EPSG:4326",
       1,
       false},
      {{"convert", rasterIn("", "8,0.01,0,46,0,-0.01"), at("o.ded")},
       "it has no coordinate system",
       1,
       false},
  };
  for (const Case &c : cases) {
    std::string joined;
    for (const auto &a : c.args) {
      joined += a + " ";
    }
    SCOPED_TRACE(joined);
    const ToolRun r = run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_NE((c.onStdout ? r.out : r.err).find(c.says), std::string::npos) << r.out << r.err;
  }
  EXPECT_TRUE(namesIn(work.path()).empty());
}

TEST_F(HostTool, APluginThatIsNotOneIsNamed) {
  const std::string ded = work.write("g.ded", dedtest::encode(dedtest::geographicFile(11, 11)));
  const std::string fake = work.write("libfake.so", {'n', 'o', 'p', 'e'});
  for (const std::string &plugin : {fake, at("absent.so")}) {
    const ToolRun r = run({"convert", ded, at("out.png"), "--plugin", plugin});
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_EQ(clitest::linesOf(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("cannot load plug-in " + plugin), std::string::npos) << r.err;
  }
  EXPECT_EQ(namesIn(work.path()), (std::vector<std::string>{"g.ded", "libfake.so"}));
}

// The plug-in's own version string, read by loading it in this process.
std::string pluginVersion() {
  qvstandin::LoadedPlugin plugin;
  std::string error;
  if (!qvstandin::loadPlugin(ELVARIN_PLUGIN_PATH, &plugin, &error)) {
    ADD_FAILURE() << error;
    return "?";
  }
  std::string version = plugin.version;
  qvstandin::unloadPlugin(&plugin);
  return version;
}

// A copy of the program at exe, with the stand-in host library in ../lib as
// an installed tree has it.
void copyProgram(const fs::path &exe) {
  fs::create_directories(exe.parent_path());
  fs::create_directories(exe.parent_path().parent_path() / "lib");
  fs::copy_file(ELVARIN_HOST_EXE, exe);
  fs::copy_file(ELVARIN_QVAPILIB_PATH,
                exe.parent_path().parent_path() / "lib" /
                    fs::path(ELVARIN_QVAPILIB_PATH).filename(),
                fs::copy_options::skip_existing);
}

TEST_F(HostTool, VersionNamesTheToolAndThePluginOrItsAbsence) {
  const ToolRun r = run({"--version"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto lines = clitest::linesOf(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  EXPECT_EQ(lines[0], "elvarin-host " ELVARIN_VERSION);
  EXPECT_EQ(lines[1].rfind("plug-in Elvarin " + pluginVersion() + " (", 0), 0u) << lines[1];

  // A copy of the program with no plug-in near it still answers.
  copyProgram(at("bin/elvarin-host"));
  const ToolRun alone = runTool({"--version"}, logs.path().string(), at("bin/elvarin-host"));
  ASSERT_EQ(alone.exitCode, 0) << alone.err;
  EXPECT_EQ(clitest::linesOf(alone.out)[0], "elvarin-host " ELVARIN_VERSION);
  EXPECT_NE(alone.out.find("plug-in not found"), std::string::npos) << alone.out;
}

struct LookupCase {
  const char *label;
  std::vector<std::string> copies; // where copies of the plug-in go, under the work folder
  const char *exe;                 // a copy of the program under the work folder; "" the built one
  const char *pluginArg;           // --plugin's value; "" for none
  const char *loaded;              // the copy that must be loaded
};

void PrintTo(const LookupCase &value, std::ostream *os) { *os << value.label; }

class PluginLookup : public HostTool, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(PluginLookup, LoadsTheExpectedCopy) {
  const LookupCase &c = GetParam();
  work.write("g.ded", dedtest::encode(dedtest::geographicFile(11, 11)));
  for (const std::string &copy : c.copies) {
    fs::create_directories(fs::path(at(copy)).parent_path());
    fs::copy_file(ELVARIN_PLUGIN_PATH, at(copy));
  }
  const std::string exe = *c.exe != 0 ? at(c.exe) : ELVARIN_HOST_EXE;
  if (*c.exe != 0) {
    copyProgram(exe);
  }
  std::vector<std::string> args{"info", "g.ded", "--json"};
  if (*c.pluginArg != 0) {
    args.insert(args.end(), {"--plugin", c.pluginArg});
  }
  const ToolRun r = runTool(args, logs.path().string(), exe, work.path().string());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto doc = nlohmann::json::parse(r.out, nullptr, false);
  ASSERT_TRUE(doc.is_object()) << r.out;
  const std::string path = doc.value("/plugin/path"_json_pointer, "");
  EXPECT_TRUE(fs::equivalent(work.path() / path, at(c.loaded))) << path;
}

INSTANTIATE_TEST_SUITE_P(
    Places, PluginLookup,
    ::testing::Values(
        LookupCase{
            "installedTree", {"lib/libelvarin.so"}, "bin/elvarin-host", "", "lib/libelvarin.so"},
        LookupCase{"besideBeforeInstalled",
                   {"bin/libelvarin.so", "lib/libelvarin.so"},
                   "bin/elvarin-host",
                   "",
                   "bin/libelvarin.so"},
        LookupCase{"bareNameInTheCurrentFolder", {"libcopy.so"}, "", "libcopy.so", "libcopy.so"}),
    [](const auto &testInfo) { return std::string(testInfo.param.label); });

TEST_F(HostTool, InfoJsonEscapesANameThatIsNotUtf8SoThatItRoundTrips) {
  const std::string ded = work.write("bad\xff \xc3\xa9\xe2\x82\xac\xf0\x9f\x97\xbb.ded",
                                     dedtest::encode(dedtest::geographicFile(11, 11)));
  const ToolRun r = run({"info", ded, "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The odd byte as a lone surrogate, as Python's "surrogateescape" reads it
  // back into the same bytes; valid UTF-8 stays as it is.
  EXPECT_NE(r.out.find("bad\\udcff \xc3\xa9\xe2\x82\xac\xf0\x9f\x97\xbb.ded\""), std::string::npos)
      << r.out;
  const std::string script = work.write("rt.py", {});
  std::ofstream(script) << "import json, os, sys\n"
                           "name = json.load(open(sys.argv[1]))['file']\n"
                           "sys.exit(0 if os.path.isfile(os.fsencode(name)) else 1)\n";
  const std::string out = work.write("out.json", {});
  std::ofstream(out) << r.out;
  EXPECT_EQ(std::system((ELVARIN_PYTHON " " + script + " " + out).c_str()), 0);
}

} // namespace
