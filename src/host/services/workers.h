// The threads a run may use: a oneTBB arena of a fixed number of workers,
// and a loop that spreads the items of a job over them. Whatever is split
// across workers is cut by the data alone and put together in a fixed order
// by the caller, so the number of workers never changes a result.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_arena.h>

namespace mva::host {

class Workers {
 public:
  // `threads` workers; 0 takes the machine's cores.
  explicit Workers(int threads = 0);

  int count() const { return count_; }

  // Calls body(i) for every i in [0, n), in any order and on any worker,
  // and returns once every call has returned. An exception thrown by a
  // call is thrown here (calls not yet started are then skipped).
  void for_each(std::size_t n, const std::function<void(std::size_t)>& body);

  // The machine's cores, as --threads takes them by default.
  static int cores();

  // The workers of `threads` threads (0: the cores) that some holder keeps
  // alive, or new ones. The load of a data set and the host that analyses
  // it take theirs here, so that both run on one arena: a new arena gets
  // the threads that worked in another only a while (a tenth of a second
  // and more) after that one is done, and the first passes after the load
  // would run on the calling thread alone until then.
  static std::shared_ptr<Workers> shared(int threads);

 private:
  int count_;
  // More workers than cores: oneTBB's own limit is the cores, and it would
  // print a warning on each loop and not use the rest; this lifts it while
  // the workers live.
  std::optional<oneapi::tbb::global_control> above_cores_;
  oneapi::tbb::task_arena arena_;
};

}  // namespace mva::host
