#pragma once

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <csignal>

namespace quillon {

// pidfd system calls. WORKAROUND(glibc 2.36): <sys/pidfd.h> declares the wrappers
// without C linkage, so C++ callers fail to link; the raw calls are stable kernel ABI
// (pidfd_open since Linux 5.3, pidfd_send_signal since 5.1).
inline int pidfdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0U)); }

// 0 on success, -1 with errno otherwise (ESRCH once the process has exited).
inline int pidfdSendSignal(int pidfd, int signal) {
  return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0U));
}

}  // namespace quillon
