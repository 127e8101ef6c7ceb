#pragma once

#include <string>
#include <vector>

#include "core/async/task.h"

namespace quillon {

struct Alert {
  enum class Style { informational, warning, critical };
  // What stands beside the text: the symbol of the style, or the application's own
  // icon (the About panels, which introduce the application rather than warn).
  enum class Icon { style, application };
  Style style = Style::informational;
  std::string messageText;
  std::string informativeText;
  // Left to right as the platform orders them: the first is the default button.
  std::vector<std::string> buttons;
  Icon icon = Icon::style;
  friend bool operator==(const Alert&, const Alert&) = default;
};

struct OpenPanelRequest {
  std::string directoryPath;  // where the panel starts
  bool allowsMultipleSelection = false;
  bool canChooseDirectories = false;
  bool applicationsOnly = true;  // only application bundles may be chosen
  std::string message;           // what the panel asks for; empty for none
  friend bool operator==(const OpenPanelRequest&, const OpenPanelRequest&) = default;
};

// Alerts and the open panel. The window is shown at once and the task completes on the
// main loop when the user answers. No nested event loop runs meanwhile: a modal run
// would let timers, menu actions and other tasks resume core code in the middle of the
// step that asked, whose state then no longer holds when the answer comes back.
class AlertPresenter {
 public:
  static constexpr int closedWithoutButton = -1;

  AlertPresenter() = default;
  AlertPresenter(const AlertPresenter&) = delete;
  AlertPresenter& operator=(const AlertPresenter&) = delete;
  virtual ~AlertPresenter() = default;

  // The index of the chosen button, or closedWithoutButton.
  virtual Task<int> showAlert(Alert alert) = 0;
  // The chosen paths (absolute); empty when cancelled.
  virtual Task<std::vector<std::string>> showOpenPanel(OpenPanelRequest request) = 0;
};

}  // namespace quillon
