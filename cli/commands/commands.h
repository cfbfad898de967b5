// The subcommands of elvarin-host, each given its parsed command line. Each
// prints its own output and failures and returns the exit code.
#pragma once

#include <string>
#include <vector>

namespace elvhost {

struct InfoOptions {
  std::string file;
  std::string plugin; // the path to load, as pluginPath chose it
  bool json = false;
};

struct ConvertOptions {
  std::string input, output;
  std::vector<std::string> inputs; // a batch's DED files (with outputDir)
  std::string outputDir;           // non-empty: a batch, each image as outputDir/<stem>.<format>
  std::string format;              // png, pgm or tif; empty: by the output's extension
  int jobs = 0;                    // a batch's conversions at a time; 0: one a core
  std::string plugin;              // the path to load, as pluginPath chose it
  bool asHost = false, stats = false;
  bool quiet = false;         // no progress, warnings or summary; errors and --stats still print
  bool progress = false;      // the progress line even when standard error is not a terminal
  bool hostGeoref = false;    // the control points' reading instead of the samples' places
  bool int16 = false;         // the elevations as 16-bit samples instead of the host's grey image
  bool hostFrameOnly = false; // int16: the plug-in's image's frame, not every sample's
  unsigned choices = 0;       // the ConvertChoice bits of --type, --georef and --frame, when given
};

// Why --type int16 with another format than GeoTIFF is refused.
constexpr const char *kInt16OnlyTiff =
    "--type int16 writes only GeoTIFF: give OUT.tif or --format tif";

constexpr int kMaxSampleSide = 32767; // keeps width x height x 2 within the plug-in's int32 sizes

struct SampleOptions {
  std::string output;
  bool quiet = false, progress = false; // as for convert
  std::string kind = "geographic";      // geographic, utm or mosaic
  int side = 1025;                      // samples per side, 2..kMaxSampleSide
  int zone = 33;                        // UTM only: 1..60
  std::string hemisphere = "N";         // UTM only: N or S
};

int runInfo(const InfoOptions &options);
int runConvert(const ConvertOptions &options);
// Converts options.inputs into options.outputDir, options.jobs at a time,
// each in a child process with its own host session.
int runBatch(const ConvertOptions &options);
int runSample(const SampleOptions &options);

} // namespace elvhost
