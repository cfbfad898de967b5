#include "cli/commands/convert_ded.h"

#include <sys/resource.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/commands/errors.h"

#ifdef ELVARIN_HOST_GDAL
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>

#include "cli/output/output_files.h"
#include "cli/output/progress.h"
#include "gdal/create_copy.h"

extern "C" void GDALRegister_DED();
#endif

namespace elvhost {

bool dedOutputChosen(const ConvertOptions &options) {
  if (!options.format.empty()) {
    return options.format == "ded";
  }
  std::string extension = std::filesystem::path(options.output).extension().string();
  for (char &ch : extension) {
    ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  }
  return extension == ".ded";
}

#ifdef ELVARIN_HOST_GDAL

namespace {

constexpr int64_t kBlockCacheBytes = int64_t{64} << 20;

int tellLine(double fraction, const char * /*message*/, void *line) {
  static_cast<ProgressLine *>(line)->update(fraction);
  return 1;
}

// GDAL's messages are kept for this command's own one-line reports.
class QuietGdal {
public:
  QuietGdal() { CPLPushErrorHandler(CPLQuietErrorHandler); }
  ~QuietGdal() { CPLPopErrorHandler(); }
  QuietGdal(const QuietGdal &) = delete;
  QuietGdal &operator=(const QuietGdal &) = delete;
};

// The source opened through GDAL, every driver and ours registered; null
// with the reason in error.
GDALDatasetUniquePtr openSource(const std::string &input, std::string *error) {
  GDALRegister_DED(); // before the others, so .ded inputs are read by this build's driver
  GDALAllRegister();
  // GDAL's block cache would take 5 % of the machine's memory by default,
  // where the writer rereads no more than a cell window's blocks.
  if (CPLGetConfigOption("GDAL_CACHEMAX", nullptr) == nullptr) {
    GDALSetCacheMax64(kBlockCacheBytes);
  }
  CPLErrorReset();
  GDALDatasetUniquePtr source(GDALDataset::Open(input.c_str(), GDAL_OF_RASTER));
  if (!source) {
    const std::string why = CPLGetLastErrorMsg();
    *error = input + ": cannot be read as a raster" + (why.empty() ? "" : ": " + why);
  }
  return source;
}

void printStats(std::chrono::steady_clock::time_point start) {
  rusage usage{};
  const long peakKiB = getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
  const std::chrono::duration<double> span = std::chrono::steady_clock::now() - start;
  (void)std::fprintf(stderr, "total %.3f s, peak RSS %ld KiB\n", span.count(), peakKiB);
}

} // namespace

int runConvertToDed(const ConvertOptions &options) {
  const std::string &input = options.input;
  const std::string &output = options.output;
  if (sameFile(input, output)) {
    return usageFailure("convert", output + ": the DED file would overwrite the input");
  }
  const auto start = std::chrono::steady_clock::now();
  const QuietGdal quiet;
  std::string error;
  const GDALDatasetUniquePtr source = openSource(input, &error);
  DedCopyPlan plan;
  if (!source || !dedPlanCopy(source.get(), 0, &plan, &error)) {
    reportFailure(source ? input + ": cannot be written as DED: " + error : error);
    return kExitFailure;
  }
  OutputSet outputs;
  std::FILE *stream = outputs.create(output, &error);
  ProgressLine line(progressShowFor(options.quiet, options.progress));
  DedWriteReport report;
  if (stream == nullptr ||
      !dedWriteCopy(plan, dedStdioOutput(stream), tellLine, &line, &report, &error) ||
      !outputs.commit(&error)) {
    line.breakLine();
    reportFailure(stream == nullptr ? error : input + ": " + error);
    return kExitFailure;
  }
  line.finish();
  if (report.clamped > 0 && !options.quiet) {
    reportFailure("warning: " + output + ": " + std::to_string(report.clamped) +
                  " values outside -32767..32767 were clamped to that range");
  }
  if (options.stats) {
    printStats(start);
  }
  return kExitOk;
}

#else

int runConvertToDed(const ConvertOptions &options) {
  reportFailure(options.output +
                ": this elvarin-host was built without GDAL, which reads the rasters DED files "
                "are written from; build it with the release preset (libgdal-dev)");
  return kExitFailure;
}

#endif

} // namespace elvhost
