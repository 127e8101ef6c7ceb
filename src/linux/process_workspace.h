#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "core/platform/workspace.h"

namespace quillon {

class MainLoop;
class ProcessRunningApplication;

// The workspace on Linux: running applications from the process table, launching
// bundles as detached processes, quitting them with SIGTERM, all through pidfds.
class ProcessWorkspace final : public Workspace {
 public:
  // Where icons come from: the pixels of an image file (a bundle's ".icns" or ".png"),
  // and the desktop's generic application icon, both at about a pixel size. Decoding
  // needs an image library, which this layer leaves to the toolkit.
  struct IconReader {
    std::function<std::optional<Bitmap>(const std::string& imagePath, int pixelSize)> imageFile;
    std::function<std::optional<Bitmap>(int pixelSize)> genericApplication;
  };

  explicit ProcessWorkspace(MainLoop& loop, IconReader icons = {});

  // Workspace:
  // Processes of this user that run an executable (kernel threads and zombies are
  // left out), whether or not Quillon started them; of the apps inside a bundle only
  // those started for this X display.
  Task<std::vector<ApplicationHandle>> runningApplications() override;
  // Starts the bundle's executable off the main thread; the completion comes back on it.
  void openApplication(const std::string& bundlePath, OpenCompletion completion) override;
  // The bundle's own icon ("CFBundleIconFile" in Contents/Resources), else the generic
  // application icon, as the home platform always gives one. Kept per file and size
  // while the file is unchanged: the carousel asks for every app at each presentation.
  std::optional<Bitmap> iconForBundle(const std::string& bundlePath, int pixelSize) const override;
  // URL opening has no Linux source yet.
  bool prefersReducedMotion() const override;
  bool openUrl(const Url& url) override;

  // The blocking part of `openApplication`: throws LaunchOpenApplicationError.
  static ApplicationHandle launch(const std::string& bundlePath);
  // The blocking part of `runningApplications`: throws LaunchRunningApplicationsError.
  static std::vector<ApplicationHandle> scanRunningApplications();
  // The same list, reusing what earlier calls on this workspace learnt: a process met
  // before keeps its handle while its pidfd shows it alive and its executable link reads
  // the same (an exec keeps the identifier and changes the link), so an unchanged table
  // costs a readlink and a poll per app instead of a pidfd and its Info dictionary.
  std::vector<ApplicationHandle> scanRememberingApplications();

 private:
  struct KnownProcess {
    std::string executable;
    std::shared_ptr<ProcessRunningApplication> application;
  };
  // Only processes inside a bundle: others are cheap to identify again, and holding a
  // pidfd for each process of the user would spend descriptors the program may need.
  // Shared with the scanning thread, which may outlive the workspace; a refresh may
  // overlap a recheck.
  struct Memory {
    std::mutex mutex;
    std::unordered_map<pid_t, KnownProcess> known;
  };
  static std::vector<ApplicationHandle> scanRemembering(Memory& memory);

  MainLoop& loop_;
  IconReader icons_;
  // (icon file, its modification time, pixel size) -> pixels; the empty path is the
  // generic icon.
  mutable std::map<std::tuple<std::string, long long, int>, std::optional<Bitmap>> iconCache_;
  std::shared_ptr<Memory> memory_ = std::make_shared<Memory>();
};

}  // namespace quillon
