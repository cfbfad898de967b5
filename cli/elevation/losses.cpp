#include "cli/elevation/losses.h"

#include <algorithm>
#include <system_error>

#include "cli/elevation/uncovered.h"
#include "cli/formats/int16_image.h"
#include "ded/block_samples.h"
#include "ded/placement.h"
#include "ded/records.h"

namespace elvhost {

namespace {

constexpr int64_t kChunkSamples = int64_t{1} << 20;

// Plain sums and minima over 16-bit lanes, with counters over runs that
// cannot overflow them, so the compiler takes eight samples at a time: this
// pass reads the whole file beside the import. Voids are counted below any
// minimum above them and taken out after; the lowest elevation is found as
// the least of value + 32767 modulo 2^16, where a void (-32768) is the
// greatest and every other value keeps its order.
void countSamples(const uint16_t *stored, size_t count, int16_t low, int16_t high, Losses *losses) {
  constexpr size_t kRun = UINT16_MAX;
  constexpr uint16_t kVoidLast = INT16_MAX;
  int64_t below = 0, above = 0, voids = 0;
  uint16_t lowest = UINT16_MAX;
  int16_t highest = INT16_MIN;
  for (size_t start = 0; start < count; start += kRun) {
    const size_t end = std::min(count, start + kRun);
    uint16_t runBelow = 0, runAbove = 0, runVoids = 0;
    for (size_t i = start; i < end; ++i) {
      const int16_t value = dedDecodeSample(stored[i]);
      runVoids = static_cast<uint16_t>(runVoids + (value == kInt16NoData));
      runBelow = static_cast<uint16_t>(runBelow + (value < low));
      runAbove = static_cast<uint16_t>(runAbove + (value > high));
      lowest = std::min(lowest, static_cast<uint16_t>(static_cast<uint16_t>(value) + kVoidLast));
      highest = std::max(highest, value);
    }
    below += runBelow - (low > kInt16NoData ? runVoids : 0);
    above += runAbove;
    voids += runVoids;
  }
  const int64_t valued = static_cast<int64_t>(count) - voids;
  if (valued > 0) {
    const auto least = static_cast<int16_t>(static_cast<uint16_t>(lowest - kVoidLast));
    losses->lowest = losses->valued > 0 ? std::min(losses->lowest, least) : least;
    losses->highest = losses->valued > 0 ? std::max(losses->highest, highest) : highest;
  }
  losses->samplesBelow += below;
  losses->samplesAbove += above;
  losses->voids += voids;
  losses->valued += valued;
}

std::string plural(int64_t count, const char *one, const char *many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Counts the samples the file holds of cell's block into losses, a run at a
// time; false when the count ends here (a stop asked for, a read the
// system failed).
bool countBlock(const DedInput &input, const CellFacts &cell, const FileFacts &facts,
                const std::stop_token &stop, std::vector<uint16_t> *chunk, Losses *losses) {
  const int16_t low = facts.statistics.minElevation, high = facts.statistics.maxElevation;
  const int64_t held = cell.samples - cell.missing;
  chunk->resize(static_cast<size_t>(std::clamp<int64_t>(held, 0, kChunkSamples)));
  for (int64_t done = 0; done < held; done += kChunkSamples) {
    if (stop.stop_requested()) {
      losses->stopped = true;
      return false;
    }
    const int64_t want = std::min(held - done, kChunkSamples);
    const DedSamplesRead read = dedReadBlockSamples(input, cell, done, want, 0, chunk->data());
    countSamples(chunk->data(), static_cast<size_t>(read.got), low, high, losses);
    if (read.error != 0) {
      losses->readError = read.error;
      losses->readErrorAt = cell.offset + (done + read.got) * DED_SAMPLE_SIZE;
      return false;
    }
    if (read.got < want) {
      break; // the file shrank: the checks after the reading say so
    }
  }
  return true;
}

} // namespace

Losses countLosses(const DedInput &input, const FileFacts &facts, bool samples,
                   const std::stop_token &stop) {
  Losses losses;
  std::vector<DedPlacement> placements;
  placements.reserve(facts.cells.size());
  for (const CellFacts &cell : facts.cells) {
    const DedPlacement &placement = placements.emplace_back(dedPlaceCell(facts.image, cell.header));
    losses.cellsNotShown += placement.shown ? 0 : 1;
    losses.cellsClipped += placement.clipped ? 1 : 0;
    losses.missing += cell.missing;
  }
  losses.uncovered = facts.described ? uncoveredPositions(facts.image, placements) : 0;
  std::vector<uint16_t> chunk;
  for (size_t i = 0; samples && i < facts.cells.size(); ++i) {
    if (!countBlock(input, facts.cells[i], facts, stop, &chunk, &losses)) {
      break;
    }
  }
  return losses;
}

LossCount::LossCount(const DedInput &input, const FileFacts &facts, bool samples) {
  // What the count throws (no memory) waits for the thread that asks.
  const auto count = [this, &input, &facts, samples](const std::stop_token &stop) noexcept {
    try {
      losses_ = countLosses(input, facts, samples, stop);
    } catch (...) {
      failure_ = std::current_exception();
    }
  };
  try {
    thread_ = std::jthread(count);
  } catch (const std::system_error &) {
    count({});
  }
}

Losses LossCount::wait() {
  if (thread_.joinable()) {
    thread_.join();
  }
  if (failure_) {
    std::rethrow_exception(failure_);
  }
  return losses_;
}

bool greyOverVoids(const FileFacts &facts, const Losses &losses) {
  const int32_t low = facts.statistics.minElevation, high = facts.statistics.maxElevation;
  if (low == kInt16NoData) {
    return true;
  }
  return losses.voids > 0 && losses.valued > 0 && low < losses.lowest &&
         int64_t{losses.lowest} - low > (int64_t{high} - low) / 2;
}

std::vector<std::string> lossWarnings(const FileFacts &facts, const Losses &losses, bool int16) {
  std::vector<std::string> lines;
  const int32_t low = facts.statistics.minElevation, high = facts.statistics.maxElevation;
  if (losses.cellsNotShown > 0 || losses.cellsClipped > 0) {
    lines.push_back("of its " + plural(static_cast<int64_t>(facts.cells.size()), "cell", "cells") +
                    ", the image cannot show " + std::to_string(losses.cellsNotShown) +
                    " and shows " + std::to_string(losses.cellsClipped) + " clipped");
  }
  if (losses.missing > 0) {
    lines.push_back("the file ends " + plural(losses.missing, "sample", "samples") + " short; " +
                    (int16 ? "they are NoData" : "they are shown as elevation 0"));
  }
  if (int16) {
    return lines;
  }
  if (losses.samplesBelow > 0 || losses.samplesAbove > 0) {
    lines.push_back(
        plural(losses.samplesBelow + losses.samplesAbove, "sample lies", "samples lie") +
        " outside the header's elevations " + std::to_string(low) + ".." + std::to_string(high) +
        " m (" + std::to_string(losses.samplesBelow) + " below, shown as grey 0; " +
        std::to_string(losses.samplesAbove) + " above, shown as grey 255)");
  }
  if (losses.uncovered > 0) {
    lines.push_back(plural(losses.uncovered, "image position lies", "image positions lie") +
                    " in no cell, shown as grey 0 (the header's minimum elevation, " +
                    std::to_string(low) + " m)");
  }
  if (losses.voids > 0) {
    lines.push_back(plural(losses.voids, "sample is a void", "samples are voids") + " (" +
                    std::to_string(DED_VOID) + "), shown as grey 0");
  }
  if (greyOverVoids(facts, losses)) {
    lines.push_back("the grey levels spread over the void marker " + std::to_string(DED_VOID) +
                    " (elevations " + std::to_string(low) + ".." + std::to_string(high) +
                    " m): --type int16 keeps the elevations themselves");
  }
  return lines;
}

} // namespace elvhost
