#include "cli/commands/convert_ded.h"

#include <dlfcn.h>

#include <string>

#include "cli/commands/errors.h"
#include "cli/host/host_session.h"

namespace elvhost {

namespace {

// The writer's module, beside the executable or in ../lib as the plug-in.
constexpr const char *kDedWriterModule = "libelvarin-host-gdal.so";

} // namespace

int runConvertToDed(const ConvertOptions &options) {
  const std::string path = besideExecutable(kDedWriterModule);
  void *module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  using Entry = int (*)(const ConvertOptions *) noexcept;
  const auto entry =
      module != nullptr ? reinterpret_cast<Entry>(::dlsym(module, "elvhostConvertToDed")) : nullptr;
  if (entry == nullptr) {
    const char *why = ::dlerror();
    reportFailure(options.output +
                  ": cannot write DED files without GDAL, which reads the rasters " +
                  "they are written from (" + (why != nullptr ? why : path) +
                  "); build elvarin-host with the release preset (libgdal-dev)");
    return kExitFailure;
  }
  // Left loaded: GDAL keeps what it registered until the process ends.
  return entry(&options);
}

} // namespace elvhost
