#include "cli/stats.h"

#include <cstdio>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

namespace elvhost {

int64_t peakResidentKiB() {
#if defined(_WIN32)
  return -1;
#else
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) {
    return -1;
  }
  return static_cast<int64_t>(usage.ru_maxrss); // KiB on Linux
#endif
}

PhaseTimer::PhaseTimer() : start_(std::chrono::steady_clock::now()), last_(start_) {}

void PhaseTimer::mark(const std::string &phase) {
  const auto now = std::chrono::steady_clock::now();
  phases_.emplace_back(phase, std::chrono::duration<double>(now - last_).count());
  last_ = now;
}

std::string PhaseTimer::summary() const {
  std::string text;
  char figure[64];
  for (const auto &[name, seconds] : phases_) {
    (void)std::snprintf(figure, sizeof figure, "%.3f s", seconds);
    text += name + " " + figure + ", ";
  }
  (void)std::snprintf(figure, sizeof figure, "%.3f s",
                      std::chrono::duration<double>(last_ - start_).count());
  text +=
      "total " + std::string(figure) + ", peak RSS " + std::to_string(peakResidentKiB()) + " KiB";
  return text;
}

} // namespace elvhost
