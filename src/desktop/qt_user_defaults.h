#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/platform/user_defaults.h"

class QSettings;

namespace quillon {

// The user-defaults domain over QSettings. On macOS the native format is the defaults
// domain "com.quillon.app" itself; on Linux it is an INI file in the user's
// configuration directory ($XDG_CONFIG_HOME, else ~/.config).
class QtUserDefaults final : public UserDefaults {
 public:
  // This program's domain.
  static std::unique_ptr<QtUserDefaults> forApplication();
  // The INI file that forApplication uses where there is no native domain.
  static std::string applicationSettingsPath();
  // An INI file at `path` (tests, and a portable override).
  static std::unique_ptr<QtUserDefaults> atPath(const std::string& path);

  // `makeSettings` opens the settings; it is called again after a failed write.
  explicit QtUserDefaults(std::function<std::unique_ptr<QSettings>()> makeSettings);
  ~QtUserDefaults() override;

  // UserDefaults:
  std::optional<PropertyListValue> object(const std::string& key) const override;
  std::optional<Bytes> data(const std::string& key) const override;
  void setData(std::span<const std::uint8_t> data, const std::string& key) override;
  int readError() const override;
  // Of the settings file.
  DefaultsStamp stamp() const override;

 private:
  std::function<std::unique_ptr<QSettings>()> makeSettings_;
  // Replaced when it met an error: a QSettings object keeps its first error for good.
  mutable std::unique_ptr<QSettings> settings_;
};

}  // namespace quillon
