// Progress on a terminal: a single line rewritten in place, throttled so
// that a fast loop does not spend its time writing to the terminal.
#include "host/services/progress.h"

#include <unistd.h>

#include <cstdio>

namespace mva::host {

namespace {
constexpr auto kInterval = std::chrono::milliseconds(200);
}

Progress::Progress(bool enabled) : enabled_(enabled && isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() { clear(); }

void Progress::show(std::string_view label, std::int64_t count) {
  if (!enabled_) return;
  if (count < 0) {
    clear();
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && now - last_ < kInterval) return;
  last_ = now;
  shown_ = true;
  std::fprintf(stderr, "\r%.*s %lld\x1b[K", static_cast<int>(label.size()), label.data(),
               static_cast<long long>(count));
  std::fflush(stderr);
}

void Progress::clear() {
  if (!shown_) return;
  std::fprintf(stderr, "\r\x1b[K");
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace mva::host
