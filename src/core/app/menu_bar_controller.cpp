#include "core/app/menu_bar_controller.h"

#include "core/localization/l10n.h"

namespace quillon {

MenuBarController::MenuBarController(LaunchStatusMenuHost& host) : host_(host) {
  host_.setOpenHandler([this] { isMenuTracking_ = true; });
  host_.setCloseHandler([this] {
    isMenuTracking_ = false;
    rebuildMenu();
  });
  rebuildMenu();
}

MenuBarController::~MenuBarController() {
  host_.setOpenHandler({});
  host_.setCloseHandler({});
}

void MenuBarController::rebuildMenu() {
  if (isMenuTracking_) return;
  host_.setMenu(makeMenu());
}

LaunchMenuModel MenuBarController::makeMenu() {
  // The slots are read when an item is chosen, so filling them after a rebuild counts.
  LaunchMenuModel model;
  LaunchMenuItem about;
  about.title = L10n::text(LocalizedText("Quillonについて…"));
  about.action = [this] {
    if (onShowAbout) onShowAbout();
  };
  model.items.push_back(std::move(about));
  model.items.push_back(LaunchMenuItem::separator());
  LaunchMenuItem quit;
  quit.title = L10n::text(LocalizedText("終了"));
  quit.action = [this] {
    if (onQuit) onQuit();
  };
  model.items.push_back(std::move(quit));
  return model;
}

}  // namespace quillon
