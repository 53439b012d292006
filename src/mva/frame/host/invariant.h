// Invariants that execute. MVA_ASSERT states at the head of a routine what it
// assumes of its arguments (sizes, orders, sums), and the workspace views use
// it to check every index. In the checked build (MVA_CHECKED, see
// CMakeLists.txt) a broken invariant stops the program at once with the
// condition and where it is written: it is a fault of the program, not of the
// user's input, which the readers have already refused with a message. In
// every other build the condition is not evaluated and costs nothing.
#pragma once

#if defined(MVA_CHECKED)

#include <cstdio>
#include <cstdlib>

namespace mva {

// Reports the broken condition on standard error and aborts.
[[noreturn]] inline void invariant_broken(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::abort();
}

}  // namespace mva

#define MVA_ASSERT(condition) \
  ((condition) ? static_cast<void>(0) : ::mva::invariant_broken(#condition, __FILE__, __LINE__))

#else

// Not evaluated: the names in the condition count as used, so that a value
// kept only for a check gives no warning.
#define MVA_ASSERT(condition) static_cast<void>(sizeof((condition) ? 1 : 0))

#endif
