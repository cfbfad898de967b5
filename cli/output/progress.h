// The progress line GIS users know from their command-line tools, on
// standard error: "0...10...20...30...40...50...60...70...80...90...100 - done."
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace elvhost {

// Called by the image writers with the number of output rows finished so
// far, from the writer's own thread only; may be empty.
using RowProgress = std::function<void(int32_t rowsDone)>;

// When the line is shown: never; on a terminal for work that has taken over
// a second; or always (asked for by --progress, whether or not a terminal).
enum class ProgressShow { Never, OnTerminal, Always };

// The show mode the options give: -q wins over --progress, which wins over
// the terminal test.
ProgressShow progressShowFor(bool quiet, bool progress);

class ProgressLine {
public:
  // ProgressShow::OnTerminal holds everything back until the first update a
  // second after construction, then prints the ticks so far at once.
  explicit ProgressLine(ProgressShow show, std::FILE *stream = stderr);
  ~ProgressLine() = default;
  ProgressLine(const ProgressLine &) = delete;
  ProgressLine &operator=(const ProgressLine &) = delete;

  // Moves the line to fraction of the work (0..1; never backwards).
  void update(double fraction);
  // Completes the line with " - done." when anything of it was shown.
  void finish();
  // Ends a shown, unfinished line, so a message can follow on a line of its
  // own; the next update starts the line again from 0.
  void breakLine();

private:
  static constexpr int kTicks = 40; // one tick per 2.5 %
  bool shouldShow();
  void printTicks(int upTo);

  ProgressShow show_;
  std::FILE *stream_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  int reached_ = 0;  // ticks of the work done
  int printed_ = -1; // ticks on the current line; -1: nothing on it yet
  bool finished_ = false;
};

// Progress over weighted phases: phase i covers weights[i] of the whole.
// Lets each step report its own fraction without knowing the others.
class PhasedProgress {
public:
  PhasedProgress(ProgressLine *line, std::initializer_list<double> weights);
  // Moves to fraction (0..1) of phase `phase`.
  void at(int phase, double fraction);

private:
  ProgressLine *line_;
  double weights_[8] = {};
  int count_ = 0;
};

} // namespace elvhost
