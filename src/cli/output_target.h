// Where the program's output goes: standard output, or the file --output
// names. The file is checked before any command runs (it must not be one of
// the input files, and its folder must take a new file); the output is
// written under a temporary name beside it and renamed into place once every
// byte is written, so a failed write never leaves a half-written file. A
// device or pipe named by --output is written directly.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace mva::cli {

class OutputTarget {
 public:
  // Standard output, through `out`.
  explicit OutputTarget(std::ostream& out) : stream_(&out) {}
  // The file `path`; nullopt with `problem` ("mva: --output ...: reason")
  // when it names one of `inputs` or cannot be written.
  static std::optional<OutputTarget> open_file(const std::string& path, const std::vector<std::string>& inputs,
                                               std::string& problem);

  OutputTarget(OutputTarget&&) noexcept;
  OutputTarget& operator=(OutputTarget&&) = delete;
  ~OutputTarget();  // removes a temporary file not put in place

  // Writes the whole output and finishes it (flush, close, rename); false
  // with `problem` ("mva: cannot write ...: reason") on any failure.
  bool write(std::string_view text, std::string& problem);

 private:
  OutputTarget() = default;

  std::ostream* stream_ = nullptr;  // standard output, or null for a file
  std::string path_;                // the file --output names
  std::string temp_;                // the temporary file beside it; empty when writing directly
  std::FILE* file_ = nullptr;
};

}  // namespace mva::cli
