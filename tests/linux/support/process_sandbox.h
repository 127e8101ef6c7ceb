#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "core/async/clock.h"
#include "core/async/poll_main_loop.h"
#include "core/platform/workspace.h"
#include "core/support/unique_fd.h"
#include "support/temporary_directory.h"

namespace quillon {

// Sample .app bundles around the sample app in a temporary directory, and a guarantee
// that no process started from them outlives the test: this test process becomes the
// subreaper of everything it launches (detached launches are re-parented to it rather
// than to init), and the destructor kills and reaps whatever still runs from the
// sandbox.
class ProcessSandbox {
 public:
  ProcessSandbox();
  ~ProcessSandbox();
  ProcessSandbox(const ProcessSandbox&) = delete;
  ProcessSandbox& operator=(const ProcessSandbox&) = delete;

  // Writes <root>/<name>.app with the sample app as its executable, `behaviour` in its
  // Info.plist ("exitOnTerm", "exitOnTermAfter", "ignoreTerm", "exitAtOnce").
  std::filesystem::path makeApp(const std::string& name, const std::string& behaviour,
                                const std::string& identifier = "") const;
  std::filesystem::path path(const std::string& relative) const { return root_.path() / relative; }

  SystemClock clock;
  PollMainLoop loop{clock};

  // Runs the loop until `done` holds, checking at least every 2 ms; false after
  // `timeoutSeconds`.
  bool waitFor(const std::function<bool()>& done, double timeoutSeconds = 10.0);
  // Waits until the process has set up its SIGTERM disposition, so a quit request meets
  // the behaviour the test chose rather than the default action.
  bool waitUntilReady(pid_t pid, double timeoutSeconds = 10.0);

 private:
  TemporaryDirectory root_;
};

// Where the symbolic link at `path` points; empty when it cannot be read.
std::string linkTarget(const std::filesystem::path& path);
// The text of /proc/<pid>/status; empty once the process is reaped.
std::string processStatus(pid_t pid);
// Whether a process with this identifier still exists (a zombie counts as gone).
bool processRuns(pid_t pid);

}  // namespace quillon
