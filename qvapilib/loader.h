// Loading a plug-in library as the host does, and driving the importer it
// registered only through its callbacks.
#pragma once

#include <cstdint>
#include <string>

#include "qvapilib/stand_in.h"

namespace qvstandin {

struct LoadedPlugin {
  void *library = nullptr;
  const char *vendor = nullptr;
  const char *idString = nullptr;
  const char *uuidString = nullptr;
  const char *version = nullptr;
  QvpInitFunc init = nullptr;
  QvpExitFunc exit = nullptr;
  int32_t initResult = 0;
};

// What a host call answers when the plug-in registered no such callback.
constexpr int32_t kNotRegistered = -1000;

// The plug-in handle this host passes to qvpInit and qvpExit.
QVSTANDIN_API QvPlugin pluginHandle();

// Loads the library at path, reads its four identification strings and calls
// qvpInit. Returns false, with the reason in error, when the library or one of
// its six exported names cannot be found; nothing stays loaded then.
QVSTANDIN_API bool loadPlugin(const std::string &path, LoadedPlugin *plugin, std::string *error);

// loadPlugin's first half: loads the library and finds its six names, but
// leaves qvpInit uncalled (initResult stays 0).
QVSTANDIN_API bool openPlugin(const std::string &path, LoadedPlugin *plugin, std::string *error);

// Calls qvpExit and unloads the library.
QVSTANDIN_API void unloadPlugin(LoadedPlugin *plugin);

// The registered callbacks, called as the host calls them.
QVSTANDIN_API int32_t hostOpen(const char *path, const char *mode, int32_t *handle);
QVSTANDIN_API int32_t hostClose(int32_t handle);
QVSTANDIN_API int32_t hostGetInfo(int32_t handle, ImageRecord *record);
QVSTANDIN_API int32_t hostGetGeoInfo(int32_t handle, ImageRecord *record);
QVSTANDIN_API int32_t hostGetImage(int32_t handle, uint8_t *pixels);

// Files opened through hostOpen and not yet closed through hostClose.
QVSTANDIN_API int openStreams();

} // namespace qvstandin
