// World files, coordinate systems and the affine map from control points, as
// GIS tools will read them.
#include <gtest/gtest.h>

#include <ostream>

#include <sstream>

#include "cli/formats/side_files.h"
#include "cli/geo/georef.h"

namespace {

using elvhost::ControlPoint;
using elvhost::GeoView;

// Control points as the host receives them: (0,0) -> (xMin,yMin),
// (0,height) -> (xMin,yMax), (width,0) -> (xMax,yMin).
GeoView hostView(double xMin, double yMin, double xMax, double yMax, int width, int height) {
  GeoView view;
  view.controlPointCount = 3;
  view.points[0] = ControlPoint{0, 0, xMin, yMin};
  view.points[1] = ControlPoint{0, static_cast<double>(height), xMin, yMax};
  view.points[2] = ControlPoint{static_cast<double>(width), 0, xMax, yMin};
  return view;
}

std::vector<double> numbers(const std::string &text) {
  std::istringstream in(text);
  std::vector<double> out;
  double v = 0;
  while (in >> v) {
    out.push_back(v);
  }
  return out;
}

struct WorldCase {
  const char *label;
  double xMin, yMin, xMax, yMax;
  int width, height;
  bool northUp;
  double expected[6]; // the world file's lines
};

void PrintTo(const WorldCase &value, std::ostream *os) { *os << value.label; }

class WorldFiles : public ::testing::TestWithParam<WorldCase> {};

TEST_P(WorldFiles, HoldTheTopLeftPixelCentreAndThePixelSize) {
  const WorldCase &c = GetParam();
  elvhost::Affine affine;
  std::string error;
  ASSERT_TRUE(elvhost::hostAffine(hostView(c.xMin, c.yMin, c.xMax, c.yMax, c.width, c.height),
                                  &affine, &error))
      << error;
  const auto lines =
      numbers(elvhost::worldFileText(elvhost::worldFileFor(affine, c.height, c.northUp)));
  ASSERT_EQ(lines.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(lines[i], c.expected[i], 1e-9 * (1 + std::abs(c.expected[i]))) << "line " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorldFiles,
    ::testing::Values(
        // 241 x 121 over x 10..12, y 45..46: a pixel is 2/241 by 1/121 degrees.
        WorldCase{"geographicNorthUp",
                  10,
                  45,
                  12,
                  46,
                  241,
                  121,
                  true,
                  {2.0 / 241, 0, 0, -1.0 / 121, 10 + 1.0 / 241, 46 - 0.5 / 121}},
        WorldCase{"geographicAsHost",
                  10,
                  45,
                  12,
                  46,
                  241,
                  121,
                  false,
                  {2.0 / 241, 0, 0, 1.0 / 121, 10 + 1.0 / 241, 45 + 0.5 / 121}},
        // 1025 x 513 UTM samples 30 m apart: the extent is 30720 x 15360 m.
        WorldCase{"utmNorthUp",
                  500000,
                  5000000,
                  530720,
                  5015360,
                  1025,
                  513,
                  true,
                  {30720.0 / 1025, 0, 0, -15360.0 / 513, 500000 + 15360.0 / 1025,
                   5015360 - 7680.0 / 513}},
        WorldCase{
            "utmAsHost",
            500000,
            5000000,
            530720,
            5015360,
            1025,
            513,
            false,
            {30720.0 / 1025, 0, 0, 15360.0 / 513, 500000 + 15360.0 / 1025, 5000000 + 7680.0 / 513}},
        WorldCase{"southernNegativeCoordinates",
                  -70,
                  -34,
                  -69,
                  -33,
                  4,
                  2,
                  true,
                  {0.25, 0, 0, -0.5, -69.875, -33.25}}),
    [](const auto &testInfo) { return std::string(testInfo.param.label); });

TEST(WorldFile, NumbersReadBackExactly) {
  elvhost::WorldFile world{2.0 / 241, 0, 0, -1.0 / 121, 10.004149377593361, 45.99586776859504};
  const auto lines = numbers(elvhost::worldFileText(world));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], world.xPerColumn);
  EXPECT_EQ(lines[3], world.yPerRow);
  EXPECT_EQ(lines[4], world.x);
  EXPECT_EQ(lines[5], world.y);
  EXPECT_EQ(elvhost::worldFileText({0.5, -0.0, 0, -0.5, 1, 2}), "0.5\n0\n0\n-0.5\n1\n2\n");
}

TEST(Affine, SolvesRotatedAndShuffledControlPoints) {
  // fileX = 2u - v + 3, fileY = u + 4v - 1, from points that are not the
  // host's usual corners.
  const auto at = [](double u, double v) {
    return ControlPoint{u, v, 2 * u - v + 3, u + 4 * v - 1};
  };
  elvhost::Affine m;
  std::string error;
  ASSERT_TRUE(elvhost::affineFromControlPoints(at(1, 1), at(5, 2), at(2, 7), &m, &error)) << error;
  EXPECT_NEAR(m.a, 2, 1e-12);
  EXPECT_NEAR(m.b, -1, 1e-12);
  EXPECT_NEAR(m.c, 3, 1e-12);
  EXPECT_NEAR(m.d, 1, 1e-12);
  EXPECT_NEAR(m.e, 4, 1e-12);
  EXPECT_NEAR(m.f, -1, 1e-12);
}

TEST(Affine, RefusesPointsOnOneLineOrMissing) {
  elvhost::Affine m;
  std::string error;
  EXPECT_FALSE(
      elvhost::affineFromControlPoints({0, 0, 0, 0}, {1, 1, 1, 1}, {2, 2, 5, 5}, &m, &error));
  EXPECT_EQ(error, "the control points do not span the image");
  GeoView view = hostView(10, 45, 12, 46, 0, 121); // zero width: the points collapse
  EXPECT_FALSE(elvhost::hostAffine(view, &m, &error));
  view = hostView(10, 45, 12, 46, 241, 121);
  view.points[2].reset();
  EXPECT_FALSE(elvhost::hostAffine(view, &m, &error));
  EXPECT_NE(error.find("three control points"), std::string::npos);
}

struct CrsCase {
  std::optional<int32_t> projection, zone, hemisphere;
  int epsg; // 0: refused
  const char *name;
  const char *falseNorthing;
  const char *centralMeridian;
};

TEST(Crs, ProjectionCodesMapToWgs84Systems) {
  const CrsCase cases[] = {
      {0, std::nullopt, std::nullopt, 4326, "WGS 84", nullptr, nullptr},
      {0, 99, 7, 4326, "WGS 84", nullptr, nullptr}, // zone fields mean nothing here
      {4, 33, 1, 32633, "WGS 84 / UTM zone 33N", "\"False_Northing\",0.0]",
       "\"Central_Meridian\",15.0]"},
      {4, 33, 0, 32733, "WGS 84 / UTM zone 33S", "\"False_Northing\",10000000.0]",
       "\"Central_Meridian\",15.0]"},
      {4, 1, 1, 32601, "WGS 84 / UTM zone 1N", "\"False_Northing\",0.0]",
       "\"Central_Meridian\",-177.0]"},
      {4, 60, 0, 32760, "WGS 84 / UTM zone 60S", "\"False_Northing\",10000000.0]",
       "\"Central_Meridian\",177.0]"},
      {4, 0, 1, 0, nullptr, nullptr, nullptr},
      {4, 61, 1, 0, nullptr, nullptr, nullptr},
      {4, 33, 2, 0, nullptr, nullptr, nullptr},
      {4, std::nullopt, 1, 0, nullptr, nullptr, nullptr},
      {4, 33, std::nullopt, 0, nullptr, nullptr, nullptr},
      {3, 33, 1, 0, nullptr, nullptr, nullptr},
      {std::nullopt, std::nullopt, std::nullopt, 0, nullptr, nullptr, nullptr},
  };
  for (const CrsCase &c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "projection " << c.projection.value_or(-1) << " zone " << c.zone.value_or(-1)
                 << " hemisphere " << c.hemisphere.value_or(-1));
    elvhost::Crs crs;
    std::string error;
    const bool ok = elvhost::crsFor({c.projection, c.zone, c.hemisphere}, &crs, &error);
    ASSERT_EQ(ok, c.epsg != 0) << error;
    if (!ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(crs.epsg, c.epsg);
    EXPECT_EQ(crs.geographic, c.falseNorthing == nullptr);
    EXPECT_EQ(crs.name, c.name);
    EXPECT_NE(crs.ogcWkt.find("AUTHORITY[\"EPSG\",\"" + std::to_string(c.epsg) + "\"]]"),
              std::string::npos);
    if (c.falseNorthing != nullptr) {
      EXPECT_EQ(crs.esriWkt.rfind("PROJCS[\"WGS_1984_UTM_Zone_", 0), 0u) << crs.esriWkt;
      EXPECT_NE(crs.esriWkt.find(c.falseNorthing), std::string::npos) << crs.esriWkt;
      EXPECT_NE(crs.esriWkt.find(c.centralMeridian), std::string::npos) << crs.esriWkt;
      EXPECT_NE(crs.esriWkt.find("\"Scale_Factor\",0.9996]"), std::string::npos);
      EXPECT_FALSE(crs.latitudeFirst);
    } else {
      EXPECT_EQ(crs.esriWkt,
                "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
                "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
      EXPECT_TRUE(crs.latitudeFirst);
    }
  }
}

TEST(AuxXml, CarriesTheSystemEscapedAndTheGeoTransform) {
  const elvhost::Georeference geo =
      elvhost::georeferenceFor({30, 0, 0, -30, 500015, 5015345}, {4, 33, 1}, std::nullopt);
  ASSERT_TRUE(geo.crs) << geo.crsProblem;
  const std::string xml = elvhost::auxXmlText(geo);
  EXPECT_EQ(xml.rfind("<PAMDataset>\n  <SRS dataAxisToSRSAxisMapping=\"1,2\">PROJCS[&quot;WGS 84 / "
                      "UTM zone 33N&quot;",
                      0),
            0u)
      << xml;
  const size_t wktStart = xml.find('>', xml.find("<SRS")) + 1;
  const std::string wkt = xml.substr(wktStart, xml.find("</SRS>") - wktStart);
  EXPECT_EQ(wkt.find('"'), std::string::npos) << "unescaped quote in " << wkt;
  // The geotransform starts at the outer corner, half a pixel from the centre.
  EXPECT_NE(xml.find("<GeoTransform>500000, 30, 0, 5015360, 0, -30</GeoTransform>"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("</PAMDataset>"), std::string::npos);
}

TEST(Names, SidecarsFollowTheImageName) {
  EXPECT_EQ(elvhost::worldFilePath("out/a.png"), "out/a.pgw");
  EXPECT_EQ(elvhost::worldFilePath("out/a.pgm"), "out/a.wld");
  EXPECT_EQ(elvhost::worldFilePath("b.tile.png"), "b.tile.pgw");
  EXPECT_EQ(elvhost::worldFilePath("up.PNG"), "up.pgw");
  EXPECT_EQ(elvhost::worldFilePath("x.Png"), "x.pgw"); // written as a PNG too
  EXPECT_EQ(elvhost::prjPath("out/a.png"), "out/a.prj");
  EXPECT_EQ(elvhost::auxXmlPath("out/a.png"), "out/a.png.aux.xml");
}

} // namespace
