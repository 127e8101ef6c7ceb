#include "core/storage/plist/launch_property_list_store.h"

#include <utility>

namespace quillon {

namespace {
Url parentDirectory(const Url& file) {
  const std::string path = standardizePath(file.path());
  const auto slash = path.rfind('/');
  return Url::fileUrl(slash == 0 ? "/" : path.substr(0, slash), true);
}
}  // namespace

LaunchPropertyListFile::LaunchPropertyListFile(Url url)
    : url_(std::move(url)), storage_(parentDirectory(url_)), fileName_(url_.lastPathComponent()) {}

std::optional<PropertyList> LaunchPropertyListFile::readDictionary() const {
  auto data = storage_.read(fileName_, {}, maximumBytes);
  if (!data) return std::nullopt;
  auto dictionary = PropertyList::parseDictionary(*data);
  if (!dictionary) throw LaunchStorageError::invalidRecord;
  return dictionary;
}

void LaunchPropertyListFile::writeDictionary(const PropertyList& dictionary) {
  try {
    storage_.write(dictionary.toBinary(), fileName_, {});
  } catch (const LaunchError& error) {
    storageError_ = error.description();
    throw;
  }
  storageError_.reset();
}

Url LaunchPropertyListFile::preserveFile() const { return storage_.preserve(fileName_); }

void LaunchPropertyListFile::noteLoadSucceeded() {
  loadFailed_ = false;
  storageError_.reset();
}

void LaunchPropertyListFile::noteLoadFailed(const LaunchError& error) {
  // Decoding failures of any other kind are an invalid record.
  const bool isStorage = error.code<LaunchStorageError::Code>().has_value();
  loadFailed_ = true;
  storageError_ = (isStorage ? error : LaunchStorageError::invalidRecord).description();
}

}  // namespace quillon
