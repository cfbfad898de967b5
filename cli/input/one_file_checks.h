// One file, one set of facts: what elvarin-host writes beside the pixels
// (size, geo-reference, coordinate system, elevations) must come from the
// bytes the pixels came from. These checks hold the plug-in's answers and a
// later reading of the file against the host's own first reading.
#pragma once

#include <string>

#include "cli/geo/georef.h"
#include "cli/host/host_session.h"
#include "cli/input/file_facts.h"
#include "cli/input/pinned_file.h"

namespace elvhost {

// Empty when what the plug-in told the host (size, projection, UTM zone and
// hemisphere, the corners its control points tie) is what the host's own
// reading of the file gives; otherwise the first difference, in words.
// controlMap is the host's reading of the control points, null when they
// give none.
std::string pluginDisagreement(const FileFacts &facts, const HostSession &session,
                               const Affine *controlMap);

// Empty when the pinned file is still the one first read into `first`: its
// identity unchanged and its records, read again now, the same; otherwise
// why not, in words.
std::string changedSince(const PinnedFile &pin, const FileFacts &first);

// The failure for a file that changed under the run, why being what the
// checks above said: "FILE: changed while it was read (why)".
std::string changedFailure(const std::string &file, const std::string &why);

} // namespace elvhost
