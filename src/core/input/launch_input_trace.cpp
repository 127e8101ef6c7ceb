#include "core/input/launch_input_trace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/async/clock.h"

namespace quillon {

LaunchInputTrace& LaunchInputTrace::shared() {
  static const SystemClock clock;
  static LaunchInputTrace trace(acceptedPath(std::getenv(environmentVariable)), clock);
  return trace;
}

std::optional<std::string> LaunchInputTrace::acceptedPath(const char* value) {
  if (value == nullptr) return std::nullopt;
  const std::string_view path(value);
  if (path.empty() || path.front() != '/' || path.size() > maximumPathBytes) return std::nullopt;
  if (path.find_first_of("\n\r") != std::string_view::npos) return std::nullopt;
  return std::string(path);
}

LaunchInputTrace::LaunchInputTrace(std::optional<std::string> path, const Clock& clock)
    : path_(std::move(path)), clock_(clock) {}

LaunchInputTrace::~LaunchInputTrace() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  if (fd_ >= 0) ::close(fd_);
}

void LaunchInputTrace::record(std::string_view message) {
  if (!path_) return;
  std::string text(message);
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, "%.6f ", clock_.uptime());
  std::string line = stamp + text + '\n';
  {
    std::lock_guard lock(mutex_);
    // Records beyond the limits would only be dropped by the writer: a writer that cannot
    // keep up must not make the queue grow without bound.
    if (refused_ || queuedLines_ >= maximumLines || queuedBytes_ + line.size() > maximumBytes) return;
    ++queuedLines_;
    queuedBytes_ += line.size();
    pending_.push_back(std::move(line));
    // The thread starts with the first record, so a process that never traces never has one.
    if (!worker_.joinable()) worker_ = std::thread([this] { run(); });
  }
  wake_.notify_one();
}

void LaunchInputTrace::flush() {
  std::unique_lock lock(mutex_);
  drained_.wait(lock, [this] { return pending_.empty() && !writing_; });
}

void LaunchInputTrace::reportRefusalTo(std::function<void(std::string_view)> receiver) {
  std::lock_guard lock(mutex_);
  refusalReceiver_ = std::move(receiver);
}

void LaunchInputTrace::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
    if (pending_.empty()) return;  // stopping, and everything recorded is written
    std::string line = std::move(pending_.front());
    pending_.pop_front();
    writing_ = true;
    lock.unlock();
    append(line);
    lock.lock();
    writing_ = false;
    if (pending_.empty()) drained_.notify_all();
  }
}

void LaunchInputTrace::refuse() {
  std::lock_guard lock(mutex_);
  if (std::exchange(refused_, true)) return;
  // Whatever is still queued is dropped with it.
  pending_.clear();
  if (refusalReceiver_) refusalReceiver_(refusedLine);
}

void LaunchInputTrace::append(const std::string& line) {
  if (linesWritten_ >= maximumLines || bytesWritten_ + line.size() > maximumBytes) return;
  if (fd_ < 0) {
    // An existing file at the limit is never reopened for appending; the check repeats for
    // each record because no handle is kept when it fails.
    const int fd = ::open(path_->c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    struct stat status {};
    const bool opened = fd >= 0 && ::fstat(fd, &status) == 0;
    // A link (ELOOP), a FIFO without a reader (ENXIO), a directory (EISDIR), or a file
    // that is not solely this user's: writing there would write somewhere unintended.
    if ((fd < 0 && (errno == ELOOP || errno == ENXIO || errno == EISDIR)) ||
        (opened && (!S_ISREG(status.st_mode) || status.st_uid != ::geteuid() || status.st_nlink != 1))) {
      if (fd >= 0) ::close(fd);
      refuse();
      return;
    }
    if (!opened || static_cast<std::size_t>(status.st_size) >= maximumBytes || ::lseek(fd, 0, SEEK_END) < 0) {
      if (fd >= 0) ::close(fd);
      return;
    }
    fd_ = fd;
  }
  std::size_t offset = 0;
  while (offset < line.size()) {
    const ssize_t written = ::write(fd_, line.data() + offset, line.size() - offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;  // write errors are ignored: tracing never disturbs input
    offset += static_cast<std::size_t>(written);
  }
  bytesWritten_ += line.size();
  ++linesWritten_;
}

}  // namespace quillon
