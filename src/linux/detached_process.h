#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "core/support/unique_fd.h"

namespace quillon {

// A process started on its own: not a child of this program, in a session of its own,
// with standard streams on /dev/null, default signal handling and an empty signal mask,
// no inherited descriptors, and "/" as its working directory. It outlives this program
// and is never a zombie of ours.
struct DetachedProcess {
  pid_t pid = 0;
  // Refers to exactly this process, even after it exits and its identifier is reused.
  UniqueFd pidfd;
};

// Starts `executablePath` with `arguments` as argv (argv[0] included) and this
// program's environment. Returns once the new process runs the executable, so its
// /proc entry already shows it. Throws LaunchOpenApplicationError with the errno of the
// failing step (the exec's own errno when the executable cannot be run).
DetachedProcess spawnDetachedProcess(const std::string& executablePath, const std::vector<std::string>& arguments);

}  // namespace quillon
