#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/bundle/validated_launch_application.h"
#include "core/async/launch_subscription.h"
#include "core/async/launch_task.h"
#include "core/support/url.h"

namespace quillon {

// What the quit-open-verify transition needs of the platform, over a running-
// application handle of the backend's choosing (`Application`, copyable):
//
//   isOwnTarget(target)        the bundle is this program
//   isOwnApplication(app)      the running application is this program
//   open(target)               launch the bundle; the launched application (a lazy
//                              task: it takes the target by value)
//   isTerminated(app), processIdentifier(app), bundleURL(app), executableURL(app)
//   requestTermination(app)    a normal quit request; false when refused
//   probe(app)                 signal 0: 0, or the errno it failed with
//   observeTermination(app, exited)
//                              `exited` on the main loop once the app has gone; an
//                              empty subscription when the platform cannot tell
template <class B>
concept LaunchLifecycleBackend = std::copy_constructible<typename B::Application> &&
    requires(B& backend, const typename B::Application& application, const ValidatedLaunchApplication& target) {
  { backend.isOwnTarget(target) } -> std::same_as<bool>;
  { backend.isOwnApplication(application) } -> std::same_as<bool>;
  { backend.open(target) } -> std::same_as<Task<typename B::Application>>;
  { backend.isTerminated(application) } -> std::same_as<bool>;
  { backend.processIdentifier(application) } -> std::same_as<std::int32_t>;
  { backend.bundleURL(application) } -> std::same_as<std::optional<Url>>;
  { backend.executableURL(application) } -> std::same_as<std::optional<Url>>;
  { backend.requestTermination(application) } -> std::same_as<bool>;
  { backend.probe(application) } -> std::same_as<int>;
  { backend.observeTermination(application, std::function<void()>()) } -> std::same_as<LaunchSubscription>;
};

}  // namespace quillon
