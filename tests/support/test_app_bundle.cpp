#include "support/test_app_bundle.h"

#include <sys/stat.h>

#include <fstream>
#include <stdexcept>

#include "core/storage/plist/property_list_codec.h"

namespace quillon {

PropertyListValue::Dictionary TestAppBundle::infoDictionary() const {
  PropertyListValue::Dictionary info;
  auto put = [&info](const char* key, const std::optional<std::string>& value) {
    if (value) info[key] = PropertyListValue{*value};
  };
  put("CFBundleIdentifier", identifier);
  put("CFBundlePackageType", packageType);
  put("CFBundleExecutable", executable);
  put("CFBundleDisplayName", displayName);
  put("CFBundleName", name);
  put("CFBundleShortVersionString", shortVersion);
  for (const auto& [key, value] : extraInfo) info.insert_or_assign(key, value);
  return info;
}

std::filesystem::path TestAppBundle::writeTo(const std::filesystem::path& path) const {
  std::filesystem::create_directories(path / "Contents" / "MacOS");
  if (writeInfo) {
    const PropertyListValue root{infoDictionary()};
    const Bytes bytes = binaryInfo ? PropertyListCodec::encodeBinary(root) : PropertyListCodec::encodeXml(root);
    writeTestFile(path / "Contents" / "Info.plist",
                  std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  if (writeExecutable && executable && !executable->empty()) {
    writeTestFile(path / "Contents" / "MacOS" / *executable, "#!/bin/sh\nexit 0\n", executableMode);
  }
  return path;
}

Url directoryUrl(const std::filesystem::path& path) { return Url::fileUrl(path.string(), true); }

Url canonicalDirectoryUrl(const std::filesystem::path& path) {
  return Url::fileUrl(std::filesystem::canonical(path).string(), true);
}

void writeTestFile(const std::filesystem::path& path, std::string_view content, mode_t mode) {
  std::filesystem::create_directories(path.parent_path());
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path.string());
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
  }
  if (::chmod(path.c_str(), mode) != 0) throw std::runtime_error("cannot chmod " + path.string());
}

}  // namespace quillon
