#include "core/bundle/bundle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "core/storage/plist/property_list_codec.h"
#include "core/support/unique_fd.h"

namespace quillon {

namespace {

// Reads a bundle's Info.plist. The bundle is foreign data: the file may be a FIFO that
// would block an open, a device that never ends, or huge; each is read as "no Info
// dictionary" instead of hanging or exhausting memory.
std::optional<Bytes> readInfoPlist(const std::string& path) {
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!file) return std::nullopt;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > Bundle::infoPlistLimit) {
    return std::nullopt;
  }
  Bytes data;
  std::uint8_t chunk[16'384];
  while (true) {
    const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    if (data.size() + static_cast<std::size_t>(got) > Bundle::infoPlistLimit) return std::nullopt;
    data.insert(data.end(), chunk, chunk + got);
  }
  return data;
}

std::string withoutExtension(const std::string& name) {
  const auto dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

std::optional<Bundle> Bundle::open(const Url& url) {
  if (!url.isFileUrl()) return std::nullopt;
  const std::string path = standardizePath(url.path());
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;

  PropertyListValue::Dictionary dictionary;
  if (auto bytes = readInfoPlist(path + "/Contents/Info.plist")) dictionary = parseInfoDictionary(*bytes);
  return Bundle(Url::fileUrl(path, true), std::move(dictionary));
}

PropertyListValue::Dictionary Bundle::parseInfoDictionary(std::span<const std::uint8_t> bytes) {
  auto decoded = PropertyListCodec::decode(bytes);
  if (!decoded) return {};
  auto* entries = std::get_if<PropertyListValue::Dictionary>(&decoded->value);
  return entries ? std::move(*entries) : PropertyListValue::Dictionary{};
}

std::optional<std::string> Bundle::displayName() const {
  if (auto name = infoString("CFBundleDisplayName")) return name;
  return infoString("CFBundleName");
}

std::optional<Url> Bundle::executableURL() const {
  std::string name = infoString("CFBundleExecutable").value_or("");
  if (name.empty()) name = withoutExtension(bundleURL_.lastPathComponent());
  if (name.empty() || name.find('\0') != std::string::npos) return std::nullopt;
  const std::string path = bundleURL_.path() + "/Contents/MacOS/" + name;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return Url::fileUrl(path, false);
}

std::optional<Url> Bundle::iconFileURL() const {
  const std::string name = infoString("CFBundleIconFile").value_or("");
  if (name.empty() || name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
    return std::nullopt;
  }
  const std::string resources = bundleURL_.path() + "/Contents/Resources/";
  std::vector<std::string> candidates{name};
  if (name.find('.') == std::string::npos) candidates = {name + ".icns", name + ".png"};
  for (const auto& candidate : candidates) {
    struct stat info {};
    if (::stat((resources + candidate).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      return Url::fileUrl(resources + candidate, false);
    }
  }
  return std::nullopt;
}

}  // namespace quillon
