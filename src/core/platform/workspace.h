#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/async/subscription.h"
#include "core/async/task.h"
#include "core/localization/localized_text.h"
#include "core/support/bitmap.h"
#include "core/support/error.h"
#include "core/support/result.h"
#include "core/support/url.h"

namespace quillon {

// One running application, as the workspace saw it when it made the handle. The
// identity (process identifier, bundle and executable paths, bundle identifier) is a
// snapshot; `isTerminated`, `requestTermination` and `probe` always act on the very
// process the handle was made for, never on a later process that got the same
// identifier.
class RunningApplication {
 public:
  RunningApplication() = default;
  RunningApplication(const RunningApplication&) = delete;
  RunningApplication& operator=(const RunningApplication&) = delete;
  virtual ~RunningApplication() = default;

  virtual std::int32_t processIdentifier() const = 0;
  // The application bundle the process runs from ("/Applications/Notch.app"); none for
  // a process that is not inside an application bundle.
  virtual std::optional<std::string> bundlePath() const = 0;
  virtual std::optional<std::string> executablePath() const = 0;
  virtual std::optional<std::string> bundleIdentifier() const = 0;

  virtual bool isTerminated() const = 0;
  // Asks the application to quit normally, as a user would: a request it may handle or
  // ignore, never a forced kill. False when the request was refused (the application
  // may not be asked); one that has already gone counts as having accepted.
  virtual bool requestTermination() = 0;
  // Sends signal 0 to the process: 0 when it could be signalled, otherwise the errno
  // (ESRCH once the process is gone, EPERM when it belongs to someone else).
  virtual int probe() const = 0;
  // Calls `exited` once on `loop` when the process has exited (soon after, when it
  // already has), while the subscription lives. An empty subscription when the platform
  // cannot tell for this process; the caller then polls `isTerminated`.
  virtual Subscription observeTermination(MainLoop& loop, std::function<void()> exited) = 0;
};

using ApplicationHandle = std::shared_ptr<RunningApplication>;

// Opening an application failed on the platform's side: the one code of its domain,
// made into an error with the errno of the failing step.
struct LaunchOpenApplicationError {
  enum class Code { openFailed };
  static Error of(int errnoValue);
};

constexpr ErrorDomain launchErrorDomain(LaunchOpenApplicationError::Code) { return ErrorDomain::openApplication; }
// "アプリを起動できませんでした（<the errno's text>）" in the user's language.
std::string launchErrorText(LaunchOpenApplicationError::Code code, const Error& error);

inline Error LaunchOpenApplicationError::of(int errnoValue) { return Error(Code::openFailed, errnoValue); }

// The running applications could not all be read (errno of the failing step: EMFILE or
// ENFILE once descriptors ran out). A shorter list would make running apps look quit,
// so none is given. For the log.
struct LaunchRunningApplicationsError {
  enum class Code { unavailable };
  static Error unavailable(int errnoValue);
};

constexpr ErrorDomain launchErrorDomain(LaunchRunningApplicationsError::Code) {
  return ErrorDomain::runningApplications;
}
// "running applications unavailable: <the errno's text>", for the log.
std::string launchErrorText(LaunchRunningApplicationsError::Code code, const Error& error);

inline Error LaunchRunningApplicationsError::unavailable(int errnoValue) {
  return Error(Code::unavailable, errnoValue);
}

// Running applications, launching them, and the few other desktop services the
// program asks the system for.
class Workspace {
 public:
  using OpenCompletion = std::function<void(Result<ApplicationHandle>)>;

  Workspace() = default;
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;
  virtual ~Workspace() = default;

  // Every running application of the user, including those started outside Quillon.
  // Reading them takes tens of milliseconds, so it happens off the main thread; the
  // task resumes on it. Throws a LaunchRunningApplicationsError instead of giving a
  // partial list.
  virtual Task<std::vector<ApplicationHandle>> runningApplications() = 0;

  // Launches the application bundle at `bundlePath` as a process of its own, not
  // activated and not hidden, never substituting an instance that already runs, and
  // not tied to this program's lifetime. `completion` runs on the main thread with the
  // launched application or an open error (`LaunchOpenApplicationError`).
  virtual void openApplication(const std::string& bundlePath, OpenCompletion completion) = 0;

  // The bundle's icon at about `pixelSize` pixels; none when it has no readable icon.
  virtual std::optional<Bitmap> iconForBundle(const std::string& bundlePath, int pixelSize) const = 0;
  // The user asked the system to reduce motion.
  virtual bool prefersReducedMotion() const = 0;
  // Opens a URL (a settings deep link, a web page) with its default handler; false when
  // nothing could be asked to open it.
  virtual bool openUrl(const Url& url) = 0;
};

// The liveness rule shared by every caller: a present handle with a positive process
// identifier, not terminated, and signal 0 either delivered or refused for lack of
// permission (the process exists but belongs to someone else).
bool isAlive(const RunningApplication* application);

}  // namespace quillon
