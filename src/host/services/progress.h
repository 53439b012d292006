// Progress shown while the procedure works: cases read and EM iterations, as
// one line on standard error updated in place, at most a few times a second,
// and cleared at the end. Nothing is shown unless standard error is a
// terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace mva::host {

class Progress {
 public:
  explicit Progress(bool enabled);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Shows "label count"; a negative count clears the line.
  void show(std::string_view label, std::int64_t count);

 private:
  void clear();

  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace mva::host
