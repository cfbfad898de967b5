#include "cli/host_session.h"

#include <filesystem>
#include <system_error>

#include "cli/stderr_capture.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#ifndef ELVARIN_PLUGIN_FILE_NAME
#define ELVARIN_PLUGIN_FILE_NAME "libelvarin.so"
#endif

namespace elvhost {

namespace {

std::filesystem::path executablePath(const char *argv0) {
  std::error_code ec;
#if defined(_WIN32)
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    return std::filesystem::path(std::string(buffer, length));
  }
#else
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec && !self.empty()) {
    return self;
  }
#endif
  const std::filesystem::path fromArgv =
      std::filesystem::absolute(argv0 != nullptr ? argv0 : "", ec);
  return ec ? std::filesystem::path(argv0 != nullptr ? argv0 : "") : fromArgv;
}

template <typename Call> CallResult captured(Call call) {
  StderrCapture capture;
  CallResult result;
  result.status = call();
  result.pluginSaid = capture.finish();
  if (result.status == 0 && !result.pluginSaid.empty()) {
    // Not a failure of ours to explain: pass the plug-in's words through.
    (void)std::fprintf(stderr, "%s\n", result.pluginSaid.c_str());
  }
  return result;
}

} // namespace

std::string defaultPluginPath(const char *argv0) {
  return (executablePath(argv0).parent_path() / ELVARIN_PLUGIN_FILE_NAME).string();
}

HostSession::~HostSession() {
  close();
  if (loaded_) {
    qvstandin::unloadPlugin(&plugin_);
  }
}

bool HostSession::load(const std::string &pluginPath, std::string *error) {
  std::string reason;
  if (!qvstandin::loadPlugin(pluginPath, &plugin_, &reason)) {
    *error = reason;
    return false;
  }
  loaded_ = true;
  if (plugin_.initResult == 0) {
    *error = pluginPath + ": the plug-in registered no importer (qvpInit returned 0)";
    return false;
  }
  return true;
}

CallResult HostSession::open(const std::string &path) {
  int32_t handle = -1;
  CallResult result = captured([&] { return qvstandin::hostOpen(path.c_str(), "rb", &handle); });
  if (result.status == 0) {
    handle_ = handle;
    open_ = true;
  }
  return result;
}

CallResult HostSession::getInfo(qvstandin::ImageRecord *record) {
  return captured([&] { return qvstandin::hostGetInfo(handle_, record); });
}

CallResult HostSession::geoInfo(qvstandin::ImageRecord *record) {
  return captured([&] { return qvstandin::hostGetGeoInfo(handle_, record); });
}

CallResult HostSession::getImage(uint8_t *pixels) {
  return captured([&] { return qvstandin::hostGetImage(handle_, pixels); });
}

CallResult HostSession::close() {
  if (!open_) {
    return {};
  }
  open_ = false;
  return captured([&] { return qvstandin::hostClose(handle_); });
}

} // namespace elvhost
