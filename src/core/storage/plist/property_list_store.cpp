#include "core/storage/plist/property_list_store.h"

#include <utility>

namespace quillon {

namespace {
Url parentDirectory(const Url& file) {
  const std::string path = standardizePath(file.path());
  const auto slash = path.rfind('/');
  return Url::fileUrl(slash == 0 ? "/" : path.substr(0, slash), true);
}
}  // namespace

PropertyListFile::PropertyListFile(Url url)
    : url_(std::move(url)), storage_(parentDirectory(url_)), fileName_(url_.lastPathComponent()) {}

std::optional<PropertyList> PropertyListFile::readDictionary() const {
  auto data = storage_.read(fileName_, {}, maximumBytes);
  if (!data) return std::nullopt;
  auto dictionary = PropertyList::parseDictionary(*data);
  if (!dictionary) throw LaunchStorageError::invalidRecord;
  return dictionary;
}

void PropertyListFile::writeDictionary(const PropertyList& dictionary) {
  try {
    storage_.write(dictionary.toBinary(), fileName_, {});
  } catch (const Error& error) {
    storageError_ = error.description();
    throw;
  }
  storageError_.reset();
}

Url PropertyListFile::preserveFile() const { return storage_.preserve(fileName_); }

void PropertyListFile::noteLoadSucceeded() {
  loadFailed_ = false;
  storageError_.reset();
}

void PropertyListFile::noteLoadFailed(const Error& error) {
  // Decoding failures of any other kind are an invalid record.
  const bool isStorage = error.code<LaunchStorageError::Code>().has_value();
  loadFailed_ = true;
  storageError_ = (isStorage ? error : LaunchStorageError::invalidRecord).description();
}

}  // namespace quillon
