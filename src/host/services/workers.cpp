// The threads a run may use. Each item of a loop is one task: the items are
// few and coarse (chunks of a file, columns), so no grain is set.
//
// Under ThreadSanitizer (MVA_TSAN) the loop runs on threads of the standard
// library instead: the oneTBB library from the system is not instrumented,
// so the sanitizer would not see that its join orders a task's work before
// the caller's next step, and would report every loop. What is checked there
// is the bodies' own sharing of data, which is the same on either kind of
// thread.
#include "host/services/workers.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>

namespace mva::host {

int Workers::cores() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

std::shared_ptr<Workers> Workers::shared(int threads) {
  static std::mutex lock;
  static std::map<int, std::weak_ptr<Workers>> alive;
  const int count = threads > 0 ? threads : cores();
  const std::lock_guard<std::mutex> hold(lock);
  std::weak_ptr<Workers>& slot = alive[count];
  std::shared_ptr<Workers> workers = slot.lock();
  if (!workers) {
    workers = std::make_shared<Workers>(count);
    slot = workers;
  }
  return workers;
}

Workers::Workers(int threads) : count_(threads > 0 ? threads : cores()) {
  if (count_ > cores()) {
    above_cores_.emplace(oneapi::tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(count_));
  }
  arena_.initialize(count_);
}

void Workers::for_each(std::size_t n, const std::function<void(std::size_t)>& body) {
  if (n == 0) return;
  if (count_ == 1 || n == 1) {
    for (std::size_t i = 0; i < n; ++i) body(i);
    return;
  }
#ifdef MVA_TSAN
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failure_lock;
  const auto work = [&] {
    for (std::size_t i = next++; i < n; i = next++) {
      try {
        body(i);
      } catch (...) {
        const std::lock_guard<std::mutex> hold(failure_lock);
        if (!failure) failure = std::current_exception();
        next = n;
      }
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t t = 1; t < std::min(n, static_cast<std::size_t>(count_)); ++t) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
#else
  arena_.execute([&] {
    oneapi::tbb::parallel_for(
        oneapi::tbb::blocked_range<std::size_t>(0, n, 1),
        [&](const oneapi::tbb::blocked_range<std::size_t>& items) {
          for (std::size_t i = items.begin(); i != items.end(); ++i) body(i);
        },
        oneapi::tbb::simple_partitioner());
  });
#endif
}

}  // namespace mva::host
