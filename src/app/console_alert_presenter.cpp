#include "app/console_alert_presenter.h"

#include <string>

namespace quillon {

int ConsoleAlertPresenter::runModal(const LaunchAlert& alert) {
  std::string text = alert.messageText + "\n";
  if (!alert.informativeText.empty()) text += alert.informativeText + "\n";
  for (const auto& button : alert.buttons) text += "[" + button + "] ";
  if (!alert.buttons.empty()) text.back() = '\n';
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
  return alert.buttons.empty() ? closedWithoutButton : 0;
}

std::vector<std::string> ConsoleAlertPresenter::runOpenPanel(const LaunchOpenPanelRequest&) { return {}; }

}  // namespace quillon
