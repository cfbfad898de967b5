// What the host's grey picture of a DED file loses, counted from the file
// itself through ded/'s walk and placement: cells the image cannot show or
// shows clipped, positions no cell covers (the minimum elevation, grey 0), samples outside the
// header's elevation range (clamped to grey 0 or 255), the file's voids, samples the file is too
// short to hold.
#pragma once

#include <cstdint>
#include <exception>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "cli/input/file_facts.h"
#include "ded/input.h"

namespace elvhost {

struct Losses {
  int64_t cellsNotShown = 0;       // cells no sample of which lands in the image
  int64_t cellsClipped = 0;        // cells shown in part
  int64_t uncovered = 0;           // image positions no cell covers: grey 0
  int64_t samplesBelow = 0;        // below the header's minimum (not voids): grey 0
  int64_t samplesAbove = 0;        // above its maximum: grey 255
  int64_t voids = 0;               // samples holding the void marker -32768
  int64_t missing = 0;             // samples past the end of the file
  int64_t valued = 0;              // samples read that are not voids
  int16_t lowest = 0, highest = 0; // of those, when there are any
  int readError = 0;               // errno of a read the system failed, which ends the count
  int64_t readErrorAt = -1;        // the byte it was reading from
  bool stopped = false;            // asked to stop, it ended before the last sample
};

// Counts over every cell's block as the file holds it, through input (the
// file the facts were read from, and described); without samples, only the
// cells and the samples missing, which the headers tell. A read that comes
// back short ends the count of its cell; one the system fails ends the count
// (readError says so). A stop asked for through stop ends it before the next
// run of samples is read (stopped says so).
Losses countLosses(const DedInput &input, const FileFacts &facts, bool samples,
                   const std::stop_token &stop = {});

// countLosses on a thread of its own, beside the import (the plug-in's
// callbacks stay on the caller's thread), or on the caller's when no thread
// starts. input and facts must outlive it, and input is read by its thread
// alone; it is stopped and joined at the latest when it ends.
class LossCount {
public:
  LossCount(const DedInput &input, const FileFacts &facts, bool samples);
  // Asks the count to end before its next run of samples: the run it is
  // for failed, and only a read error would have been news.
  void stop() { thread_.request_stop(); }
  // Waits for the count: countLosses's result; what the count threw is
  // thrown here, on the caller's thread.
  Losses wait();

private:
  Losses losses_;
  std::exception_ptr failure_;
  std::jthread thread_; // last: joined before the results go
};

// The grey levels spread over the void marker: the header's minimum is
// -32768, or voids lie below every real elevation while the levels under the
// lowest of them are more than half of all.
bool greyOverVoids(const FileFacts &facts, const Losses &losses);

// The losses as warnings for convert, one line each, without the
// "warning: FILE: " they get; int16: the elevations are written, so only
// what they lose (cells, missing samples) is said.
std::vector<std::string> lossWarnings(const FileFacts &facts, const Losses &losses, bool int16);

} // namespace elvhost
