#pragma once

#include <string>
#include <vector>

namespace quillon {

struct LaunchAlert {
  enum class Style { informational, warning, critical };
  Style style = Style::informational;
  std::string messageText;
  std::string informativeText;
  // Left to right as the platform orders them: the first is the default button.
  std::vector<std::string> buttons;
  friend bool operator==(const LaunchAlert&, const LaunchAlert&) = default;
};

struct LaunchOpenPanelRequest {
  std::string directoryPath;  // where the panel starts
  bool allowsMultipleSelection = false;
  bool canChooseDirectories = false;
  bool applicationsOnly = true;  // only application bundles may be chosen
  friend bool operator==(const LaunchOpenPanelRequest&, const LaunchOpenPanelRequest&) = default;
};

// Modal alerts and the open panel. Calls block in a nested event loop until the user
// answers, as the platform's modal APIs do.
class LaunchAlertPresenter {
 public:
  static constexpr int closedWithoutButton = -1;

  LaunchAlertPresenter() = default;
  LaunchAlertPresenter(const LaunchAlertPresenter&) = delete;
  LaunchAlertPresenter& operator=(const LaunchAlertPresenter&) = delete;
  virtual ~LaunchAlertPresenter() = default;

  // The index of the chosen button, or closedWithoutButton.
  virtual int runModal(const LaunchAlert& alert) = 0;
  // The chosen paths (absolute); empty when cancelled.
  virtual std::vector<std::string> runOpenPanel(const LaunchOpenPanelRequest& request) = 0;
};

}  // namespace quillon
