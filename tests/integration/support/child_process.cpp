#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <stdexcept>

extern char** environ;

namespace quillon {

namespace {
double monotonicSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

enum class Read { data, end, timeout };

// Appends up to `most` bytes from `fd` to `text`, waiting until the deadline.
Read readSome(int fd, double deadline, std::string& text, std::size_t most = 512) {
  while (true) {
    const double left = deadline - monotonicSeconds();
    pollfd entry{fd, POLLIN, 0};
    const int ready = left <= 0 ? 0 : ::poll(&entry, 1, static_cast<int>(std::ceil(left * 1000)));
    if (ready == 0) return Read::timeout;
    char buffer[512];
    const ssize_t n = ready < 0 ? -1 : ::read(fd, buffer, std::min(sizeof buffer, most));
    if (n < 0 && errno == EINTR) continue;  // from poll or read
    if (n <= 0) return Read::end;
    text.append(buffer, static_cast<std::size_t>(n));
    return Read::data;
  }
}
}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                           bool outputIntoError) {
  int output[2];
  int error[2];
  if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(error, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  output_.reset(output[0]);
  error_.reset(error[0]);
  UniqueFd outputWrite(output[1]);
  UniqueFd errorWrite(error[1]);

  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    variables[text.substr(0, text.find('='))] = text;
  }
  for (const auto& text : environment) variables[text.substr(0, text.find('='))] = text;
  std::vector<char*> envp;
  for (auto& [name, text] : variables) envp.push_back(text.data());
  envp.push_back(nullptr);
  std::vector<std::string> argumentCopies = arguments;
  std::vector<char*> argv;
  for (auto& argument : argumentCopies) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, outputIntoError ? errorWrite.get() : outputWrite.get(), STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, errorWrite.get(), STDERR_FILENO);
  const int failed = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
  ::posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error(std::string("posix_spawn failed: ") + std::strerror(failed));
}

ChildProcess::~ChildProcess() {
  if (!reaped_) killAndWait(SIGKILL);
}

bool ChildProcess::readOutput(std::size_t count, double timeoutSeconds) {
  const double deadline = monotonicSeconds() + timeoutSeconds;
  std::string read;
  while (read.size() < count) {
    if (readSome(output_.get(), deadline, read, count - read.size()) != Read::data) return false;
  }
  return true;
}

bool ChildProcess::waitForErrorLine(const std::string& line, double timeoutSeconds) {
  return waitForErrorLineWhere([&](std::string_view candidate) { return candidate == line; }, timeoutSeconds, 0)
      .has_value();
}

std::optional<std::string> ChildProcess::waitForErrorLineStartingWith(const std::string& prefix, double timeoutSeconds,
                                                                      std::size_t from) {
  return waitForErrorLineWhere([&](std::string_view candidate) { return candidate.starts_with(prefix); },
                               timeoutSeconds, from);
}

std::optional<std::string> ChildProcess::waitForErrorLineWhere(const std::function<bool(std::string_view)>& accept,
                                                               double timeoutSeconds, std::size_t from) {
  const double deadline = monotonicSeconds() + timeoutSeconds;
  std::size_t searched = from == 0 ? 0 : errorText_.rfind('\n', from - 1) + 1;  // npos + 1 is the start
  while (true) {
    // Complete lines only: a line that is still being written is not yet there.
    for (auto end = errorText_.find('\n', searched); end != std::string::npos; end = errorText_.find('\n', searched)) {
      if (accept(std::string_view(errorText_).substr(searched, end - searched))) {
        return errorText_.substr(searched, end - searched);
      }
      searched = end + 1;
    }
    if (readSome(error_.get(), deadline, errorText_) != Read::data) return std::nullopt;
  }
}

bool ChildProcess::isRunning() {
  if (!reaped_ && ::waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

void ChildProcess::reap() {
  while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
}

int ChildProcess::killAndWait(int signal) {
  if (reaped_) return status_;
  ::kill(pid_, signal);
  reap();
  return status_;
}

std::optional<int> ChildProcess::waitForExit(double timeoutSeconds) {
  // The child's standard error reaches end of file when it exits, so waiting for that
  // is waiting for the exit without polling waitpid against the clock.
  const double deadline = monotonicSeconds() + timeoutSeconds;
  for (Read read = Read::data; !reaped_ && read != Read::end; read = readSome(error_.get(), deadline, errorText_)) {
    if (read == Read::timeout) return std::nullopt;
  }
  if (!reaped_) reap();
  return status_;
}

}  // namespace quillon
