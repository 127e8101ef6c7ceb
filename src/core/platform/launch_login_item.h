#pragma once

namespace quillon {

// Whether the program starts by itself when the user logs in. Off unless the user
// turns it on in the settings window.
class LaunchLoginItem {
 public:
  LaunchLoginItem() = default;
  LaunchLoginItem(const LaunchLoginItem&) = delete;
  LaunchLoginItem& operator=(const LaunchLoginItem&) = delete;
  virtual ~LaunchLoginItem() = default;

  virtual bool isEnabled() const = 0;
  // False when the change could not be made; the previous state then holds.
  virtual bool setEnabled(bool enabled) = 0;
};

}  // namespace quillon
