#include "cli/host/host_session.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include "host/status.h"

namespace elvhost {

namespace fs = std::filesystem;

namespace {

constexpr const char *kStepNames[] = {"open", "get-info", "geo-info", "get-image", "close"};
size_t indexOf(Step step) { return static_cast<size_t>(step); }

// What a callback's status code means, in words.
std::string statusWords(int32_t status) {
  static const std::map<int32_t, std::string> kWords = {
      {DED_ERR_NOMEM, "out of memory"},
      {DED_ERR_OPEN, "cannot open"},
      {DED_ERR_READ, "truncated or unreadable"},
      {DED_ERR_FORMAT, "not a DED file (bad magic)"},
      {DED_ERR_BADARG, "bad argument or unusable header values"},
      {qvstandin::kNotRegistered, "the plug-in registered no such callback"}};
  const auto found = kWords.find(status);
  return found != kWords.end() ? found->second : "unknown failure";
}

// Takes what the setter calls on record say into texture and geo; a later
// call of a setter overrides an earlier one. Arguments are recorded as
// doubles, from which an int32 setter's value converts back exactly.
void readSetters(const qvstandin::ImageRecord &record, TextureView *t, GeoView *g) {
  const std::pair<const char *, std::optional<int32_t> *> integers[] = {
      {"qvSetTextureWidth", &t->width},
      {"qvSetTextureHeight", &t->height},
      {"qvSetTextureType", &t->type},
      {"qvSetTextureSampleSize", &t->sampleSize},
      {"qvSetTextureTransparentValue", &t->transparentValue},
      {"qvSetTextureTiledFlag", &t->tiled},
      {"qvSetTextureSignedFlag", &t->signedFlag},
      {"qvSetTextureGeoType", &g->geoType},
      {"qvSetTextureGeoImageOrigin", &g->imageOrigin},
      {"qvSetTextureGeoProjection", &g->projection},
      {"qvSetTextureGeoEarthModel", &g->earthModel},
      {"qvSetTextureGeoUTMZone", &g->utmZone},
      {"qvSetTextureGeoUTMHemisphere", &g->utmHemisphere},
      {"qvSetTextureGeoNumCtlPts", &g->controlPointCount}};
  for (const qvstandin::SetterCall &call : record.calls) {
    const std::vector<double> &v = call.args;
    for (const auto &[name, field] : integers) {
      if (call.name == name && v.size() == 1 && v[0] >= INT32_MIN && v[0] <= INT32_MAX) {
        *field = static_cast<int32_t>(v[0]);
      }
    }
    if (call.name == "qvSetTextureMinMax" && v.size() == 2) {
      t->min = v[0];
      t->max = v[1];
    }
    if (call.name == "qvSetTextureGeoCtlPt" && v.size() == 5 && v[0] >= 0 &&
        v[0] < kControlPoints && v[0] == std::floor(v[0])) {
      g->points[static_cast<size_t>(v[0])] = ControlPoint{v[1], v[2], v[3], v[4]};
    }
  }
}

} // namespace

std::string pluginPath(const std::string &requested, const char *argv0) {
  std::error_code ec;
  if (!requested.empty()) {
    // The system's loader takes a name without a slash for a library to
    // search its own folders for, never for a file in the current folder.
    const bool bare = requested.find('/') == std::string::npos;
    return bare && fs::is_regular_file(requested, ec) ? "./" + requested : requested;
  }
  return besideExecutable(ELVARIN_PLUGIN_FILE_NAME, argv0);
}

std::string besideExecutable(const std::string &fileName, const char *argv0) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec || self.empty()) {
    self = fs::absolute(argv0 != nullptr ? argv0 : "", ec);
  }
  const fs::path beside = self.parent_path() / fileName;
  const fs::path installed = self.parent_path().parent_path() / "lib" / fileName;
  return (!fs::exists(beside, ec) && fs::exists(installed, ec) ? installed : beside).string();
}

const char *stepName(Step step) { return kStepNames[indexOf(step)]; }

HostSession::~HostSession() {
  close();
  qvstandin::unloadPlugin(&plugin_); // harmless when nothing was loaded
}

bool HostSession::load(const std::string &path, std::string *error) {
  if (!qvstandin::loadPlugin(path, &plugin_, error)) {
    return false;
  }
  if (plugin_.initResult == 0) {
    *error = path + ": the plug-in registered no importer (qvpInit returned 0)";
    return false;
  }
  return true;
}

bool HostSession::run(Step step, const std::function<int32_t()> &call) {
  // What the plug-in prints goes straight to our standard error, unchanged,
  // so even a crash report reaches the user.
  (void)std::fflush(stderr);
  statuses_[indexOf(step)] = call();
  return statuses_[indexOf(step)] == 0;
}

bool HostSession::openAndReadInfo(const std::string &file, const std::string &openAs) {
  file_ = file;
  const std::string &opened = openAs.empty() ? file : openAs;
  open_ = run(Step::Open, [&] { return qvstandin::hostOpen(opened.c_str(), "rb", &handle_); });
  if (!open_) {
    return false;
  }
  qvstandin::ImageRecord info, geo;
  bool described = run(Step::GetInfo, [&] { return qvstandin::hostGetInfo(handle_, &info); });
  readSetters(info, &texture_, &geo_);
  if (described) {
    described = run(Step::GeoInfo, [&] { return qvstandin::hostGetGeoInfo(handle_, &geo); });
    readSetters(geo, &texture_, &geo_);
  }
  if (!described) {
    close();
  }
  return described;
}

bool HostSession::getImage(uint8_t *pixels) {
  const bool got =
      open_ && run(Step::GetImage, [&] { return qvstandin::hostGetImage(handle_, pixels); });
  close();
  return got && status(Step::Close) == 0;
}

void HostSession::close() {
  if (open_) {
    open_ = false;
    run(Step::Close, [&] { return qvstandin::hostClose(handle_); });
  }
}

std::optional<int32_t> HostSession::status(Step step) const { return statuses_[indexOf(step)]; }

std::string HostSession::failure(const std::string &why) const {
  for (size_t i = 0; i < statuses_.size(); ++i) {
    if (statuses_[i] && *statuses_[i] != 0) {
      return file_ + ": " + (why.empty() ? statusWords(*statuses_[i]) : why) + " (" +
             kStepNames[i] + " returned " + std::to_string(*statuses_[i]) + ")";
    }
  }
  return {};
}

} // namespace elvhost
