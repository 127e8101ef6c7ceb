#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillon {

struct MenuItem {
  enum class Kind { action, separator, submenu, label };
  Kind kind = Kind::action;
  std::string title;
  bool enabled = true;
  bool checked = false;
  std::string toolTip;
  std::vector<MenuItem> submenu;
  std::function<void()> action;  // runs on the main thread when the item is chosen
  // The key that chooses the item with the platform's command modifier ("," or "q").
  std::string keyEquivalent;

  static MenuItem separator() {
    MenuItem item;
    item.kind = Kind::separator;
    item.enabled = false;
    return item;
  }
};

struct LaunchMenuModel {
  std::vector<MenuItem> items;
};

// The status item in the menu bar (a tray icon on Linux) and its menu.
class StatusMenuHost {
 public:
  StatusMenuHost() = default;
  StatusMenuHost(const StatusMenuHost&) = delete;
  StatusMenuHost& operator=(const StatusMenuHost&) = delete;
  virtual ~StatusMenuHost() = default;

  // False when the desktop has nowhere to show a status item.
  virtual bool isAvailable() const = 0;
  virtual void setMenu(LaunchMenuModel model) = 0;
  virtual void setToolTip(const std::string& toolTip) = 0;
  // Called on the main thread when the menu opens and closes.
  virtual void setOpenHandler(std::function<void()> handler) = 0;
  virtual void setCloseHandler(std::function<void()> handler) = 0;
};

}  // namespace quillon
