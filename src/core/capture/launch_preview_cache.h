#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/capture/launch_app_preview.h"
#include "core/capture/launch_preview_archive.h"
#include "core/localization/localized_text.h"
#include "core/support/result.h"
#include "core/support/url.h"
#include "core/support/uuid.h"

namespace quillon {

class Clock;
class ImageCodec;
class LogSink;
class MainLoop;
class LaunchPreviewDiskQueue;
struct LaunchSurfaceSnapshot;

// The last preview image of each registered app, keyed by registry ID, at most
// `maximumEntries` of them and at most `maximumDimension` pixels on the long side.
// While the user keeps previews, every new image is also written to the archive and
// the archive's images come back after a restart.
//
// Two flags decide what touches the disk: `persistenceEnabled` (new images are
// written) and `diskMutationAllowed` (stored files may be deleted or replaced). A
// preference that could not be read turns persistence off without touching the disk.
// Disk failures never reach the caller: they become one status text for the settings.
//
// Main thread only. Every disk operation (saving, deleting, restoring) runs off the main
// thread, in the order asked for, through LaunchPreviewDiskQueue; the main thread hands
// over the image and later learns the outcome, so the status text follows a failure
// once the loop has run. Restored images are applied on the main loop.
class LaunchPreviewCache {
 public:
  struct Services {
    const ImageCodec& codec;
    const Clock& clock;
    MainLoop& loop;
    LogSink& log;
  };

  // `maximumEntries` is at least 1; `maximumDimension` is clamped to 1...1200. Without
  // a directory there is no archive. Persistence on from the start restores at once.
  LaunchPreviewCache(int maximumEntries, int maximumDimension, std::optional<Url> directoryURL, bool persistenceEnabled,
                     Services services);
  LaunchPreviewCache(const LaunchPreviewCache&) = delete;
  LaunchPreviewCache& operator=(const LaunchPreviewCache&) = delete;
  ~LaunchPreviewCache();

  // Takes the snapshot's shown part, scaled down to the size limit, as the app's
  // preview; false when the surface is under 64 points tall or the image cannot be
  // cut or scaled.
  bool remember(const LaunchSurfaceSnapshot& snapshot, const Uuid& id, const Url& applicationURL);
  // The image of `id`, when it was taken from the bundle at `applicationURL`; null
  // otherwise. Valid until the cache next changes.
  const Bitmap* image(const Uuid& id, const Url& applicationURL) const;
  // The same, with when it was taken.
  const LaunchAppPreview* preview(const Uuid& id, const Url& applicationURL) const;
  void remove(const Uuid& id);
  // Keeps only the images of these apps taken from these bundles.
  void retainApplications(const std::map<Uuid, Url>& apps);
  void setPersistenceEnabled(bool enabled, bool isUserInitiated);
  // Forgets every image, in memory and on disk.
  void clear();

  // The one status text of the last failed save, else of the last failed restore or
  // deletion; none while the disk is in order.
  std::optional<std::string> persistenceError() const;
  bool persistenceEnabled() const { return persistenceEnabled_; }
  bool diskMutationAllowed() const { return diskMutationAllowed_; }
  bool isRestoring() const { return restoring_; }
  // IDs, least recently remembered first.
  const std::vector<Uuid>& order() const { return order_; }

  // The text of saveError and maintenanceError.
  static LocalizedText failureText();

 private:
  using Loaded = std::vector<std::pair<Uuid, LaunchAppPreview>>;

  void startRestore();
  void finishRestore(Result<Loaded> outcome);
  void applyRestored(Loaded&& loaded);
  void cancelRestore();
  void dropFromMemory(const Uuid& id);
  void reportFailure(std::optional<LocalizedText>& slot, const Error& error);
  // A failed disk operation: its own error, or the archive's generic one for a fault.
  void reportFailure(std::optional<LocalizedText>& slot, const Result<void>& result);
  void retainOnDisk(std::map<Uuid, Url> apps, bool clearsSaveError);

  int maximumEntries_;
  int maximumDimension_;
  Services services_;
  std::map<Uuid, LaunchAppPreview> previews_;
  std::vector<Uuid> order_;
  bool persistenceEnabled_ = false;
  bool diskMutationAllowed_ = false;
  std::optional<LocalizedText> saveError_;
  std::optional<LocalizedText> maintenanceError_;

  // What happened while a restore was reading the disk: the images it brings back
  // must not undo a newer remember, a remove or a retain.
  bool restoring_ = false;
  std::uint64_t restoreGeneration_ = 0;
  std::set<Uuid> changedDuringRestore_;
  std::optional<std::map<Uuid, Url>> retainedDuringRestore_;
  // Last, so it is destroyed first: its teardown waits for pending writes while the
  // rest of the cache is still whole.
  std::unique_ptr<LaunchPreviewDiskQueue> disk_;
};

}  // namespace quillon
