#include "cli/import.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/errors.h"

namespace elvhost {

const ImportStep *ImportReport::firstFailure() const {
  for (const ImportStep *step : {&open, &getInfo, &geoInfo, &getImage, &close}) {
    if (step->ran && step->result.status != 0) {
      return step;
    }
  }
  return nullptr;
}

namespace {

constexpr int32_t kOpenFailed = -2;

template <typename Call> bool runStep(ImportStep *step, Call call) {
  step->ran = true;
  step->result = call();
  return step->result.status == 0;
}

} // namespace

bool importDescription(HostSession &session, const std::string &file, ImportReport *report) {
  report->file = file;
  if (!runStep(&report->open, [&] { return session.open(file); })) {
    return false;
  }
  const bool described =
      runStep(&report->getInfo, [&] { return session.getInfo(&report->infoRecord); }) &&
      runStep(&report->geoInfo, [&] { return session.geoInfo(&report->geoRecord); });
  report->texture = readTexture(report->infoRecord);
  report->geo = readGeo(report->geoRecord);
  if (!described) {
    finishImport(session, report);
  }
  return described;
}

bool importPixels(HostSession &session, uint8_t *pixels, ImportReport *report) {
  const bool ok = runStep(&report->getImage, [&] { return session.getImage(pixels); });
  finishImport(session, report);
  return ok && report->close.ok();
}

void finishImport(HostSession &session, ImportReport *report) {
  if (report->open.ok() && !report->close.ran) {
    runStep(&report->close, [&] { return session.close(); });
  }
}

std::string importFailure(const ImportReport &report) {
  const ImportStep *step = report.firstFailure();
  if (step == nullptr) {
    return report.file + ": the import failed";
  }
  std::string message =
      callbackFailure(report.file, step->name, step->result.status, step->result.pluginSaid);
  if (step == &report.open && step->result.status == kOpenFailed) {
    // The plug-in's code does not say why; the system usually can.
    errno = 0;
    std::FILE *probe = std::fopen(report.file.c_str(), "rb");
    if (probe == nullptr) {
      message += ": " + std::string(std::strerror(errno));
    } else {
      (void)std::fclose(probe);
    }
  }
  return message;
}

} // namespace elvhost
