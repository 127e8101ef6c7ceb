#include "sample_app_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace quillon {

SampleAppProcess::SampleAppProcess(const std::string& bundleName, std::vector<std::string> extraArguments) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const std::string executable =
      std::string(QUILLON_BINARY_DIR) + "/sample-apps/" + bundleName + ".app/Contents/MacOS/" + bundleName;
  std::vector<std::string> arguments{executable, "--announce"};
  arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    ::execv(executable.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  out_ = fds[0];
  if (pid_ < 0) throw std::runtime_error("fork failed");
  pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
  if (pidFd_ < 0) throw std::runtime_error("pidfd_open failed");
}

SampleAppProcess::~SampleAppProcess() {
  if (pid_ > 0) terminate();
  if (out_ >= 0) ::close(out_);
  if (pidFd_ >= 0) ::close(pidFd_);
}

std::string SampleAppProcess::nextLine(double deadlineSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadlineSeconds);
  for (;;) {
    if (auto newline = buffer_.find('\n'); newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      return line;
    }
    const double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return {};
    pollfd fd{out_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(std::ceil(left * 1000))) <= 0) continue;
    char chunk[256];
    const ssize_t count = ::read(out_, chunk, sizeof chunk);
    if (count <= 0) return {};  // the app closed its output: it is gone
    buffer_.append(chunk, static_cast<std::size_t>(count));
  }
}

bool SampleAppProcess::waitFor(const std::string& line, double deadlineSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadlineSeconds);
  for (std::string next = nextLine(deadlineSeconds); !next.empty();
       next = nextLine(std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count())) {
    if (next == line) return true;
  }
  return false;
}

bool SampleAppProcess::waitUntilMapped(double deadlineSeconds) {
  const std::string line = nextLine(deadlineSeconds);
  const std::string prefix = "mapped window=";
  if (line.rfind(prefix, 0) != 0) return false;
  window_ = static_cast<std::uint32_t>(std::stoul(line.substr(prefix.size())));
  return true;
}

int SampleAppProcess::terminate(double deadlineSeconds) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  pollfd fd{pidFd_, POLLIN, 0};
  const bool exited = ::poll(&fd, 1, static_cast<int>(std::ceil(deadlineSeconds * 1000))) > 0;
  if (!exited) ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(std::exchange(pid_, -1), &status, 0);
  if (!exited) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace quillon
