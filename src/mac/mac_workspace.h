#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/platform/workspace.h"

namespace quillon {

class MainLoop;

// NSWorkspace: its running applications, opening bundles, icons, the reduce-motion
// setting and URLs. Each running application is an NSRunningApplication; its exit is
// observed through the workspace's termination notification, so a quit wait ends at
// the exit rather than at the next poll.
class MacWorkspace final : public Workspace {
 public:
  // `loop` must outlive the workspace and every handle it gives out.
  explicit MacWorkspace(MainLoop& loop) : loop_(loop) {}

  // Workspace:
  // The workspace's list of the user's applications (those with a bundle or a
  // connection to the window server, as NSWorkspace counts them).
  Task<std::vector<ApplicationHandle>> runningApplications() override;
  // Through the workspace's open call; a failure carries the POSIX code behind it, or
  // EIO when the system named none.
  void openApplication(const std::string& bundlePath, OpenCompletion completion) override;
  std::optional<Bitmap> iconForBundle(const std::string& bundlePath, int pixelSize) const override;
  bool prefersReducedMotion() const override;
  bool openUrl(const Url& url) override;

 private:
  MainLoop& loop_;
};

}  // namespace quillon
