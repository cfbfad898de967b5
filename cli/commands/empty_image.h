// A file the plug-in accepts but describes as an image of no pixels (a cell
// of no columns or no rows): nothing to show, said with the host's own
// reading of why, rather than as a disagreement about the control points.
#pragma once

#include <string>

#include "cli/host/host_session.h"
#include "cli/input/file_facts.h"

namespace elvhost {

// "FILE: <the reading's finding, or that the image has no samples to show>:
// the plug-in's image is W x H pixels (get-info returned <code>)" when the
// plug-in told a width or height of 0 or below; empty otherwise.
std::string emptyImageFailure(const std::string &file, const FileFacts &facts,
                              const HostSession &session);

} // namespace elvhost
