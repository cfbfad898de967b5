// The loss count reads every run of samples, or none once it is asked to stop.
#include <gtest/gtest.h>

#include <cstring>
#include <stop_token>

#include "cli/elevation/losses.h"

namespace {

// A file of zero samples that counts the bytes read from it.
struct CountingFile {
  int64_t position = 0, read = 0;
};

DedInput countingInput(CountingFile *file) {
  return {file,
          [](void *context, void *dest, size_t bytes) {
            auto *f = static_cast<CountingFile *>(context);
            std::memset(dest, 0, bytes);
            f->position += static_cast<int64_t>(bytes);
            f->read += static_cast<int64_t>(bytes);
            return bytes;
          },
          [](void *context, int64_t offset) {
            static_cast<CountingFile *>(context)->position = offset;
            return true;
          },
          [](void * /*context*/) { return int64_t{1} << 40; }, nullptr};
}

TEST(LossCount, ReadsEverySampleOrNoneOnceStopped) {
  constexpr int64_t kSamples = 3 << 20; // three runs of samples a cell
  elvhost::FileFacts facts;
  for (const int64_t offset : {int64_t{4096}, 4096 + 2 * kSamples}) {
    facts.cells.push_back({{offset, kSamples, 2 * kSamples, 0, DedFinding::None}, {}});
  }
  for (const bool stop : {false, true}) {
    CountingFile file;
    std::stop_source source;
    if (stop) {
      source.request_stop();
    }
    const elvhost::Losses losses =
        elvhost::countLosses(countingInput(&file), facts, true, source.get_token());
    EXPECT_EQ(file.read, stop ? 0 : 4 * kSamples) << stop;
    EXPECT_EQ(losses.stopped, stop);
    EXPECT_EQ(losses.valued, stop ? 0 : 2 * kSamples);
  }
}

} // namespace
