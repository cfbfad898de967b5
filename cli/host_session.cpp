#include "cli/host_session.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string_view>
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

// Runs call with standard error (descriptor 2) going to a temporary file and
// returns call's status; what was printed meanwhile goes to said, its lines
// joined by "; ". When standard error cannot be redirected, call runs with
// it untouched and said stays empty.
int32_t capturingStderr(const std::function<int32_t()> &call, std::string *said) {
  (void)std::fflush(stderr);
  std::FILE *sink = std::tmpfile();
  const int saved = sink != nullptr ? dup(STDERR_FILENO) : -1;
  if (saved < 0 || dup2(fileno(sink), STDERR_FILENO) < 0) {
    if (saved >= 0) {
      ::close(saved);
    }
    if (sink != nullptr) {
      (void)std::fclose(sink);
    }
    return call();
  }
  const int32_t status = call();
  (void)std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  ::close(saved);
  // A plug-in has no business printing more than a few lines; keep the
  // report to one readable line even if it does.
  char text[1024];
  std::rewind(sink);
  const size_t got = std::fread(text, 1, sizeof text, sink);
  (void)std::fclose(sink);
  for (const char ch : std::string_view(text, got)) {
    *said += ch == '\n' ? "; " : ch == '\r' ? "" : std::string(1, ch);
  }
  while (said->ends_with("; ")) {
    said->resize(said->size() - 2);
  }
  return status;
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
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec || self.empty()) {
    self = fs::absolute(argv0 != nullptr ? argv0 : "", ec);
  }
  const fs::path beside = self.parent_path() / ELVARIN_PLUGIN_FILE_NAME;
  const fs::path installed = self.parent_path().parent_path() / "lib" / ELVARIN_PLUGIN_FILE_NAME;
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
  Outcome &outcome = outcomes_[indexOf(step)];
  outcome.status = capturingStderr(call, &outcome.pluginSaid);
  if (*outcome.status == 0 && !outcome.pluginSaid.empty()) {
    // Not a failure of ours to explain: pass the plug-in's words through.
    (void)std::fprintf(stderr, "%s\n", outcome.pluginSaid.c_str());
  }
  return *outcome.status == 0;
}

bool HostSession::describe(const std::string &file) {
  file_ = file;
  open_ = run(Step::Open, [&] { return qvstandin::hostOpen(file.c_str(), "rb", &handle_); });
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

std::optional<int32_t> HostSession::status(Step step) const {
  return outcomes_[indexOf(step)].status;
}

std::string HostSession::failure() const {
  for (size_t i = 0; i < outcomes_.size(); ++i) {
    const Outcome &outcome = outcomes_[i];
    if (!outcome.status || *outcome.status == 0) {
      continue;
    }
    std::string message = file_ + ": " + statusWords(*outcome.status) + " (" + kStepNames[i] +
                          " returned " + std::to_string(*outcome.status) + ")";
    if (!outcome.pluginSaid.empty()) {
      message += "; the plug-in said: " + outcome.pluginSaid;
    }
    if (i == indexOf(Step::Open) && *outcome.status == DED_ERR_OPEN) {
      // The plug-in's code does not say why; the system usually can.
      errno = 0;
      std::FILE *probe = std::fopen(file_.c_str(), "rb");
      if (probe == nullptr) {
        message += ": " + std::string(std::strerror(errno));
      } else {
        (void)std::fclose(probe);
      }
    }
    return message;
  }
  return {};
}

} // namespace elvhost
