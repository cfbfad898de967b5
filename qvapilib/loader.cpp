#include "qvapilib/loader.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "qvapilib/state.h"

namespace qvstandin {

namespace {

int pluginToken; // its address is the plug-in handle
void *const kHost0 = &pluginToken;
void *const kHost1 = nullptr;

#if defined(_WIN32)
void *openLibrary(const std::string &path) {
  return reinterpret_cast<void *>(LoadLibraryA(path.c_str()));
}
void *findSymbol(void *library, const char *name) {
  return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void closeLibrary(void *library) { FreeLibrary(static_cast<HMODULE>(library)); }
std::string loaderError() { return "error " + std::to_string(GetLastError()); }
#else
void *openLibrary(const std::string &path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void *findSymbol(void *library, const char *name) { return dlsym(library, name); }
void closeLibrary(void *library) { dlclose(library); }
std::string loaderError() {
  const char *text = dlerror();
  return text != nullptr ? text : "unknown error";
}
#endif

// A data symbol is a pointer variable holding the string's address.
const char *readString(void *library, const char *name) {
  auto *variable = static_cast<const char *const *>(findSymbol(library, name));
  return variable != nullptr ? *variable : nullptr;
}

} // namespace

QvPlugin pluginHandle() { return &pluginToken; }

bool openPlugin(const std::string &path, LoadedPlugin *plugin, std::string *error) {
  *plugin = LoadedPlugin{};
  void *library = openLibrary(path);
  if (library == nullptr) {
    *error = "cannot load plug-in " + path + ": " + loaderError();
    return false;
  }
  LoadedPlugin loaded;
  loaded.library = library;
  loaded.vendor = readString(library, "qvpVendor");
  loaded.idString = readString(library, "qvpIDString");
  loaded.uuidString = readString(library, "qvpUUIDString");
  loaded.version = readString(library, "qvpVersion");
  loaded.init = reinterpret_cast<QvpInitFunc>(findSymbol(library, "qvpInit"));
  loaded.exit = reinterpret_cast<QvpExitFunc>(findSymbol(library, "qvpExit"));
  if (loaded.vendor == nullptr || loaded.idString == nullptr || loaded.uuidString == nullptr ||
      loaded.version == nullptr || loaded.init == nullptr || loaded.exit == nullptr) {
    closeLibrary(library);
    *error = "not a plug-in: " + path +
             " lacks one of qvpInit, qvpExit, qvpVendor, qvpIDString, "
             "qvpUUIDString, qvpVersion";
    return false;
  }
  *plugin = loaded;
  return true;
}

bool loadPlugin(const std::string &path, LoadedPlugin *plugin, std::string *error) {
  if (!openPlugin(path, plugin, error)) {
    return false;
  }
  plugin->initResult = plugin->init(pluginHandle());
  return true;
}

void unloadPlugin(LoadedPlugin *plugin) {
  if (plugin->library == nullptr) {
    return;
  }
  plugin->exit(pluginHandle());
  closeLibrary(plugin->library);
  *plugin = LoadedPlugin{};
}

int32_t hostOpen(const char *path, const char *mode, int32_t *handle) {
  const auto &r = state().registration;
  if (r.open == nullptr) {
    return kNotRegistered;
  }
  const int32_t status = r.open(kHost0, kHost1, path, mode, handle);
  state().openStreams += status == 0 ? 1 : 0;
  return status;
}

int32_t hostClose(int32_t handle) {
  const auto &r = state().registration;
  if (r.close == nullptr) {
    return kNotRegistered;
  }
  const int32_t status = r.close(kHost0, kHost1, handle);
  state().openStreams -= status == 0 ? 1 : 0;
  return status;
}

int32_t hostGetInfo(int32_t handle, ImageRecord *record) {
  const auto &r = state().registration;
  return r.getInfo == nullptr ? kNotRegistered : r.getInfo(kHost0, kHost1, handle, record);
}

int32_t hostGetGeoInfo(int32_t handle, ImageRecord *record) {
  const auto &r = state().registration;
  return r.geoInfo == nullptr ? kNotRegistered : r.geoInfo(kHost0, kHost1, handle, record);
}

int32_t hostGetImage(int32_t handle, uint8_t *pixels) {
  const auto &r = state().registration;
  return r.getImage == nullptr ? kNotRegistered
                               : r.getImage(kHost0, kHost1, handle, nullptr, pixels);
}

int openStreams() { return state().openStreams; }

} // namespace qvstandin
