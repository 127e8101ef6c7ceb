#pragma once

#include <memory>
#include <string>

#include "core/platform/login_item.h"

namespace quillon {

// The start-at-login switch of freedesktop.org sessions: a desktop entry named
// "quillon.desktop" in the autostart folder of the user's configuration directory.
// Turning it on writes the entry (atomically, so a session starting meanwhile never
// reads half of one); turning it off removes it. An entry the user hid through the
// session's own settings ("Hidden=true") counts as off.
class XdgAutostartLoginItem final : public LoginItem {
 public:
  static constexpr const char* entryName = "quillon.desktop";

  // `configHome` is the configuration directory ($XDG_CONFIG_HOME or ~/.config);
  // `executable` the absolute path the entry starts.
  XdgAutostartLoginItem(std::string configHome, std::string executable);

  // For this user and this executable: $XDG_CONFIG_HOME when it is an absolute path,
  // else $HOME/.config; none when neither gives one.
  static std::unique_ptr<XdgAutostartLoginItem> forCurrentUser();

  std::string entryPath() const;

  // LoginItem:
  bool isEnabled() override;
  bool setEnabled(bool enabled) override;

 private:
  std::string configHome_;
  std::string executable_;
};

}  // namespace quillon
