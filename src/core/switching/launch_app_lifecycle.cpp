#include "core/switching/launch_app_lifecycle.h"

namespace quillon {

LaunchAppLifecycle::LaunchAppLifecycle(LaunchWorkspace& workspace, LaunchMainLoop& loop, LaunchOwnApplication own,
                                       std::int32_t ownProcessIdentifier, double quitLimit)
    : transition_(WorkspaceLaunchLifecycleBackend(workspace, loop, std::move(own), ownProcessIdentifier), loop,
                  quitLimit) {}

Task<LaunchLifecycleResult> LaunchAppLifecycle::switchApplication(LaunchApplicationHandle source, Url url) {
  std::optional<LaunchApplicationHandle> from;
  if (source) from = std::move(source);
  auto performing = transition_.perform(std::move(from), std::move(url));
  auto outcome = co_await std::move(performing);
  co_return LaunchLifecycleResult{std::move(outcome.application), outcome.timings, outcome.wasAlreadySelected};
}

Task<void> LaunchAppLifecycle::quitApplication(LaunchApplicationHandle application) {
  co_await transition_.quit(std::move(application));
}

}  // namespace quillon
