#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "core/storage/files/launch_local_storage.h"
#include "core/storage/files/launch_storage_error.h"
#include "core/storage/plist/property_list.h"
#include "core/support/url.h"

namespace quillon {

// The part of a property-list store that does not depend on the record: the file, its
// storage rooted at the file's parent directory, and the two flags that every load
// recomputes.
class PropertyListFile {
 public:
  // Property-list records are tiny; 0x3FFF keeps a corrupt or planted file from being
  // read into memory whole.
  static constexpr std::size_t maximumBytes = 16'383;

  // `url` is the file's URL; its parent directory is the storage root.
  explicit PropertyListFile(Url url);

  const Url& url() const { return url_; }
  // True when the last load could not read or decode the file.
  bool loadFailed() const { return loadFailed_; }
  // The description of the last load or save error; none after a success.
  const std::optional<std::string>& storageError() const { return storageError_; }

 protected:
  // The file's dictionary, or none when the file does not exist. Throws
  // LaunchStorageError (invalidRecord when the content is not a dictionary).
  std::optional<PropertyList> readDictionary() const;
  // Writes atomically; success clears storageError, a failure sets it and rethrows.
  void writeDictionary(const PropertyList& dictionary);
  // Copies the file beside itself; throws before anything changes when it cannot.
  Url preserveFile() const;

  void noteLoadSucceeded();
  // Anything that is not a LaunchStorageError is reported as invalidRecord.
  void noteLoadFailed(const Error& error);

 private:
  Url url_;
  LaunchLocalStorage storage_;
  std::string fileName_;
  bool loadFailed_ = false;
  std::optional<std::string> storageError_;
};

// A store of one record kept as a binary property list (preferences, onboarding
// progress). `Coding` supplies the record type and its mapping:
//
//   struct Coding {
//     using Record = ...;
//     static Record defaultRecord();   // what a missing file means, and what a reset writes
//     static Record fallbackRecord();  // what the program runs on while the file is unreadable
//     static Record decode(const PropertyList&);  // throws on an invalid record
//     static PropertyList encode(const Record&);
//   };
//
// Loading never throws. Unreadable data is never overwritten: a save first reloads and
// refuses while the file cannot be read, and a reset first writes a backup.
template <class Coding>
class PropertyListStore : public PropertyListFile {
 public:
  using Record = typename Coding::Record;
  using PropertyListFile::PropertyListFile;

  // The stored record, the default when there is no file, or the fallback (with
  // loadFailed and storageError set) when the file cannot be read or decoded.
  Record load() {
    try {
      auto dictionary = readDictionary();
      Record record = dictionary ? Coding::decode(*dictionary) : Coding::defaultRecord();
      noteLoadSucceeded();
      return record;
    } catch (const Error& error) {
      noteLoadFailed(error);
      return Coding::fallbackRecord();
    }
  }

  // Throws LaunchStorageError. While the stored file cannot be read the save is refused
  // with invalidRecord and storageError keeps the reason the file is unreadable.
  void save(const Record& record) {
    load();
    if (loadFailed()) throw LaunchStorageError::invalidRecord;
    writeDictionary(Coding::encode(record));
  }

  // Backs the file up, writes the default record and reloads; returns the backup's URL.
  // A missing or unreadable-by-size file fails the backup and nothing changes.
  Url resetPreservingBackup() {
    Url backup = preserveFile();
    writeDictionary(Coding::encode(Coding::defaultRecord()));
    load();
    return backup;
  }
};

}  // namespace quillon
