#include "core/records/registry/launch_onboarding_application_validator.h"

#include "core/bundle/bundle.h"
#include "core/bundle/own_application.h"
#include "core/bundle/validated_launch_application.h"
#include "core/localization/l10n.h"

namespace quillon {

std::string launchErrorText(LaunchOnboardingApplicationError::Code code, const Error&) {
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

Result<LaunchOnboardingApplication> LaunchOnboardingApplicationValidator::validate(const Url& url) {
  using Refusal = LaunchOnboardingApplicationError;
  if (!url.isFileUrl() || !hasApplicationExtension(url)) return Refusal::notLocalApplication;
  const auto location = ValidatedLaunchApplication::canonical(url);
  if (!location) return Refusal::unavailable;
  const auto bundle = Bundle::open(*location);
  if (!bundle || ValidatedLaunchApplication::canonical(bundle->bundleURL()) != location) return Refusal::invalidBundle;
  const auto identifier = bundle->bundleIdentifier();
  if (!identifier || identifier->empty() || bundle->infoString("CFBundlePackageType") != "APPL") {
    return Refusal::invalidBundle;
  }
  if (*identifier == OwnApplication::ownBundleIdentifier) return Refusal::isQuillon;
  if (!ValidatedLaunchApplication::canonicalExecutable(*bundle, *location)) return Refusal::missingExecutable;

  auto name = bundle->displayName();
  if (!name) {
    name = location->lastPathComponent();
    if (const auto dot = name->rfind('.'); dot != std::string::npos && dot != 0) name->resize(dot);
  }
  return LaunchOnboardingApplication{*location, *identifier, std::move(*name)};
}

}  // namespace quillon
