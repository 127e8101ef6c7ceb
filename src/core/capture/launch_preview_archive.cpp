#include "core/capture/launch_preview_archive.h"

#include <algorithm>

#include "core/async/clock.h"
#include "core/platform/image_codec.h"
#include "core/storage/files/launch_storage_error.h"

namespace quillon {

namespace {

constexpr const char* previewsFolder = "Previews";

// The UUID a record file is named after, or none for any other name.
std::optional<Uuid> recordID(const std::string& name) {
  const std::string extension = LaunchPreviewArchive::fileExtension;
  if (name.size() <= extension.size() ||
      name.compare(name.size() - extension.size(), extension.size(), extension) != 0) {
    return std::nullopt;
  }
  return Uuid::parse(std::string_view(name).substr(0, name.size() - extension.size()));
}

// Oldest first. Files of the same age fall back to their names, so the choice of
// what to keep does not depend on the order the directory happens to list them in.
void sortByAge(std::vector<LaunchStoredFile>& files) {
  std::stable_sort(files.begin(), files.end(), [](const LaunchStoredFile& a, const LaunchStoredFile& b) {
    return a.modifiedAt != b.modifiedAt ? a.modifiedAt < b.modifiedAt : a.name < b.name;
  });
}

}  // namespace

Url LaunchPreviewArchive::defaultDirectory(const Url& dataDirectory) {
  return Url::fileUrl(standardizePath(dataDirectory.path()) + "/" + previewsFolder, true);
}

std::string LaunchPreviewArchive::fileName(const Uuid& id) { return id.toString() + fileExtension; }

LaunchPreviewArchive::LaunchPreviewArchive(const Url& directory, int maximumEntries, const ImageCodec& codec,
                                           const Clock& clock)
    : storage_(directory), maximumEntries_(std::max(1, maximumEntries)), codec_(&codec), clock_(&clock) {
  if (directory.isFileUrl() && directory.lastPathComponent() == previewsFolder) {
    const std::string path = standardizePath(directory.path());
    storage_ = LaunchLocalStorage(Url::fileUrl(path.substr(0, path.rfind('/')), true));
    children_ = {previewsFolder};
  }
}

std::vector<LaunchStoredFile> LaunchPreviewArchive::list() const {
  std::vector<LaunchStoredFile> files;
  const auto names = storage_.entryNames(children_);
  if (!names) return files;
  for (const auto& name : *names) {
    if (!recordID(name)) continue;
    try {
      // No-follow metadata only: a link or a foreign file is never opened, and it is
      // not ours to delete either.
      if (const auto info = storage_.fileInfo(name, children_)) files.push_back({name, info->size, info->modifiedAt});
    } catch (const Error& error) {
      if (error != LaunchStorageError::unsafeLocation) throw;
    }
  }
  return files;
}

LaunchPreviewRecord LaunchPreviewArchive::readRecord(const LaunchStoredFile& file) const {
  if (file.size > maximumRecordBytes) throw LaunchStorageError::tooLarge;
  const auto data = storage_.read(file.name, children_, maximumRecordBytes);
  if (!data) throw LaunchStorageError::invalidRecord;
  return LaunchPreviewRecord::decode(*data);
}

std::optional<LaunchAppPreview> LaunchPreviewArchive::read(const LaunchStoredFile& file) const {
  LaunchPreviewRecord record;
  try {
    record = readRecord(file);
  } catch (const Error&) {
    return std::nullopt;  // one bad file costs its own image, not the others'
  }
  if (record.version != LaunchPreviewRecord::currentVersion || !record.applicationURL.isFileUrl()) return std::nullopt;
  auto image = codec_->decodePng(record.png, maximumPixelSide);
  if (!image || image->width < 1 || image->height < 1 || image->width > maximumPixelSide ||
      image->height > maximumPixelSide) {
    return std::nullopt;
  }
  return LaunchAppPreview{LaunchAppPreview::normalizedURL(record.applicationURL), std::move(*image), record.savedAt};
}

std::vector<std::pair<Uuid, LaunchAppPreview>> LaunchPreviewArchive::load() const {
  auto files = list();
  sortByAge(files);
  const auto keep = std::min(files.size(), static_cast<std::size_t>(maximumEntries_));
  std::vector<std::pair<Uuid, LaunchAppPreview>> loaded;
  for (auto it = files.end() - static_cast<std::ptrdiff_t>(keep); it != files.end(); ++it) {
    if (auto preview = read(*it)) loaded.emplace_back(*recordID(it->name), std::move(*preview));
  }
  return loaded;
}

void LaunchPreviewArchive::save(const LaunchAppPreview& preview, const Uuid& id) const {
  auto png = codec_->encodePng(preview.image);
  // No errno describes an encoder that gave up; the file was never touched.
  if (!png) throw LaunchStorageError::unavailable(0);
  LaunchPreviewRecord record;
  record.applicationURL = preview.applicationURL;
  record.savedAt = preview.savedAt > 0 ? preview.savedAt : clock_->now();
  record.png = std::move(*png);
  const Bytes data = record.encode();
  if (data.size() > maximumRecordBytes) throw LaunchStorageError::tooLarge;
  storage_.write(data, fileName(id), children_);
  prune();
}

void LaunchPreviewArchive::prune() const {
  auto files = list();
  sortByAge(files);
  std::size_t count = files.size();
  std::uint64_t total = 0;
  for (const auto& file : files) total += file.size;
  for (const auto& file : files) {
    if (file.size > maximumRecordBytes || count > static_cast<std::size_t>(maximumEntries_) || total > maximumBytes) {
      deleteFile(file);
      --count;
      total -= file.size;
    }
  }
}

void LaunchPreviewArchive::retain(const std::map<Uuid, Url>& apps) const {
  // A record that could not be read this time (out of descriptors, an I/O error) may
  // be perfectly good: it stays, and the first such failure is reported once the
  // others were dealt with. Only what was read and found wanting is deleted.
  std::optional<Error> failure;
  for (const auto& file : list()) {
    const auto app = apps.find(*recordID(file.name));
    bool keep = false;
    if (app != apps.end()) {
      try {
        const auto record = readRecord(file);
        keep = record.version == LaunchPreviewRecord::currentVersion && record.applicationURL.isFileUrl() &&
               LaunchAppPreview::normalizedURL(record.applicationURL) == LaunchAppPreview::normalizedURL(app->second);
      } catch (const Error& error) {
        const bool invalid = error == LaunchStorageError::invalidRecord || error == LaunchStorageError::tooLarge;
        if (!invalid) {
          if (!failure) failure = error;
          continue;
        }
      }
    }
    if (!keep) deleteFile(file);
  }
  if (failure) throw *failure;
}

void LaunchPreviewArchive::remove(const Uuid& id) const { storage_.remove(fileName(id), children_); }

void LaunchPreviewArchive::deleteFile(const LaunchStoredFile& file) const {
  // The storage layer repeats the safety check right before unlinking; a file that
  // vanished meanwhile is no error.
  storage_.remove(file.name, children_);
}

}  // namespace quillon
