#include "executable/quillon_command_line.h"

#include <string_view>

#include "core/localization/l10n.h"
#include "core/localization/localized_text.h"

namespace quillon {

QuillonCommandLine QuillonCommandLine::parse(int argc, const char* const* argv) {
  QuillonCommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    // The first of --help and --version wins, as with most tools.
    if (line.action == Action::run && (argument == "--help" || argument == "-h")) line.action = Action::printHelp;
    if (line.action == Action::run && argument == "--version") line.action = Action::printVersion;
    if (argument == "--onboarding") line.showOnboarding = true;
    if (argument == "--settings") line.showSettings = true;
  }
  return line;
}

std::string QuillonCommandLine::helpText() {
  return L10n::text(
      LocalizedText("使い方: quillon [--onboarding] [--settings]\n"
                    "ノッチアプリを登録し、メニューバー（システムトレイ）から切り替えます。\n"
                    "\n"
                    "  --onboarding  起動時に「はじめに」の案内を開きます\n"
                    "  --settings    起動時に設定ウインドウを開きます\n"
                    "  --help        この説明を表示して終了します\n"
                    "  --version     バージョンを表示して終了します\n"));
}

std::string QuillonCommandLine::versionText() { return std::string("quillon ") + QUILLON_VERSION + "\n"; }

}  // namespace quillon
