#pragma once

#include <string>
#include <vector>

#include "core/platform/launch_workspace.h"

namespace quillon {

class LaunchMainLoop;

// The workspace on Linux: running applications from the process table, launching
// bundles as detached processes, quitting them with SIGTERM, all through pidfds.
class ProcessWorkspace final : public LaunchWorkspace {
 public:
  explicit ProcessWorkspace(LaunchMainLoop& loop);

  // LaunchWorkspace:
  // Processes of this user that run an executable (kernel threads and zombies are
  // left out), whether or not Quillon started them.
  Task<std::vector<LaunchApplicationHandle>> runningApplications() override;
  // Starts the bundle's executable off the main thread; the completion comes back on it.
  void openApplication(const std::string& bundlePath, OpenCompletion completion) override;
  // Bundle icons, the reduce-motion setting and URL opening have no Linux source yet.
  std::optional<Bitmap> iconForBundle(const std::string& bundlePath, int pixelSize) const override;
  bool prefersReducedMotion() const override;
  bool openUrl(const Url& url) override;

  // The blocking part of `openApplication`: throws LaunchOpenApplicationError.
  static LaunchApplicationHandle launch(const std::string& bundlePath);
  // The blocking part of `runningApplications`: throws LaunchRunningApplicationsError.
  static std::vector<LaunchApplicationHandle> scanRunningApplications();

 private:
  LaunchMainLoop& loop_;
};

}  // namespace quillon
