#include "linux/detached_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/platform/workspace.h"
#include "linux/linux_pidfd.h"

extern char** environ;

namespace quillon {

namespace {

// The intermediate child hands the pidfd of the process it started to us over a
// socket; only it can open one without a race, since the process cannot be reaped (and
// its identifier reused) before its parent, the intermediate, exits.
struct Handoff {
  pid_t pid;
  int error;
};

[[noreturn]] void reportAndExit(int fd, int error) {
  [[maybe_unused]] auto written = ::write(fd, &error, sizeof error);
  ::_exit(127);
}

// Runs in the grandchild, between fork and exec: async-signal-safe calls only, since
// the fork may have come from any thread of a multi-threaded program.
[[noreturn]] void execDetached(const char* path, char* const* argv, int statusFd) {
  if (::setsid() < 0) reportAndExit(statusFd, errno);
  // Signal dispositions set to "ignore" and the blocked mask survive exec; a launched
  // app must not inherit ours (Quillon blocks SIGTERM to read it from a descriptor).
  for (int signal = 1; signal < NSIG; ++signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigaction(signal, &action, nullptr);  // fails harmlessly for SIGKILL, SIGSTOP
  }
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  const int null = ::open("/dev/null", O_RDWR);
  if (null < 0) reportAndExit(statusFd, errno);
  for (int fd = 0; fd < 3; ++fd) {
    if (::dup2(null, fd) < 0) reportAndExit(statusFd, errno);
  }
  // Descriptors opened without close-on-exec (the instance lock among them) must not
  // leak into a program that outlives us. The status pipe is close-on-exec already.
  if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) reportAndExit(statusFd, errno);
  if (::chdir("/") != 0) reportAndExit(statusFd, errno);
  ::execve(path, argv, environ);
  reportAndExit(statusFd, errno);
}

void sendHandoff(int socket, Handoff handoff, int pidfd) {
  iovec data{&handoff, sizeof handoff};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  if (pidfd >= 0) {
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &pidfd, sizeof(int));
  }
  [[maybe_unused]] auto sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
}

// Receives what the intermediate sent; an empty handoff means it died first.
Handoff receiveHandoff(int socket, UniqueFd& pidfd) {
  Handoff handoff{0, EIO};
  iovec data{&handoff, sizeof handoff};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t got;
  do {
    got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
  } while (got < 0 && errno == EINTR);
  if (got != static_cast<ssize_t>(sizeof handoff)) return {0, got < 0 ? errno : EIO};
  for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS) {
      int fd = -1;
      std::memcpy(&fd, CMSG_DATA(header), sizeof(int));
      pidfd.reset(fd);
    }
  }
  return handoff;
}

}  // namespace

DetachedProcess spawnDetachedProcess(const std::string& executablePath, const std::vector<std::string>& arguments) {
  // Everything the children need is prepared here: they must not allocate.
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  int status[2];
  if (::pipe2(status, O_CLOEXEC) != 0) throw LaunchOpenApplicationError::of(errno);
  UniqueFd statusRead(status[0]);
  UniqueFd statusWrite(status[1]);
  int sockets[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sockets) != 0)
    throw LaunchOpenApplicationError::of(errno);
  UniqueFd handoffRead(sockets[0]);
  UniqueFd handoffWrite(sockets[1]);

  const pid_t intermediate = ::fork();
  if (intermediate < 0) throw LaunchOpenApplicationError::of(errno);
  if (intermediate == 0) {
    const pid_t child = ::fork();
    if (child == 0) execDetached(executablePath.c_str(), argv.data(), statusWrite.get());
    if (child < 0) {
      sendHandoff(handoffWrite.get(), {0, errno}, -1);
      ::_exit(1);
    }
    const int pidfd = pidfdOpen(child);
    const int error = pidfd < 0 ? errno : 0;
    // Without a pidfd the launch is reported as failed, so nothing may run on.
    if (pidfd < 0) ::kill(child, SIGKILL);
    sendHandoff(handoffWrite.get(), {child, error}, pidfd);
    ::_exit(0);
  }

  statusWrite.reset();
  handoffWrite.reset();
  DetachedProcess process;
  const Handoff handoff = receiveHandoff(handoffRead.get(), process.pidfd);
  while (::waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
  }
  if (handoff.error != 0) throw LaunchOpenApplicationError::of(handoff.error);
  if (!process.pidfd) throw LaunchOpenApplicationError::of(EIO);
  process.pid = handoff.pid;

  // The status pipe closes on a successful exec; before that, the child writes errno.
  int execError = 0;
  ssize_t got;
  do {
    got = ::read(statusRead.get(), &execError, sizeof execError);
  } while (got < 0 && errno == EINTR);
  if (got == static_cast<ssize_t>(sizeof execError)) throw LaunchOpenApplicationError::of(execError);
  if (got != 0) throw LaunchOpenApplicationError::of(got < 0 ? errno : EIO);
  return process;
}

}  // namespace quillon
