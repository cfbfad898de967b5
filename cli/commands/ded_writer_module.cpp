// elvarin-host's writer of DED files from any raster GDAL reads: a module of
// its own, loaded only when convert writes a DED file, so that every other
// run starts without loading GDAL and the hundred libraries it brings.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <cstdio>
#include <exception>
#include <gdal_priv.h>
#include <string>
#include <vector>

#include "cli/commands/commands.h"
#include "cli/commands/errors.h"
#include "cli/output/output_files.h"
#include "cli/output/phase_timer.h"
#include "cli/output/progress.h"
#include "gdal/create_copy.h"

extern "C" void GDALRegister_DED();

namespace elvhost {

namespace {

constexpr int64_t kBlockCacheBytes = int64_t{64} << 20;

int tellLine(double fraction, const char * /*message*/, void *line) {
  static_cast<ProgressLine *>(line)->update(fraction);
  return 1;
}

// GDAL's errors are kept for this command's own one-line reports; its
// warnings (a DED source's, that it ends early, say) are kept to be told.
class GdalWarnings {
public:
  GdalWarnings() { CPLPushErrorHandlerEx(keep, this); }
  ~GdalWarnings() { CPLPopErrorHandler(); }
  GdalWarnings(const GdalWarnings &) = delete;
  GdalWarnings &operator=(const GdalWarnings &) = delete;
  std::vector<std::string> said;

private:
  static void CPL_STDCALL keep(CPLErr level, CPLErrorNum /*number*/, const char *message) {
    try {
      if (level == CE_Warning) {
        static_cast<GdalWarnings *>(CPLGetErrorHandlerUserData())->said.emplace_back(message);
      }
    } catch (...) { // a warning lost rather than an exception through GDAL
    }
  }
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

} // namespace

int convertToDed(const ConvertOptions &options) {
  const std::string &input = options.input;
  const std::string &output = options.output;
  PhaseTimer timer;
  GdalWarnings gdal;
  std::string error;
  const GDALDatasetUniquePtr source = openSource(input, &error);
  DedCopyPlan plan;
  if (!source || !dedPlanCopy(source.get(), 0, &plan, &error)) {
    reportFailure(source ? input + ": cannot be written as DED: " + error : error);
    return kExitFailure;
  }
  timer.mark("plan");
  OutputSet outputs;
  std::FILE *stream = outputs.create(output, &error);
  ProgressLine line(progressShowFor(options.quiet, options.progress));
  DedWriteReport report;
  if (stream == nullptr ||
      !dedWriteFromBand(plan, dedStdioOutput(stream), tellLine, &line, &report, &error) ||
      !outputs.commit(&error)) {
    line.breakLine();
    reportFailure(stream == nullptr ? error : input + ": " + error);
    return kExitFailure;
  }
  line.finish();
  if (!options.quiet) { // the source's, which name it, then the output's
    for (const std::string &warning : gdal.said) {
      reportFailure("warning: " + warning);
    }
    for (const std::string &warning : dedCopyWarnings(plan, report)) {
      reportFailure(std::string("warning: ").append(output).append(": ").append(warning));
    }
  }
  if (options.stats) {
    timer.mark("write");
    (void)std::fprintf(stderr, "elvarin-host: stats: %s\n", timer.summary().c_str());
  }
  return kExitOk;
}

} // namespace elvhost

namespace {

// Says what stopped the module without throwing: a fixed line when even
// the message cannot be made.
void reportStopped(const std::string &output, const char *why) noexcept {
  try {
    elvhost::reportFailure(output + ": " + why);
  } catch (...) {
    (void)std::fputs("elvarin-host: convert: out of memory\n", stderr);
  }
}

} // namespace

// The module's one entry point: runConvertToDed's work, its exit code.
extern "C" __attribute__((visibility("default"))) int
elvhostConvertToDed(const elvhost::ConvertOptions *options) noexcept {
  try {
    return elvhost::convertToDed(*options);
  } catch (const std::exception &e) {
    reportStopped(options->output, e.what());
  } catch (...) {
    reportStopped(options->output, "cannot be written");
  }
  return elvhost::kExitFailure;
}
