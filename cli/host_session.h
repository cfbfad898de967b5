// One plug-in loaded into this process and driven as the host drives it:
// open, get-info, geo-info, get-image and close, each through the callback
// the plug-in registered. Whatever is loaded or open is released on every
// path out.
#pragma once

#include <cstdint>
#include <string>

#include "qvapilib/loader.h"

namespace elvhost {

// The plug-in that the build places beside the executable.
std::string defaultPluginPath(const char *argv0);

// A callback's status code and what the plug-in printed while it ran.
struct CallResult {
  int32_t status = 0;
  std::string pluginSaid;
};

class HostSession {
public:
  HostSession() = default;
  ~HostSession();
  HostSession(const HostSession &) = delete;
  HostSession &operator=(const HostSession &) = delete;

  // Loads the plug-in and calls its qvpInit. Returns false, with the reason
  // in error, when it cannot be loaded or registers no importer.
  bool load(const std::string &pluginPath, std::string *error);
  const qvstandin::LoadedPlugin &plugin() const { return plugin_; }

  // Opens path for reading, as the host does ("rb").
  CallResult open(const std::string &path);
  CallResult getInfo(qvstandin::ImageRecord *record);
  CallResult geoInfo(qvstandin::ImageRecord *record);
  CallResult getImage(uint8_t *pixels);
  // Closes the file opened last; closing twice is harmless.
  CallResult close();

private:
  qvstandin::LoadedPlugin plugin_;
  bool loaded_ = false;
  int32_t handle_ = -1;
  bool open_ = false;
};

} // namespace elvhost
