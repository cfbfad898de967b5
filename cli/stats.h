// Figures for --stats: wall time of each phase and the process's peak
// resident memory, printed on standard error.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace elvhost {

// Peak resident set size of this process in KiB, or -1 when unknown.
int64_t peakResidentKiB();

class PhaseTimer {
public:
  PhaseTimer();
  // Ends the current phase under this name and starts the next.
  void mark(const std::string &phase);
  // "load 0.001 s, import 0.210 s, ..., peak RSS 123456 KiB"
  std::string summary() const;

private:
  std::chrono::steady_clock::time_point start_, last_;
  std::vector<std::pair<std::string, double>> phases_;
};

} // namespace elvhost
