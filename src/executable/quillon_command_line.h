#pragma once

#include <string>

namespace quillon {

// The few arguments quillon reads itself. Everything else is left to Qt, which takes
// its own (-display, -platform, ...) from the same list.
struct QuillonCommandLine {
  enum class Action { run, printHelp, printVersion };

  Action action = Action::run;
  bool showOnboarding = false;  // "--onboarding": open the first-run guide at start
  bool showSettings = false;    // "--settings": open the settings window at start

  static QuillonCommandLine parse(int argc, const char* const* argv);

  // The text of --help, in the current language; ends with a newline.
  static std::string helpText();
  // "quillon <version>" and a newline.
  static std::string versionText();
};

}  // namespace quillon
