#include "core/capture/launch_preview_cache.h"

#include <algorithm>

#include "core/async/clock.h"
#include "core/async/main_loop.h"
#include "core/capture/launch_preview_disk_queue.h"
#include "core/capture/launch_surface_snapshot.h"
#include "core/localization/l10n.h"
#include "core/platform/image_codec.h"
#include "core/platform/log_sink.h"
#include "core/storage/files/launch_storage_error.h"

namespace quillon {

namespace {

constexpr double minimumVisibleHeight = 64;

// A tightly packed copy: every image the cache holds has rows of exactly width * 4 bytes.
Bitmap packed(const Bitmap& bitmap) {
  if (bitmap.bytesPerRow == static_cast<std::size_t>(bitmap.width) * 4) return bitmap;
  Bitmap copy = Bitmap::transparent(bitmap.width, bitmap.height);
  for (int y = 0; y < bitmap.height; ++y) std::copy_n(bitmap.pixel(0, y), copy.bytesPerRow, copy.pixel(0, y));
  return copy;
}

}  // namespace

LaunchPreviewCache::LaunchPreviewCache(int maximumEntries, int maximumDimension, std::optional<Url> directoryURL,
                                       bool persistenceEnabled, Services services)
    : maximumEntries_(std::max(1, maximumEntries)),
      maximumDimension_(std::clamp(maximumDimension, 1, LaunchPreviewArchive::maximumPixelSide)),
      services_(services) {
  if (directoryURL) {
    disk_ = std::make_unique<LaunchPreviewDiskQueue>(
        services_.loop, LaunchPreviewArchive(*directoryURL, maximumEntries_, services_.codec, services_.clock));
  }
  if (persistenceEnabled) setPersistenceEnabled(true, true);
}

LaunchPreviewCache::~LaunchPreviewCache() = default;

LocalizedText LaunchPreviewCache::failureText() {
  return LocalizedText(
      "画像の保存・削除に失敗しました。一時画像とアイコンでの切替は使えます。保存先の空き容量とアクセス権を確認してくだ"
      "さい。");
}

bool LaunchPreviewCache::remember(const LaunchSurfaceSnapshot& snapshot, const Uuid& id, const Url& applicationURL) {
  if (!(snapshot.visibleQuartzRect.height >= minimumVisibleHeight)) return false;
  auto cropped = snapshot.croppedImage();
  if (!cropped || cropped->isEmpty()) return false;

  const double scale =
      std::min(static_cast<double>(maximumDimension_) / std::max(cropped->width, cropped->height), 1.0);
  const int width = std::max(1, static_cast<int>(cropped->width * scale));
  const int height = std::max(1, static_cast<int>(cropped->height * scale));
  std::optional<Bitmap> image;
  if (width == cropped->width && height == cropped->height) {
    image = packed(*cropped);
  } else {
    image = services_.codec.downscale(*cropped, width, height);
  }
  if (!image || image->width != width || image->height != height) return false;

  previews_[id] =
      LaunchAppPreview{LaunchAppPreview::normalizedURL(applicationURL), std::move(*image), services_.clock.now()};
  if (isRestoring()) changedDuringRestore_.insert(id);
  std::erase(order_, id);
  order_.push_back(id);
  // Evicting before saving deletes the evicted app's record by name. Saving first
  // would let the archive prune by file age, and records written within the file
  // system's timestamp granularity have no reliable age order.
  while (order_.size() > static_cast<std::size_t>(maximumEntries_)) {
    const Uuid oldest = order_.front();  // a copy: removing shifts the list under a reference
    remove(oldest);
  }

  if (persistenceEnabled_ && disk_) {
    // The image is handed over as a copy; the cache keeps showing its own.
    disk_->enqueue([preview = previews_.at(id), id](const LaunchPreviewArchive& archive) { archive.save(preview, id); },
                   [this](const Result<void>& result) {
                     if (!result.hasValue()) return reportFailure(saveError_, result);
                     saveError_.reset();
                     maintenanceError_.reset();
                   });
  }
  return true;
}

const LaunchAppPreview* LaunchPreviewCache::preview(const Uuid& id, const Url& applicationURL) const {
  const auto found = previews_.find(id);
  if (found == previews_.end() || found->second.applicationURL != LaunchAppPreview::normalizedURL(applicationURL)) {
    return nullptr;
  }
  return &found->second;
}

const Bitmap* LaunchPreviewCache::image(const Uuid& id, const Url& applicationURL) const {
  const LaunchAppPreview* kept = preview(id, applicationURL);
  return kept != nullptr ? &kept->image : nullptr;
}

void LaunchPreviewCache::dropFromMemory(const Uuid& id) {
  previews_.erase(id);
  std::erase(order_, id);
}

void LaunchPreviewCache::remove(const Uuid& id) {
  dropFromMemory(id);
  if (isRestoring()) changedDuringRestore_.insert(id);
  if (!diskMutationAllowed_ || !disk_) return;
  disk_->enqueue([id](const LaunchPreviewArchive& archive) { archive.remove(id); },
                 [this](const Result<void>& result) {
                   if (!result.hasValue()) reportFailure(maintenanceError_, result);
                 });
}

void LaunchPreviewCache::retainApplications(const std::map<Uuid, Url>& apps) {
  std::map<Uuid, Url> normalized;
  for (const auto& [id, url] : apps) normalized.emplace(id, LaunchAppPreview::normalizedURL(url));
  for (auto it = previews_.begin(); it != previews_.end();) {
    const auto app = normalized.find(it->first);
    if (app != normalized.end() && app->second == it->second.applicationURL) {
      ++it;
      continue;
    }
    std::erase(order_, it->first);
    it = previews_.erase(it);
  }
  if (isRestoring()) retainedDuringRestore_ = normalized;
  if (!diskMutationAllowed_ || !disk_) return;
  retainOnDisk(std::move(normalized), false);
}

void LaunchPreviewCache::retainOnDisk(std::map<Uuid, Url> apps, bool clearsSaveError) {
  disk_->enqueue([apps = std::move(apps)](const LaunchPreviewArchive& archive) { archive.retain(apps); },
                 [this, clearsSaveError](const Result<void>& result) {
                   if (!result.hasValue()) return reportFailure(maintenanceError_, result);
                   if (clearsSaveError) saveError_.reset();
                   maintenanceError_.reset();
                 });
}

void LaunchPreviewCache::setPersistenceEnabled(bool enabled, bool isUserInitiated) {
  diskMutationAllowed_ = enabled || isUserInitiated;
  if (!enabled) {
    persistenceEnabled_ = false;
    cancelRestore();
    // A preference that could not be read is a temporary OFF: the stored images are
    // the user's and stay where they are.
    if (!isUserInitiated || !disk_) return;
    retainOnDisk({}, false);
    return;
  }
  if (persistenceEnabled_) return;
  persistenceEnabled_ = true;
  startRestore();
}

void LaunchPreviewCache::clear() {
  cancelRestore();
  previews_.clear();
  order_.clear();
  if (!disk_) return;
  retainOnDisk({}, true);
}

std::optional<std::string> LaunchPreviewCache::persistenceError() const {
  if (saveError_) return L10n::text(*saveError_);
  if (maintenanceError_) return L10n::text(*maintenanceError_);
  return std::nullopt;
}

void LaunchPreviewCache::startRestore() {
  if (!disk_) return;
  cancelRestore();
  const auto generation = ++restoreGeneration_;
  restoring_ = true;
  // The reads, the property lists and the PNG decoding all happen on the worker, after
  // any disk work asked for earlier; the main thread only moves the finished bitmaps
  // into place.
  auto loaded = std::make_shared<Loaded>();
  disk_->enqueue([loaded](const LaunchPreviewArchive& archive) { *loaded = archive.load(); },
                 [this, generation, loaded](const Result<void>& result) {
                   // A restore that was cancelled or superseded takes nothing from this one.
                   if (generation != restoreGeneration_) return;
                   if (result.hasValue()) return finishRestore(std::move(*loaded));
                   if (const auto* error = result.failure()) return finishRestore(*error);
                   finishRestore(result.error());
                 });
}

void LaunchPreviewCache::finishRestore(Result<Loaded> outcome) {
  if (outcome.hasValue()) {
    applyRestored(std::move(outcome.value()));
    maintenanceError_.reset();
  } else if (const auto* error = outcome.failure()) {
    reportFailure(maintenanceError_, *error);
  } else {
    // A fault of the worker, not a failure of the archive: the images stay unrestored.
    reportFailure(maintenanceError_, LaunchStorageError::invalidRecord);
  }
  restoring_ = false;
  changedDuringRestore_.clear();
  retainedDuringRestore_.reset();
}

void LaunchPreviewCache::applyRestored(Loaded&& loaded) {
  std::vector<Uuid> restored;
  for (auto& [id, preview] : loaded) {
    if (changedDuringRestore_.contains(id)) continue;
    if (retainedDuringRestore_) {
      const auto app = retainedDuringRestore_->find(id);
      if (app == retainedDuringRestore_->end() || app->second != preview.applicationURL) continue;
    }
    previews_[id] = std::move(preview);
    if (std::find(order_.begin(), order_.end(), id) == order_.end() &&
        std::find(restored.begin(), restored.end(), id) == restored.end()) {
      restored.push_back(id);
    }
  }
  // Stored images are older than any taken since the start, so they queue up first
  // for eviction. Evicting them here only frees memory: the archive is already bounded.
  order_.insert(order_.begin(), restored.begin(), restored.end());
  if (!restored.empty()) {
    services_.log.log("[Quillon/preview-cache] kept images restored: " + std::to_string(restored.size()));
  }
  while (order_.size() > static_cast<std::size_t>(maximumEntries_)) {
    const Uuid oldest = order_.front();
    dropFromMemory(oldest);
  }
}

void LaunchPreviewCache::cancelRestore() {
  ++restoreGeneration_;
  restoring_ = false;
  changedDuringRestore_.clear();
  retainedDuringRestore_.reset();
}

void LaunchPreviewCache::reportFailure(std::optional<LocalizedText>& slot, const Result<void>& result) {
  // A fault of the worker, not a failure of the archive, is still a write that did not
  // happen.
  const auto* error = result.failure();
  reportFailure(slot, error ? *error : Error(LaunchStorageError::invalidRecord));
}

void LaunchPreviewCache::reportFailure(std::optional<LocalizedText>& slot, const Error& error) {
  slot = failureText();
  services_.log.log("[Quillon/preview-cache] " + error.description());
}

}  // namespace quillon
