#include "core/product/launch_instance_requests.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace quillon {

namespace {

std::string pipePath(const Url& dataDirectory) {
  std::string path = dataDirectory.path();
  if (path.empty() || path.back() != '/') path += '/';
  return path + LaunchInstanceRequests::pipeName;
}

// Opens the pipe at `path` only if it is one of ours: a FIFO of this user, reached
// without following a link.
UniqueFd openPipe(const std::string& path, int flags) {
  UniqueFd fd(::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return fd;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISFIFO(info.st_mode) || info.st_uid != ::getuid()) return UniqueFd();
  return fd;
}

}  // namespace

std::optional<LaunchInstanceRequest> LaunchInstanceRequests::parse(std::string_view line) {
  if (line == "settings") return LaunchInstanceRequest::showSettings;
  if (line == "onboarding") return LaunchInstanceRequest::showOnboarding;
  return std::nullopt;
}

std::unique_ptr<LaunchInstanceRequests> LaunchInstanceRequests::listen(
    const Url& dataDirectory, MainLoop& loop, std::function<void(LaunchInstanceRequest)> handler) {
  const std::string path = pipePath(dataDirectory);
  if (::mkfifo(path.c_str(), 0600) != 0 && errno != EEXIST) return nullptr;
  UniqueFd reader = openPipe(path, O_RDONLY);
  if (!reader) return nullptr;
  UniqueFd keeper = openPipe(path, O_WRONLY);
  if (!keeper || ::fchmod(reader.get(), 0600) != 0) return nullptr;
  return std::unique_ptr<LaunchInstanceRequests>(
      new LaunchInstanceRequests(loop, std::move(reader), std::move(keeper), std::move(handler)));
}

bool LaunchInstanceRequests::send(const Url& dataDirectory, LaunchInstanceRequest request) {
  // Without a reader the open fails (ENXIO) rather than waiting for one.
  const UniqueFd writer = openPipe(pipePath(dataDirectory), O_WRONLY);
  if (!writer) return false;
  const std::string_view line = request == LaunchInstanceRequest::showSettings ? "settings\n" : "onboarding\n";
  return ::write(writer.get(), line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

LaunchInstanceRequests::LaunchInstanceRequests(MainLoop& loop, UniqueFd reader, UniqueFd keeper,
                                               std::function<void(LaunchInstanceRequest)> handler)
    : loop_(loop), reader_(std::move(reader)), keeper_(std::move(keeper)), handler_(std::move(handler)) {
  watch_ = loop_.watchReadable(reader_.get(), [this] { readRequests(); });
}

LaunchInstanceRequests::~LaunchInstanceRequests() { loop_.unwatch(watch_); }

void LaunchInstanceRequests::readRequests() {
  char buffer[256];
  ssize_t count;
  while ((count = ::read(reader_.get(), buffer, sizeof buffer)) > 0)
    pending_.append(buffer, static_cast<std::size_t>(count));
  // Lines only: a partial one waits for its end, and a flood is dropped, not kept.
  if (pending_.size() > 4096) pending_.clear();
  for (auto end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
    const std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (const auto request = parse(line); request && handler_) handler_(*request);
  }
}

}  // namespace quillon
