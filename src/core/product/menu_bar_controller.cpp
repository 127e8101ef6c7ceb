#include "core/product/menu_bar_controller.h"

#include <algorithm>

#include "core/localization/l10n.h"
#include "core/platform/alert_presenter.h"
#include "core/product/app_registration_service.h"
#include "core/records/registry/app_registry.h"
#include "core/switching/launch_status_model.h"
#include "core/switching/launch_switch_coordinator.h"

namespace quillon {
namespace {

MenuItem actionItem(const LocalizedText& title, std::function<void()> action, bool enabled = true) {
  MenuItem item;
  item.title = L10n::text(title);
  item.action = std::move(action);
  item.enabled = enabled;
  return item;
}

MenuItem labelItem(std::string title) {
  MenuItem item;
  item.kind = MenuItem::Kind::label;
  item.title = std::move(title);
  item.enabled = false;
  return item;
}

}  // namespace

MenuBarController::MenuBarController(StatusMenuHost& host, AppRegistry& registry, LaunchSwitchCoordinator& coordinator,
                                     const LaunchStatusModel& status, AlertPresenter& alerts, MainLoop& loop)
    : host_(host), registry_(registry), coordinator_(coordinator), status_(status), alerts_(alerts), loop_(loop) {
  // Rebuilt as it opens, before tracking freezes it: a bundle deleted or reinstalled
  // since the last change shows its state now, not after the next switch.
  host_.setOpenHandler([this] {
    isMenuTracking_ = false;
    rebuildMenu();
    isMenuTracking_ = true;
  });
  host_.setCloseHandler([this] {
    isMenuTracking_ = false;
    rebuildMenu();
  });
  coordinator_.onChange = [this] { rebuildMenu(); };
  statusObserver_ = status_.subscribeToChanges([this] { rebuildMenu(); });
  rebuildMenu();
}

MenuBarController::~MenuBarController() {
  coordinator_.onChange = nullptr;
  host_.setOpenHandler({});
  host_.setCloseHandler({});
}

void MenuBarController::rebuildMenu() {
  if (isMenuTracking_) return;
  host_.setMenu(makeMenu());
}

std::string MenuBarController::distinctName(const ManagedNotchApp& app) const {
  const auto& apps = registry_.apps();
  const auto sameName = std::count_if(
      apps.begin(), apps.end(), [&](const ManagedNotchApp& other) { return other.displayName == app.displayName; });
  return sameName > 1 ? app.displayName + " — " + app.bundleIdentifier : app.displayName;
}

std::optional<std::string> MenuBarController::appStatus(const ManagedNotchApp& app) const {
  if (!registry_.resolvedURL(app)) return L10n::text(LocalizedText("アプリを確認できません"));
  if (!app.enabled) return L10n::text(LocalizedText("利用停止中"));
  return std::nullopt;
}

std::vector<MenuItem> MenuBarController::appItems() {
  const auto launchable = registry_.launchableApps();
  const bool switching = coordinator_.isSwitching();
  std::vector<MenuItem> items;
  for (const auto& app : registry_.apps()) {
    const auto status = appStatus(app);
    const bool resolves = registry_.resolvedURL(app).has_value();
    MenuItem item;
    item.title = status ? distinctName(app) + " (" + *status + ")" : distinctName(app);
    item.checked = coordinator_.currentID() == app.id;
    const bool isLaunchable = std::any_of(launchable.begin(), launchable.end(),
                                          [&](const ManagedNotchApp& other) { return other.id == app.id; });
    item.enabled = isLaunchable && !switching;
    item.toolTip = app.displayName + "\n" + app.bundleIdentifier + "\n" + app.bundleURL.path();
    if (!app.enabled && resolves) {
      item.toolTip += L10n::text(LocalizedText("\n利用を再開するには「アプリを追加…」で同じ.appを選んでください。"));
    }
    item.action = [this, id = app.id] { selectApp(id); };
    items.push_back(std::move(item));
  }
  return items;
}

LaunchMenuModel MenuBarController::makeMenu() {
  // The slots are read when an item is chosen, so filling them after a rebuild counts.
  const auto& storageError = registry_.store().storageError();
  const bool switching = coordinator_.isSwitching();
  const bool canEditRegistry = !switching && !registry_.store().loadFailed();
  LaunchMenuModel model;
  auto& items = model.items;

  if (registry_.apps().empty()) {
    items.push_back(labelItem(L10n::text(storageError ? LocalizedText("登録データを読み込めません")
                                                      : LocalizedText("アプリが登録されていません"))));
  } else {
    for (auto& item : appItems()) items.push_back(std::move(item));
  }
  if (storageError) {
    auto check = labelItem(L10n::text(LocalizedText("登録データを確認してください")));
    check.toolTip = *storageError;
    items.push_back(std::move(check));
    items.push_back(actionItem(
        LocalizedText("登録データを再確認"),
        [this] {
          if (onReloadRegistrations) onReloadRegistrations();
        },
        !switching));
    items.push_back(actionItem(
        LocalizedText("登録データの復旧について…"),
        [this] {
          if (onResetRegistrations) onResetRegistrations();
        },
        !switching));
  }
  if (const auto& status = status_.status()) items.push_back(labelItem(L10n::text(*status)));
  // Two notch apps fight over the notch: offer to keep one and quit the others normally.
  if (const auto several = coordinator_.severalRunning(); !several.empty()) {
    MenuItem offer;
    offer.kind = MenuItem::Kind::submenu;
    offer.title = L10n::text(LocalizedText("残すアプリを選んで他を終了"));
    offer.enabled = !switching;
    for (const auto& app : several) {
      offer.submenu.push_back(actionItem(
          LocalizedText::format("「{}」だけを残して他を終了", distinctName(app)), [this, id = app.id] { keepOnly(id); },
          !switching));
    }
    items.push_back(std::move(offer));
  }
  if (status_.imageExplanation()) {
    items.push_back(actionItem(LocalizedText("画像表示について…"), [this] { showImageExplanation(); }));
  }
  if (coordinator_.isAwaitingOutcome()) {
    items.push_back(actionItem(LocalizedText("切替結果を再確認"), [this] { coordinator_.recheckSoon(); }));
  }
  items.push_back(actionItem(LocalizedText("Quillonについて…"), [this] {
    if (onShowAbout) onShowAbout();
  }));
  items.push_back(actionItem(LocalizedText("はじめに…"), [this] {
    if (onShowOnboarding) onShowOnboarding();
  }));
  auto settings = actionItem(LocalizedText("設定…"), [this] {
    if (onShowLaunchSettings) onShowLaunchSettings();
  });
  settings.keyEquivalent = ",";
  items.push_back(std::move(settings));
  for (const auto& line : launchPermissionLines) items.push_back(labelItem(line));
  items.push_back(actionItem(LocalizedText("権限について…"), [this] { requestLaunchPermissions(); }));
  items.push_back(MenuItem::separator());

  items.push_back(actionItem(
      LocalizedText("アプリを追加…"), [this] { addApp(); }, canEditRegistry));
  if (!registry_.apps().empty()) {
    MenuItem remove;
    remove.kind = MenuItem::Kind::submenu;
    remove.title = L10n::text(LocalizedText("登録を解除"));
    remove.enabled = canEditRegistry;
    for (const auto& app : registry_.apps()) {
      std::string title = distinctName(app);
      if (const auto status = appStatus(app)) title += "（" + *status + "）";
      if (coordinator_.currentID() == app.id) title += L10n::text(LocalizedText("（現在のアプリ）"));
      MenuItem entry;
      entry.title = std::move(title);
      entry.enabled = canEditRegistry;
      entry.toolTip = app.displayName + "\n" + app.bundleURL.path() +
                      L10n::text(LocalizedText("\n登録だけを解除します。アプリは終了・削除されません。"));
      entry.action = [this, id = app.id] { removeApp(id); };
      remove.submenu.push_back(std::move(entry));
    }
    items.push_back(std::move(remove));
  }
  items.push_back(MenuItem::separator());
  auto quit = actionItem(LocalizedText("終了"), [this] {
    if (onQuit) onQuit();
  });
  quit.keyEquivalent = "q";
  items.push_back(std::move(quit));
  return model;
}

void MenuBarController::run(TaskHandle& slot, Task<void> task) {
  if (slot.isValid() && !slot.isFinished()) return;
  slot = spawn(loop_, std::move(task));
}

void MenuBarController::selectApp(const Uuid& id) {
  auto selectAndRebuild = [](MenuBarController* self, Uuid chosen) -> Task<void> {
    co_await self->coordinator_.select(chosen);
    self->rebuildMenu();
  };
  // A switch started while another runs is the coordinator's to refuse, so the task
  // slot only keeps the latest selection alive.
  switchTask_.detach();
  switchTask_ = spawn(loop_, selectAndRebuild(this, id));
}

void MenuBarController::keepOnly(const Uuid& id) {
  auto keepAndRebuild = [](MenuBarController* self, Uuid kept) -> Task<void> {
    co_await self->coordinator_.keepOnly(kept);
    self->rebuildMenu();
  };
  // As with a selection, the coordinator refuses what overlaps a switch.
  switchTask_.detach();
  switchTask_ = spawn(loop_, keepAndRebuild(this, id));
}

void MenuBarController::addApp() {
  run(addTask_, AppRegistrationService::addFromMenu(
                    registry_, alerts_, [this] { return coordinator_.isSwitching(); },
                    [this] {
                      if (onRegistryChanged) onRegistryChanged();
                      coordinator_.refreshSoon();
                      rebuildMenu();
                    }));
}

void MenuBarController::removeApp(const Uuid& id) {
  if (AppRegistrationService::remove(id, registry_, coordinator_.isSwitching()) && onRegistryChanged) {
    onRegistryChanged();
  }
  coordinator_.refreshSoon();
  rebuildMenu();
}

void MenuBarController::requestLaunchPermissions() {
  auto ask = [](MenuBarController* self) -> Task<void> {
    Alert alert;
    alert.messageText = L10n::text(LocalizedText("利用する操作に応じて権限を選べます"));
    alert.informativeText = L10n::text(LocalizedText(
        "メニューからの切替には追加の権限は不要です。ノッチ上のホットキー操作にはアクセシビリティが必要です。"
        "キーの組合せは設定で変更できます。画面収録は画像を表示したい場合だけ必要で、画像なしでも対象を確認できるアプリ"
        "は切替できます。"
        "\n\n続けると未許可の権限の要求が表示されます。画面収録は拒否しても構いません。"));
    alert.buttons = {L10n::text(LocalizedText("閉じる")), L10n::text(LocalizedText("権限を確認する"))};
    if (co_await self->alerts_.showAlert(alert) == 1 && self->onRequestLaunchPermissions) {
      self->onRequestLaunchPermissions();
    }
  };
  run(permissionsAlertTask_, ask(this));
}

void MenuBarController::showImageExplanation() {
  const auto& explanation = status_.imageExplanation();
  if (!explanation) return;
  Alert alert;
  alert.messageText = L10n::text(LocalizedText("画像表示について"));
  alert.informativeText = L10n::text(*explanation);
  alert.buttons = {L10n::text(LocalizedText("閉じる"))};
  auto show = [](AlertPresenter& alerts, Alert shown) -> Task<void> { co_await alerts.showAlert(shown); };
  run(imageAlertTask_, show(alerts_, std::move(alert)));
}

}  // namespace quillon
