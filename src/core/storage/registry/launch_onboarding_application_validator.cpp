#include "core/storage/registry/launch_onboarding_application_validator.h"

#include "core/bundle/launch_bundle.h"
#include "core/bundle/launch_own_application.h"
#include "core/bundle/validated_launch_application.h"
#include "core/localization/l10n.h"

namespace quillon {

std::string launchErrorText(LaunchOnboardingApplicationError::Code code, const LaunchError&) {
  using Code = LaunchOnboardingApplicationError::Code;
  switch (code) {
    case Code::notLocalApplication:
      return L10n::text(LocalizedText("Finderから、このMacにある.appを追加してください。"));
    case Code::unavailable:
      return L10n::text(LocalizedText("アプリを読み込めません。移動・削除されていないか確認してください。"));
    case Code::invalidBundle:
      return L10n::text(LocalizedText("有効なアプリではありません。.appという名前だけのフォルダは登録できません。"));
    case Code::missingExecutable:
      return L10n::text(LocalizedText("実行ファイルを確認できません。アプリのインストールを確認してください。"));
    case Code::isQuillon:
      return L10n::text(LocalizedText("Quillon自身は切替先に登録できません。使いたいノッチアプリを追加してください。"));
  }
  return {};
}

LaunchResult<LaunchOnboardingApplication> LaunchOnboardingApplicationValidator::validate(const Url& url) {
  using Error = LaunchOnboardingApplicationError;
  if (!url.isFileUrl() || !hasApplicationExtension(url)) return Error::notLocalApplication;
  const auto location = ValidatedLaunchApplication::canonical(url);
  if (!location) return Error::unavailable;
  const auto bundle = LaunchBundle::open(*location);
  if (!bundle || ValidatedLaunchApplication::canonical(bundle->bundleURL()) != location) return Error::invalidBundle;
  const auto identifier = bundle->bundleIdentifier();
  if (!identifier || identifier->empty() || bundle->infoString("CFBundlePackageType") != "APPL") {
    return Error::invalidBundle;
  }
  if (*identifier == LaunchOwnApplication::ownBundleIdentifier) return Error::isQuillon;
  if (!ValidatedLaunchApplication::canonicalExecutable(*bundle, *location)) return Error::missingExecutable;

  auto name = bundle->displayName();
  if (!name) {
    name = location->lastPathComponent();
    if (const auto dot = name->rfind('.'); dot != std::string::npos && dot != 0) name->resize(dot);
  }
  return LaunchOnboardingApplication{*location, *identifier, std::move(*name)};
}

}  // namespace quillon
