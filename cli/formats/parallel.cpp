#include "cli/formats/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace elvhost {

void parallelFor(size_t count, unsigned workers,
                 const std::function<void(size_t index, unsigned worker)> &fn) {
  std::atomic<size_t> next{0};
  std::atomic<bool> stopped{false};
  std::mutex failureLock;
  std::exception_ptr failure;
  const auto work = [&](unsigned worker) {
    try {
      for (size_t i = next++; i < count && !stopped; i = next++) {
        fn(i, worker);
      }
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failureLock);
      if (!failure) {
        failure = std::current_exception();
      }
      stopped = true;
    }
  };
  {
    // Declared inside the block so that every thread is joined, whatever
    // happens, before the failure is looked at.
    std::vector<std::jthread> threads;
    const size_t helpers = count == 0 || workers <= 1 ? 0 : std::min<size_t>(workers, count) - 1;
    try {
      threads.reserve(helpers);
      for (size_t w = 1; w <= helpers; ++w) {
        threads.emplace_back(work, static_cast<unsigned>(w));
      }
    } catch (const std::exception &) {
      // No more threads (std::system_error) or no memory for them: those
      // started and this one do the rest.
    }
    work(0);
  }
  if (failure) {
    std::rethrow_exception(failure);
  }
}

} // namespace elvhost
