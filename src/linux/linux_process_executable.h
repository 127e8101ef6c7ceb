#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace quillon {

// The kernel's view of a process's executable (/proc/<pid>/exe): absolute and with links
// resolved, so it survives a rename of the bundle while the process runs. A file deleted
// or replaced since the start reads as "<path> (deleted)"; the suffix is dropped, since
// the process still runs what was installed at that path. None for a process that is
// gone, a kernel thread, or one this user may not inspect.
std::optional<std::string> processExecutablePath(pid_t pid);

}  // namespace quillon
