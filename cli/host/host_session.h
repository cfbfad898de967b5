// The host's side of its conversation with the plug-in about one file: it
// loads the plug-in, then runs open, get-info, geo-info, get-image and close
// in the host's order, each through the callback the plug-in registered, and
// keeps what the plug-in set on the image records. A step runs only when
// every step before it succeeded; an opened file is closed at the latest
// when the session ends, and the plug-in is unloaded then.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "cli/host/setter_views.h"
#include "qvapilib/loader.h"

namespace elvhost {

// The plug-in to load. A requested path that is a bare file name present in
// the current folder means that file; any other goes to the system's loader
// as it is. Without one: the plug-in beside the executable, else the one in
// ../lib of an installed tree, else (to be named in the failure) the former.
std::string pluginPath(const std::string &requested, const char *argv0);

// A file that comes with elvarin-host (the plug-in, the DED writer's
// module): beside the executable, else in ../lib of an installed tree, else
// (to be named in the failure) the former. argv0 stands in where the
// system cannot tell where the executable is.
std::string besideExecutable(const std::string &fileName, const char *argv0 = nullptr);

enum class Step { Open, GetInfo, GeoInfo, GetImage, Close };
const char *stepName(Step step); // "open", "get-info", ...

class HostSession {
public:
  HostSession() = default;
  ~HostSession();
  HostSession(const HostSession &) = delete;
  HostSession &operator=(const HostSession &) = delete;

  // Loads the plug-in and calls its qvpInit. False, with the reason in
  // error, when it cannot be loaded or registers no importer.
  bool load(const std::string &path, std::string *error);
  // Open, get-info and geo-info on file. True when all three succeeded and
  // the file stays open for getImage; otherwise it has been closed. The
  // plug-in is asked to open openAs when given (the file under another
  // name); messages name file.
  bool openAndReadInfo(const std::string &file, const std::string &openAs = {});
  // Get-image into pixels (the host's buffer: height rows of the host's row
  // width), then close. True when both succeeded.
  bool getImage(uint8_t *pixels);
  // Closes the file if it is open.
  void close();

  const qvstandin::LoadedPlugin &plugin() const { return plugin_; }
  const TextureView &texture() const { return texture_; }
  const GeoView &geo() const { return geo_; }
  // The status code the step's callback returned; empty when it did not run.
  std::optional<int32_t> status(Step step) const;
  // "FILE: <why> (<step> returned <code>)" for the first step that failed,
  // the code's meaning standing in for an empty why; empty when none failed.
  std::string failure(const std::string &why = "") const;

private:
  bool run(Step step, const std::function<int32_t()> &call);

  qvstandin::LoadedPlugin plugin_;
  std::string file_;
  int32_t handle_ = -1;
  bool open_ = false;
  std::array<std::optional<int32_t>, 5> statuses_;
  TextureView texture_;
  GeoView geo_;
};

} // namespace elvhost
