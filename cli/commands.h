// The subcommands of elvarin-host, each given its parsed command line. Each
// prints its own output and failures and returns the exit code.
#pragma once

#include <string>

namespace elvhost {

struct InfoOptions {
  std::string file;
  std::string plugin; // the path to load, as pluginPath chose it
  bool json = false;
};

struct ConvertOptions {
  std::string input, output;
  std::string plugin; // the path to load, as pluginPath chose it
  bool asHost = false, stats = false;
  bool hostGeoref = false; // the control points' reading instead of the samples' places
};

constexpr int kMaxSampleSide = 32767; // keeps width x height x 2 within the plug-in's int32 sizes

struct SampleOptions {
  std::string output;
  std::string kind = "geographic"; // geographic, utm or mosaic
  int side = 1025;                 // samples per side, 2..kMaxSampleSide
  int zone = 33;                   // UTM only: 1..60
  std::string hemisphere = "N";    // UTM only: N or S
};

int runInfo(const InfoOptions &options);
int runConvert(const ConvertOptions &options);
int runSample(const SampleOptions &options);

} // namespace elvhost
