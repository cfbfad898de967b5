// The loss count reads every run of samples, or none once it is asked to stop.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/elevation/losses.h"

namespace {

TEST(LossCount, ReadsEverySampleOrNoneOnceStopped) {
  constexpr int64_t kSamples = 3 << 20; // three runs of samples a cell
  elvhost::FileFacts facts;
  for (const int64_t offset : {int64_t{4096}, 4096 + 2 * kSamples}) {
    facts.cells.push_back({{offset, kSamples, 2 * kSamples, 0, DedFinding::None}, {}});
  }
  // A file of zero samples that counts the bytes read from it.
  int64_t bytesRead = 0;
  const DedInput input{&bytesRead,
                       [](void *read, void *dest, size_t bytes) {
                         *static_cast<int64_t *>(read) += static_cast<int64_t>(bytes);
                         std::memset(dest, 0, bytes);
                         return bytes;
                       },
                       [](void *, int64_t) { return true; }, nullptr, nullptr};
  for (const bool stop : {false, true}) {
    std::stop_source source;
    (void)(stop && source.request_stop());
    bytesRead = 0;
    const elvhost::Losses losses = elvhost::countLosses(input, facts, true, source.get_token());
    EXPECT_EQ(bytesRead, stop ? 0 : 4 * kSamples) << stop;
    EXPECT_EQ(losses.stopped, stop);
    EXPECT_EQ(losses.valued, stop ? 0 : 2 * kSamples);
  }
}

} // namespace
