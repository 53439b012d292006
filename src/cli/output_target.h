// Where the program's output goes: standard output, or the file --output
// names. The file is checked before any command runs (it must not be a file
// the run reads, and its folder must take a new file); the output is written
// under a temporary name beside it and renamed into place once every byte is
// written, so a failed write never leaves a half-written file. A device named
// by --output is written directly; so is a pipe, once a program opens it for
// reading. Waiting for that reader, or for it to take the output, ends at a
// user interrupt.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/services/run_files.h"

namespace mva::cli {

class OutputTarget {
 public:
  // Standard output, through `out`.
  explicit OutputTarget(std::ostream& out) : stream_(&out) {}
  // The file `path`; nullopt with `problem` ("mva: --output ...: reason")
  // when it is one of the files the run reads (`files`) or cannot be
  // written, or when `interrupted` turns true while a pipe waits for its
  // reader.
  static std::optional<OutputTarget> open_file(const std::string& path, const host::RunFiles& files,
                                               const std::function<bool()>& interrupted, std::string& problem);

  OutputTarget(OutputTarget&&) noexcept;
  OutputTarget& operator=(OutputTarget&&) = delete;
  ~OutputTarget();  // removes a temporary file not put in place

  // Writes the whole output and finishes it (flush, close, rename); false
  // with `problem` ("mva: cannot write ...: reason") on any failure.
  bool write(std::string_view text, std::string& problem);
  // Writes the next piece of the output; false with `problem` on a failure,
  // after which nothing more is written.
  bool append(std::string_view text, std::string& problem);
  // Finishes the output written by append(): flush, close, rename.
  bool finish(std::string& problem);

 private:
  OutputTarget() = default;
  bool append_pipe(std::string_view text, std::string& problem);
  bool fail(int error, std::string& problem);

  std::ostream* stream_ = nullptr;  // standard output, or null for a file
  std::string path_;                // the file --output names
  std::string temp_;                // the temporary file beside it; empty when writing directly
  std::FILE* file_ = nullptr;
  int pipe_ = -1;  // a pipe, written without blocking
  std::function<bool()> interrupted_;
  bool failed_ = false;
};

}  // namespace mva::cli
