// elvarin-host end to end: the built program against the built plug-in, as
// people use it. Pixels are checked against what the plug-in delivers to a
// host in this process, geo-reference against the files' own bounds.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "qvapilib/loader.h"
#include "tests/cli/png_reader.h"
#include "tests/cli/run_tool.h"
#include "tests/support/ded_writer.h"

namespace {

namespace fs = std::filesystem;
using clitest::GreyPicture;
using clitest::runTool;
using clitest::ToolRun;

std::string slurp(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> namesIn(const fs::path &folder) {
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

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

TEST_P(GeoReference, WorldFilePrjAndAuxMatchTheControlPoints) {
  const GeoCase &c = GetParam();
  const std::string ded = work.write("g.ded", dedtest::encode(c.file));
  for (const bool northUp : {true, false}) {
    SCOPED_TRACE(northUp ? "north-up" : "as host");
    const std::string image = northUp ? at("g.png") : at("g.pgm");
    std::vector<std::string> args{"convert", ded, image};
    if (!northUp) {
      args.emplace_back("--as-host");
    }
    const ToolRun r = run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    // A pixel is the full extent over the pixel count; the world file holds
    // the centre of the written image's top-left pixel.
    const double dx = (c.xMax - c.xMin) / c.width, dy = (c.yMax - c.yMin) / c.height;
    const double expected[6] = {
        dx, 0, 0, northUp ? -dy : dy, c.xMin + dx / 2, northUp ? c.yMax - dy / 2 : c.yMin + dy / 2};
    const auto world = numbersIn(northUp ? at("g.pgw") : at("g.wld"));
    ASSERT_EQ(world.size(), 6u);
    for (int i = 0; i < 6; ++i) {
      EXPECT_NEAR(world[i], expected[i], 1e-9 * (1 + std::abs(expected[i]))) << "line " << i + 1;
    }
    const std::string prj = slurp(at("g.prj"));
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

TEST_F(HostTool, InfoJsonCarriesWhatTheHostLearned) {
  const std::string ded =
      work.write("u.ded", dedtest::encode(dedtest::utmFile("56", 'S', 101, 51)));
  const ToolRun r = run({"info", ded, "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Not const: a member the tool left out reads as null instead of undefined behaviour.
  auto doc = nlohmann::ordered_json::parse(r.out, nullptr, false);
  ASSERT_FALSE(doc.is_discarded()) << r.out;
  EXPECT_EQ(doc["file"], ded);
  EXPECT_EQ(doc["ok"], true);
  EXPECT_EQ(doc["plugin"]["id"], "Elvarin");
  EXPECT_EQ(doc["plugin"]["init"], 1);
  for (const char *step : {"open", "get-info", "geo-info", "close"}) {
    EXPECT_EQ(doc["callbacks"][step], 0) << step;
  }
  EXPECT_EQ(doc["width"], 101);
  EXPECT_EQ(doc["height"], 51);
  auto &t = doc["texture"];
  EXPECT_EQ(t["type"], 2);
  EXPECT_EQ(t["sampleSize"], 8);
  EXPECT_EQ(t["min"], 0);
  EXPECT_EQ(t["max"], 255);
  EXPECT_EQ(t["transparentValue"], -32768);
  EXPECT_EQ(t["tiled"], 0);
  EXPECT_EQ(t["signed"], 1);
  auto &g = doc["geo"];
  EXPECT_EQ(g["projection"], 4);
  EXPECT_EQ(g["utmZone"], 56);
  EXPECT_EQ(g["utmHemisphere"], 0);
  EXPECT_EQ(g["controlPointCount"], 3);
  const double expected[3][4] = {
      {0, 0, 500000, 4000000}, {0, 51, 500000, 4001500}, {101, 0, 503000, 4000000}};
  for (size_t i = 0; i < 3; ++i) {
    auto &p = g["controlPoints"][i];
    EXPECT_EQ(p["image"][0], expected[i][0]) << i;
    EXPECT_EQ(p["image"][1], expected[i][1]) << i;
    EXPECT_EQ(p["file"][0], expected[i][2]) << i;
    EXPECT_EQ(p["file"][1], expected[i][3]) << i;
  }
  EXPECT_EQ(doc["crs"]["epsg"], 32756);
  EXPECT_EQ(doc["crs"]["name"], "WGS 84 / UTM zone 56S");
  EXPECT_DOUBLE_EQ(doc["pixelSize"][0].get<double>(), 3000.0 / 101);
  EXPECT_DOUBLE_EQ(doc["pixelSize"][1].get<double>(), 1500.0 / 51);
  EXPECT_EQ(doc["bounds"]["west"], 500000);
  EXPECT_EQ(doc["bounds"]["east"], 503000);
  EXPECT_EQ(doc["bounds"]["south"], 4000000);
  EXPECT_EQ(doc["bounds"]["north"], 4001500);

  // The layout is fixed: the same members in the same order every time.
  std::vector<std::string> order;
  for (const auto &member : doc.items()) {
    order.push_back(member.key());
  }
  EXPECT_EQ(order, (std::vector<std::string>{"file", "ok", "plugin", "callbacks", "width", "height",
                                             "texture", "geo", "crs", "pixelSize", "bounds"}));
  const ToolRun human = run({"info", ded});
  ASSERT_EQ(human.exitCode, 0) << human.err;
  EXPECT_NE(human.out.find("101 x 51 pixels"), std::string::npos) << human.out;
  EXPECT_NE(human.out.find("WGS 84 / UTM zone 56S (EPSG:32756)"), std::string::npos) << human.out;
}

struct BadCase {
  const char *label;
  std::vector<uint8_t> bytes; // empty: the file does not exist
  const char *words;
  const char *infoWords; // what info says, when it differs
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

std::vector<uint8_t> utmZone(const char *zone) {
  return dedtest::encode(dedtest::utmFile(zone, 'N', 11, 11));
}

class BadInput : public HostTool, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadInput, FailsWithOneLineNamingTheFileAndWritesNothing) {
  const BadCase &c = GetParam();
  const std::string ded = c.bytes.empty() ? at("missing.ded") : work.write("bad.ded", c.bytes);
  const auto before = namesIn(work.path());
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"convert", ded, at("out.png")},
        std::vector<std::string>{"convert", ded, at("out.pgm"), "--as-host"},
        std::vector<std::string>{"info", ded, "--json"}}) {
    SCOPED_TRACE(args[0] + " " + args[2]);
    const ToolRun r = run(args);
    EXPECT_EQ(r.exitCode, 1);
    const auto lines = clitest::linesOf(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0].rfind("elvarin-host: " + ded + ": ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(c.words), std::string::npos) << lines[0];
    EXPECT_EQ(namesIn(work.path()), before) << "no output, not even a temporary one";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadInput,
    ::testing::Values(
        BadCase{
            "missing", {}, "cannot open (open returned -2): No such file or directory", nullptr},
        BadCase{"wrongMagic", badMagic(), "not a DED file (bad magic) (open returned -6)", nullptr},
        BadCase{"shorterThanTheMagic", truncatedIn(6), "not a DED file (bad magic)", nullptr},
        BadCase{"truncatedHeader", truncatedIn(100),
                "truncated or unreadable (get-info returned -3)", nullptr},
        BadCase{"truncatedCellHeader", truncatedIn(170),
                "truncated or unreadable (get-info returned -3); the plug-in said: Reading ded "
                "cell header",
                nullptr},
        BadCase{"utmZone61", utmZone("61"),
                "bad argument or unusable header values (get-info returned -8)", nullptr},
        BadCase{"utmZoneMissing", utmZone("x"), "bad argument or unusable header values", nullptr}),
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
       "b.jpg: the output must end in .png, .pgm, .tif or .tiff",
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
      {{"sample", "x.ded", "--kind", "mosaic", "--size", "32767"}, "--size for a mosaic", 2, false},
      {{"info", "a.ded", "--plugin"}, "option --plugin needs a value", 2, false},
      {{"sample", "x.ded", "--size", "5", "--size", "6"}, "option --size given twice", 2, false},
      {{"sample", "x.ded", "--plugin", "p.so"},
       "unknown option --plugin (see elvarin-host sample --help)",
       2,
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

TEST_F(HostTool, VersionNamesTheToolAndThePluginOrItsAbsence) {
  const ToolRun r = run({"--version"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto lines = clitest::linesOf(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  EXPECT_EQ(lines[0], "elvarin-host " ELVARIN_VERSION);
  EXPECT_EQ(lines[1].rfind("plug-in Elvarin " + pluginVersion() + " (", 0), 0u) << lines[1];

  // A copy of the program with no plug-in near it still answers.
  fs::copy_file(ELVARIN_HOST_EXE, at("elvarin-host"));
  const ToolRun alone = runTool({"--version"}, logs.path().string(), at("elvarin-host"));
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
    fs::create_directories(fs::path(exe).parent_path());
    fs::copy_file(ELVARIN_HOST_EXE, exe);
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

TEST_F(HostTool, InfoJsonStaysJsonForAFileNameThatIsNotUtf8) {
  const std::string ded =
      work.write("bad\xff name.ded", dedtest::encode(dedtest::geographicFile(11, 11)));
  const ToolRun r = run({"info", ded, "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto doc = nlohmann::json::parse(r.out, nullptr, false);
  ASSERT_TRUE(doc.is_object()) << r.out;
  EXPECT_EQ(doc.value("file", ""), at("bad\xef\xbf\xbd name.ded")) << "U+FFFD for the odd byte";
}

} // namespace
