// For convert --stats: the wall time of each phase, then the total and the
// process's peak resident memory, e.g. "load 0.001 s, ..., total 0.4 s,
// peak RSS 9 KiB".
#pragma once

#include <chrono>
#include <string>

namespace elvhost {

class PhaseTimer {
public:
  // Ends the current phase under this name and starts the next.
  void mark(const std::string &phase);
  std::string summary() const;

private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point start_ = Clock::now(), last_ = start_;
  std::string text_;
};

} // namespace elvhost
