// The threads a run may use. Each item of a loop is one task: the items are
// few and coarse (chunks of a file, columns), so no grain is set.
#include "host/services/workers.h"

#include <algorithm>
#include <thread>

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>

namespace mva::host {

int Workers::cores() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

Workers::Workers(int threads) : count_(threads > 0 ? threads : cores()), arena_(count_) {}

void Workers::for_each(std::size_t n, const std::function<void(std::size_t)>& body) {
  if (n == 0) return;
  if (count_ == 1 || n == 1) {
    for (std::size_t i = 0; i < n; ++i) body(i);
    return;
  }
  arena_.execute([&] {
    oneapi::tbb::parallel_for(
        oneapi::tbb::blocked_range<std::size_t>(0, n, 1),
        [&](const oneapi::tbb::blocked_range<std::size_t>& items) {
          for (std::size_t i = items.begin(); i != items.end(); ++i) body(i);
        },
        oneapi::tbb::simple_partitioner());
  });
}

}  // namespace mva::host
