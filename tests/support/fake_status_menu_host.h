#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/platform/status_menu_host.h"

namespace quillon {

// Keeps every menu model it is given; `open`/`close` play the user opening and
// closing the menu; `choose` runs an item's action by its path of titles.
class FakeStatusMenuHost final : public StatusMenuHost {
 public:
  const std::vector<LaunchMenuModel>& models() const { return models_; }

  void open() {
    if (openHandler_) openHandler_();
  }
  void close() {
    if (closeHandler_) closeHandler_();
  }
  // The item reached by following `titles` through submenus, or none.
  const MenuItem* find(const std::vector<std::string>& titles) const {
    if (models_.empty()) return nullptr;
    const std::vector<MenuItem>* items = &models_.back().items;
    const MenuItem* found = nullptr;
    for (const auto& title : titles) {
      found = nullptr;
      for (const auto& item : *items) {
        if (item.kind != MenuItem::Kind::separator && item.title == title) {
          found = &item;
          break;
        }
      }
      if (found == nullptr) return nullptr;
      items = &found->submenu;
    }
    return found;
  }
  // Runs the item's action as a click would: only when it is enabled and has one.
  bool choose(const std::vector<std::string>& titles) {
    const MenuItem* item = find(titles);
    if (item == nullptr || !item->enabled || !item->action) return false;
    auto action = item->action;  // the action may replace the model it lives in
    action();
    return true;
  }

  // StatusMenuHost:
  bool isAvailable() const override { return true; }
  void setMenu(LaunchMenuModel model) override { models_.push_back(std::move(model)); }
  void setToolTip(const std::string&) override {}
  void setOpenHandler(std::function<void()> handler) override { openHandler_ = std::move(handler); }
  void setCloseHandler(std::function<void()> handler) override { closeHandler_ = std::move(handler); }

 private:
  std::vector<LaunchMenuModel> models_;
  std::function<void()> openHandler_;
  std::function<void()> closeHandler_;
};

}  // namespace quillon
