#include "cli/output/phase_timer.h"

#include <sys/resource.h>

#include <cstdio>

namespace elvhost {

namespace {

std::string seconds(std::chrono::steady_clock::duration span) {
  char text[32];
  (void)std::snprintf(text, sizeof text, "%.3f s", std::chrono::duration<double>(span).count());
  return text;
}

} // namespace

void PhaseTimer::mark(const std::string &phase) {
  const Clock::time_point now = Clock::now();
  text_ += phase + " " + seconds(now - last_) + ", ";
  last_ = now;
}

std::string PhaseTimer::summary() const {
  rusage usage{};
  const long peakKiB = getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
  return text_ + "total " + seconds(last_ - start_) + ", peak RSS " + std::to_string(peakKiB) +
         " KiB";
}

} // namespace elvhost
