// The compressors' parallelFor: every index once, and a worker's exception
// carried to the caller after every thread has finished.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "cli/formats/parallel.h"

namespace {

TEST(ParallelFor, RunsEveryIndexOnceAndCarriesAWorkersExceptionAfterJoiningAll) {
  for (const auto &[count, workers] :
       {std::pair<size_t, unsigned>{0, 4}, {5, 0}, {3, 8}, {999, 4}}) {
    std::vector<std::atomic<int>> runs(count);
    elvhost::parallelFor(count, workers, [&runs](size_t i, unsigned) { ++runs[i]; });
    EXPECT_EQ(std::count(runs.begin(), runs.end(), 1), static_cast<ptrdiff_t>(count)) << workers;
  }
  // Worker 1 fails while the others are still busy; they have finished by
  // the time the caller hears of it.
  std::atomic<int> running{0};
  std::atomic<bool> failed{false};
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  EXPECT_THROW(elvhost::parallelFor(100, 3,
                                    [&](size_t, unsigned worker) {
                                      if (worker == 1) {
                                        failed = true;
                                        throw std::runtime_error("worker 1 failed");
                                      }
                                      ++running;
                                      while (!failed && std::chrono::steady_clock::now() < until) {
                                        std::this_thread::yield();
                                      }
                                      std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                      --running;
                                    }),
               std::runtime_error);
  EXPECT_EQ(running, 0);
}

} // namespace
