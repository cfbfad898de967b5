// The compressors' parallelFor: every index once, and a worker's exception
// carried to the caller after every thread has finished.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "cli/formats/parallel.h"

namespace {

TEST(ParallelFor, RunsEveryIndexOnce) {
  const struct {
    size_t count;
    unsigned workers;
  } cases[] = {{0, 4}, {1, 4}, {5, 0}, {5, 1}, {3, 8}, {1000, 4}};
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << c.count << " indices, " << c.workers << " workers");
    std::vector<std::atomic<int>> runs(c.count);
    std::atomic<unsigned> highestWorker{0};
    elvhost::parallelFor(c.count, c.workers, [&](size_t i, unsigned worker) {
      ++runs[i];
      unsigned seen = highestWorker;
      while (worker > seen && !highestWorker.compare_exchange_weak(seen, worker)) {
      }
    });
    for (size_t i = 0; i < c.count; ++i) {
      EXPECT_EQ(runs[i], 1) << "index " << i;
    }
    EXPECT_LT(highestWorker, std::max(c.workers, 1u));
  }
}

TEST(ParallelFor, CarriesAWorkersExceptionAfterJoiningAll) {
  std::atomic<int> running{0};
  std::atomic<bool> failed{false};
  const auto fn = [&](size_t, unsigned worker) {
    if (worker == 1) {
      failed = true;
      throw std::runtime_error("worker 1 failed");
    }
    // The others are still busy when worker 1 fails; they must have finished
    // by the time the caller hears of it.
    ++running;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!failed && std::chrono::steady_clock::now() < until) {
      std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    --running;
  };
  try {
    elvhost::parallelFor(100, 3, fn);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "worker 1 failed");
  }
  EXPECT_EQ(running, 0);
}

} // namespace
