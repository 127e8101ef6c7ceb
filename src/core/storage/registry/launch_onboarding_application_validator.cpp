#include "core/storage/registry/launch_onboarding_application_validator.h"

#include "core/bundle/launch_bundle.h"
#include "core/bundle/launch_own_application.h"
#include "core/bundle/validated_launch_application.h"
#include "core/localization/l10n.h"

namespace quillon {

LocalizedText localizedDescription(LaunchOnboardingApplicationError error) {
  switch (error) {
    case LaunchOnboardingApplicationError::notLocalApplication:
      return LocalizedText("Finderから、このMacにある.appを追加してください。");
    case LaunchOnboardingApplicationError::unavailable:
      return LocalizedText("アプリを読み込めません。移動・削除されていないか確認してください。");
    case LaunchOnboardingApplicationError::invalidBundle:
      return LocalizedText("有効なアプリではありません。.appという名前だけのフォルダは登録できません。");
    case LaunchOnboardingApplicationError::missingExecutable:
      return LocalizedText("実行ファイルを確認できません。アプリのインストールを確認してください。");
    case LaunchOnboardingApplicationError::isQuillon:
      return LocalizedText("Quillon自身は切替先に登録できません。使いたいノッチアプリを追加してください。");
  }
  return LocalizedText("");
}

std::string description(LaunchOnboardingApplicationError error) { return L10n::text(localizedDescription(error)); }

LaunchOnboardingApplication LaunchOnboardingApplicationValidator::validate(const Url& url) {
  using Error = LaunchOnboardingApplicationError;
  if (!url.isFileUrl() || !hasApplicationExtension(url)) throw Error::notLocalApplication;
  const auto location = ValidatedLaunchApplication::canonical(url);
  if (!location) throw Error::unavailable;
  const auto bundle = LaunchBundle::open(*location);
  if (!bundle || ValidatedLaunchApplication::canonical(bundle->bundleURL()) != location) throw Error::invalidBundle;
  const auto identifier = bundle->bundleIdentifier();
  if (!identifier || identifier->empty() || bundle->infoString("CFBundlePackageType") != "APPL") {
    throw Error::invalidBundle;
  }
  if (*identifier == LaunchOwnApplication::ownBundleIdentifier) throw Error::isQuillon;
  if (!ValidatedLaunchApplication::canonicalExecutable(*bundle, *location)) throw Error::missingExecutable;

  auto name = bundle->displayName();
  if (!name) {
    name = location->lastPathComponent();
    if (const auto dot = name->rfind('.'); dot != std::string::npos && dot != 0) name->resize(dot);
  }
  return {*location, *identifier, std::move(*name)};
}

}  // namespace quillon
