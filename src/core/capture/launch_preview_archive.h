#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/capture/launch_app_preview.h"
#include "core/capture/launch_preview_record.h"
#include "core/capture/launch_stored_file.h"
#include "core/storage/files/launch_local_storage.h"
#include "core/support/url.h"
#include "core/support/uuid.h"

namespace quillon {

class Clock;
class ImageCodec;

// The previews kept across restarts: one "<UUID>.preview" record per app in the
// archive folder, written and deleted only through the storage layer, so a link, a
// foreign file or a hard link planted in the folder is never read or changed through.
//
// Bounded three ways: at most `maximumEntries` records, each at most 6 MiB, together
// at most 24 MiB; every save prunes the oldest records beyond that.
//
// Holds no state besides its settings; a copy may load on another thread while the
// original saves on the main thread (records are replaced atomically). Every
// operation throws LaunchStorageError.
class LaunchPreviewArchive {
 public:
  static constexpr std::uint64_t maximumBytes = 25'165'824;
  static constexpr std::uint64_t maximumRecordBytes = 6'291'456;
  static constexpr int maximumPixelSide = 1200;
  static constexpr const char* fileExtension = ".preview";

  // The folder "Previews" inside the data directory.
  static Url defaultDirectory(const Url& dataDirectory);
  // "<UUID>.preview", the UUID in upper case.
  static std::string fileName(const Uuid& id);

  // A directory named "Previews" is addressed from its parent, so that the data
  // directory's own checks apply; any other directory is the storage root itself.
  // The codec and the clock must outlive the archive and its copies.
  LaunchPreviewArchive(const Url& directory, int maximumEntries, const ImageCodec& codec, const Clock& clock);

  int maximumEntries() const { return maximumEntries_; }

  // The newest records that can be restored, oldest first. Records that are unsafe,
  // too large, undecodable, of another version, for a non-file URL or with an image
  // outside 1...1200 pixels a side are skipped (and left for prune and retain).
  std::vector<std::pair<Uuid, LaunchAppPreview>> load() const;
  // Writes the app's record atomically, then prunes.
  void save(const LaunchAppPreview& preview, const Uuid& id) const;
  // Deletes every record that is not of an app in `apps` with that app's
  // (normalised) URL, or whose content is invalid or too large; an empty map deletes
  // every record. A record that cannot be read for a passing reason (EMFILE, EIO)
  // stays, and the first such error is thrown after the rest were handled.
  void retain(const std::map<Uuid, Url>& apps) const;
  // Deletes the app's record; a missing one is no error.
  void remove(const Uuid& id) const;

 private:
  // The record files, in directory order; entries that are not "<UUID>.preview" or
  // that fail the storage layer's safety check are left out.
  std::vector<LaunchStoredFile> list() const;
  LaunchPreviewRecord readRecord(const LaunchStoredFile& file) const;
  std::optional<LaunchAppPreview> read(const LaunchStoredFile& file) const;
  void prune() const;
  void deleteFile(const LaunchStoredFile& file) const;

  LaunchLocalStorage storage_;
  LaunchLocalStorage::Components children_;
  int maximumEntries_;
  const ImageCodec* codec_;
  const Clock* clock_;
};

}  // namespace quillon
