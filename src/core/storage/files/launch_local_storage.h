#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/storage/files/launch_storage_error.h"
#include "core/support/bytes.h"
#include "core/support/unique_fd.h"
#include "core/support/url.h"

namespace quillon {

// The one way files under the data directory are opened, read, written, removed and
// backed up. Everything is descriptor-relative and no-follow below the root: a
// symbolic link, a file owned by someone else or a hard link planted inside the data
// directory is refused instead of being read or overwritten through. The root's
// parent is trusted (links above the data directory are followed).
//
// Every operation either completes or throws one LaunchStorageError and leaves the
// previous content in place. No state and no descriptors are kept between calls.
class LaunchLocalStorage {
 public:
  using Components = std::vector<std::string>;

  // What the safe metadata check tells about a file.
  struct FileInfo {
    std::uint64_t size = 0;
    double modifiedAt = 0;  // seconds since the Unix epoch
  };

  static constexpr std::size_t readChunkSize = 16'384;
  static constexpr std::size_t preserveLimit = 33'554'432;  // 32 MiB

  explicit LaunchLocalStorage(Url rootDirectory) : rootDirectory_(std::move(rootDirectory)) {}

  const Url& rootDirectory() const { return rootDirectory_; }

  // None when the directory or the file does not exist. A file larger than
  // `maximumBytes` (also one that grows past it while being read) is tooLarge.
  std::optional<Bytes> read(const std::string& name, const Components& components, std::size_t maximumBytes) const;
  // Atomic: a temporary ".write-<UUID>" file is written, synced and renamed over the
  // target, then the directory is synced. Creates missing directories (mode 0700).
  void write(std::span<const std::uint8_t> data, const std::string& name, const Components& components) const;
  // Does nothing when the directory or the file does not exist.
  void remove(const std::string& name, const Components& components) const;
  // Copies a file of the root directory to "<name>.preserved-<UUID>" beside it and
  // returns the copy's URL; the original is not touched. A missing file is invalidRecord.
  Url preserve(const std::string& name) const;
  // The names in a directory ("." and ".." left out), in no particular order; none
  // when the directory does not exist. Names only: nothing is opened or followed.
  std::optional<std::vector<std::string>> entryNames(const Components& components) const;
  // Size and modification time of a safe file (regular, ours, one link); none when
  // the directory or the file does not exist, unsafeLocation for any other entry.
  std::optional<FileInfo> fileInfo(const std::string& name, const Components& components) const;
  // An open directory descriptor, or none when a component is missing and `creates`
  // is false.
  std::optional<UniqueFd> openDirectory(const Components& components, bool creates) const;

  // Throws unsafeLocation unless `component` is a usable single path component.
  static void checkComponent(const std::string& component);

 private:
  Url rootDirectory_;
};

}  // namespace quillon
