// The output target: checked before the run, written in full after it, every
// write and the final flush checked, failures told with the system's reason.
#include "cli/output_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace mva::cli {

namespace fs = std::filesystem;

std::optional<OutputTarget> OutputTarget::open_file(const std::string& path, const std::vector<std::string>& inputs,
                                                    std::string& problem) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::exists(status)) {
    for (const std::string& input : inputs) {
      if (!input.empty() && fs::equivalent(path, input, ec)) {
        problem = "mva: --output " + path + ": this is the input file " + input + "; name another file";
        return std::nullopt;
      }
    }
    if (fs::is_directory(status)) {
      problem = "mva: --output " + path + ": is a folder; name a file";
      return std::nullopt;
    }
  }
  OutputTarget target;
  target.path_ = path;
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    // A device or a pipe: written directly.
    target.file_ = std::fopen(path.c_str(), "wb");
    if (target.file_ == nullptr) {
      problem = "mva: --output " + path + ": " + std::strerror(errno);
      return std::nullopt;
    }
    return target;
  }
  std::string temp = path + ".tmpXXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    problem = "mva: --output " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  target.temp_ = temp;
  target.file_ = fdopen(fd, "wb");
  if (target.file_ == nullptr) {
    problem = "mva: --output " + path + ": " + std::strerror(errno);
    close(fd);
    std::remove(temp.c_str());
    return std::nullopt;
  }
  return target;
}

OutputTarget::OutputTarget(OutputTarget&& other) noexcept
    : stream_(other.stream_), path_(std::move(other.path_)), temp_(std::move(other.temp_)), file_(other.file_) {
  other.file_ = nullptr;
  other.temp_.clear();
}

OutputTarget::~OutputTarget() {
  if (file_ != nullptr) std::fclose(file_);
  if (!temp_.empty()) std::remove(temp_.c_str());
}

bool OutputTarget::write(std::string_view text, std::string& problem) {
  if (stream_ != nullptr) {
    errno = 0;
    stream_->write(text.data(), static_cast<std::streamsize>(text.size()));
    stream_->flush();
    if (*stream_) return true;
    problem = std::string("mva: cannot write the output to standard output: ") +
              (errno != 0 ? std::strerror(errno) : "write failed");
    return false;
  }
  const auto fail = [&](int error) {
    problem = "mva: cannot write the output to " + path_ + ": " + std::strerror(error);
    return false;
  };
  const bool written = std::fwrite(text.data(), 1, text.size(), file_) == text.size();
  int error = errno;
  const bool flushed = written && std::fflush(file_) == 0;
  if (written && !flushed) error = errno;
  const bool closed = std::fclose(file_) == 0;
  if (written && flushed && !closed) error = errno;
  file_ = nullptr;
  if (!written || !flushed || !closed) return fail(error);
  if (!temp_.empty()) {
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) return fail(errno);
    temp_.clear();
  }
  return true;
}

}  // namespace mva::cli
