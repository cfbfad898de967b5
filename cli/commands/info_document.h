// The document elvarin-host info prints: a DED file as a GIS user looks at
// it, from the file's own headers, in the layout of gdalinfo; and what the
// plug-in tells the host.
#pragma once

#include <nlohmann/json.hpp>

#include "cli/commands/commands.h"
#include "cli/elevation/losses.h"
#include "cli/host/host_session.h"
#include "cli/input/file_facts.h"

namespace elvhost {

// The file's facts and losses and what the session's plug-in told the host
// about it, as docs/info.schema.json lays them out.
nlohmann::ordered_json infoDocument(const HostSession &session, const FileFacts &facts,
                                    const Losses &losses, const InfoOptions &options);

} // namespace elvhost
