// The output target: checked before the run, written piece by piece after it, every
// write and the final flush checked, failures told with the system's reason.
#include "cli/output_target.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace mva::cli {

namespace fs = std::filesystem;

namespace {

// How often a pipe without a reader, or one whose reader does not take the
// output, is looked at again (and the interrupt polled).
constexpr int kPipePollMilliseconds = 50;

}  // namespace

std::optional<OutputTarget> OutputTarget::open_file(const std::string& path, const host::RunFiles& files,
                                                    const std::function<bool()>& interrupted, std::string& problem) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (const auto clash = files.clash(path)) {
    problem = "mva: --output " + path + ": this is " + *clash + "; name another file";
    return std::nullopt;
  }
  if (fs::is_directory(status)) {
    problem = "mva: --output " + path + ": is a folder; name a file";
    return std::nullopt;
  }
  OutputTarget target;
  target.path_ = path;
  target.interrupted_ = interrupted;
  if (fs::is_fifo(status)) {
    // Opening a pipe for writing waits for a reader; it is opened without
    // waiting and tried again, so that an interrupt ends the wait.
    for (;;) {
      target.pipe_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (target.pipe_ >= 0) return target;
      if (errno != ENXIO) {
        problem = "mva: --output " + path + ": " + std::strerror(errno);
        return std::nullopt;
      }
      if (interrupted && interrupted()) {
        problem = "mva: --output " + path + ": interrupted while waiting for a program to read the pipe";
        return std::nullopt;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(kPipePollMilliseconds));
    }
  }
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    // A device: written directly.
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
    : stream_(other.stream_),
      path_(std::move(other.path_)),
      temp_(std::move(other.temp_)),
      file_(other.file_),
      pipe_(other.pipe_),
      interrupted_(std::move(other.interrupted_)) {
  other.file_ = nullptr;
  other.pipe_ = -1;
  other.temp_.clear();
}

OutputTarget::~OutputTarget() {
  if (file_ != nullptr) std::fclose(file_);
  if (pipe_ >= 0) ::close(pipe_);
  if (!temp_.empty()) std::remove(temp_.c_str());
}

bool OutputTarget::write(std::string_view text, std::string& problem) {
  return append(text, problem) && finish(problem);
}

bool OutputTarget::fail(int error, std::string& problem) {
  problem = "mva: cannot write the output to " + path_ + ": " + std::strerror(error);
  failed_ = true;
  return false;
}

bool OutputTarget::append(std::string_view text, std::string& problem) {
  if (failed_) return false;
  if (stream_ != nullptr) {
    errno = 0;
    stream_->write(text.data(), static_cast<std::streamsize>(text.size()));
    if (*stream_) return true;
    problem = std::string("mva: cannot write the output to standard output: ") +
              (errno != 0 ? std::strerror(errno) : "write failed");
    failed_ = true;
    return false;
  }
  if (pipe_ >= 0) return append_pipe(text, problem);
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) return fail(errno, problem);
  return true;
}

bool OutputTarget::finish(std::string& problem) {
  if (failed_) return false;
  if (stream_ != nullptr) {
    errno = 0;
    stream_->flush();
    if (*stream_) return true;
    problem = std::string("mva: cannot write the output to standard output: ") +
              (errno != 0 ? std::strerror(errno) : "write failed");
    failed_ = true;
    return false;
  }
  if (pipe_ >= 0) {
    const int fd = pipe_;
    pipe_ = -1;
    if (::close(fd) != 0) return fail(errno, problem);
    return true;
  }
  const bool flushed = std::fflush(file_) == 0;
  int error = errno;
  const bool closed = std::fclose(file_) == 0;
  if (flushed && !closed) error = errno;
  file_ = nullptr;
  if (!flushed || !closed) return fail(error, problem);
  if (!temp_.empty()) {
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) return fail(errno, problem);
    temp_.clear();
  }
  return true;
}

bool OutputTarget::append_pipe(std::string_view text, std::string& problem) {
  const auto fail_with = [&](const std::string& reason) {
    problem = "mva: cannot write the output to " + path_ + ": " + reason;
    ::close(pipe_);
    pipe_ = -1;
    failed_ = true;
    return false;
  };
  while (!text.empty()) {
    const ssize_t n = ::write(pipe_, text.data(), text.size());
    if (n > 0) {
      text.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return fail_with(std::strerror(errno));
    // The reader has not taken what stands in the pipe yet.
    if (interrupted_ && interrupted_()) return fail_with("interrupted while the reader of the pipe did not read");
    pollfd wait{pipe_, POLLOUT, 0};
    ::poll(&wait, 1, kPipePollMilliseconds);
  }
  return true;
}

}  // namespace mva::cli
