#pragma once

#include <memory>
#include <optional>

#include "core/platform/accessibility.h"

namespace quillon {

class LogSink;
class X11Connection;
class X11WorkerConnection;

// The window under a point, from the X server. X11 has no per-process permission to
// observe other clients, so trust means a server that answers and offers what the
// gesture reads: XInput 2.2 raw events and XKB modifier state. There is no prompt to
// show; a request only says so in `log`, when one is given.
class X11Accessibility final : public Accessibility {
 public:
  explicit X11Accessibility(X11Connection& connection, LogSink* log = nullptr);

  // Accessibility:
  bool isTrusted(bool prompt) override;
  std::optional<AccessibilityHit> elementAtPoint(GlobalPoint quartzPoint, double messagingTimeoutSeconds) override;
  // Over `worker` (the capture's) once readOffMainThread was called.
  Task<std::optional<AccessibilityHit>> readElementAtPoint(GlobalPoint quartzPoint,
                                                           double messagingTimeoutSeconds) override;

  // From now on `readElementAtPoint` asks over `worker`, so a stalled server holds the
  // worker, not the main thread.
  void readOffMainThread(std::shared_ptr<X11WorkerConnection> worker) { worker_ = std::move(worker); }

 private:
  X11Connection& connection_;
  LogSink* log_;
  std::shared_ptr<X11WorkerConnection> worker_;
};

// The line a request for a permission logs on X11, where none has a prompt.
void logX11HasNoPermissionPrompt(LogSink* log);

}  // namespace quillon
