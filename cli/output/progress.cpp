#include "cli/output/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace elvhost {

namespace {

// Work shorter than this shows no line on a terminal: a line that appears
// and completes at once only adds noise.
constexpr std::chrono::milliseconds kQuietStart{1000};

} // namespace

ProgressShow progressShowFor(bool quiet, bool progress) {
  if (quiet) {
    return ProgressShow::Never;
  }
  return progress ? ProgressShow::Always : ProgressShow::OnTerminal;
}

ProgressLine::ProgressLine(ProgressShow show, std::FILE *stream)
    : show_(show == ProgressShow::OnTerminal && isatty(fileno(stream)) == 0 ? ProgressShow::Never
                                                                            : show),
      stream_(stream) {}

bool ProgressLine::shouldShow() {
  if (show_ == ProgressShow::OnTerminal &&
      std::chrono::steady_clock::now() - start_ >= kQuietStart) {
    show_ = ProgressShow::Always;
  }
  return show_ == ProgressShow::Always;
}

void ProgressLine::update(double fraction) {
  if (finished_ || !(fraction >= 0)) {
    return; // NaN and negatives move nothing
  }
  const int ticks = static_cast<int>(std::floor(std::min(fraction, 1.0) * kTicks));
  reached_ = std::max(reached_, ticks);
  if (shouldShow()) {
    printTicks(reached_);
  }
}

void ProgressLine::finish() {
  if (finished_) {
    return;
  }
  reached_ = kTicks;
  if (printed_ >= 0 || show_ == ProgressShow::Always) {
    printTicks(kTicks);
    (void)std::fputs(" - done.\n", stream_);
    (void)std::fflush(stream_);
  }
  finished_ = true;
}

void ProgressLine::breakLine() {
  if (printed_ >= 0 && !finished_) {
    (void)std::fputc('\n', stream_);
    (void)std::fflush(stream_);
    printed_ = -1;
  }
}

void ProgressLine::printTicks(int upTo) {
  if (upTo <= printed_) {
    return;
  }
  char text[256];
  int used = 0;
  if (printed_ < 0) {
    text[used++] = '0';
    printed_ = 0;
  }
  for (int tick = printed_ + 1; tick <= upTo; ++tick) {
    if (tick % 4 == 0) {
      used +=
          std::snprintf(text + used, sizeof text - static_cast<size_t>(used), "%d", tick / 4 * 10);
    } else {
      text[used++] = '.';
    }
  }
  printed_ = upTo;
  (void)std::fwrite(text, 1, static_cast<size_t>(used), stream_);
  (void)std::fflush(stream_);
}

PhasedProgress::PhasedProgress(ProgressLine *line, std::initializer_list<double> weights)
    : line_(line) {
  double total = 0;
  for (const double weight : weights) {
    if (count_ < static_cast<int>(std::size(weights_))) {
      weights_[count_++] = weight;
      total += weight;
    }
  }
  for (int i = 0; i < count_; ++i) {
    weights_[i] /= total;
  }
}

void PhasedProgress::at(int phase, double fraction) {
  double done = 0;
  for (int i = 0; i < phase && i < count_; ++i) {
    done += weights_[i];
  }
  const double share = phase < count_ ? weights_[phase] : 0;
  line_->update(done + share * std::clamp(fraction, 0.0, 1.0));
}

} // namespace elvhost
