// The host's conversation with the plug-in about one file, step by step in
// the host's order: open, get-info, geo-info, get-image, close. A step runs
// only when every step before it succeeded; close always runs after a
// successful open.
#pragma once

#include <cstdint>
#include <string>

#include "cli/host_session.h"
#include "cli/host_view.h"

namespace elvhost {

struct ImportStep {
  explicit ImportStep(const char *stepName) : name(stepName) {}
  const char *name;
  bool ran = false;
  CallResult result;
  bool ok() const { return ran && result.status == 0; }
};

struct ImportReport {
  std::string file;
  ImportStep open{"open"}, getInfo{"get-info"}, geoInfo{"geo-info"}, getImage{"get-image"},
      close{"close"};
  TextureView texture;
  GeoView geo;
  qvstandin::ImageRecord infoRecord, geoRecord;

  // The first step that ran and failed, or null.
  const ImportStep *firstFailure() const;
};

// Opens file and asks for its description and geo-reference. On success the
// file stays open in session for getImage; otherwise it has been closed.
// Returns whether every step succeeded.
bool importDescription(HostSession &session, const std::string &file, ImportReport *report);

// Runs get-image into pixels (if the description succeeded) and closes.
bool importPixels(HostSession &session, uint8_t *pixels, ImportReport *report);

// Closes the file if it is still open; records the result.
void finishImport(HostSession &session, ImportReport *report);

// The one-line failure message for the first failed step.
std::string importFailure(const ImportReport &report);

} // namespace elvhost
